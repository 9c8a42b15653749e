/*
 * mtrx_status.h - the status functions of mtrx (mtrx.h includes it; include
 * mtrx.h): each returns an mtrx_status, fills an mtrx_error and never writes
 * nor ends the process.
 */
#ifndef MTRX_MTRX_STATUS_H
#define MTRX_MTRX_STATUS_H

#include <mtrx/mtrx.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status interface --------------------------------------------------- */

/*
 * Every function of this group returns a status and
 *  - never ends the process and never writes on any stream;
 *  - fills *err, when err is not null, on every return (MTRX_OK included);
 *  - on failure leaves *out (or *x) null with nothing left allocated, and
 *    its inputs as they were unless it says otherwise.
 * The readers follow the number rules of row_parse.
 */
typedef enum mtrx_status {
    MTRX_OK = 0,
    MTRX_ENOMEM,      /* memory exhausted; nothing leaked, inputs unchanged */
    MTRX_EEMPTY,      /* no number anywhere in the text / stream; no equations in the text */
    MTRX_ENONUMBER,   /* a line inside the matrix holds no number */
    MTRX_EMALFORMED,  /* a number start that converts nothing, e.g. "..5" */
    MTRX_ERANGE,      /* a value too large or too small for a double, e.g. 1e999 */
    MTRX_ESHAPE,      /* the rows do not have the count the operation needs */
    MTRX_ESINGULAR,   /* a zero pivot: no unique solution */
    MTRX_EINVAL,      /* an argument the function cannot take (null, non-square, ...) */
    MTRX_ENOSOLUTION, /* a system without any solution (cofactor solver, mtrx_solve_general) */
    MTRX_EINFINITE,   /* a singular system with infinitely many (cofactor solver) */
    MTRX_ESYNTAX,     /* a line of equations that does not read (mtrx_parse_equations) */
    MTRX_ENONFINITE   /* a NaN or an infinity in a system: `row` names its row (from 0),
                         the message its row and column (from 0; the constants: column n) */
} mtrx_status;

/* What went wrong, for the caller to show or act on. */
typedef struct mtrx_error {
    mtrx_status status;
    size_t row;        /* the matrix row concerned (from 0), where there is one */
    size_t count;      /* MTRX_ESHAPE from a reader: the values that row holds */
    size_t expected;   /* MTRX_ESHAPE from a reader: the values it should hold */
    char message[128]; /* one English sentence, no newline */
    size_t line;       /* the line of the text concerned, counting from 1 and every line
                          blank or not; 0 where there is none */
    size_t column;     /* the byte in that line where the fault starts, from 1; 0: none */
} mtrx_error;

/* A short English name for `status`, a static string ("Unknown status" for
 * a value that names none). */
MTRX_EXPORT const char *mtrx_strerror(mtrx_status status);

/*
 * A rectangular matrix in the row-pointer form (as mtrx_read_str makes it)
 * from the `len` bytes at `text`, which need not end in '\0' ('\0' bytes
 * inside start no number). One row per line; blank lines and whitespace are
 * passed over wherever they stand. The first line that fails decides:
 * MTRX_ENONUMBER, MTRX_EMALFORMED or MTRX_ERANGE with its row; then
 * MTRX_ESHAPE names the first row whose count differs from row 0's (count,
 * and expected = row 0's count). MTRX_EEMPTY when the text holds no number.
 * These four name the row's line in err->line; MTRX_EMALFORMED and
 * MTRX_ERANGE also the column where the bad number starts.
 */
MTRX_EXPORT mtrx_status mtrx_parse(const char *text, size_t len, mtrx_t **out, mtrx_error *err);
/* An augmented system: the rules of mtrx_parse, and every row must hold
 * rows + 1 values (MTRX_ESHAPE names the first row that does not, with its
 * count and expected = rows + 1). */
MTRX_EXPORT mtrx_status mtrx_parse_system(const char *text, size_t len,
                                          mtrx_t **out, mtrx_error *err);
/* mtrx_parse's rules on the rest of a stream, read in blocks to its end (or
 * to the failure: the stream may then have been read beyond that line). */
MTRX_EXPORT mtrx_status mtrx_parse_stream(FILE *fp, mtrx_t **out, mtrx_error *err);
/*
 * Where a matrix begins in the `len` bytes at `text`, which may hold a
 * heading above it: *offset is the position of the first number start (a
 * digit; '+', '-' or '.' before a digit; '+' or '-' before '.' and a digit;
 * U+2212 as '-').
 * MTRX_EEMPTY, with *offset = len, when there is none.
 */
MTRX_EXPORT mtrx_status mtrx_find_matrix(const char *text, size_t len, size_t *offset,
                                         mtrx_error *err);

/*
 * Gauss-Jordan elimination with full pivoting in place, as guassj and
 * guassj_vec: with b null, `a` is the n x (n + 1) augmented matrix and
 * column n receives the solution; otherwise `a` is n x n and b the
 * constants, which receive it. The n x n block becomes the inverse.
 * MTRX_ESINGULAR leaves the rows as the failing step found them;
 * MTRX_ENOMEM and MTRX_ENONFINITE (a NaN or an infinity in a or b, whose
 * column n is b's) leave them unchanged. n = 0 is MTRX_OK.
 */
MTRX_EXPORT mtrx_status mtrx_reduce(double **a, double *b, size_t n, mtrx_error *err);
/*
 * The augmented n x (n + 1) record `m` (cols = rows + 1, else MTRX_EINVAL)
 * solved by elimination on a copy: *x a new vector of n doubles (a valid one
 * to free even for n = 0); `m` is not changed. Where every nonzero element
 * of A lies within 2^-960 .. 2^960 and within 2^960 of each other, and b's
 * largest within 2^-960 .. 2^960, with the bits of mtrx_solve_gj. Beyond,
 * the system is first scaled exactly by powers of two: one for A and one for
 * b where that brings A's elements within, which keeps the bits the system
 * has at any scale elimination stays in the normal range at; otherwise each
 * row, then each column, to a largest magnitude in [1, 2), as LAPACK's
 * dgeequb. A solution that comes out not finite is made once more under
 * that full scaling. MTRX_ENONFINITE for a NaN or an infinity in m; MTRX_ESINGULAR for
 * a zero pivot, or a solution element still NaN (singular to working
 * precision); MTRX_ERANGE for one too large for a double (`row`: its index).
 */
MTRX_EXPORT mtrx_status mtrx_solve_system(const mtrx_t *m, double **x, mtrx_error *err);
/*
 * The same system solved as mtrx_solve_cofactor_aug solves it, with its
 * verdicts as statuses: a singular system is MTRX_ENOSOLUTION or
 * MTRX_EINFINITE; the trivial (zero) solution is a solution like any other,
 * MTRX_OK with every element of *x within [-1e-20, 1e-20]. The rest as
 * mtrx_solve_system, with the bits of mtrx_solve_cofactor_aug where every
 * nonzero element lies within 2^-(960/n) .. 2^(960/n) for n <= 3 (the
 * determinant multiplies n elements; beyond, rows and columns are scaled,
 * which keeps those bits wherever the method stays in the normal range);
 * larger systems are scaled inside the method.
 */
MTRX_EXPORT mtrx_status mtrx_solve_system_cofactor(const mtrx_t *m, double **x, mtrx_error *err);

/*
 * How far a solution x of A x = b can be trusted (mtrx_gauss_jordan(3) says
 * more). Whatever the method, A^-1 is the inverse Gauss-Jordan elimination
 * makes (of the system as mtrx_solve_system scales it); r = b - A x,
 * w = |A| |x| + |b|, eps = DBL_EPSILON, |.| elementwise; where
 * w_i < (n + 1) DBL_MIN / eps, (n + 1) DBL_MIN is added to |r_i| (and to w_i
 * in the backward error). The forward bound is LAPACK's dgerfs bound with the
 * inverse itself; it stays near (n + 1) eps cond even for a refined x, and is
 * only as good as the inverse, whose error grows as n eps / rcond: it is
 * trusted unless rcond < DBL_EPSILON and the bound reaches
 * (n + 1) / max(10, sqrt(n)), that is wherever the condition number of x,
 * || |A^-1| w ||_inf / ||x||_inf, stays below 1 / (max(10, sqrt(n)) eps)
 * (LAPACK's dgerfsx threshold). An untrusted bound is reported as 1: no
 * digit of x is promised. For a system with a solution no field is NaN or
 * infinite.
 */
typedef struct mtrx_solve_info {
    double rcond;          /* 1 / (||A||_1 ||A^-1||_1), exact for that inverse (norms
                              gathered without overflow); 0 below a double's range, where
                              the inverse overflowed, or where elimination met a zero
                              pivot (a cofactor solution without an inverse) */
    double backward_error; /* max_i |r_i| / w_i */
    double forward_error;  /* trusted: || |A^-1| (|r| + (n + 1) eps w) ||_inf / ||x||_inf,
                              which bounds ||x - x_exact||_inf / ||x||_inf; untrusted: 1 */
    int ill_conditioned;   /* rcond < DBL_EPSILON: x may carry no correct digit */
    int refinement_steps;  /* steps of iterative refinement taken */
    int bound_trusted;     /* 1: forward_error is a bound (always when !ill_conditioned);
                              0: it is the 1 of no bound */
} mtrx_solve_info;

enum { MTRX_REFINE = 1u, MTRX_COFACTOR = 2u };

/*
 * The augmented n x (n + 1) record `m` solved as mtrx_solve_system does (with
 * MTRX_COFACTOR as mtrx_solve_system_cofactor, verdicts included), the
 * diagnostics in *info (info may be null); without MTRX_REFINE with exactly
 * that solver's bits. MTRX_REFINE refines x as LAPACK's dgerfsx does:
 * residuals in twice the working precision (error-free sums and products of
 * doubles, rounded once), corrections from elimination's inverse, until one
 * is not finite, changes nothing or exceeds half the previous one, ten at
 * most; where the last one made x worse by the next one's estimate, the x
 * before it is kept. Every value has the same bits on every platform,
 * instruction set and thread count. An ill-conditioned system is still
 * MTRX_OK: the caller decides. On any other status (MTRX_EINVAL also for an
 * unknown flag) *info holds rcond 0, ill_conditioned 1, infinite bounds, no
 * trust and no step; `m` is never changed.
 */
MTRX_EXPORT mtrx_status mtrx_solve_checked(const mtrx_t *m, unsigned flags, double **x,
                                           mtrx_solve_info *info, mtrx_error *err);

/*
 * A X = B for the n x n record `a` and the n x k record `b` by one
 * elimination, which leaves out the inverse none of the columns needs: *x a
 * new tight n x k record (mtrx_free) whose column c has the bits
 * mtrx_solve_system gives [A | b_c], scaled as it scales that system (A's
 * powers of two are A's own, b_c's its own; the columns whose solution
 * comes out not finite are solved once more together under the full
 * scaling). The inverse: b = I. MTRX_EINVAL for a non-square a,
 * MTRX_ESHAPE when b's rows are not a's; MTRX_ENONFINITE names the first
 * NaN or infinity in row order of [A B] (B's column c as column n + c); on
 * MTRX_ESINGULAR and MTRX_ERANGE the first column in order that has no
 * solution decides (ERANGE names its element in `row`, the column in the
 * message). k may be 0.
 */
MTRX_EXPORT mtrx_status mtrx_solve_many(const mtrx_t *a, const mtrx_t *b, mtrx_t **x,
                                        mtrx_error *err);
/* The same with the inverse made too, and column c's diagnostics in info[c]
 * (an array of k, or null), as mtrx_solve_checked gives them for [A | b_c]:
 * MTRX_REFINE refines each column, with its bits. MTRX_COFACTOR is
 * MTRX_EINVAL: that method solves one column at a time. */
MTRX_EXPORT mtrx_status mtrx_solve_many_checked(const mtrx_t *a, const mtrx_t *b,
                                                unsigned flags, mtrx_t **x,
                                                mtrx_solve_info *info, mtrx_error *err);

/* The record operations above as statuses: MTRX_ESHAPE for operands whose
 * dimensions do not fit (the message gives both), MTRX_EINVAL for a null
 * argument; *out a new tight record with the bits of mtrx_add, mtrx_sub,
 * mtrx_mult and mtrx_transpose. */
MTRX_EXPORT mtrx_status mtrx_sum(const mtrx_t *a, const mtrx_t *b, mtrx_t **out, mtrx_error *err);
MTRX_EXPORT mtrx_status mtrx_difference(const mtrx_t *a, const mtrx_t *b,
                                        mtrx_t **out, mtrx_error *err);
MTRX_EXPORT mtrx_status mtrx_product(const mtrx_t *a, const mtrx_t *b,
                                     mtrx_t **out, mtrx_error *err);
MTRX_EXPORT mtrx_status mtrx_transposed(const mtrx_t *a, mtrx_t **out, mtrx_error *err);

/*
 * Equations as people type them, one per line: "2x + 3y = 8". A text is
 * equations when its first line holding '=' has something on both sides and
 * a name among them, and every later non-blank line holds '='; lines above
 * are a heading. mtrx_find_equations applies that rule: MTRX_OK, *offset at
 * the first equation's line; else MTRX_EEMPTY, *offset = len, err saying why.
 */
MTRX_EXPORT mtrx_status mtrx_find_equations(const char *text, size_t len, size_t *offset,
                                            mtrx_error *err);
/*
 * Such a text's equations (the grammar is in mtrx_equations(3): 2x, 2*x, 2 x,
 * -x, 1/2 x, x/2, 3/4, terms on both sides; U+2212 as '-') as an m x (n + 1)
 * record, the unknowns in order of first appearance and named in *names (n
 * UTF-8 strings, then null; release with mtrx_names_free). A line that does
 * not read: MTRX_ESYNTAX (MTRX_ERANGE beyond a double), err->row the
 * equation (from 0), err->line, err->column, the message quoting the part.
 */
MTRX_EXPORT mtrx_status mtrx_parse_equations(const char *text, size_t len, mtrx_t **out,
                                             char ***names, mtrx_error *err);
MTRX_EXPORT void mtrx_names_free(char **names);

/*
 * The reduced row echelon form of any rows x cols record `m` (the last column
 * is a column like the others): Gauss-Jordan elimination, columns left to
 * right, in each the largest |a_ij| of the rows without a pivot as pivot,
 * counting as zero when <= tol; tol < 0 takes max(rows, cols) * DBL_EPSILON *
 * ||m||_inf (a zero matrix has rank 0). *out a new record, *pivots a new
 * array of the *rank pivot columns (ascending; mtrx_free_pivots).
 * MTRX_EINVAL when m holds a NaN or an infinity; MTRX_ERANGE when
 * elimination overflows.
 */
MTRX_EXPORT mtrx_status mtrx_rref(const mtrx_t *m, double tol, mtrx_t **out, size_t **pivots,
                                  size_t *rank, mtrx_error *err);

/* Every solution of A x = b: x = particular + sum over k of t_k * null_space[k]. */
typedef struct mtrx_general_solution {
    size_t unknowns;       /* n */
    size_t rank;           /* R, the rank of A */
    int consistent;        /* 0: [A b] has rank R + 1, no solution */
    double tolerance;      /* A's pivots <= max(m, n) * DBL_EPSILON * ||A||_inf count as 0 */
    double constants_tolerance; /* and then constants <= max(m, n + 1) * DBL_EPSILON *
                                   ||[A b]||_inf; a larger one: no solution */
    size_t nfree;          /* n - R: 0 for a unique solution */
    double *particular;    /* n values, every free unknown 0 */
    size_t *free_unknowns; /* the nfree free unknowns' indices, ascending */
    double *null_space;    /* nfree vectors of n (vector k from null_space + k * n): 1 at
                              its free unknown, 0 at the other free ones */
} mtrx_general_solution;

/*
 * The m x (n + 1) augmented system `m` (any m, n >= 1) solved from the
 * reduced row echelon form of [A b] as mtrx_rref makes it, with g's two
 * tolerances (A's rank never depends on the scale of b), the same bits
 * everywhere. A pivot in the constants column: MTRX_ENOSOLUTION ("No
 * Solution - the equations are inconsistent (rank R; R + 1 with the
 * constants).") with unknowns, rank and tolerances in *g, its arrays null.
 * MTRX_EINVAL and MTRX_ERANGE as mtrx_rref. Release *g with mtrx_general_free.
 */
MTRX_EXPORT mtrx_status mtrx_solve_general(const mtrx_t *m, mtrx_general_solution *g,
                                           mtrx_error *err);
MTRX_EXPORT void mtrx_general_free(mtrx_general_solution *g);

#ifdef __cplusplus
}
#endif

#endif /* MTRX_MTRX_STATUS_H */
