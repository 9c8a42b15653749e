// Element-wise sum and difference, product, transpose and copy of bare
// arrays and of records. Every result is a new, tight allocation; the
// operands are only read. Nothing is said: failures come back as statuses
// and alloc_faults.
#ifndef MTRX_CORE_ARITH_H
#define MTRX_CORE_ARITH_H

#include <cstddef>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"

namespace mtrx_detail {

double **copy_array(double *const *src, std::size_t rows, std::size_t cols, alloc_fault &fault);
double **sum_array(double *const *a, double *const *b, std::size_t rows, std::size_t cols,
                   alloc_fault &fault);
double **difference_array(double *const *a, double *const *b, std::size_t rows,
                          std::size_t cols, alloc_fault &fault);
// The m x p product of the m x n array a and the n x p array b.
double **product_array(double *const *a, double *const *b, std::size_t m, std::size_t n,
                       std::size_t p, alloc_fault &fault);
double **transposed_array(double *const *src, std::size_t rows, std::size_t cols,
                          alloc_fault &fault);

enum class record_op { add, sub, mult, transpose };

// The record operation on a and b (a transpose reads only a) into *out, a
// new tight record: MTRX_OK, MTRX_ESHAPE when the dimensions do not fit
// (nothing allocated), or MTRX_ENOMEM (fault says where; nothing left).
mtrx_status apply(record_op op, const mtrx_t *a, const mtrx_t *b, mtrx_t **out,
                  alloc_fault &fault);

} // namespace mtrx_detail

#endif
