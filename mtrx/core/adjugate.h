// The cofactors of a matrix in n^3 operations (adjugate.cpp says how).
#ifndef MTRX_CORE_ADJUGATE_H
#define MTRX_CORE_ADJUGATE_H

#include <cstddef>

namespace mtrx_detail {

// The cofactors of the n x n array `a` into the zeroed n x n array `c`, from
// one LU factorisation with full pivoting. False when its working storage
// cannot be had; `c` is then as it came.
bool cofactors_by_lu(double *const *a, double **c, std::size_t n);

} // namespace mtrx_detail

#endif
