// The checked solve: its reciprocal condition number against an inverse in
// binary128, refinement and the forward bound as properties over systems of
// chosen condition number, and the same bits whatever the threads and the
// instruction set (and in the Windows build: the fingerprint is pinned).
#include "checked_systems.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "core/gj/gj.h"
#include "reference/wide_solve.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/records.h"
#include "support/threads.h"

using quendle_ref::quad;

namespace {

constexpr double eps = DBL_EPSILON;

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
                                   random_integers(33, g), hilbert(14), kahan(30)};
    // Scaled by one power of two into the subnormal range, and graded by
    // rows and columns 2^+-500 apart.
    for (size_t n : {3u, 50u}) {
        const Matrix aug = integer_system_of(n, g).aug;
        std::vector<int> row(n), col(n);
        for (size_t i = 0; i < n; ++i) {
            row[i] = static_cast<int>(g.integer(-500, 500));
            col[i] = static_cast<int>(g.integer(-500, 500));
        }
        systems.push_back(scaled_system(aug, std::vector<int>(n, -1062), std::vector<int>(n, 0), 0));
        systems.push_back(scaled_system(aug, row, col, 0));
    }
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
                const int k[] = {c.info.ill_conditioned, c.info.refinement_steps, c.info.bound_trusted};
                fold(d, sizeof d);
                fold(k, sizeof k);
            }
        return h;
    };
    const std::uint64_t expected = 229243537930271279ull;
    const int runs = for_each_isa_and_threads(
        {1u, 2u, 3u}, [](mtrx_detail::gj_tuning &) {},
        [&](size_t threads) {
            EXPECT_EQ(fingerprint(), expected)
                << mtrx_detail::gj_kernel_name() << ", " << threads << " threads";
        });
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

TEST(CheckedSolve, BoundsNeverLie)
{
    // Past 1 / eps the inverse that judges a solution carries no digit, and
    // neither may a bound formed from it: there it must say so. Wherever it
    // is trusted it bounds the true error (against binary128), by either
    // method, refined or not; rcond is as close to the exact one as the
    // inverse allows, and decides ill_conditioned the way the exact one
    // would wherever they are not within a factor of 1000 of eps; and
    // refinement never leaves x worse than it found it.
    random_source g(24);
    int trusted = 0, untrusted = 0;
    for (const Matrix &aug : hard_systems(g)) {
        const size_t n = aug.size();
        const quendle_ref::wide_solution ref = quendle_ref::wide_solve(aug);
        ASSERT_TRUE(ref.regular);
        const double rcond =
            static_cast<double>(1 / (quendle_ref::one_norm(aug, n) * quendle_ref::one_norm(ref.inverse, n)));
        double unrefined[2] = {0, 0};
        for (unsigned flags : every_flags) {
            SCOPED_TRACE("n = " + std::to_string(n) + ", rcond " + std::to_string(rcond) +
                         ", flags " + std::to_string(flags));
            const checked c = solve_checked(aug, flags);
            expect_sound(c);
            if (c.st != MTRX_OK)
                continue;
            const double err = error_of(c.x, ref.x);
            if (c.info.bound_trusted) {
                EXPECT_GE(c.info.forward_error, err);
                ++trusted;
            } else {
                ++untrusted;
            }
            const double spread = static_cast<double>(n) * eps / rcond;
            if (spread < 1e-3) {
                EXPECT_NEAR(c.info.rcond / rcond, 1.0, std::max(8 * spread, 4 * eps));
            }
            if (rcond < 1e-3 * eps) {
                EXPECT_EQ(c.info.ill_conditioned, 1);
            }
            if (rcond > 1e3 * eps) {
                EXPECT_EQ(c.info.ill_conditioned, 0);
            }
            const int method = flags & MTRX_COFACTOR ? 1 : 0;
            if (flags & MTRX_REFINE) {
                EXPECT_LE(err, unrefined[method]);
            } else {
                unrefined[method] = err;
            }
        }
    }
    // (both verdicts are met)
    EXPECT_GT(trusted, 100);
    EXPECT_GT(untrusted, 40);
}


TEST(CheckedSolve, EveryScale)
{
    // Systems of modest condition scaled into the subnormal range, up to
    // where row sums overflow, with b scaled apart from A, and with rows and
    // columns graded more than a double's range apart: each is solved,
    // classified and diagnosed, by either method, refined or not, with no NaN
    // and no infinity anywhere and no verdict of singularity. One power of
    // two for all of A and one for b changes no bit: x comes out scaled
    // exactly, every diagnostic the same. Graded rows and columns are solved
    // to a few units of the last place in every element, as the scaled
    // system's condition allows.
    random_source g(1074);
    for (size_t n : {1u, 2u, 3u, 4u, 7u, 12u})
        for (int rep = 0; rep < 3; ++rep) {
            const integer_system base = integer_system_of(n, g);
            double big = 0.0;
            for (const auto &row : base.aug)
                for (double v : row)
                    big = std::max(big, std::fabs(v));
            const int top = 1022 - std::ilogb(big); // (the largest element into [2^1022, 2^1023))
            const std::vector<int> same(n, 0);
            for (unsigned flags : every_flags) {
                const checked plain = solve_checked(base.aug, flags);
                expect_sound(plain);
                const std::pair<int, int> scales[] = {{-1074, -1074}, {-1062, -1062}, {-1040, -1040},
                                                      {-1000, -1000}, {-700, -700},   {700, 700},
                                                      {1000, 1000},   {top, top},     {-600, 0},
                                                      {600, 0},       {0, -1000},     {0, 1000},
                                                      {top, 960}};
                for (auto [k, j] : scales) {
                    SCOPED_TRACE("n = " + std::to_string(n) + ", A * 2^" + std::to_string(k) + ", b * 2^" +
                                 std::to_string(j) + ", flags " + std::to_string(flags));
                    const checked d = solve_checked(scaled_system(base.aug, std::vector<int>(n, k), same, j - k), flags);
                    expect_sound(d);
                    if (d.st != MTRX_OK)
                        continue;
                    for (size_t i = 0; i < n; ++i)
                        ASSERT_TRUE(same_bits(d.x[i], std::ldexp(plain.x[i], j - k)));
                    EXPECT_EQ(d.info.rcond, plain.info.rcond);
                    EXPECT_EQ(d.info.backward_error, plain.info.backward_error);
                    EXPECT_EQ(d.info.forward_error, plain.info.forward_error);
                    EXPECT_EQ(d.info.bound_trusted, plain.info.bound_trusted);
                    EXPECT_EQ(d.info.refinement_steps, plain.info.refinement_steps);
                }
                // Rows and columns 2^-500 .. 2^500 apart: x_j = base x_j 2^-col_j.
                std::vector<int> row(n), col(n);
                for (size_t i = 0; i < n; ++i) {
                    row[i] = static_cast<int>(g.integer(-500, 500));
                    col[i] = static_cast<int>(g.integer(-500, 500));
                }
                const Matrix graded = scaled_system(base.aug, row, col, 0);
                SCOPED_TRACE("n = " + std::to_string(n) + ", graded, flags " + std::to_string(flags));
                const checked c = solve_checked(graded, flags);
                expect_sound(c);
                std::vector<quad> exact(n);
                for (size_t i = 0; i < n; ++i)
                    exact[i] = std::ldexp(base.x[i], -col[i]);
                EXPECT_LE(componentwise_error(c.x, exact), 64 * static_cast<double>(n) * eps);
                if (c.info.bound_trusted) {
                    EXPECT_GE(c.info.forward_error, error_of(c.x, exact));
                }
            }
        }
}
