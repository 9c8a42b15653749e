// Element-wise sum and difference, product, transpose and copy of bare arrays
// and of records, and the row comparison for sorting a row-pointer array.
// Every result is a new, tight allocation; the operands are only read.
#include <cstdio>
#include <cstdlib>

#include "internal.h"

using namespace mtrx_detail;

namespace {

const char *const unknown = "<unknown>";

// A new record of the given shape, tight, whose array comes from `make`
// (which reports its own failure).
template <class Make> mtrx_t *new_record(size_t rows, size_t cols, Make make)
{
    auto *m = static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t)));
    if (!m) {
        std::fprintf(stderr, "%s() error: calloc-result.\n", unknown);
        return nullptr;
    }
    m->rows = m->maxrows = rows;
    m->cols = m->maxcols = cols;
    m->mtrx = make();
    if (!m->mtrx) {
        std::free(m);
        return nullptr;
    }
    return m;
}

bool same_shape(const mtrx_t *a, const mtrx_t *b)
{
    if (a->rows == b->rows && a->cols == b->cols)
        return true;
    std::fprintf(stderr, "%s() error: unequal dimensions, (%zu x %zu) != (%zu x %zu)\n", unknown,
                 a->rows, a->cols, b->rows, b->cols);
    return false;
}

} // namespace

// ---- Bare arrays ---------------------------------------------------------------

extern "C" double **arr2d_copy(double **src, size_t rows, size_t cols)
{
    return arr2d_filled(rows, cols, [=](size_t i, size_t j) { return src[i][j]; });
}

extern "C" double **arr2d_add(double **a, double **b, size_t rows, size_t cols)
{
    return arr2d_filled(rows, cols, [=](size_t i, size_t j) { return a[i][j] + b[i][j]; });
}

extern "C" double **arr2d_sub(double **a, double **b, size_t rows, size_t cols)
{
    return arr2d_filled(rows, cols, [=](size_t i, size_t j) { return a[i][j] - b[i][j]; });
}

// The product of the m x n array a and the n x p array b. Every element is
// its own running sum: it starts at 0.0 and receives a[i][k] * b[k][j] for
// k = 0, 1, ..., n - 1 in that order, each product rounded before it is
// added. The loops run i, k, j so that the inner loop walks a row of b and a
// row of the result; the order of the terms within each element is the same
// as with j outside k, so the bits are too.
extern "C" double **arr2d_mult(double **a, double **b, size_t m, size_t n, size_t p)
{
    double **r = arr2d_calloc(m, p);
    if (!r)
        return nullptr;
    for (size_t i = 0; i < m; ++i) {
        double *ri = r[i];
        for (size_t k = 0; k < n; ++k) {
            const double aik = a[i][k];
            const double *bk = b[k];
            for (size_t j = 0; j < p; ++j) {
                const double t = aik * bk[j];
                ri[j] = ri[j] + t;
            }
        }
    }
    return r;
}

extern "C" double **arr2d_transpose(double **src, size_t rows, size_t cols)
{
    return arr2d_filled(cols, rows, [=](size_t i, size_t j) { return src[j][i]; });
}

// ---- Records ---------------------------------------------------------------------

extern "C" mtrx_t *mtrx_add(const mtrx_t *a, const mtrx_t *b)
{
    if (!same_shape(a, b))
        return nullptr;
    return new_record(a->rows, a->cols,
                      [&] { return arr2d_add(a->mtrx, b->mtrx, a->rows, a->cols); });
}

extern "C" mtrx_t *mtrx_sub(const mtrx_t *a, const mtrx_t *b)
{
    if (!same_shape(a, b))
        return nullptr;
    return new_record(a->rows, a->cols,
                      [&] { return arr2d_sub(a->mtrx, b->mtrx, a->rows, a->cols); });
}

extern "C" mtrx_t *mtrx_mult(const mtrx_t *a, const mtrx_t *b)
{
    if (a->cols != b->rows) {
        std::fprintf(stderr,
                     "%s() error: unequal dimensions, (%zu x %zu) != (%zu x %zu)\n"
                     " [not (m x n) * (n x p) => (m x p)]\n",
                     unknown, a->rows, a->cols, b->rows, b->cols);
        return nullptr;
    }
    return new_record(a->rows, b->cols,
                      [&] { return arr2d_mult(a->mtrx, b->mtrx, a->rows, a->cols, b->cols); });
}

extern "C" mtrx_t *mtrx_transpose(const mtrx_t *a)
{
    return new_record(a->cols, a->rows, [&] { return arr2d_transpose(a->mtrx, a->rows, a->cols); });
}

// ---- Sorting rows ----------------------------------------------------------------

extern "C" int row_cmp(const void *p, const void *q)
{
    const double x = (*static_cast<double *const *>(p))[0];
    const double y = (*static_cast<double *const *>(q))[0];
    return (x > y) - (x < y);
}
