/*
 * mtrx.h - a small matrix library: one record, readers for text and streams,
 * Gauss-Jordan elimination, a cofactor solver, arithmetic and printing
 * (mtrx(3), and a page per family). C11 and C++ callers include it alike; no
 * exception leaves the library, which is written in C++.
 *
 * Ownership: what a function returns is the caller's, and the library's
 * own functions release it: records with mtrx_free, bare arrays with
 * arr2d_free, vectors (and rows) with mtrx_free_vector, mtrx_rref's pivot
 * columns with mtrx_free_pivots, names with mtrx_names_free, a general
 * solution with mtrx_general_free. Vectors and pivot columns may go to
 * free instead where the caller shares the library's C runtime; a caller
 * on another (a program loading a DLL, a language binding) uses these.
 *
 * Two layers on one core that neither writes nor exits (mtrx/core). The
 * status functions (the last group; mtrx/status) return an mtrx_status and
 * never end the process or write on any stream. The others (mtrx/console,
 * every message in one file) speak as a console tool does: diagnostics on
 * stderr, the "%s() error: " prefix carrying the literal "<unknown>", and
 * exit(1) on exhausted memory while an array grows or a reader reads (each
 * function says where) and on a line without any number inside a matrix that
 * mtrx_read_str or mtrx_read_file_ptrs reads.
 *
 * State. No call keeps its caller's data. The library keeps its own: worker
 * threads for large eliminations and products (processors - 1 at most,
 * started when needed, ended after an idle second, at exit or unloading),
 * the product's scratch blocks (until exit), what the processor can do, and
 * a count of allocations only its own tests read. None of it changes a
 * result: the same bits whatever the threads, the instruction set or what
 * ran before. Any number of threads may call at once on different data.
 *
 * MTRX_EXPORT (mtrx_export.h) marks what a shared build exports. Programs
 * linking the static library define MTRX_STATIC_DEFINE (the CMake package
 * and `pkg-config --static` do), which keeps dllimport out on Windows.
 *
 * Kept on purpose, because programs and tests rely on them (the list, with
 * what pins each, opens mtrx/console/messages.cpp): the spelling guassj, in
 * the function names and their "guassj() error: " messages; the message
 * "maxtix not square"; the literal "<unknown>" in every "%s() error: "
 * message; and mtrx_solve_cofactor_aug's one failure without a message.
 */
#ifndef MTRX_MTRX_H
#define MTRX_MTRX_H

#include <stddef.h>
#include <stdio.h>

#include <mtrx/mtrx_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The record -------------------------------------------------------- */

/* A matrix: `rows` x `cols` in use, `maxrows` row pointers allocated, each
 * row its own array of doubles. In the row-pointer form (mtrx_create_ptrs and
 * its readers) rows are added one at a time; every row holds at least `cols`
 * values (a short row is padded with zeros) and `maxcols` is the value count
 * of the last row read. In the preallocated form (mtrx_create, mtrx_read_file,
 * mtrx_copy) every one of the `maxrows` rows is allocated, in use or not, with
 * at least `maxcols` places. */
typedef struct mtrx_t {
    size_t rows;    /* rows in use */
    size_t cols;    /* columns in use (the first row's value count) */
    size_t maxrows; /* entries of the row-pointer array */
    size_t maxcols; /* row capacity in columns */
    double **mtrx;  /* row-pointer array; entry i is row i */
} mtrx_t;

/* ---- Resizing element arrays -------------------------------------------- */

/* Each resizes `ptr` (from malloc/calloc/realloc) with realloc and returns the
 * new pointer; `psz` is the element size. New elements are zero. On exhausted
 * memory they call perror("realloc(): virtual memory exhausted.") and exit(1).
 * The new element count must be at least 1. */
MTRX_EXPORT void *xrealloc_zero(void *ptr, size_t psz, size_t oldsz, size_t newsz);
/* Grows by `inc` elements; *nelem becomes *nelem + inc. */
MTRX_EXPORT void *xrealloc_add(void *ptr, size_t psz, size_t *nelem, size_t inc);
/* Doubles the array; *nelem becomes 2 * *nelem. */
MTRX_EXPORT void *xrealloc_double(void *ptr, size_t psz, size_t *nelem);

/* ---- Row-pointer storage and text readers -------------------------------- */

/* A new record with `n` null row pointers and maxcols 8, or null (message on
 * stderr). Caller releases with mtrx_free. */
MTRX_EXPORT mtrx_t *mtrx_create_ptrs(size_t n);
/* Doubles the row-pointer array of `m` (new entries null) and returns it;
 * null when `m` is null. */
MTRX_EXPORT double **mtrx_grow_ptrs(mtrx_t *m);

/*
 * Every number of `line` in order, in a new array sized to fit (caller frees),
 * with *n set to their count; null when the line yields none. *n is the
 * starting capacity (0 means 8). A number starts at a digit, or at '+', '-'
 * or '.' followed by '.' or a digit; conversion is strtod's. U+2212 (UTF-8)
 * counts as '-'. A start that converts nothing, or a value out of range,
 * ends the line with a message. Exhausted memory ends the process (exit 1).
 */
MTRX_EXPORT double *row_parse(const char *line, size_t *n);

/*
 * A matrix read from text, one row per line, blank lines and surrounding
 * whitespace passed over; lines may be of any length. Null for a text
 * without lines. A line that holds no number ends the process (exit 1), and
 * so does exhausted memory, but where the record itself cannot be made: null,
 * with a message.
 */
MTRX_EXPORT mtrx_t *mtrx_read_str(const char *s);
/*
 * A matrix read from a stream, one row per line (every line, blank ones
 * included, must hold a number, or the process ends with exit 1). Lines may
 * be of any length. Null for an empty stream. Exhausted memory as for
 * mtrx_read_str.
 */
MTRX_EXPORT mtrx_t *mtrx_read_file_ptrs(FILE *fp);

/* Releases every row the record owns, its row-pointer array and the record. */
MTRX_EXPORT void mtrx_free(mtrx_t *m);
/* Release a vector or row of doubles, and the pivot columns of mtrx_rref,
 * that the library returned (null: nothing). */
MTRX_EXPORT void mtrx_free_vector(double *v);
MTRX_EXPORT void mtrx_free_pivots(size_t *pivots);

/* ---- Vectors, bare arrays and preallocated records ---------------------- */

/* n zero-filled doubles, or null (message on stderr). */
MTRX_EXPORT double *vect_calloc(size_t n);
/* rows row pointers, each to cols zero-filled doubles; or null with nothing
 * left allocated (message on stderr). Caller releases with arr2d_free. */
MTRX_EXPORT double **arr2d_calloc(size_t rows, size_t cols);
/* Releases rows 0 to rows - 1 of `a`, then the row-pointer array. */
MTRX_EXPORT void arr2d_free(double **a, size_t rows);

/* A record in the preallocated form: every one of the `rows` rows allocated
 * with `cols` zeros, rows = cols = 0 in use; or null (message on stderr).
 * Caller releases with mtrx_free, which reaches every allocated row. */
MTRX_EXPORT mtrx_t *mtrx_create(size_t rows, size_t cols);
/*
 * Doubles a preallocated record's capacity and returns its row-pointer array:
 * mode 0 adds maxrows new rows of maxcols zeros, any other mode doubles every
 * allocated row to 2 * maxcols places (the new ones zero). A capacity of 0
 * grows to 1. Null when `m` is null; exhausted memory ends the process
 * (exit 1).
 */
MTRX_EXPORT double **mtrx_grow(mtrx_t *m, int mode);
/*
 * A matrix read from a stream into a preallocated record of `rows` x `cols`
 * capacity at first, grown by doubling; one row per line, of any length.
 * cols is the first line's count (row 0 cut to it); a later line of another
 * count writes "column mismatch" and is kept (padded with zeros, or stored
 * beyond cols). The unused rows are then released (maxrows = rows). A first
 * line without a number gives cols 0, row 0 and maxcols left at capacity.
 * Null for an empty stream. A value out of range writes "failed conversion"
 * and returns the record as it stands (rows: the completed lines; every row
 * up to maxrows allocated; the stream possibly read beyond, in blocks).
 * Exhausted memory ends the process (exit 1), but for the first record,
 * which mtrx_create makes: null, with its message.
 */
MTRX_EXPORT mtrx_t *mtrx_read_file(FILE *fp, size_t rows, size_t cols);
/* A new preallocated record of exactly m's rows x cols (maxrows = rows,
 * maxcols = cols) holding a copy of those values; or null (message on
 * stderr). `m` must be a record of either form, not null; it is not
 * changed. */
MTRX_EXPORT mtrx_t *mtrx_copy(const mtrx_t *m);

/* ---- Gauss-Jordan elimination ------------------------------------------- */

/*
 * Reduces the n x (n + 1) augmented matrix `a` in place by Gauss-Jordan
 * elimination with full pivoting: column n then holds the solution and the
 * n x n block the inverse. A zero pivot writes "guassj() error: singular
 * matrix." and leaves the matrix as the failing step found it.
 */
MTRX_EXPORT void guassj(double **a, size_t n);
/* The same for an n x n matrix `a` with its constants in the vector `b`,
 * which receives the solution. */
MTRX_EXPORT void guassj_vec(double **a, double *b, size_t n);
/* Exchanges *a and *b. */
MTRX_EXPORT void swap_dbl(double *a, double *b);

/*
 * A copy of the augmented matrix `m` (rows x cols, cols > rows) reduced with
 * guassj, so that column `rows` holds the solution; `m` is not changed. Null,
 * with a message, when cols <= rows or memory is exhausted. A singular matrix
 * still gives the copy, reduced as far as elimination got (guassj's message
 * tells). Caller releases with mtrx_free.
 */
MTRX_EXPORT mtrx_t *mtrx_solve_gj(const mtrx_t *m);
/* Column `rows` of `m` as a new vector of `rows` doubles (the solution, once
 * mtrx_solve_gj has reduced `m`); null with a message when cols <= rows or
 * memory is exhausted. Caller frees. */
MTRX_EXPORT double *mtrx_solution(const mtrx_t *m);

/* ---- Arithmetic on bare arrays and records -------------------------------- */

/*
 * The array operations read rows x cols (or m x n, n x p) of their operands,
 * leave them unchanged and return a new array from arr2d_calloc, or null when
 * it cannot be made (message on stderr). Release results with arr2d_free and
 * the result's row count.
 */
/* The first `cols` elements of each of the first `rows` rows of `src`. */
MTRX_EXPORT double **arr2d_copy(double **src, size_t rows, size_t cols);
/* a + b and a - b, element by element. */
MTRX_EXPORT double **arr2d_add(double **a, double **b, size_t rows, size_t cols);
MTRX_EXPORT double **arr2d_sub(double **a, double **b, size_t rows, size_t cols);
/* The m x p product of the m x n array a and the n x p array b; each element
 * is summed from 0.0 in ascending k, every product rounded before it is added. */
MTRX_EXPORT double **arr2d_mult(double **a, double **b, size_t m, size_t n, size_t p);
/* The cols x rows transpose of `src`. */
MTRX_EXPORT double **arr2d_transpose(double **src, size_t rows, size_t cols);

/*
 * The record operations take the operands' used parts (rows x cols), leave
 * them unchanged and return a new tight record (maxrows = rows, maxcols =
 * cols), or null with a message on stderr: unequal dimensions, or no memory.
 * The same record may be both operands. Release results with mtrx_free.
 */
/* a + b and a - b; a and b must have the same rows and cols. */
MTRX_EXPORT mtrx_t *mtrx_add(const mtrx_t *a, const mtrx_t *b);
MTRX_EXPORT mtrx_t *mtrx_sub(const mtrx_t *a, const mtrx_t *b);
/* a * b, a.rows x b.cols; a.cols must equal b.rows. */
MTRX_EXPORT mtrx_t *mtrx_mult(const mtrx_t *a, const mtrx_t *b);
/* The transpose, a.cols x a.rows. */
MTRX_EXPORT mtrx_t *mtrx_transpose(const mtrx_t *a);

/* qsort comparison over a row-pointer array (elements are double *): orders
 * rows by ascending first element; 0 when either first element is NaN. */
MTRX_EXPORT int row_cmp(const void *p, const void *q);

/* ---- Cofactor solver ------------------------------------------------------- */

/* 1 when every one of the n elements lies within [-1e-20, 1e-20] (or is NaN),
 * otherwise 0; 1 for n = 0. */
MTRX_EXPORT int vect_is_zero(const double *v, size_t n);
/* A new n x n array of the cofactors of the n x n array `a` (their true
 * values, which leave a double's range for large matrices), or null. From
 * n = 4 on, a cofactor whose minor holds a NaN or an infinity is NaN.
 * Release with arr2d_free(c, n). */
MTRX_EXPORT double **arr2d_cofactor(double **a, size_t n);
/* The sum of a[k][0] * c[k][0] over k: the determinant of `a` when `c` holds
 * its cofactors; its true value, so it may overflow. */
MTRX_EXPORT double arr2d_det(double **a, double **c, size_t n);
/* Transposes the n x n array `m` in place. */
MTRX_EXPORT void arr2d_transpose_inplace(double **m, size_t n);
/* A new vector m * v of n doubles, or null. Caller frees. */
MTRX_EXPORT double *arr2d_mult_vect(double **m, const double *v, size_t n);
/* A new n x n array m / x, each element divided by x, or null. Release with
 * arr2d_free(d, n). */
MTRX_EXPORT double **arr2d_div_scalar(double **m, double x, size_t n);

/*
 * Solves the square system m * x = b through the adjugate and the
 * determinant; x is a new vector (caller frees), m and b stay unchanged. From
 * 4 x 4 on, with finite coefficients, the inverse comes from one scaled
 * factorisation (the determinant as mantissa and power of two): a system is
 * solved wherever its inverse is a double. Null when m is not square or
 * memory is short (message on stderr), and when the system has no unique
 * nonzero solution, after one line on stdout: "The system has no solution.",
 * "The system is consistent - infinite solutions." or "The system has a
 * trivial solution."
 */
MTRX_EXPORT double *mtrx_solve_cofactor(const mtrx_t *m, const double *b);
/* The same for an augmented n x (n + 1) record whose last column holds b;
 * one failure says nothing: when the record for its copy of the coefficients
 * cannot be allocated, it returns null without a message. */
MTRX_EXPORT double *mtrx_solve_cofactor_aug(const mtrx_t *m);

/* ---- Printing on stdout ----------------------------------------------------- */

/* `width` is printf's field width for every number (negative: left-aligned). */
/* Each element as " % *g", one line per row. */
MTRX_EXPORT void mtrx_print(const mtrx_t *m, int width);
/* The system as " %*g" coefficients, then "  | %*g" and the constant; refused
 * (message on stderr) unless rows < cols. */
MTRX_EXPORT void mtrx_print_aug(const mtrx_t *m, int width);
/* The leading rows x rows block as " % *.3f"; refused when rows > cols. */
MTRX_EXPORT void mtrx_print_sq(const mtrx_t *m, int width);
/* A bare rows x cols array as mtrx_print prints a record. */
MTRX_EXPORT void arr2d_print(double **a, size_t rows, size_t cols, int width);
/* The n elements as " % *g" on one line. */
MTRX_EXPORT void vect_print(const double *v, size_t n, int width);
/* The address of the row-pointer array and each of its maxrows entries. */
MTRX_EXPORT void mtrx_dump_ptrs(const mtrx_t *m);

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

#endif /* MTRX_MTRX_H */
