// Many right-hand sides in one elimination: every column of X against its
// own system [A | b_c] solved alone (status, bits and diagnostics, refined or
// not), over generated systems of every scale, at every thread count and
// instruction set (the single solves' bits are pinned in both builds by the
// checked solve's fingerprint); the arguments it refuses.
#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "core/gj/gj.h"
#include "core/checked/scaling.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/records.h"
#include "support/threads.h"

namespace {

// What a solve of one column gave.
struct column_result {
    mtrx_status st = MTRX_OK;
    std::vector<double> x;
    mtrx_solve_info info{};
};

column_result solve_alone(const Matrix &a, const Matrix &b, size_t c, bool checked, unsigned flags)
{
    Matrix aug = a;
    for (size_t i = 0; i < a.size(); ++i)
        aug[i].push_back(b[i][c]);
    MtrxPtr m = record_of(aug);
    column_result r;
    double *x = nullptr;
    r.st = checked ? mtrx_solve_checked(m.get(), flags, &x, &r.info, nullptr)
                   : mtrx_solve_system(m.get(), &x, nullptr);
    if (x)
        r.x.assign(x, x + a.size());
    mtrx_free_vector(x);
    return r;
}

// Whether [A | b_c] is solved (MTRX_OK) only once its first elimination,
// planned as scaling.h plans it, has given a solution that is not finite.
bool found_again(const Matrix &a, const Matrix &b, size_t c)
{
    const size_t n = a.size();
    Matrix aug = a;
    for (size_t i = 0; i < n; ++i)
        aug[i].push_back(b[i][c]);
    Rows r(aug);
    mtrx_detail::system_scaling sc;
    if (!sc.plan(r.get(), n, mtrx_detail::survey(r.get(), n), mtrx_detail::elimination_band) ||
        sc.how() == mtrx_detail::system_scaling::kind::full)
        return false;
    mtrx_detail::alloc_fault fault;
    double **scaled = sc.scaled(r.get(), fault);
    Rows s(rows_of(scaled, n, n + 1));
    arr2d_free(scaled, n);
    bool finite = mtrx_detail::gj_reduce(s.get(), nullptr, n) != mtrx_detail::gj_status::solved;
    for (size_t i = 0; i < n; ++i)
        finite = finite || std::isfinite(sc.solution(s.data[i][n], i));
    return !finite && solve_alone(a, b, c, false, 0).st == MTRX_OK;
}

// An n x n A and an n x k B (records may not be empty of columns: b is kept
// as rows of k values).
struct many_case {
    std::string what;
    Matrix a, b;
};

// A x 2^e, each element.
Matrix times2(Matrix m, int e)
{
    for (auto &row : m)
        for (double &v : row)
            v = std::ldexp(v, e);
    return m;
}

// Columns of B at scales apart: ordinary, zero, far below and far above
// the range elimination takes as it stands, near its top, where some
// solutions overflow (MTRX_ERANGE) and some are found only under the full
// scaling, and near its bottom (taken as it stands, beside a column that is
// scaled); the scale of column c is picked by `scale(c)`.
Matrix columns(random_source &g, size_t n, size_t k, int (*scale)(size_t, random_source &))
{
    Matrix b(n, std::vector<double>(k));
    for (size_t c = 0; c < k; ++c) {
        const int e = scale(c, g);
        for (size_t i = 0; i < n; ++i)
            b[i][c] = e == INT32_MIN ? 0.0 : std::ldexp(g.uniform(), e);
    }
    return b;
}

int ordinary(size_t, random_source &g) { return static_cast<int>(g.integer(-3, 3)); }
int mixed(size_t c, random_source &g)
{
    const int scales[] = {0,     INT32_MIN, -1000, 1000, -1070, static_cast<int>(g.integer(900, 960)),
                          -955};
    return scales[c % 7];
}

std::vector<many_case> generated_cases()
{
    random_source g(25);
    std::vector<many_case> cases;
    size_t k = 0;
    auto next_k = [&] { return k = k % 17 + 1; }; // 1, 2, .., 17, 1, ..
    // Every kind of A of modest size and larger, with ordinary columns and
    // with columns at every scale (kinds with NaN or infinity are refused).
    for (size_t n : {1u, 2u, 3u, 5u, 8u, 30u, 61u})
        for (kind kd : elimination_kinds) {
            Matrix a = g.matrix(n, n, kd);
            cases.push_back({"kind " + std::to_string(static_cast<int>(kd)), a,
                             columns(g, n, next_k(), ordinary)});
            cases.push_back({"kind " + std::to_string(static_cast<int>(kd)) + ", mixed columns", a,
                             columns(g, n, next_k(), mixed)});
        }
    // A itself near the ends of the range (one power of two for all of it),
    // and graded by rows and columns 2^+-500 apart (the full scaling).
    for (size_t n : {2u, 4u, 7u, 50u}) {
        Matrix a = g.matrix(n, n, kind::uniform);
        for (size_t i = 0; i < n; ++i)
            a[i][i] += 4.0;
        for (int e : {-1060, -990, 990, 1020})
            cases.push_back({"A * 2^" + std::to_string(e), times2(a, e),
                             columns(g, n, next_k(), mixed)});
        Matrix graded = a;
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j)
                graded[i][j] = std::ldexp(a[i][j], static_cast<int>((i * 7 + j * 3) % 11) * 100 - 500);
        cases.push_back({"graded", graded, columns(g, n, next_k(), mixed)});
    }
    // Elements 2^+-450 around a scale and constants near 2^960: some
    // solutions overflow for good, and some overflow the first elimination
    // and are found under the full scaling. Of the latter, two columns for
    // each of five matrices, beside ordinary ones and those that overflow.
    for (int found = 0, tries = 0; found < 5; ++tries) {
        const size_t n = 2 + g.below(3);
        const int base = static_cast<int>(g.integer(-100, 100));
        Matrix a(n, std::vector<double>(n));
        for (auto &row : a)
            for (double &v : row)
                v = std::ldexp(g.uniform(), base + static_cast<int>(g.integer(-450, 450)));
        Matrix b = columns(g, n, 200, [](size_t, random_source &r) {
            return static_cast<int>(r.integer(900, 960));
        });
        Matrix kept = columns(g, n, 2, ordinary);
        for (size_t c = 0; c < 200; ++c)
            if (found_again(a, b, c) && kept[0].size() < 4)
                for (size_t i = 0; i < n; ++i)
                    kept[i].push_back(b[i][c]);
        if (tries < 8) {
            Matrix some = b;
            for (auto &row : some)
                row.resize(6);
            cases.push_back({"wide elements, base " + std::to_string(base), a, some});
        }
        if (kept[0].size() == 4) {
            cases.push_back({"wide elements, found again", a, kept});
            ++found;
        }
    }
    // Singular, the identity (the inverse), a NaN and an infinity in B, and
    // nothing to solve.
    cases.push_back({"singular", {{1, 2}, {2, 4}}, {{1, 0}, {2, 1}}});
    Matrix hilbert(6, std::vector<double>(6)), identity(6, std::vector<double>(6, 0.0));
    for (size_t i = 0; i < 6; ++i)
        for (size_t j = 0; j < 6; ++j)
            hilbert[i][j] = 1.0 / static_cast<double>(i + j + 1);
    for (size_t i = 0; i < 6; ++i)
        identity[i][i] = 1.0;
    cases.push_back({"inverse", hilbert, identity});
    cases.push_back({"NaN in B", {{2, 0}, {0, 2}}, {{1, 1, 1}, {1, 1, NAN}}});
    cases.push_back({"infinity in B", {{2, 0}, {0, 2}}, {{1, INFINITY}, {1, 1}}});
    cases.push_back({"no unknowns", {}, {}});
    return cases;
}

// The call's outcome: the first column in order that fails decides; with
// none, X column by column and (checked) each column's diagnostics.
void expect_columns_alone(const many_case &mc, bool checked, unsigned flags)
{
    const size_t n = mc.a.size(), k = n ? mc.b[0].size() : 0;
    MtrxPtr a = record_of(mc.a), b = n ? record_of(mc.b) : record_shaped(0, 0);
    mtrx_t *x = nullptr;
    std::vector<mtrx_solve_info> info(k);
    mtrx_error err;
    const mtrx_status st = checked ? mtrx_solve_many_checked(a.get(), b.get(), flags, &x, info.data(), &err)
                                   : mtrx_solve_many(a.get(), b.get(), &x, &err);
    EXPECT_EQ(err.status, st);
    mtrx_status expected = MTRX_OK;
    std::vector<column_result> alone;
    for (size_t c = 0; c < k; ++c) {
        alone.push_back(solve_alone(mc.a, mc.b, c, checked, flags));
        if (expected == MTRX_OK)
            expected = alone.back().st;
    }
    ASSERT_EQ(st, expected);
    if (st != MTRX_OK) {
        EXPECT_EQ(x, nullptr);
        for (const mtrx_solve_info &i : info)
            EXPECT_TRUE(!checked || (i.ill_conditioned == 1 && std::isinf(i.forward_error)));
        return;
    }
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(shape_of(x), (std::vector<size_t>{n, k, n, k}));
    for (size_t c = 0; c < k; ++c) {
        for (size_t i = 0; i < n; ++i)
            ASSERT_TRUE(same_bits(x->mtrx[i][c], alone[c].x[i])) << "column " << c << ", row " << i;
        if (checked) {
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
