// How far a computed solution can be trusted, and iterative refinement of
// it, from the inverse elimination made: the core of mtrx_solve_checked.
// Says nothing.
#ifndef MTRX_CORE_SOLUTION_CHECK_H
#define MTRX_CORE_SOLUTION_CHECK_H

#include <cstddef>

#include <mtrx/mtrx.h>

namespace mtrx_detail {

class system_scaling;

// Refinement stops after this many corrections at the most.
constexpr int max_refinement_steps = 10;

// A solved system as the diagnostics read it: the rows of the system as
// given (A in their first n columns) and as scaled (the same rows when the
// scaling is none), the constants in column n + `column` of the scaled rows
// and scaled by the scaling's rhs(column), and the n x n inverse that
// elimination left of the scaled matrix, or null when it met a zero pivot.
struct checked_system {
    double *const *given;
    double *const *scaled;
    double *const *inverse;
    const system_scaling &scaling;
    std::size_t column = 0;
};

// Fills `info` for the solution x of the system as mtrx.h defines it; with
// `refine`, first refines x in place. False, with x unchanged, when scratch
// memory cannot be had.
bool check_solution(const checked_system &s, double *x, std::size_t n, bool refine,
                    mtrx_solve_info &info);

// The diagnostics of a system without a solution: rcond 0, infinite
// bounds, no trust, no step.
mtrx_solve_info no_solution_info();

} // namespace mtrx_detail

#endif
