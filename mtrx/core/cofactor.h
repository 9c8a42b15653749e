// The cofactor solver: x = adj(A) b / det(A), with the determinant expanded
// along column 0, its verdicts on systems without a unique solution, and the
// array helpers it is built from. Nothing is said: failures come back as
// statuses and alloc_faults.
#ifndef MTRX_CORE_COFACTOR_H
#define MTRX_CORE_COFACTOR_H

#include <cstddef>

#include <mtrx/mtrx.h>

#include "alloc.h"

namespace mtrx_detail {

// A new n x n array of the cofactors of `a` (fault at the array's sites, or
// scratch for the factorisation's working storage).
double **cofactor_array(double *const *a, std::size_t n, alloc_fault &fault);
// A new vector m * v (fault: scratch).
double *times_vector(double *const *m, const double *v, std::size_t n, alloc_fault &fault);
// A new n x n array m / x.
double **divided_array(double *const *m, double x, std::size_t n, alloc_fault &fault);

// The method on the n x n array a and the constants b: the solution, the
// zero one included, in *x (MTRX_OK), or why there is none (MTRX_ENOSOLUTION,
// MTRX_EINFINITE, or MTRX_ENOMEM with the fault). a and b are not changed;
// everything else made is released, but for the inverse the solution was
// formed from, handed out in *inverse (an n x n array) on MTRX_OK when
// inverse is not null.
mtrx_status solve_by_cofactors(double *const *a, const double *b, std::size_t n, double **x,
                               alloc_fault &fault, double ***inverse = nullptr);

} // namespace mtrx_detail

#endif
