// The cofactor solver: x = adj(A) b / det(A), with the determinant expanded
// along column 0 (from 4 x 4 on, by substitution with the factorisation the
// cofactors come from), its verdicts on systems without a unique solution,
// and the array helpers it is built from. Nothing is said: failures come back as
// statuses and alloc_faults.
#ifndef MTRX_CORE_COFACTOR_H
#define MTRX_CORE_COFACTOR_H

#include <cstddef>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"

namespace mtrx_detail {

// A new n x n array of the cofactors of `a` (fault at the array's sites, or
// scratch for the factorisation's working storage).
double **cofactor_array(double *const *a, std::size_t n, alloc_fault &fault);
// A new vector m * v (fault: scratch).
double *times_vector(double *const *m, const double *v, std::size_t n, alloc_fault &fault);
// A new n x n array m / x.
double **divided_array(double *const *m, double x, std::size_t n, alloc_fault &fault);
// Whether every one of the n elements lies within [-1e-20, 1e-20] (or is NaN).
bool is_zero_vector(const double *v, std::size_t n);
// The sum of a[k][0] * c[k][0] over k: the determinant of `a` when `c` holds
// its cofactors.
double first_column_det(double *const *a, double *const *c, std::size_t n);
// Transposes the n x n array `m` in place.
void transpose_square(double **m, std::size_t n);

// The method on the n x n array a and the constants b: the solution, the
// zero one included, in *x (MTRX_OK), or why there is none (MTRX_ENOSOLUTION,
// MTRX_EINFINITE, or MTRX_ENOMEM with the fault). Up to 3 x 3, x is the
// adjugate over the determinant times b; from 4 x 4 on, with finite
// coefficients, it comes from the factorisation the cofactors are formed
// from, by substitution (adjugate.h). a and b are not changed; everything
// else made is released.
mtrx_status solve_by_cofactors(double *const *a, const double *b, std::size_t n, double **x,
                               alloc_fault &fault);

} // namespace mtrx_detail

#endif
