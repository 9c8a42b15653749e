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
 * status functions (mtrx_status.h, included at the end; mtrx/status) return
 * an mtrx_status and never end the process or write on any stream. The others (mtrx/console,
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
 * Layout. The library is built in three layers, each calling only those
 * below it: mtrx/core (a folder per module: base, read, gj, cofactor,
 * product, pool, checked, rref; internal names only), mtrx/status (the
 * status functions and the release functions), mtrx/console (the functions
 * that print or exit, every message in console/messages.cpp). This header
 * declares the record, the release functions and the console layer's
 * functions; mtrx_status.h, which it includes, the status functions.
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

#ifdef __cplusplus
}
#endif

#include <mtrx/mtrx_status.h>

#endif /* MTRX_MTRX_H */
