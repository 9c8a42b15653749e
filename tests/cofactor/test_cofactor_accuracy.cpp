// Accuracy of the cofactors and of the cofactor solver: the cofactors
// against exact integer arithmetic, against the determinants of their
// minors and, at sizes the minor method cannot reach, against the identities
// they satisfy; the solver over the accuracy families and against
// elimination, both measured against binary128.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "reference/cofactor_minors_ref.h"
#include "reference/exact_cofactors.h"
#include "reference/wide_solve.h"
#include "support/accuracy.h"
#include "support/generators.h"
#include "support/records.h"

// Integer matrices with small elements of rank n down to n - 3, against their
// cofactors in exact arithmetic: a regular matrix's within a few rounding
// errors of the largest, a singular one's (rank-one or zero) within the
// rounding errors of elimination on its rows.
TEST(Accuracy, CofactorsAgainstExactArithmetic)
{
    random_source src(12);
    for (size_t n = 1; n <= 8; ++n)
        for (size_t drop = 0; drop <= 3 && drop <= n; ++drop)
            for (int seed = 0; seed < 40; ++seed) {
                const size_t r = n - drop;
                const long long most = r == n ? 9 : 2;
                auto ia = of_rank<long long>(n, r, [&] { return src.integer(-most, most); });
                const auto exact = quendle_ref::exact_cofactors(ia);
                Matrix a(n), e(n, std::vector<double>(n));
                for (size_t i = 0; i < n; ++i) {
                    a[i].assign(ia[i].begin(), ia[i].end());
                    for (size_t j = 0; j < n; ++j)
                        e[i][j] = static_cast<double>(exact[i][j]);
                }
                const Matrix c = cofactors(a);
                const double eps = static_cast<double>(n) * DBL_EPSILON;
                const double bound = quendle_ref::det_by_expansion(ia, exact) != 0
                                         ? 8 * eps * max_abs(e)
                                         : eps * quendle_ref::hadamard_bound<long double>(a, n);
                EXPECT_LE(max_diff(c, e), bound) << n << " x " << n << " of rank " << r << ", seed " << seed;
            }
}

// Rows (or columns) scaled by 2^600 and 2^-600, more than a double's range
// apart: cof(D M)[i][j] = cof(M)[i][j] times the scales of the rows other
// than i (of the columns other than j for M D), exactly representable for
// integer M. Tiny pivots must be kept, not flushed to zero.
TEST(Accuracy, CofactorsOfElementsFarApartInMagnitude)
{
    random_source src(78);
    const int scale[] = {600, 600, -600, -600, 0, 300};
    for (size_t n : {4u, 6u})
        for (int seed = 0; seed < 10; ++seed) {
            auto m = of_rank<long long>(n, n, [&] { return src.integer(-9, 9); });
            const auto exact = quendle_ref::exact_cofactors(m);
            for (bool rows : {true, false}) {
                Matrix a(n, std::vector<double>(n)), e(n, std::vector<double>(n));
                int all = 0;
                for (size_t k = 0; k < n; ++k)
                    all += scale[k];
                for (size_t i = 0; i < n; ++i)
                    for (size_t j = 0; j < n; ++j) {
                        a[i][j] = std::ldexp(static_cast<double>(m[i][j]), scale[rows ? i : j]);
                        e[i][j] = std::ldexp(static_cast<double>(exact[i][j]), all - scale[rows ? i : j]);
                    }
                EXPECT_LE(max_diff(cofactors(a), e), 8 * static_cast<double>(n) * DBL_EPSILON * max_abs(e))
                    << n << " x " << n << (rows ? ", rows" : ", columns") << " scaled, seed " << seed;
            }
        }
}

// Random real matrices, regular and of rank n - 1 and n - 2, against every
// cofactor computed as the determinant of its minor.
TEST(Accuracy, CofactorsAgainstTheMinorMethod)
{
    random_source src(34);
    for (size_t n = 4; n <= 12; ++n)
        for (size_t r : {n, n - 1, n - 2})
            for (int seed = 0; seed < 10; ++seed) {
                const Matrix a = of_rank<double>(n, r, [&] { return src.uniform(); });
                Matrix m(n, std::vector<double>(n));
                auto mp = ptrs(m);
                Rows ar(a);
                quendle_ref::minor_cofactors(ar.get(), mp.data(), n);
                const double eps = static_cast<double>(n) * DBL_EPSILON;
                const double err = max_diff(cofactors(a), m);
                EXPECT_LE(err, eps * quendle_ref::hadamard_bound<long double>(a, n))
                    << n << " x " << n << " of rank " << r;
                if (r == n) {
                    EXPECT_LE(err, 8 * eps * max_abs(m)) << n << " x " << n;
                }
            }
}

// Sizes the minor method cannot reach. Regular: A C^T = det(A) I, with the
// expansion along column 0 agreeing with a long-double determinant, and
// A scaled by 2^k gives cofactors scaled by exactly 2^(k (n - 1)). Rank
// n - 1, A = X Y: by the Cauchy-Binet formula C[i][j] is (-1)^(i+j) times the
// determinants of X without row i and of Y without column j.
TEST(Accuracy, CofactorsOfLargeMatrices)
{
    random_source src(56);
    for (size_t n : {60, 200}) {
        const Matrix a = of_rank<double>(n, n, [&] { return src.uniform(); });
        const Matrix c = cofactors(a);
        Rows ar(a), cr(c);
        const double det = arr2d_det(ar.get(), cr.get(), n);
        const long double ref = det_long(a);
        EXPECT_LT(std::fabs((det - ref) / ref), 1e-9) << n;
        double anorm = 0, res = 0;
        for (size_t i = 0; i < n; ++i) {
            double s = 0;
            for (size_t j = 0; j < n; ++j) {
                s += std::fabs(a[i][j]);
                long double r = i == j ? -ref : 0;
                for (size_t k = 0; k < n; ++k)
                    r += static_cast<long double>(a[i][k]) * c[j][k];
                res = std::max(res, static_cast<double>(std::fabs(r)));
            }
            anorm = std::max(anorm, s);
        }
        EXPECT_LT(res, static_cast<double>(n) * DBL_EPSILON * anorm * max_abs(c)) << n;

        for (int k : {15, -15}) {
            Matrix b = a;
            for (auto &row : b)
                for (double &x : row)
                    x = std::ldexp(x, k);
            const Matrix cb = cofactors(b);
            for (size_t i = 0; i < n; ++i)
                for (size_t j = 0; j < n; ++j)
                    ASSERT_EQ(cb[i][j], std::ldexp(c[i][j], k * static_cast<int>(n - 1))) << n << ": " << i << "," << j;
        }
    }

    const size_t n = 40;
    Matrix x(n, std::vector<double>(n - 1)), y(n - 1, std::vector<double>(n));
    for (auto *f : {&x, &y})
        for (auto &row : *f)
            for (double &v : row)
                v = src.uniform();
    Matrix a(n, std::vector<double>(n));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            for (size_t k = 0; k + 1 < n; ++k)
                a[i][j] += x[i][k] * y[k][j];
    std::vector<long double> dx(n), dy(n);
    for (size_t i = 0; i < n; ++i) {
        Matrix xi = x, yi(n - 1);
        xi.erase(xi.begin() + static_cast<std::ptrdiff_t>(i));
        for (size_t k = 0; k + 1 < n; ++k) {
            yi[k] = y[k];
            yi[k].erase(yi[k].begin() + static_cast<std::ptrdiff_t>(i));
        }
        dx[i] = (i % 2 ? -1 : 1) * det_long(xi);
        dy[i] = (i % 2 ? -1 : 1) * det_long(yi);
    }
    Matrix ref(n, std::vector<double>(n));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            ref[i][j] = static_cast<double>(dx[i] * dy[j]);
    EXPECT_LE(max_diff(cofactors(a), ref), 1e3 * static_cast<double>(n) * DBL_EPSILON * max_abs(ref));
}

// Up to 3 x 3 the solution is the adjugate over the determinant, an explicit
// inverse, which is not backward stable: on Hilbert and Vandermonde systems
// its residual grows with the condition number; its determinant, a product
// of n elements, also underflows (overflows) for elements near 1e-150
// (1e150), where it takes a regular system for a singular one. So it is
// held to the bound on the well-conditioned families of ordinary scale.
// From 4 x 4 on the solution comes from the scaled factorisation by
// substitution and one refinement step, held to elimination's standard on
// every family.
TEST(Accuracy, CofactorSolver)
{
    check_solver("mtrx_solve_cofactor_aug", by_cofactor, 3, false, 4);
    check_solver("mtrx_solve_cofactor_aug", by_cofactor, SIZE_MAX, true, 0, 4);
}

// From 4 x 4 on the cofactor solver is at least as accurate as elimination:
// over Hilbert systems of order 4 to 12 with random solutions (GSL's test of
// its LU solver, Hilbert 1 to 4 with a tolerance of 4096 n eps, on more
// orders) and random systems of condition numbers up to 1e12, its normwise
// error against binary128 is never above elimination's (or eps), and within
// 4096 n eps on Hilbert 4.
TEST(Accuracy, CofactorSolverAsAccurateAsElimination)
{
    random_source src(4096);
    auto error = [](const std::vector<double> &x, const std::vector<quendle_ref::quad> &exact) {
        quendle_ref::quad err = 0, size = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            err = std::max(err, quendle_ref::quad_abs(x[i] - exact[i]));
            size = std::max(size, quendle_ref::quad_abs(exact[i]));
        }
        return static_cast<double>(err / size);
    };
    for (int rep = 0; rep < 90; ++rep) {
        const size_t n = 4 + static_cast<size_t>(rep) % 9;
        Matrix a(n, std::vector<double>(n + 1));
        if (rep < 45) {
            for (size_t i = 0; i < n; ++i)
                for (size_t j = 0; j < n; ++j)
                    a[i][j] = 1.0 / static_cast<double>(i + j + 1);
        } else {
            // Rows of random values, graded by up to twelve orders of magnitude.
            a = src.matrix(n, n + 1, kind::uniform);
            for (size_t i = 0; i < n; ++i)
                for (size_t j = 0; j < n; ++j)
                    a[i][j] *= std::pow(10.0, -12.0 * static_cast<double>(j) / static_cast<double>(n));
        }
        for (size_t i = 0; i < n; ++i) {
            quendle_ref::quad b = 0;
            for (size_t j = 0; j < n; ++j)
                b += static_cast<quendle_ref::quad>(a[i][j]) * src.uniform();
            a[i][n] = static_cast<double>(b);
        }
        const quendle_ref::wide_solution ref = quendle_ref::wide_solve(a);
        const double cof = error(by_cofactor(a), ref.x), gj = error(by_solve_gj(a), ref.x);
        EXPECT_LE(cof, std::max(gj, DBL_EPSILON)) << "n = " << n << ", rep " << rep;
        if (rep < 45 && n == 4) {
            EXPECT_LE(cof, 4096 * 4 * DBL_EPSILON);
        }
    }
}
