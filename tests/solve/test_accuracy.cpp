// Numerical accuracy of the solvers on families of systems: the scaled
// residual ||A x - b|| / (||A|| ||x|| n eps) must stay below 30 (infinity
// norms), and on well-conditioned systems the solution must agree with one
// computed in long double.
#include <cfloat>
#include <cmath>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "core/adjugate.h"
#include "reference/cofactor_minors_ref.h"
#include "reference/exact_cofactors.h"
#include "reference/wide_solve.h"
#include "support/generators.h"
#include "support/records.h"
#include "support/streams.h"

namespace {

// The systems are n rows of n + 1 (augmented).
using Solver = std::function<std::vector<double>(const Matrix &)>;

struct Family {
    std::string name;
    Matrix a;
    bool well_conditioned;
    bool extreme_scale = false; // elements near 1e-150 or 1e150
};

// b = A * ones, rounded, so that every family has a known exact-ish answer.
Matrix with_constants(Matrix coef)
{
    for (auto &row : coef) {
        long double s = 0;
        for (double v : row)
            s += v;
        row.push_back(static_cast<double>(s));
    }
    return coef;
}

Matrix random_system(size_t n, double scale, unsigned seed)
{
    Matrix a = random_source(seed).matrix(n, n, kind::uniform);
    for (auto &row : a)
        for (double &v : row)
            v *= scale;
    return with_constants(a);
}

Matrix hilbert(size_t n)
{
    Matrix a(n, std::vector<double>(n));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            a[i][j] = 1.0 / static_cast<double>(i + j + 1);
    return with_constants(a);
}

Matrix vandermonde(size_t n)
{
    Matrix a(n, std::vector<double>(n));
    for (size_t i = 0; i < n; ++i) {
        double x = 1.0 + static_cast<double>(i) / static_cast<double>(n), p = 1.0;
        for (size_t j = 0; j < n; ++j, p *= x)
            a[i][j] = p;
    }
    return with_constants(a);
}

Matrix diagonally_dominant(size_t n, unsigned seed)
{
    Matrix a = random_source(seed).matrix(n, n, kind::uniform);
    for (size_t i = 0; i < n; ++i)
        a[i][i] = static_cast<double>(n) + 1.0;
    return with_constants(a);
}

// Rows scaled by powers of ten from 1e-8 to 1e8: the row scaling must not
// spoil the answer of a pivoting method.
Matrix badly_scaled_rows(size_t n, unsigned seed)
{
    Matrix m = random_system(n, 1.0, seed);
    for (size_t i = 0; i < n; ++i) {
        double s = std::pow(10.0, -8.0 + 16.0 * static_cast<double>(i) / static_cast<double>(n - 1));
        for (double &v : m[i])
            v *= s;
    }
    return m;
}

std::vector<Family> families()
{
    std::vector<Family> f;
    for (size_t n : {1, 2, 3, 5, 10, 30, 40, 80})
        for (double scale : {1e-150, 1.0, 1e150})
            f.push_back({"random n=" + std::to_string(n) + " scale=" + std::to_string(scale),
                         random_system(n, scale, 1000u + static_cast<unsigned>(n)), n <= 30,
                         scale != 1.0});
    for (size_t n = 4; n <= 10; ++n)
        f.push_back({"hilbert " + std::to_string(n), hilbert(n), false});
    for (size_t n : {3, 6, 9})
        f.push_back({"vandermonde " + std::to_string(n), vandermonde(n), false});
    for (size_t n : {3, 20, 100})
        f.push_back({"dominant " + std::to_string(n), diagonally_dominant(n, 7u + static_cast<unsigned>(n)), true});
    for (size_t n : {4, 12})
        f.push_back({"badly scaled rows " + std::to_string(n), badly_scaled_rows(n, 99u), false});
    return f;
}

// Gauss-Jordan with partial pivoting in long double: the reference.
std::vector<long double> reference(const Matrix &m)
{
    size_t n = m.size();
    std::vector<std::vector<long double>> a(n);
    for (size_t i = 0; i < n; ++i)
        a[i].assign(m[i].begin(), m[i].end());
    for (size_t c = 0; c < n; ++c) {
        size_t p = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        std::swap(a[p], a[c]);
        for (size_t r = 0; r < n; ++r) {
            if (r == c)
                continue;
            long double f = a[r][c] / a[c][c];
            for (size_t k = c; k <= n; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    std::vector<long double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = a[i][n] / a[i][i];
    return x;
}

double scaled_residual(const Matrix &m, const std::vector<double> &x)
{
    size_t n = m.size();
    double anorm = 0, xnorm = 0, rnorm = 0;
    for (size_t i = 0; i < n; ++i) {
        long double r = -static_cast<long double>(m[i][n]);
        double rowsum = 0;
        for (size_t j = 0; j < n; ++j) {
            r += static_cast<long double>(m[i][j]) * x[j];
            rowsum += std::fabs(m[i][j]);
        }
        anorm = std::max(anorm, rowsum);
        xnorm = std::max(xnorm, std::fabs(x[i]));
        rnorm = std::max(rnorm, static_cast<double>(std::fabs(r)));
    }
    if (rnorm == 0)
        return 0;
    return rnorm / (anorm * xnorm * static_cast<double>(n) * DBL_EPSILON);
}

// `backward_stable`: the method is expected to keep the residual small on
// ill-conditioned systems too; otherwise only the well-conditioned families
// are checked, those of extreme scale from `extreme_from` unknowns on.
void check_solver(const char *solver_name, const Solver &solve, size_t max_n = SIZE_MAX,
                  bool backward_stable = true, size_t extreme_from = 0, size_t min_n = 0)
{
    for (const Family &f : families()) {
        if (f.a.size() > max_n || f.a.size() < min_n ||
            (!backward_stable &&
             ((f.extreme_scale && f.a.size() < extreme_from) || !f.well_conditioned)))
            continue;
        SCOPED_TRACE(std::string(solver_name) + " on " + f.name);
        std::vector<double> x = solve(f.a);
        ASSERT_EQ(x.size(), f.a.size());
        EXPECT_LT(scaled_residual(f.a, x), 30.0);
        if (f.well_conditioned) {
            std::vector<long double> ref = reference(f.a);
            long double xnorm = 0, err = 0;
            for (size_t i = 0; i < x.size(); ++i) {
                xnorm = std::max(xnorm, std::fabs(ref[i]));
                err = std::max(err, std::fabs(ref[i] - x[i]));
            }
            // Condition numbers here are modest (below ~1e3 for these sizes).
            EXPECT_LT(static_cast<double>(err / xnorm), 1e4 * f.a.size() * DBL_EPSILON);
        }
    }
}

std::vector<double> by_guassj(const Matrix &m)
{
    Rows a(m);
    guassj(a.get(), m.size());
    std::vector<double> x;
    for (auto &row : a.data)
        x.push_back(row[m.size()]);
    return x;
}

std::vector<double> by_guassj_vec(const Matrix &m)
{
    size_t n = m.size();
    Matrix block;
    std::vector<double> b;
    for (auto &row : m) {
        block.emplace_back(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(n));
        b.push_back(row[n]);
    }
    Rows a(block);
    guassj_vec(a.get(), b.data(), n);
    return b;
}

std::vector<double> by_solve_gj(const Matrix &m)
{
    size_t n = m.size();
    MtrxPtr a = record_of(m);
    MtrxPtr r(mtrx_solve_gj(a.get()));
    double *x = mtrx_solution(r.get());
    std::vector<double> v(x, x + n);
    std::free(x);
    return v;
}

std::vector<double> by_cofactor(const Matrix &m)
{
    size_t n = m.size();
    MtrxPtr a = record_of(m);
    double *x = nullptr;
    std::string said = stdout_of([&] { x = mtrx_solve_cofactor_aug(a.get()); });
    EXPECT_EQ(said, "");
    std::vector<double> v;
    if (x)
        v.assign(x, x + n);
    std::free(x);
    return v;
}

// ---- Cofactor matrices ------------------------------------------------------

// The cofactors by the factorisation method at any n; from n = 4 on
// arr2d_cofactor must give the same bits.
Matrix cofactors(const Matrix &a)
{
    const size_t n = a.size();
    Rows r(a);
    double **c = arr2d_calloc(n, n);
    EXPECT_TRUE(mtrx_detail::cofactors_by_lu(r.get(), c, n));
    Matrix v = rows_of(c, n, n);
    arr2d_free(c, n);
    if (n >= 4) {
        c = arr2d_cofactor(r.get(), n);
        EXPECT_EQ(rows_of(c, n, n), v);
        arr2d_free(c, n);
    }
    return v;
}

double max_abs(const Matrix &a)
{
    double m = 0;
    for (auto &row : a)
        for (double x : row)
            m = std::max(m, std::fabs(x));
    return m;
}

double max_diff(const Matrix &a, const Matrix &b)
{
    double m = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < a.size(); ++j)
            m = std::max(m, std::fabs(a[i][j] - b[i][j]));
    return m;
}

// The determinant by partial pivoting in long double.
long double det_long(const Matrix &m)
{
    const size_t n = m.size();
    std::vector<std::vector<long double>> a(n);
    for (size_t i = 0; i < n; ++i)
        a[i].assign(m[i].begin(), m[i].end());
    long double det = 1;
    for (size_t c = 0; c < n; ++c) {
        size_t p = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        if (p != c) {
            std::swap(a[p], a[c]);
            det = -det;
        }
        det *= a[c][c];
        for (size_t r = c + 1; r < n; ++r) {
            long double f = a[r][c] / a[c][c];
            for (size_t k = c + 1; k < n; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    return det;
}

} // namespace

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

TEST(Accuracy, ValidatedGaussJordan) { check_solver("mtrx_solve_gj", by_solve_gj); }

TEST(Accuracy, GaussJordan) { check_solver("guassj", by_guassj); }

TEST(Accuracy, GaussJordanWithSeparateConstants) { check_solver("guassj_vec", by_guassj_vec); }
