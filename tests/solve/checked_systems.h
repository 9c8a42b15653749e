// The systems the checked solve's tests go through, and what they check of
// its answers: augmented n x (n + 1) systems of chosen condition number, the
// classic ill-conditioned families, integer systems exact at every binary
// scale, and the errors against an exact solution in binary128.
#ifndef QUENDLE_TESTS_SOLVE_CHECKED_SYSTEMS_H
#define QUENDLE_TESTS_SOLVE_CHECKED_SYSTEMS_H

#include <cstddef>
#include <vector>

#include "mtrx.h"
#include "reference/wide_solve.h"
#include "support/generators.h"
#include "support/matrix.h"

// mtrx_solve_checked's status, solution and diagnosis of a system.
struct checked {
    mtrx_status st = MTRX_OK;
    std::vector<double> x;
    mtrx_solve_info info{};
};

checked solve_checked(const Matrix &aug, unsigned flags);

// Row i: 1 / (i + j + 1), and the row's sum as the constant.
Matrix hilbert(std::size_t n);
// Integers from -9 to 9, the constants too, with 30 added on the diagonal.
Matrix random_integers(std::size_t n, random_source &g);
// Rows and columns scaled by powers of two from 1 down to 2^-6(n-1).
Matrix graded(std::size_t n, random_source &g);
// U diag(s) V^T rounded to doubles, U and V orthogonal (three reflections
// each), s from 1 down to 1 / cond geometrically; the constants A x for x
// in +-[0.5, 1.5].
Matrix conditioned(std::size_t n, double cond, random_source &g);
// Row i of Pascal's matrix: C(i + j, j); the row's sum as the constant.
Matrix pascal(std::size_t n);
// Kahan's upper triangular matrix diag(1, s, .., s^(n-1)) (I - c U), U
// holding ones above the diagonal, c = cos 1.2, s = sin 1.2; the constants
// from a solution of +-1.
Matrix kahan(std::size_t n);
// Rows of powers of 1 + i / n: 1, t, t^2, ..; the row's sum as the constant.
Matrix vandermonde(std::size_t n);

// The families whose bounds are checked: condition numbers from 1 to 1e20
// (well past 1 / eps), the classic ill-conditioned ones, and the 3 x 3 of
// condition 3.4e17 whose cofactor inverse once misled every diagnostic.
std::vector<Matrix> hard_systems(random_source &g);

// What holds of every diagnosis of a finite system with a solution: nothing
// NaN or infinite, the flags as defined, and an untrusted bound reported as 1.
void expect_sound(const checked &c);

// Integers: off the diagonal from -1024 to 1024, on it 1024 n more; the
// constants from a solution of integers from +-1 to +-3, exact. Scaled by
// any power of two from 2^-1074 on, every element stays exact.
struct integer_system {
    Matrix aug;
    std::vector<double> x;
};
integer_system integer_system_of(std::size_t n, random_source &g);

// Row i times 2^row[i], column j of A times 2^col[j], b times 2^rhs.
Matrix scaled_system(const Matrix &aug, const std::vector<int> &row, const std::vector<int> &col,
                     int rhs);

// ||x - exact||_inf / ||exact||_inf, and the largest |x_j - exact_j| / |exact_j|.
double error_of(const std::vector<double> &x, const std::vector<quendle_ref::quad> &exact);
double componentwise_error(const std::vector<double> &x,
                           const std::vector<quendle_ref::quad> &exact);

#endif
