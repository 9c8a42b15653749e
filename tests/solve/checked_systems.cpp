// The checked solve's test systems (checked_systems.h).
#include "checked_systems.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

#include "support/records.h"

using quendle_ref::quad;

checked solve_checked(const Matrix &aug, unsigned flags)
{
    MtrxPtr m = record_of(aug);
    double *x = nullptr;
    checked c;
    c.st = mtrx_solve_checked(m.get(), flags, &x, &c.info, nullptr);
    if (x)
        c.x.assign(x, x + aug.size());
    std::free(x);
    return c;
}

// Row i: 1 / (i + j + 1), and the row's sum as the constant.
Matrix hilbert(size_t n)
{
    Matrix a(n, std::vector<double>(n + 1));
    for (size_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (size_t j = 0; j < n; ++j) {
            a[i][j] = 1.0 / static_cast<double>(i + j + 1);
            s += a[i][j];
        }
        a[i][n] = s;
    }
    return a;
}

Matrix random_integers(size_t n, random_source &g)
{
    Matrix a(n, std::vector<double>(n + 1));
    for (auto &row : a)
        for (double &e : row)
            e = static_cast<double>(g.integer(-9, 9));
    for (size_t i = 0; i < n; ++i)
        a[i][i] += 30.0; // (regular: diagonally dominant)
    return a;
}

// Rows and columns scaled by powers of two from 1 down to 2^-6(n-1).
Matrix graded(size_t n, random_source &g)
{
    Matrix a = random_integers(n, g);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j <= n; ++j)
            a[i][j] = std::ldexp(a[i][j], -3 * static_cast<int>(i + std::min(j, n - 1)));
    return a;
}

// U diag(s) V^T rounded to doubles, U and V orthogonal (three reflections
// each), s from 1 down to 1 / cond geometrically; the constants A x for x
// in +-[0.5, 1.5].
Matrix conditioned(size_t n, double cond, random_source &g)
{
    quendle_ref::quad_matrix m(n, std::vector<quad>(n, 0));
    for (size_t i = 0; i < n; ++i)
        m[i][i] = n == 1 ? 1.0 : std::pow(cond, -static_cast<double>(i) / static_cast<double>(n - 1));
    std::vector<quad> v(n);
    for (int k = 0; k < 6; ++k) {
        for (quad &e : v)
            e = g.uniform();
        quendle_ref::reflect(m, v, k % 2 == 1);
    }
    Matrix a(n, std::vector<double>(n + 1));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            a[i][j] = static_cast<double>(m[i][j]);
    std::vector<double> x(n);
    for (double &e : x)
        e = (g.below(2) ? -1.0 : 1.0) * g.uniform(0.5, 1.5);
    for (size_t i = 0; i < n; ++i) {
        quad s = 0;
        for (size_t j = 0; j < n; ++j)
            s += static_cast<quad>(a[i][j]) * x[j];
        a[i][n] = static_cast<double>(s);
    }
    return a;
}

// ||x - exact||_inf / ||exact||_inf.
double error_of(const std::vector<double> &x, const std::vector<quad> &exact)
{
    quad err = 0, size = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        err = std::max(err, quendle_ref::quad_abs(x[i] - exact[i]));
        size = std::max(size, quendle_ref::quad_abs(exact[i]));
    }
    return static_cast<double>(err / size);
}


// Row i of Pascal's matrix: C(i + j, j); the row's sum as the constant.
Matrix pascal(size_t n)
{
    Matrix a(n, std::vector<double>(n + 1, 0.0));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            a[i][j] = i == 0 || j == 0 ? 1.0 : a[i - 1][j] + a[i][j - 1];
            a[i][n] += a[i][j];
        }
    return a;
}

// Kahan's upper triangular matrix diag(1, s, .., s^(n-1)) (I - c U), U
// holding ones above the diagonal, c = cos 1.2, s = sin 1.2; the constants
// from a solution of +-1.
Matrix kahan(size_t n)
{
    const double c = std::cos(1.2), s = std::sin(1.2);
    Matrix a(n, std::vector<double>(n + 1, 0.0));
    double d = 1.0;
    for (size_t i = 0; i < n; ++i, d *= s)
        for (size_t j = i; j < n; ++j)
            a[i][j] = j == i ? d : -c * d;
    for (size_t i = 0; i < n; ++i) {
        quad b = 0;
        for (size_t j = 0; j < n; ++j)
            b += static_cast<quad>(a[i][j]) * (j % 2 ? -1.0 : 1.0);
        a[i][n] = static_cast<double>(b);
    }
    return a;
}

// Rows of powers of 1 + i / n: 1, t, t^2, ..; the row's sum as the constant.
Matrix vandermonde(size_t n)
{
    Matrix a(n, std::vector<double>(n + 1, 0.0));
    for (size_t i = 0; i < n; ++i) {
        const double t = 1.0 + static_cast<double>(i) / static_cast<double>(n);
        double p = 1.0;
        for (size_t j = 0; j < n; ++j, p *= t) {
            a[i][j] = p;
            a[i][n] += p;
        }
    }
    return a;
}

// The families whose bounds are checked: condition numbers from 1 to 1e20
// (well past 1 / eps), the classic ill-conditioned ones, and the 3 x 3 of
// condition 3.4e17 whose cofactor inverse once misled every diagnostic.
std::vector<Matrix> hard_systems(random_source &g)
{
    std::vector<Matrix> out;
    for (size_t n : {3u, 8u, 20u})
        for (int k : {0, 4, 8, 12, 14, 15, 16, 17, 18, 20})
            out.push_back(conditioned(n, std::pow(10.0, k), g));
    for (size_t n = 4; n <= 14; ++n)
        out.push_back(hilbert(n));
    for (size_t n = 6; n <= 16; n += 2)
        out.push_back(pascal(n));
    for (size_t n : {10u, 30u, 60u})
        out.push_back(kahan(n));
    for (size_t n = 6; n <= 14; n += 4)
        out.push_back(vandermonde(n));
    out.push_back({{0x1.28bdf715183afp-1, 0x1.afcfc17d42c01p-2, 0x1.89261365fa6a0p-5, 0x1.0c9c1c850ca0dp+0},
                   {-0x1.0055a33889c97p-1, -0x1.7502f38929a57p-2, -0x1.539d0b38819d9p-5, -0x1.d010edb0a6b60p-1},
                   {0x1.03d238125fb82p-2, 0x1.7a15d03dfccc3p-3, 0x1.583b9c8cdbaeap-6, 0x1.d660d9fa2bd92p-2}});
    return out;
}

// What holds of every diagnosis of a finite system with a solution: nothing
// NaN or infinite, the flags as defined, and an untrusted bound reported as 1.
void expect_sound(const checked &c)
{
    ASSERT_EQ(c.st, MTRX_OK);
    for (double v : c.x)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(c.info.rcond) && c.info.rcond >= 0.0);
    EXPECT_TRUE(std::isfinite(c.info.backward_error) && c.info.backward_error >= 0.0);
    EXPECT_TRUE(std::isfinite(c.info.forward_error) && c.info.forward_error >= 0.0);
    EXPECT_EQ(c.info.ill_conditioned, c.info.rcond < DBL_EPSILON);
    if (!c.info.bound_trusted) {
        EXPECT_EQ(c.info.ill_conditioned, 1);
        EXPECT_EQ(c.info.forward_error, 1.0);
    }
    EXPECT_GE(c.info.refinement_steps, 0);
    EXPECT_LE(c.info.refinement_steps, 10);
}

integer_system integer_system_of(size_t n, random_source &g)
{
    integer_system s{Matrix(n, std::vector<double>(n + 1, 0.0)), std::vector<double>(n)};
    for (double &v : s.x)
        v = static_cast<double>(g.integer(1, 3) * (g.below(2) ? -1 : 1));
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            s.aug[i][j] = static_cast<double>(g.integer(-1024, 1024));
            if (i == j)
                s.aug[i][j] += 1024.0 * static_cast<double>(n) * (g.below(2) ? -1 : 1);
            s.aug[i][n] += s.aug[i][j] * s.x[j];
        }
    }
    return s;
}

// Row i times 2^row[i], column j of A times 2^col[j], b times 2^rhs.
Matrix scaled_system(const Matrix &aug, const std::vector<int> &row, const std::vector<int> &col, int rhs)
{
    const size_t n = aug.size();
    Matrix s = aug;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j <= n; ++j)
            s[i][j] = std::ldexp(aug[i][j], row[i] + (j < n ? col[j] : rhs));
    return s;
}

// The largest |x_j - exact_j| / |exact_j|.
double componentwise_error(const std::vector<double> &x, const std::vector<quad> &exact)
{
    quad worst = 0;
    for (size_t j = 0; j < x.size(); ++j)
        worst = std::max(worst, quendle_ref::quad_abs(x[j] - exact[j]) / quendle_ref::quad_abs(exact[j]));
    return static_cast<double>(worst);
}
