// The checked solve: its reciprocal condition number against an inverse in
// binary128, refinement and the forward bound as properties over systems of
// chosen condition number, and the same bits whatever the threads and the
// instruction set (and in the Windows build: the fingerprint is pinned).
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "core/gj.h"
#include "reference/wide_solve.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/records.h"
#include "support/threads.h"

using quendle_ref::quad;

namespace {

constexpr double eps = DBL_EPSILON;

struct checked {
    mtrx_status st = MTRX_OK;
    std::vector<double> x;
    mtrx_solve_info info{};
};

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

constexpr unsigned every_flags[] = {0u, MTRX_REFINE, MTRX_COFACTOR, MTRX_REFINE | MTRX_COFACTOR};

} // namespace

TEST(CheckedSolve, RcondIsTheInverseOwn)
{
    // rcond from the solver's inverse, against the inverse in binary128 of
    // the same stored matrix: as close as that inverse is to the true one,
    // about n cond eps.
    random_source g(11);
    std::vector<Matrix> systems;
    for (size_t n = 1; n <= 8; ++n)
        systems.push_back(hilbert(n));
    for (size_t n : {2u, 5u, 9u, 16u}) {
        systems.push_back(random_integers(n, g));
        systems.push_back(graded(n, g));
    }
    for (const Matrix &aug : systems) {
        const size_t n = aug.size();
        const quendle_ref::wide_solution ref = quendle_ref::wide_solve(aug);
        ASSERT_TRUE(ref.regular);
        const quad exact = 1 / (quendle_ref::one_norm(aug, n) * quendle_ref::one_norm(ref.inverse, n));
        const double rcond = static_cast<double>(exact);
        for (unsigned flags : {0u, unsigned(MTRX_COFACTOR)}) {
            checked c = solve_checked(aug, flags);
            ASSERT_EQ(c.st, MTRX_OK);
            const double tolerance = 8.0 * static_cast<double>(n) * eps / rcond;
            EXPECT_NEAR(c.info.rcond / rcond, 1.0, std::max(tolerance, 4 * eps))
                << "n = " << n << ", rcond " << rcond << ", flags " << flags;
            EXPECT_EQ(c.info.ill_conditioned, c.info.rcond < DBL_EPSILON);
        }
    }
    // Below the machine epsilon: Hilbert 12 and 13, and diag(1, 0.99 eps).
    for (const Matrix &aug : {hilbert(12), hilbert(13), Matrix{{1, 0, 1}, {0, 0.99 * eps, 1}}}) {
        checked c = solve_checked(aug, 0);
        EXPECT_EQ(c.st, MTRX_OK);
        EXPECT_LT(c.info.rcond, DBL_EPSILON);
        EXPECT_EQ(c.info.ill_conditioned, 1);
    }
}

TEST(CheckedSolve, RefinementAndTheForwardBound)
{
    // Over systems of condition numbers 1 to 1e14: the bound is never below
    // the true error, refined or not; the refined solution is never worse
    // than the first one, and within two units of the last place (normwise)
    // wherever n cond eps stays well below 1. Without refinement the bits
    // are mtrx_solve_system's.
    random_source g(2026);
    int cases = 0, improved = 0;
    for (size_t n : {3u, 6u, 11u, 20u})
        for (int k = 0; k <= 14; k += 2)
            for (int rep = 0; rep < 2; ++rep) {
                const double cond = std::pow(10.0, k);
                const Matrix aug = conditioned(n, cond, g);
                const quendle_ref::wide_solution ref = quendle_ref::wide_solve(aug);
                ASSERT_TRUE(ref.regular);
                SCOPED_TRACE("n = " + std::to_string(n) + ", cond 1e" + std::to_string(k));
                checked first = solve_checked(aug, 0), refined = solve_checked(aug, MTRX_REFINE);
                ASSERT_EQ(first.st, MTRX_OK);
                ASSERT_EQ(refined.st, MTRX_OK);

                MtrxPtr m = record_of(aug);
                double *plain = nullptr;
                ASSERT_EQ(mtrx_solve_system(m.get(), &plain, nullptr), MTRX_OK);
                EXPECT_TRUE(same_bits(plain, first.x.data(), n));
                std::free(plain);

                const double e0 = error_of(first.x, ref.x), e1 = error_of(refined.x, ref.x);
                EXPECT_GE(first.info.forward_error, e0);
                EXPECT_GE(refined.info.forward_error, e1);
                EXPECT_LE(e1, e0);
                if (static_cast<double>(n) * cond * eps < 1e-3) {
                    EXPECT_LE(e1, 2 * eps);
                }
                EXPECT_EQ(first.info.refinement_steps, 0);
                EXPECT_LE(refined.info.refinement_steps, 10);
                EXPECT_LE(refined.info.backward_error, std::max(first.info.backward_error, eps));
                // Scaled by 2^1000, where splitting a product's factors must
                // not overflow, everything is exactly as it was.
                Matrix big = aug;
                for (auto &row : big)
                    for (double &e : row)
                        e = std::ldexp(e, 1000);
                checked scaled = solve_checked(big, MTRX_REFINE);
                EXPECT_TRUE(same_bits(scaled.x.data(), refined.x.data(), n));
                EXPECT_EQ(scaled.info.refinement_steps, refined.info.refinement_steps);
                EXPECT_EQ(scaled.info.backward_error, refined.info.backward_error);
                ++cases;
                improved += e1 < e0;
            }
    // (the property is not met by leaving x alone)
    EXPECT_GT(improved, cases / 2);
}

TEST(CheckedSolve, SameBitsWhateverTheThreadsAndInstructionSet)
{
    // Every diagnostic and every solution, refined or not, by elimination
    // and by cofactors, folded into one fingerprint: the same at every thread
    // count and instruction set here, and the same as the other build's.
    random_source g(7);
    std::vector<Matrix> systems = {hilbert(12), conditioned(40, 1e6, g), conditioned(70, 1e10, g),
                                   random_integers(33, g)};
    auto fingerprint = [&] {
        std::uint64_t h = 1469598103934665603ull;
        auto fold = [&](const void *p, size_t bytes) {
            for (size_t i = 0; i < bytes; ++i) {
                h ^= static_cast<const unsigned char *>(p)[i];
                h *= 1099511628211ull;
            }
        };
        for (const Matrix &aug : systems)
            for (unsigned flags : every_flags) {
                checked c = solve_checked(aug, flags);
                EXPECT_EQ(c.st, MTRX_OK);
                fold(c.x.data(), c.x.size() * sizeof(double));
                const double d[] = {c.info.rcond, c.info.backward_error, c.info.forward_error};
                const int k[] = {c.info.ill_conditioned, c.info.refinement_steps};
                fold(d, sizeof d);
                fold(k, sizeof k);
            }
        return h;
    };
    const std::uint64_t expected = 483830690277140895ull;
    int runs = 0;
    for (mtrx_detail::gj_isa isa : {mtrx_detail::gj_isa::portable, mtrx_detail::gj_isa::avx2,
                                    mtrx_detail::gj_isa::avx512})
        for (size_t threads : {1u, 2u, 3u}) {
            threads_allowed allow(threads);
            mtrx_detail::gj_tuning t;
            t.isa = isa;
            t.threads = threads;
            t.parallel_from = 2;
            t.step_alone_below = 1;
            if (!mtrx_detail::gj_tune(t))
                continue;
            EXPECT_EQ(fingerprint(), expected)
                << mtrx_detail::gj_kernel_name() << ", " << threads << " threads";
            ++runs;
        }
    mtrx_detail::gj_tune({});
    EXPECT_GE(runs, 3);
}

TEST(CheckedSolve, FailuresAndArguments)
{
    // Singular by elimination, and both verdicts by cofactors: no solution,
    // and the diagnostics of none.
    const Matrix singular = {{1, 2, 3, 1}, {2, 4, 6, 2}, {1, 1, 1, 3}};
    const Matrix contradictory = {{1, 2, 3, 1}, {2, 4, 6, 5}, {1, 1, 1, 3}};
    const std::pair<const Matrix *, unsigned> failing[] = {
        {&singular, 0u}, {&singular, MTRX_REFINE}, {&singular, MTRX_COFACTOR},
        {&contradictory, MTRX_COFACTOR | MTRX_REFINE}};
    const mtrx_status expected[] = {MTRX_ESINGULAR, MTRX_ESINGULAR, MTRX_EINFINITE,
                                    MTRX_ENOSOLUTION};
    for (size_t k = 0; k < 4; ++k) {
        checked c = solve_checked(*failing[k].first, failing[k].second);
        EXPECT_EQ(c.st, expected[k]) << k;
        EXPECT_TRUE(c.x.empty());
        EXPECT_EQ(c.info.rcond, 0.0);
        EXPECT_EQ(c.info.ill_conditioned, 1);
        EXPECT_TRUE(std::isinf(c.info.forward_error) && std::isinf(c.info.backward_error));
        EXPECT_EQ(c.info.refinement_steps, 0);
    }

    MtrxPtr m = record_of({{2, 6}});
    double *x = reinterpret_cast<double *>(&m); // (must be cleared)
    mtrx_error err;
    EXPECT_EQ(mtrx_solve_checked(m.get(), 4u, &x, nullptr, &err), MTRX_EINVAL);
    EXPECT_EQ(x, nullptr);
    EXPECT_STREQ(err.message, "Invalid argument: unknown flags 0x4.");
    EXPECT_EQ(mtrx_solve_checked(nullptr, 0, &x, nullptr, &err), MTRX_EINVAL);
    EXPECT_EQ(mtrx_solve_checked(m.get(), 0, nullptr, nullptr, &err), MTRX_EINVAL);
    // info may be null; an empty system has nothing to lose.
    ASSERT_EQ(mtrx_solve_checked(m.get(), MTRX_REFINE, &x, nullptr, &err), MTRX_OK);
    EXPECT_EQ(x[0], 3.0);
    std::free(x);
    MtrxPtr none = record_shaped(0, 1);
    mtrx_solve_info info;
    ASSERT_EQ(mtrx_solve_checked(none.get(), MTRX_REFINE, &x, &info, &err), MTRX_OK);
    std::free(x);
    EXPECT_EQ(info.rcond, 1.0);
    EXPECT_EQ(info.ill_conditioned, 0);
}
