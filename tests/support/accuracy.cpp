// The accuracy tests' families of systems, reference solution, residual
// and solvers (accuracy.h).
#include "accuracy.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

#include "core/cofactor/adjugate.h"
#include "generators.h"
#include "records.h"
#include "streams.h"

namespace {

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

} // namespace

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

void check_solver(const char *solver_name, const Solver &solve, size_t max_n, bool backward_stable,
                  size_t extreme_from, size_t min_n)
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

