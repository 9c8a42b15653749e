// The cofactors of a matrix in n^3 operations, and the solution of a system
// from the same factorisation (adjugate.cpp says how).
#ifndef MTRX_CORE_ADJUGATE_H
#define MTRX_CORE_ADJUGATE_H

#include <cstddef>

namespace mtrx_detail {

// The cofactors of the n x n array `a` into the zeroed n x n array `c`, from
// one LU factorisation with full pivoting. False when its working storage
// cannot be had; `c` is then as it came.
bool cofactors_by_lu(double *const *a, double **c, std::size_t n);

enum class lu_solve { regular, singular, no_memory };
// The solution of a x = b, for the n x n array `a` whose elements must all
// be finite, into the n doubles at x, by substitution with the factors:
// singular when the determinant is exactly 0. Unless regular, x is left as
// it came.
lu_solve solve_by_lu(double *const *a, const double *b, double *x, std::size_t n);

} // namespace mtrx_detail

#endif
