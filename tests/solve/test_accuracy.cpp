// Numerical accuracy of the elimination solvers on families of systems: the
// scaled residual ||A x - b|| / (||A|| ||x|| n eps) must stay below 30
// (infinity norms), and on well-conditioned systems the solution must agree
// with one computed in long double.
#include <gtest/gtest.h>

#include "support/accuracy.h"

TEST(Accuracy, ValidatedGaussJordan) { check_solver("mtrx_solve_gj", by_solve_gj); }

TEST(Accuracy, GaussJordan) { check_solver("guassj", by_guassj); }

TEST(Accuracy, GaussJordanWithSeparateConstants) { check_solver("guassj_vec", by_guassj_vec); }
