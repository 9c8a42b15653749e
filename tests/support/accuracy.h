// What the accuracy tests share: families of square systems (random at
// every scale, Hilbert, Vandermonde, diagonally dominant, badly row-scaled),
// a long-double solution to compare with, the scaled residual, a check of a
// solver over the families, the solvers as functions of an augmented
// system, and the cofactors by both of the library's methods.
#ifndef QUENDLE_TESTS_SUPPORT_ACCURACY_H
#define QUENDLE_TESTS_SUPPORT_ACCURACY_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "matrix.h"

// The systems are n rows of n + 1 (augmented).
using Solver = std::function<std::vector<double>(const Matrix &)>;

struct Family {
    std::string name;
    Matrix a;
    bool well_conditioned;
    bool extreme_scale = false; // elements near 1e-150 or 1e150
};

// Every family, from 1 to 100 unknowns.
std::vector<Family> families();

// Gauss-Jordan with partial pivoting in long double: the reference.
std::vector<long double> reference(const Matrix &m);

// ||A x - b|| / (||A|| ||x|| n eps), infinity norms.
double scaled_residual(const Matrix &m, const std::vector<double> &x);

// Solves every family of min_n to max_n unknowns: the scaled residual below
// 30 and, on a well-conditioned one, the normwise error against `reference`
// within 1e4 n eps. `backward_stable`: the method is expected to keep the
// residual small on ill-conditioned systems too; otherwise only the
// well-conditioned families are checked, those of extreme scale from
// `extreme_from` unknowns on.
void check_solver(const char *solver_name, const Solver &solve, std::size_t max_n = SIZE_MAX,
                  bool backward_stable = true, std::size_t extreme_from = 0, std::size_t min_n = 0);

// The solvers: guassj on the augmented rows, guassj_vec with the constants
// apart, mtrx_solve_gj, and mtrx_solve_cofactor_aug (which must print nothing).
std::vector<double> by_guassj(const Matrix &m);
std::vector<double> by_guassj_vec(const Matrix &m);
std::vector<double> by_solve_gj(const Matrix &m);
std::vector<double> by_cofactor(const Matrix &m);

// The cofactors by the factorisation method at any n; from n = 4 on
// arr2d_cofactor must give the same bits.
Matrix cofactors(const Matrix &a);

// The largest |a[i][j]|, and the largest |a[i][j] - b[i][j]| (square).
double max_abs(const Matrix &a);
double max_diff(const Matrix &a, const Matrix &b);

// The determinant by partial pivoting in long double.
long double det_long(const Matrix &m);

#endif
