// The systems of the many-column solve's tests: n x n matrices A and n x k
// right-hand sides B of every kind and scale, among them columns whose
// solutions overflow and columns found only under the full scaling; and the
// solve of one column of B alone, which every column of X is held to.
#ifndef QUENDLE_TESTS_SOLVE_MANY_CASES_H
#define QUENDLE_TESTS_SOLVE_MANY_CASES_H

#include <cstddef>
#include <string>
#include <vector>

#include "solve/checked_systems.h"
#include "support/matrix.h"

// [A | b_c] solved alone, by mtrx_solve_checked (with `flags`) or
// mtrx_solve_system (no diagnosis then).
checked solve_alone(const Matrix &a, const Matrix &b, std::size_t c, bool checked, unsigned flags);

// An n x n A and an n x k B (records may not be empty of columns: b is kept
// as rows of k values).
struct many_case {
    std::string what;
    Matrix a, b;
};

// The same cases on every call (a fixed seed).
std::vector<many_case> generated_cases();

#endif
