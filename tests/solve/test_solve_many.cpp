// Many right-hand sides in one elimination: every column of X against its
// own system [A | b_c] solved alone (status, bits and diagnostics, refined or
// not), over generated systems of every scale, at every thread count and
// instruction set (the single solves' bits are pinned in both builds by the
// checked solve's fingerprint); the arguments it refuses.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "core/gj/gj.h"
#include "solve/many_cases.h"
#include "support/compare.h"
#include "support/records.h"
#include "support/threads.h"

namespace {

// The call's outcome: the first column in order that fails decides; with
// none, X column by column and (checked) each column's diagnostics.
void expect_columns_alone(const many_case &mc, bool with_checks, unsigned flags)
{
    const size_t n = mc.a.size(), k = n ? mc.b[0].size() : 0;
    MtrxPtr a = record_of(mc.a), b = n ? record_of(mc.b) : record_shaped(0, 0);
    mtrx_t *x = nullptr;
    std::vector<mtrx_solve_info> info(k);
    mtrx_error err;
    const mtrx_status st = with_checks ? mtrx_solve_many_checked(a.get(), b.get(), flags, &x, info.data(), &err)
                                   : mtrx_solve_many(a.get(), b.get(), &x, &err);
    EXPECT_EQ(err.status, st);
    mtrx_status expected = MTRX_OK;
    std::vector<checked> alone;
    for (size_t c = 0; c < k; ++c) {
        alone.push_back(solve_alone(mc.a, mc.b, c, with_checks, flags));
        if (expected == MTRX_OK)
            expected = alone.back().st;
    }
    ASSERT_EQ(st, expected);
    if (st != MTRX_OK) {
        EXPECT_EQ(x, nullptr);
        for (const mtrx_solve_info &i : info)
            EXPECT_TRUE(!with_checks || (i.ill_conditioned == 1 && std::isinf(i.forward_error)));
        return;
    }
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(shape_of(x), (std::vector<size_t>{n, k, n, k}));
    for (size_t c = 0; c < k; ++c) {
        for (size_t i = 0; i < n; ++i)
            ASSERT_TRUE(same_bits(x->mtrx[i][c], alone[c].x[i])) << "column " << c << ", row " << i;
        if (with_checks) {
            EXPECT_TRUE(same_bits(info[c].rcond, alone[c].info.rcond)) << "column " << c;
            EXPECT_TRUE(same_bits(info[c].backward_error, alone[c].info.backward_error));
            EXPECT_TRUE(same_bits(info[c].forward_error, alone[c].info.forward_error));
            EXPECT_EQ(info[c].ill_conditioned, alone[c].info.ill_conditioned);
            EXPECT_EQ(info[c].refinement_steps, alone[c].info.refinement_steps);
            EXPECT_EQ(info[c].bound_trusted, alone[c].info.bound_trusted);
        }
    }
    mtrx_free(x);
}

} // namespace

TEST(SolveMany, EveryColumnHasTheBitsOfItsOwnSolve)
{
    const std::vector<many_case> cases = generated_cases();
    // (the working array at every size, in blocks of 5 steps on 3 threads)
    const int runs = for_each_isa_and_threads(
        {1u, 3u},
        [](mtrx_detail::gj_tuning &t) {
            t.in_place_below = 1;
            t.block = t.threads == 1 ? 0 : 5;
        },
        [&](size_t threads) {
            for (const many_case &mc : cases) {
                SCOPED_TRACE(mc.what + ", n = " + std::to_string(mc.a.size()) + ", " +
                             mtrx_detail::gj_kernel_name() + ", " + std::to_string(threads) +
                             " threads");
                expect_columns_alone(mc, false, 0);
                for (unsigned flags : {0u, unsigned(MTRX_REFINE)})
                    expect_columns_alone(mc, true, flags);
            }
        });
    EXPECT_GE(runs, 2);
    // (the library's defaults: small systems on the caller's rows)
    for (const many_case &mc : cases)
        expect_columns_alone(mc, true, MTRX_REFINE);
}

TEST(SolveMany, ArgumentsAndFailures)
{
    MtrxPtr a = record_of({{2, 0}, {0, 4}}), b = record_of({{2, 4, 6}, {4, 8, NAN}});
    MtrxPtr wide = record_of({{1, 2, 3}, {4, 5, 6}}), tall = record_of({{1}, {2}, {3}});
    mtrx_t *x = reinterpret_cast<mtrx_t *>(&a); // (must be cleared)
    mtrx_error err;
    mtrx_solve_info info[3];
    EXPECT_EQ(mtrx_solve_many(wide.get(), b.get(), &x, &err), MTRX_EINVAL);
    EXPECT_EQ(x, nullptr);
    EXPECT_STREQ(err.message, "Invalid argument: a 2 x 3 record is no square matrix.");
    EXPECT_EQ(mtrx_solve_many(a.get(), tall.get(), &x, &err), MTRX_ESHAPE);
    EXPECT_STREQ(err.message,
                 "Unequal dimensions, (2 x 2) and (3 x 1): B must have as many rows as A.");
    EXPECT_EQ(mtrx_solve_many(nullptr, b.get(), &x, &err), MTRX_EINVAL);
    EXPECT_EQ(mtrx_solve_many(a.get(), nullptr, &x, &err), MTRX_EINVAL);
    EXPECT_EQ(mtrx_solve_many(a.get(), b.get(), nullptr, &err), MTRX_EINVAL);
    // The first NaN or infinity in [A B], B's column c as column n + c.
    EXPECT_EQ(mtrx_solve_many_checked(a.get(), b.get(), 0, &x, info, &err), MTRX_ENONFINITE);
    EXPECT_EQ(err.row, 1u);
    EXPECT_STREQ(err.message, "Invalid Input: row 1, column 4 holds a NaN.");
    EXPECT_EQ(info[0].ill_conditioned, 1);
    b->mtrx[1][2] = 1.0;
    EXPECT_EQ(mtrx_solve_many_checked(a.get(), b.get(), MTRX_COFACTOR, &x, info, &err),
              MTRX_EINVAL);
    EXPECT_EQ(mtrx_solve_many_checked(a.get(), b.get(), 8u, &x, info, &err), MTRX_EINVAL);
    EXPECT_STREQ(err.message, "Invalid argument: unknown flags 0x8.");
    EXPECT_EQ(x, nullptr);
    // info may be null; X is a new tight record.
    ASSERT_EQ(mtrx_solve_many_checked(a.get(), b.get(), MTRX_REFINE, &x, nullptr, &err), MTRX_OK);
    EXPECT_EQ(rows_of(x->mtrx, 2, 3), (Matrix{{1, 2, 3}, {1, 2, 0.25}}));
    mtrx_free(x);
    // A solution beyond a double's range: its element, and its column.
    MtrxPtr huge = record_of({{1, 1e300}, {1, 1e300}});
    MtrxPtr tiny = record_of({{1e-300, 0}, {0, 1}});
    EXPECT_EQ(mtrx_solve_many(tiny.get(), huge.get(), &x, &err), MTRX_ERANGE);
    EXPECT_EQ(err.row, 0u);
    EXPECT_STREQ(err.message,
                 "Out of range: element 0 of solution column 1 is too large for a double.");
    // No column, and no unknown: records of their shapes.
    MtrxPtr none = record_shaped(2, 0);
    ASSERT_EQ(mtrx_solve_many(a.get(), none.get(), &x, &err), MTRX_OK);
    EXPECT_EQ(shape_of(x), (std::vector<size_t>{2, 0, 2, 0}));
    mtrx_free(x);
    MtrxPtr empty = record_shaped(0, 0), empty_b = record_shaped(0, 3);
    ASSERT_EQ(mtrx_solve_many_checked(empty.get(), empty_b.get(), 0, &x, info, &err), MTRX_OK);
    EXPECT_EQ(shape_of(x), (std::vector<size_t>{0, 3, 0, 3}));
    EXPECT_EQ(info[2].rcond, 1.0);
    mtrx_free(x);
    mtrx_free_vector(nullptr);
    mtrx_free_pivots(nullptr);
}
