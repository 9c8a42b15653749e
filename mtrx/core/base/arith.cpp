// Arithmetic on bare arrays and records (arith.h).
#include "core/base/arith.h"

#include <cstdlib>

#include "core/base/owned.h"
#include "core/product/product.h"
#include "core/base/storage.h"

namespace mtrx_detail {

double **copy_array(double *const *src, std::size_t rows, std::size_t cols, alloc_fault &fault)
{
    return filled_array(rows, cols, fault, [=](std::size_t i, std::size_t j) { return src[i][j]; });
}

double **sum_array(double *const *a, double *const *b, std::size_t rows, std::size_t cols,
                   alloc_fault &fault)
{
    return filled_array(rows, cols, fault,
                        [=](std::size_t i, std::size_t j) { return a[i][j] + b[i][j]; });
}

double **difference_array(double *const *a, double *const *b, std::size_t rows,
                          std::size_t cols, alloc_fault &fault)
{
    return filled_array(rows, cols, fault,
                        [=](std::size_t i, std::size_t j) { return a[i][j] - b[i][j]; });
}

// Every element is its own running sum: it starts at 0.0 and receives
// a[i][k] * b[k][j] for k = 0, 1, ..., n - 1 in that order, each product
// rounded before it is added (product.cpp does the work, blocked and
// vectorised, with the same bits).
double **product_array(double *const *a, double *const *b, std::size_t m, std::size_t n,
                       std::size_t p, alloc_fault &fault)
{
    double **r = new_array(m, p, fault);
    if (r)
        product_into(r, a, b, m, n, p);
    return r;
}

double **transposed_array(double *const *src, std::size_t rows, std::size_t cols,
                          alloc_fault &fault)
{
    return filled_array(cols, rows, fault, [=](std::size_t i, std::size_t j) { return src[j][i]; });
}

namespace {

// A new tight record of the given shape, whose array comes from `make`.
template <class Make>
mtrx_t *new_record(std::size_t rows, std::size_t cols, alloc_fault &fault, Make make)
{
    owned_record m(static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t))));
    if (!m) {
        fault.set(alloc_site::result_record);
        return nullptr;
    }
    m->rows = m->maxrows = rows;
    m->cols = m->maxcols = cols;
    m->mtrx = make();
    if (!m->mtrx)
        return nullptr;
    return m.release();
}

} // namespace

mtrx_status apply(record_op op, const mtrx_t *a, const mtrx_t *b, mtrx_t **out,
                  alloc_fault &fault)
{
    *out = nullptr;
    switch (op) {
    case record_op::add:
    case record_op::sub:
        if (a->rows != b->rows || a->cols != b->cols)
            return MTRX_ESHAPE;
        *out = new_record(a->rows, a->cols, fault, [&] {
            return op == record_op::add ? sum_array(a->mtrx, b->mtrx, a->rows, a->cols, fault)
                                        : difference_array(a->mtrx, b->mtrx, a->rows, a->cols,
                                                           fault);
        });
        break;
    case record_op::mult:
        if (a->cols != b->rows)
            return MTRX_ESHAPE;
        *out = new_record(a->rows, b->cols, fault, [&] {
            return product_array(a->mtrx, b->mtrx, a->rows, a->cols, b->cols, fault);
        });
        break;
    case record_op::transpose:
        *out = new_record(a->cols, a->rows, fault,
                          [&] { return transposed_array(a->mtrx, a->rows, a->cols, fault); });
        break;
    }
    return *out ? MTRX_OK : MTRX_ENOMEM;
}

} // namespace mtrx_detail
