// Systems of any shape: the reduced row echelon form (mtrx_rref) and the
// general solution (mtrx_solve_general) on generated integer systems whose
// rank and consistency are known by construction, the stated tolerance at
// its edge, and the arguments and failures they report.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "reference/exact_pivots.h"
#include "support/alloc_sweep.h"
#include "support/generators.h"
#include "support/records.h"

namespace {

double norm_inf(const Matrix &a)
{
    double most = 0;
    for (const auto &row : a) {
        double s = 0;
        for (double v : row)
            s += std::fabs(v);
        most = std::max(most, s);
    }
    return most;
}

// max_i |sum_j a_ij x_j - c * b_i| over the first n columns of a and its
// column n as b.
double residual(const Matrix &ab, const double *x, std::size_t n, double c)
{
    double most = 0;
    for (const auto &row : ab) {
        long double s = 0;
        for (std::size_t j = 0; j < n; ++j)
            s += static_cast<long double>(row[j]) * x[j];
        most = std::max(most, static_cast<double>(std::fabs(s - c * row[n])));
    }
    return most;
}

struct Rref {
    mtrx_status st;
    MtrxPtr r;
    std::vector<std::size_t> piv;
};

Rref rref_of(const Matrix &a, double tol = -1)
{
    MtrxPtr in = record_of(a);
    mtrx_t *out = nullptr;
    size_t *piv = nullptr, rank = 99;
    Rref got{mtrx_rref(in.get(), tol, &out, &piv, &rank, nullptr), MtrxPtr(out), {}};
    if (piv)
        got.piv.assign(piv, piv + rank);
    std::free(piv);
    return got;
}

} // namespace

// Integer systems of every shape up to 7 x 7 and every rank, consistent or
// not: the case and the rank as constructed, A x_p = b and A v = 0 for every
// basis vector, the basis's unit pattern at the free unknowns; and the
// reduced row echelon form of [A b] with the exact pivot columns, its rows
// reduced, and [A b] = [A b](:, pivots) * R.
TEST(GeneralSolution, GeneratedSystemsOfKnownRank)
{
    random_source src(23);
    int cases[2] = {0, 0};
    for (int k = 0; k < 1500; ++k) {
        const std::size_t m = 1 + src.below(7), n = 1 + src.below(7);
        const std::size_t r = src.below(std::min(m, n) + 1);
        const bool consistent = r == m || src.below(3) != 0;
        const Matrix ab = src.integer_system(m, n, r, consistent);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << m << " x " << n << ", rank "
                                        << r << (consistent ? "" : ", inconsistent"));
        ++cases[consistent];

        MtrxPtr in = record_of(ab);
        mtrx_general_solution g;
        mtrx_error err;
        const mtrx_status st = mtrx_solve_general(in.get(), &g, &err);
        EXPECT_EQ(err.status, st);
        ASSERT_EQ(st, consistent ? MTRX_OK : MTRX_ENOSOLUTION) << err.message;
        EXPECT_EQ(g.rank, r);
        EXPECT_EQ(g.unknowns, n);
        EXPECT_EQ(g.consistent, consistent ? 1 : 0);
        const double scale = norm_inf(ab);
        Matrix a = ab;
        for (auto &row : a)
            row.pop_back();
        EXPECT_EQ(g.tolerance, double(std::max(m, n)) * DBL_EPSILON * norm_inf(a));
        EXPECT_EQ(g.constants_tolerance, double(std::max(m, n + 1)) * DBL_EPSILON * scale);
        if (!consistent) {
            EXPECT_EQ(g.particular, nullptr);
            EXPECT_EQ(g.null_space, nullptr);
            EXPECT_EQ(std::string(err.message),
                      "No Solution - the equations are inconsistent (rank " + std::to_string(r) +
                          "; " + std::to_string(r + 1) + " with the constants).");
        } else {
            ASSERT_EQ(g.nfree, n - r);
            const double tol = 16.0 * double(n + 1) * double(n + 1) * DBL_EPSILON * scale;
            EXPECT_LE(residual(ab, g.particular, n, 1.0),
                      tol * std::max(1.0, *std::max_element(g.particular, g.particular + n,
                                                            [](double a, double b) {
                                                                return std::fabs(a) < std::fabs(b);
                                                            })));
            const std::vector<std::size_t> piv = quendle_ref::exact_pivots(ab, n);
            std::vector<std::size_t> free_ones;
            for (std::size_t j = 0; j < n; ++j)
                if (std::find(piv.begin(), piv.end(), j) == piv.end())
                    free_ones.push_back(j);
            EXPECT_EQ(std::vector<std::size_t>(g.free_unknowns, g.free_unknowns + g.nfree),
                      free_ones);
            for (std::size_t f = 0; f < g.nfree; ++f) {
                const double *v = g.null_space + f * n;
                double big = 1.0;
                for (std::size_t j = 0; j < n; ++j)
                    big = std::max(big, std::fabs(v[j]));
                EXPECT_LE(residual(ab, v, n, 0.0), tol * big) << "vector " << f;
                for (std::size_t q = 0; q < g.nfree; ++q) {
                    EXPECT_EQ(v[g.free_unknowns[q]], q == f ? 1.0 : 0.0);
                    EXPECT_EQ(g.particular[g.free_unknowns[q]], 0.0);
                }
            }
        }
        mtrx_general_free(&g);
        EXPECT_EQ(g.particular, nullptr);

        // The reduced row echelon form of [A b] itself: a pivot in the
        // constants column exactly when there is no solution.
        const Rref e = rref_of(ab);
        ASSERT_EQ(e.st, MTRX_OK);
        const std::vector<std::size_t> want = quendle_ref::exact_pivots(ab, n + 1);
        EXPECT_EQ(e.piv, want);
        EXPECT_EQ(!want.empty() && want.back() == n, !consistent);
        const Matrix red = rows_of(e.r->mtrx, m, n + 1);
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j < n + 1; ++j) {
                const bool below = i >= e.piv.size();
                const bool left = !below && j < e.piv[i];
                const auto at = std::find(e.piv.begin(), e.piv.end(), j);
                const bool pivot_col = at != e.piv.end();
                if (below || left) {
                    EXPECT_EQ(red[i][j], 0.0) << i << ", " << j;
                } else if (pivot_col) {
                    EXPECT_EQ(red[i][j], std::size_t(at - e.piv.begin()) == i ? 1.0 : 0.0);
                }
            }
        // [A b] = [A b](:, pivots) * R, over the rows R keeps.
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j < n + 1; ++j) {
                long double s = 0;
                for (std::size_t q = 0; q < e.piv.size(); ++q)
                    s += static_cast<long double>(ab[i][e.piv[q]]) * red[q][j];
                EXPECT_LE(std::fabs(double(s) - ab[i][j]),
                          64.0 * double(n + 1) * double(n + 1) * DBL_EPSILON * scale *
                              std::max(1.0, norm_inf(red)))
                    << i << ", " << j;
            }
    }
    EXPECT_GT(cases[0], 100);
    EXPECT_GT(cases[1], 100);
}

TEST(GeneralSolution, TheTextbookCases)
{
    // x + y = 2, 2x + 2y = 4: x = 2 - t, y = t. Then without a solution,
    // and with no unknown in any equation: 0 = 0, 0 = 1.
    MtrxPtr many = record_of({{1, 1, 2}, {2, 2, 4}});
    mtrx_general_solution g;
    mtrx_error err;
    ASSERT_EQ(mtrx_solve_general(many.get(), &g, &err), MTRX_OK);
    EXPECT_EQ(std::vector<double>(g.particular, g.particular + 2), (std::vector<double>{2, 0}));
    EXPECT_EQ(std::vector<double>(g.null_space, g.null_space + 2), (std::vector<double>{-1, 1}));
    mtrx_general_free(&g);
    mtrx_general_free(&g); // (a second release finds nothing)

    MtrxPtr zeros = record_of({{0, 0, 0}}), none = record_of({{0, 0, 1}}),
            empty = record_shaped(0, 3);
    ASSERT_EQ(mtrx_solve_general(zeros.get(), &g, &err), MTRX_OK);
    EXPECT_EQ(g.rank, 0u);
    EXPECT_EQ(g.nfree, 2u);
    mtrx_general_free(&g);
    ASSERT_EQ(mtrx_solve_general(empty.get(), &g, &err), MTRX_OK);
    EXPECT_EQ(g.nfree, 2u);
    mtrx_general_free(&g);
    EXPECT_EQ(mtrx_solve_general(none.get(), &g, &err), MTRX_ENOSOLUTION);
    EXPECT_STREQ(err.message,
                 "No Solution - the equations are inconsistent (rank 0; 1 with the constants).");
    EXPECT_EQ(mtrx_strerror(MTRX_ENOSOLUTION), std::string("No solution"));
}

// A pivot counts as zero when |p| <= max(rows, cols) * DBL_EPSILON *
// ||m||_inf (or the tolerance given): the ranks at both sides of the edge.
TEST(GeneralSolution, TheToleranceAtItsEdge)
{
    const double edge = 3 * DBL_EPSILON; // a 2 x 3 record of norm 1
    EXPECT_EQ(rref_of({{1, 0, 0}, {0, edge, 0}}).piv, std::vector<std::size_t>{0});
    EXPECT_EQ(rref_of({{1, 0, 0}, {0, std::nextafter(edge, 1.0), 0}}).piv,
              (std::vector<std::size_t>{0, 1}));
    const Rref cut = rref_of({{2, 1}, {1, 0.5 + 1e-9}}, 1e-8);
    EXPECT_EQ(cut.piv, std::vector<std::size_t>{0});
    EXPECT_EQ(rows_of(cut.r->mtrx, 2, 2), (Matrix{{1, 0.5}, {0, 0}}));
    EXPECT_EQ(rref_of({{2, 1}, {1, 0.5 + 1e-9}}, 0).piv, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(rref_of({{0, 0}, {0, 0}}).piv.empty()); // a zero matrix: rank 0
    EXPECT_TRUE(rref_of({{0, 0}}, 0).piv.empty());
    // The norm of 1e308-sized rows overflows; the tolerance does not.
    EXPECT_EQ(rref_of({{1e308, 1e308}, {1e308, 1e308}}).piv, std::vector<std::size_t>{0});

    // The rank of A does not depend on the scale of b: constants far larger
    // than the coefficients (x + y = 6.02e23, x - y = 0, 2x = 6.02e23), and
    // coefficients far smaller than the constants, still solve.
    for (const Matrix &ab : {Matrix{{1, 1, 6.02e23}, {1, -1, 0}, {2, 0, 6.02e23}},
                             Matrix{{1e-20, 0, 1}, {0, 1e-20, 1}, {1e-20, 1e-20, 2}}}) {
        MtrxPtr m = record_of(ab);
        mtrx_general_solution g;
        ASSERT_EQ(mtrx_solve_general(m.get(), &g, nullptr), MTRX_OK);
        EXPECT_EQ(g.rank, 2u);
        EXPECT_NEAR(g.particular[0], ab[0][2] / (ab[0][0] + ab[0][1]), 1e-15 * std::fabs(g.particular[0]));
        EXPECT_EQ(g.particular[0], g.particular[1]);
        mtrx_general_free(&g);
    }
}

TEST(GeneralSolution, ArgumentsAndFailures)
{
    const double inf = INFINITY;
    MtrxPtr one = record_of({{1}}), nan = record_of({{1, NAN}}), big = record_of({{1, inf}}),
            wide = record_of({{1e300, 1e308}, {1e300, -1e308}});
    mtrx_general_solution g;
    mtrx_t *out = nullptr;
    size_t *piv = nullptr, rank = 0;
    mtrx_error err;
    for (mtrx_t *m : {one.get(), nan.get(), big.get(), static_cast<mtrx_t *>(nullptr)}) {
        EXPECT_EQ(mtrx_solve_general(m, &g, &err), MTRX_EINVAL);
        EXPECT_EQ(g.particular, nullptr);
    }
    EXPECT_EQ(mtrx_solve_general(one.get(), nullptr, &err), MTRX_EINVAL);
    EXPECT_EQ(mtrx_rref(nan.get(), -1, &out, &piv, &rank, &err), MTRX_EINVAL);
    EXPECT_STREQ(err.message, "Invalid argument: the record holds a NaN or an infinity.");
    EXPECT_EQ(mtrx_rref(one.get(), NAN, &out, &piv, &rank, &err), MTRX_EINVAL);
    EXPECT_EQ(mtrx_rref(one.get(), -1, &out, nullptr, &rank, &err), MTRX_EINVAL);
    // -1e308 - 1e300 * 1e8 leaves a double's range.
    EXPECT_EQ(mtrx_rref(wide.get(), -1, &out, &piv, &rank, &err), MTRX_ERANGE);
    EXPECT_EQ(mtrx_solve_general(wide.get(), &g, &err), MTRX_ERANGE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(piv, nullptr);
    EXPECT_EQ(g.particular, nullptr);
}

TEST(GeneralSolution, EveryFailedAllocationIsNoMemoryAndLeavesNothing)
{
    for (const Matrix &ab : {Matrix{{1, 2, 3, 4}, {2, 4, 6, 8}}, Matrix{{1, 1, 2}, {1, 1, 3}},
                             Matrix{{1, 2}, {3, 4}, {5, 6}}}) {
        MtrxPtr in = record_of(ab);
        EXPECT_GT(sweep_alloc_failures([&] {
                      mtrx_general_solution g;
                      const mtrx_status st = mtrx_solve_general(in.get(), &g, nullptr);
                      const bool given = g.particular != nullptr;
                      mtrx_general_free(&g);
                      EXPECT_EQ(st == MTRX_ENOMEM, !given && st != MTRX_ENOSOLUTION);
                      return st != MTRX_ENOMEM;
                  }),
                  0);
        EXPECT_GT(sweep_alloc_failures([&] {
                      mtrx_t *out = nullptr;
                      size_t *piv = nullptr, rank = 0;
                      const mtrx_status st = mtrx_rref(in.get(), -1, &out, &piv, &rank, nullptr);
                      EXPECT_EQ(st == MTRX_ENOMEM, !out && !piv);
                      mtrx_free(out);
                      std::free(piv);
                      return st != MTRX_ENOMEM;
                  }),
                  0);
        EXPECT_EQ(rows_of(in->mtrx, ab.size(), ab[0].size()), ab);
    }
}
