// The cofactors and the inverse of a matrix in n^3 operations
// (adjugate.cpp says how).
#ifndef MTRX_CORE_ADJUGATE_H
#define MTRX_CORE_ADJUGATE_H

#include <cstddef>

namespace mtrx_detail {

// The cofactors of the n x n array `a` into the zeroed n x n array `c`, from
// one LU factorisation with full pivoting. False when its working storage
// cannot be had; `c` is then as it came.
bool cofactors_by_lu(double *const *a, double **c, std::size_t n);

enum class lu_inverse { regular, singular, no_memory };
// The inverse of the n x n array `a`, whose elements must all be finite,
// into the n x n array `inv`, as the adjugate over the determinant formed
// from the same factorisation: singular when the determinant is exactly 0.
// Unless regular, `inv` is left as it came.
lu_inverse inverse_by_lu(double *const *a, double **inv, std::size_t n);

} // namespace mtrx_detail

#endif
