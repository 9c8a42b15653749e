// How far a computed solution can be trusted, and iterative refinement of
// it, from the inverse the solver already made: the core of
// mtrx_solve_checked. Says nothing.
#ifndef MTRX_CORE_SOLUTION_CHECK_H
#define MTRX_CORE_SOLUTION_CHECK_H

#include <cstddef>

#include <mtrx/mtrx.h>

namespace mtrx_detail {

// Refinement stops after this many corrections at the most.
constexpr int max_refinement_steps = 10;

// The system's coefficients are aug[i][0..n) and its constants aug[i][n];
// inv holds the n x n inverse the solver made and x its solution. Fills
// `info` as mtrx.h defines it; with `refine`, first refines x in place.
// False, with x unchanged, when scratch memory cannot be had.
bool check_solution(double *const *aug, double *const *inv, double *x, std::size_t n, bool refine,
                    mtrx_solve_info &info);

// The diagnostics of a system without a solution: rcond 0, infinite
// bounds, no step.
mtrx_solve_info no_solution_info();

} // namespace mtrx_detail

#endif
