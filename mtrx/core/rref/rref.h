// The reduced row echelon form, and the general solution of a linear system
// read from it. Plain sequential loops (no threads, no vector kernels, no
// fused multiply-add), so the bits are the same everywhere.
#ifndef MTRX_CORE_RREF_H
#define MTRX_CORE_RREF_H

#include <cstddef>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"

namespace mtrx_detail {

// max(rows, cols) * DBL_EPSILON * ||a||_inf (the largest sum of |a_ij| over
// a row), for rows x cols; NaN when an element is a NaN or an infinity.
// Where the norm itself would overflow, the terms are scaled by DBL_EPSILON
// before they are summed.
double rref_tolerance(const double *const *a, std::size_t rows, std::size_t cols);

// Reduces the rows x cols array `a` (finite values) in place to its reduced
// row echelon form by Gauss-Jordan elimination, the columns taken left to
// right: in each column the largest |a_ij| among the rows still without a
// pivot (the first of equal ones) is the pivot, unless it is at most `tol`
// (`last_tol` in the last column), when the column counts as zero there and
// those entries become 0. A pivot
// row is divided by its pivot and the column cleared in every other row.
// Rows are exchanged by their pointers. The pivot columns go to piv (room
// for min(rows, cols)); returns their number, the rank. A value beyond a
// double's range stops the elimination there, with `overflow` set.
std::size_t reduce_to_rref(double **a, std::size_t rows, std::size_t cols, double tol,
                           double last_tol, std::size_t *piv, bool &overflow);

// The general solution of the m x (n + 1) augmented system `a` (finite
// values, n >= 1), from the reduced row echelon form of [A b]: A's pivots at
// A's own default tolerance (the rank of A does not depend on b's scale),
// the constants' at that of [A b]. Rank, consistency and, when consistent, the
// particular solution, the free unknowns and the null-space basis, in
// newly allocated arrays (g's fields, as mtrx_general_solution describes
// them). Otherwise nothing is left allocated: no_memory (fault set), or
// overflow when elimination leaves a double's range.
enum class general_outcome { solved, no_memory, overflow };
general_outcome solve_general(const double *const *a, std::size_t m, std::size_t n,
                              mtrx_general_solution &g, alloc_fault &fault);
// Releases g's arrays and leaves it with none (nfree 0).
void release_general(mtrx_general_solution &g);

} // namespace mtrx_detail

#endif
