// Element-wise sum and difference, product, transpose and copy of bare arrays
// and of records (in the natural form and as statuses), and the row
// comparison for sorting a row-pointer array. Every result is a new, tight
// allocation; the operands are only read.
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
        say("%s() error: calloc-result.\n", unknown);
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

enum class record_op { add, sub, mult, transpose };

// One record operation, the body of both forms: the result in *out, or
// MTRX_ESHAPE (nothing allocated, nothing said) when the dimensions do not
// fit, or MTRX_ENOMEM after the allocation functions' messages.
mtrx_status apply(record_op op, const mtrx_t *a, const mtrx_t *b, mtrx_t **out)
{
    switch (op) {
    case record_op::add:
    case record_op::sub:
        if (a->rows != b->rows || a->cols != b->cols) {
            *out = nullptr;
            return MTRX_ESHAPE;
        }
        *out = new_record(a->rows, a->cols, [&] {
            return op == record_op::add ? arr2d_add(a->mtrx, b->mtrx, a->rows, a->cols)
                                        : arr2d_sub(a->mtrx, b->mtrx, a->rows, a->cols);
        });
        break;
    case record_op::mult:
        if (a->cols != b->rows) {
            *out = nullptr;
            return MTRX_ESHAPE;
        }
        *out = new_record(a->rows, b->cols,
                          [&] { return arr2d_mult(a->mtrx, b->mtrx, a->rows, a->cols, b->cols); });
        break;
    case record_op::transpose:
        *out = new_record(a->cols, a->rows,
                          [&] { return arr2d_transpose(a->mtrx, a->rows, a->cols); });
        break;
    }
    return *out ? MTRX_OK : MTRX_ENOMEM;
}

// The natural form: the record, or null with a message on stderr.
mtrx_t *natural(record_op op, const mtrx_t *a, const mtrx_t *b)
{
    mtrx_t *r;
    if (apply(op, a, b, &r) == MTRX_ESHAPE)
        say("%s() error: unequal dimensions, (%zu x %zu) != (%zu x %zu)\n%s", unknown, a->rows,
            a->cols, b->rows, b->cols,
            op == record_op::mult ? " [not (m x n) * (n x p) => (m x p)]\n" : "");
    return r;
}

// The status form.
mtrx_status status(record_op op, const mtrx_t *a, const mtrx_t *b, mtrx_t **out, mtrx_error *err)
{
    quiet_scope quiet;
    if (!out || !a || !b) { // (a transpose passes a as b)
        if (out)
            *out = nullptr;
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null record or result pointer.");
    }
    const mtrx_status st = apply(op, a, b, out);
    if (st != MTRX_ESHAPE)
        return set_error(err, st);
    if (op == record_op::mult)
        return set_error_msg(err, st, 0, 0, 0,
                             "Unequal dimensions, (%zu x %zu) * (%zu x %zu): the columns of the "
                             "first must equal the rows of the second.",
                             a->rows, a->cols, b->rows, b->cols);
    return set_error_msg(err, st, 0, 0, 0, "Unequal dimensions, (%zu x %zu) != (%zu x %zu).",
                         a->rows, a->cols, b->rows, b->cols);
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
// added (product.cpp does the work, blocked and vectorised, with the same
// bits).
extern "C" double **arr2d_mult(double **a, double **b, size_t m, size_t n, size_t p)
{
    double **r = arr2d_calloc(m, p);
    if (!r)
        return nullptr;
    product_into(r, a, b, m, n, p);
    return r;
}

extern "C" double **arr2d_transpose(double **src, size_t rows, size_t cols)
{
    return arr2d_filled(cols, rows, [=](size_t i, size_t j) { return src[j][i]; });
}

// ---- Records ---------------------------------------------------------------------

extern "C" mtrx_t *mtrx_add(const mtrx_t *a, const mtrx_t *b)
{
    return natural(record_op::add, a, b);
}
extern "C" mtrx_t *mtrx_sub(const mtrx_t *a, const mtrx_t *b)
{
    return natural(record_op::sub, a, b);
}
extern "C" mtrx_t *mtrx_mult(const mtrx_t *a, const mtrx_t *b)
{
    return natural(record_op::mult, a, b);
}
extern "C" mtrx_t *mtrx_transpose(const mtrx_t *a)
{
    return natural(record_op::transpose, a, a);
}

extern "C" mtrx_status mtrx_sum(const mtrx_t *a, const mtrx_t *b, mtrx_t **out, mtrx_error *err)
{
    return status(record_op::add, a, b, out, err);
}
extern "C" mtrx_status mtrx_difference(const mtrx_t *a, const mtrx_t *b, mtrx_t **out,
                                       mtrx_error *err)
{
    return status(record_op::sub, a, b, out, err);
}
extern "C" mtrx_status mtrx_product(const mtrx_t *a, const mtrx_t *b, mtrx_t **out,
                                    mtrx_error *err)
{
    return status(record_op::mult, a, b, out, err);
}
extern "C" mtrx_status mtrx_transposed(const mtrx_t *a, mtrx_t **out, mtrx_error *err)
{
    return status(record_op::transpose, a, a, out, err);
}

// ---- Sorting rows ----------------------------------------------------------------

extern "C" int row_cmp(const void *p, const void *q)
{
    const double x = (*static_cast<double *const *>(p))[0];
    const double y = (*static_cast<double *const *>(q))[0];
    return (x > y) - (x < y);
}
