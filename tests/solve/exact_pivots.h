// The pivot columns of a small integer matrix's reduced row echelon form,
// found exactly: the reference for the rank and pivots the floating-point
// reduction must find.
#ifndef QUENDLE_TESTS_SOLVE_EXACT_PIVOTS_H
#define QUENDLE_TESTS_SOLVE_EXACT_PIVOTS_H

#include <cstddef>
#include <vector>

#include "support/matrix.h"

// The pivot columns of the reduced row echelon form of the integer matrix
// a's first `cols` columns, found exactly over the integers modulo the prime
// 2^61 - 1 (for these small matrices the same as over the rationals).
std::vector<std::size_t> exact_pivots(const Matrix &a, std::size_t cols);

#endif
