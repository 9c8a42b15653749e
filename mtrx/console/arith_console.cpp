// The console forms of the arithmetic: the core's result, or null with the
// message of what failed; and row_cmp, the row order for qsort.
#include <mtrx/mtrx.h>

#include "core/base/arith.h"
#include "messages.h"

using namespace mtrx_detail;

namespace {

// A record operation's result, or null after the message of the shape or
// the allocation that failed.
mtrx_t *natural(record_op op, const mtrx_t *a, const mtrx_t *b)
{
    mtrx_t *r;
    alloc_fault fault;
    if (apply(op, a, b, &r, fault) == MTRX_ESHAPE)
        mtrx_console::unequal_dimensions(a->rows, a->cols, b->rows, b->cols,
                                         op == record_op::mult);
    mtrx_console::tell(fault);
    return r;
}

} // namespace

extern "C" double **arr2d_copy(double **src, size_t rows, size_t cols)
{
    return mtrx_console::told([=](alloc_fault &f) { return copy_array(src, rows, cols, f); });
}

extern "C" double **arr2d_add(double **a, double **b, size_t rows, size_t cols)
{
    return mtrx_console::told([=](alloc_fault &f) { return sum_array(a, b, rows, cols, f); });
}

extern "C" double **arr2d_sub(double **a, double **b, size_t rows, size_t cols)
{
    return mtrx_console::told([=](alloc_fault &f) { return difference_array(a, b, rows, cols, f); });
}

extern "C" double **arr2d_mult(double **a, double **b, size_t m, size_t n, size_t p)
{
    return mtrx_console::told([=](alloc_fault &f) { return product_array(a, b, m, n, p, f); });
}

extern "C" double **arr2d_transpose(double **src, size_t rows, size_t cols)
{
    return mtrx_console::told([=](alloc_fault &f) { return transposed_array(src, rows, cols, f); });
}

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

extern "C" int row_cmp(const void *p, const void *q)
{
    const double x = (*static_cast<double *const *>(p))[0];
    const double y = (*static_cast<double *const *>(q))[0];
    return (x > y) - (x < y);
}
