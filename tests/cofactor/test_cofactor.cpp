// The cofactor solver and its array operations: cofactors of every size, the
// determinant, the verdicts on systems without a unique solution (as the
// natural messages and as statuses), and the release of everything on every
// way out. Their accuracy is test_cofactor_accuracy.cpp's.
#include <cmath>
#include <cstdlib>
#include <limits>

#include <gmock/gmock.h>

#include "core/gj/gj.h"
#include "support/alloc_sweep.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/records.h"

using testing::DoubleNear;
using testing::ElementsAre;

namespace {

const std::string no_solution = "The system has no solution.\n";
const std::string infinite = "The system is consistent - infinite solutions.\n";
const std::string trivial = "The system has a trivial solution.\n";

struct Outcome {
    bool solved = false;
    std::vector<double> x;
    std::string out, err;
};

template <class F> Outcome capture(F solve, size_t n)
{
    Outcome o;
    double *x = nullptr;
    const Written w = written_by([&] { x = solve(); });
    o.out = w.out;
    o.err = w.err;
    if (x) {
        o.solved = true;
        o.x.assign(x, x + n);
        std::free(x);
    }
    return o;
}

// A with b as its last column.
Matrix augmented(Matrix a, const std::vector<double> &b)
{
    for (size_t i = 0; i < a.size(); ++i)
        a[i].push_back(b[i]);
    return a;
}

// Solves A x = b both ways in, checking that neither changes its input and
// that the augmented entry gives the same outcome.
Outcome solve(const Matrix &a, const std::vector<double> &b)
{
    auto m = record_of(a);
    Outcome o = capture([&] { return mtrx_solve_cofactor(m.get(), b.data()); }, b.size());
    EXPECT_EQ(rows_of(m->mtrx, a.size(), a.size()), a);

    const Matrix ab = augmented(a, b);
    auto mab = record_of(ab);
    mab->cols = a.size() + 1; // also when there are no rows
    Outcome oa = capture([&] { return mtrx_solve_cofactor_aug(mab.get()); }, b.size());
    EXPECT_EQ(rows_of(mab->mtrx, ab.size(), a.size() + 1), ab);
    EXPECT_EQ(oa.solved, o.solved);
    EXPECT_EQ(oa.x, o.x);
    EXPECT_EQ(oa.out, o.out);
    EXPECT_EQ(oa.err, o.err);
    return o;
}

Matrix cofactors(const Matrix &a)
{
    Rows r(a);
    double **c = arr2d_cofactor(r.get(), a.size());
    EXPECT_NE(c, nullptr);
    Matrix v = rows_of(c, a.size(), a.size());
    arr2d_free(c, a.size());
    return v;
}

// The solution by Gauss-Jordan elimination, for comparison.
std::vector<double> gauss_jordan(Matrix a, std::vector<double> b)
{
    Rows r(a);
    stderr_of([&] { guassj_vec(r.get(), b.data(), b.size()); });
    return b;
}

// A well-conditioned n x n matrix of values in [-10, 10) (weighted on the
// diagonal above the main one) with a zero at [0][0], so that every
// elimination has to pivot.
Matrix test_matrix(size_t n, unsigned seed)
{
    Matrix a = random_source(seed).matrix(n, n, kind::uniform);
    for (auto &row : a)
        for (double &x : row)
            x *= 10.0;
    for (size_t i = 0; i < n; ++i)
        a[i][(i + 1) % n] += 40.0;
    a[0][0] = 0.0;
    return a;
}

} // namespace

TEST(CofactorOps, VectIsZeroBandAndNan)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(vect_is_zero(nullptr, 0), 1);
    double a[] = {0, -0.0, 1e-20, -1e-20, 1e-300, nan};
    EXPECT_EQ(vect_is_zero(a, 6), 1);
    double b[] = {0, 2e-20};
    EXPECT_EQ(vect_is_zero(b, 2), 0);
    double c[] = {-2e-20, 0};
    EXPECT_EQ(vect_is_zero(c, 2), 0);
    EXPECT_EQ(vect_is_zero(c + 1, 1), 1);
}

TEST(CofactorOps, TransposeDivideAndMultiply)
{
    Rows m({{1, 2}, {3, 4}});
    arr2d_transpose_inplace(m.get(), 2);
    EXPECT_EQ(m.data, (Matrix{{1, 3}, {2, 4}}));
    Rows big({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    arr2d_transpose_inplace(big.get(), 3);
    EXPECT_EQ(big.data, (Matrix{{1, 4, 7}, {2, 5, 8}, {3, 6, 9}}));
    Rows one(Matrix{{5}});
    arr2d_transpose_inplace(one.get(), 1);
    EXPECT_EQ(one.data, (Matrix{{5}}));

    Rows d({{-2, 2}, {2, -2}});
    double **q = arr2d_div_scalar(d.get(), 4, 2);
    EXPECT_EQ(rows_of(q, 2, 2), (Matrix{{-0.5, 0.5}, {0.5, -0.5}}));
    arr2d_free(q, 2);
    // A true division: 1/3 by division is not 1 * (1/3) rounded twice.
    Rows t({{1, 10}, {100, 0}});
    q = arr2d_div_scalar(t.get(), 3, 2);
    EXPECT_THAT(rows_of(q, 2, 2)[0], ElementsAre(1.0 / 3, 10.0 / 3));
    arr2d_free(q, 2);
    q = arr2d_div_scalar(t.get(), 0, 2);
    EXPECT_EQ(q[0][0], std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(q[1][1]));
    arr2d_free(q, 2);

    double v[] = {1, -1};
    double *r = arr2d_mult_vect(t.get(), v, 2);
    EXPECT_THAT(std::vector<double>(r, r + 2), ElementsAre(-9, 100));
    std::free(r);
}

TEST(Cofactors, ThreeByThreeKeepsTheCyclicFormulaBits)
{
    EXPECT_EQ(cofactors({{3, 2, -4}, {2, 3, 3}, {5, -3, 1}}),
              (Matrix{{12, 13, -21}, {10, 23, 19}, {18, -17, 5}}));
    EXPECT_EQ(cofactors({{0.1, 0.2, 0.3}, {0.4, 0.5, 0.6}, {0.7, 0.8, 1.0}}),
              (Matrix{{0x1.47ae147ae1480p-6, 0x1.47ae147ae1470p-6, -0x1.eb851eb851ea0p-6},
                      {0x1.47ae147ae1478p-5, -0x1.c28f5c28f5c28p-4, 0x1.eb851eb851eb4p-5},
                      {-0x1.eb851eb851eb8p-6, 0x1.eb851eb851eb8p-5, -0x1.eb851eb851ebcp-6}}));
    Rows a({{3, 2, -4}, {2, 3, 3}, {5, -3, 1}});
    double **c = arr2d_cofactor(a.get(), 3);
    EXPECT_EQ(arr2d_det(a.get(), c, 3), 146);
    arr2d_free(c, 3);
}

TEST(Cofactors, OtherSizesGiveTrueCofactors)
{
    EXPECT_EQ(cofactors({{7}}), (Matrix{{1}}));
    EXPECT_EQ(cofactors({{1, 2}, {3, 4}}), (Matrix{{4, -3}, {-2, 1}}));
    EXPECT_EQ(cofactors({{1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 4}}),
              (Matrix{{24, 0, 0, 0}, {0, 12, 0, 0}, {0, 0, 8, 0}, {0, 0, 0, 6}}));
    // A permutation matrix P has the cofactors det(P) * P: every minor needs
    // row exchanges, and the signs must come out right. A 4-cycle is odd.
    Matrix p4 = {{0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {1, 0, 0, 0}};
    Matrix c4 = cofactors(p4);
    for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 4; ++j)
            EXPECT_EQ(c4[i][j], -p4[i][j]) << i << "," << j;
    Matrix p5 = {{0, 0, 1, 0, 0}, {1, 0, 0, 0, 0}, {0, 0, 0, 0, 1}, {0, 1, 0, 0, 0}, {0, 0, 0, 1, 0}};
    EXPECT_EQ(cofactors(p5), p5); // a 5-cycle is even

    // A * adj(A) = det(A) * I for general matrices.
    for (size_t n : {4u, 5u, 6u}) {
        Matrix a = test_matrix(n, static_cast<unsigned>(n));
        Rows r(a);
        double **c = arr2d_cofactor(r.get(), n);
        double det = arr2d_det(r.get(), c, n);
        EXPECT_GT(std::fabs(det), 1e4);
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j) {
                double s = 0;
                for (size_t k = 0; k < n; ++k)
                    s += a[i][k] * c[j][k];
                EXPECT_NEAR(s, i == j ? det : 0.0, 1e-12 * std::fabs(det)) << n << ":" << i << "," << j;
            }
        arr2d_free(c, n);
    }
}

TEST(Cofactors, NonFiniteElementsSpoilOnlyTheMinorsHoldingThem)
{
    // Cofactor (i, j) ignores row i and column j, so it is a number exactly
    // when every NaN or infinity lies in row i or column j: the same number
    // as with those elements set to 0, and close to the one with the
    // elements they replaced. Every other cofactor is NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Bad {
        size_t i, j;
        double v;
    };
    const std::vector<std::vector<Bad>> cases = {
        {{1, 2, nan}},
        {{1, 2, inf}, {4, 0, -inf}},
        {{3, 0, nan}, {3, 1, inf}, {3, 2, nan}, {3, 3, nan}, {3, 4, -inf}, {3, 5, nan}},
        {{0, 0, nan}, {5, 5, nan}, {2, 3, inf}},
    };
    const Matrix a = test_matrix(6, 5);
    const Matrix plain = cofactors(a);
    for (const auto &bad : cases) {
        Matrix spoilt = a, zeroed = a;
        for (const Bad &b : bad) {
            spoilt[b.i][b.j] = b.v;
            zeroed[b.i][b.j] = 0.0;
        }
        const Matrix c = cofactors(spoilt), z = cofactors(zeroed);
        for (size_t i = 0; i < 6; ++i)
            for (size_t j = 0; j < 6; ++j) {
                bool clean = true;
                for (const Bad &b : bad)
                    clean = clean && (b.i == i || b.j == j);
                if (clean) {
                    EXPECT_EQ(c[i][j], z[i][j]) << i << "," << j;
                    EXPECT_NEAR(c[i][j], plain[i][j], 1e-12 * std::fabs(plain[i][j])) << i << "," << j;
                } else {
                    EXPECT_TRUE(std::isnan(c[i][j])) << i << "," << j;
                }
            }
    }
}

TEST(Cofactors, SameBitsWithEveryInstructionSet)
{
    // The factorisation runs on the Gauss-Jordan inner loops of whichever
    // instruction set is chosen; rows of every length meet their vector tails.
    std::vector<Matrix> inputs;
    for (size_t n : {4u, 9u, 37u, 70u})
        inputs.push_back(test_matrix(n, static_cast<unsigned>(n)));
    Matrix singular = test_matrix(23, 1);
    singular[7] = singular[3]; // rank 22: the rank-one path
    inputs.push_back(singular);
    std::vector<Matrix> first;
    for (mtrx_detail::gj_isa isa : {mtrx_detail::gj_isa::portable, mtrx_detail::gj_isa::avx2,
                                    mtrx_detail::gj_isa::avx512}) {
        mtrx_detail::gj_tuning t;
        t.isa = isa;
        if (!mtrx_detail::gj_tune(t))
            continue;
        for (size_t k = 0; k < inputs.size(); ++k) {
            Matrix c = cofactors(inputs[k]);
            if (first.size() <= k)
                first.push_back(c);
            else
                EXPECT_EQ(c, first[k]) << mtrx_detail::gj_kernel_name() << ", input " << k;
        }
    }
    mtrx_detail::gj_tune({});
    EXPECT_NE(first[4][7][0], 0.0);
}

TEST(CofactorSolver, SolvesTheExampleSystem)
{
    Outcome o = solve({{3, 2, -4}, {2, 3, 3}, {5, -3, 1}}, {3, 15, 14});
    ASSERT_TRUE(o.solved);
    EXPECT_THAT(o.x, ElementsAre(DoubleNear(3, 1e-14), DoubleNear(1, 1e-14), DoubleNear(2, 1e-14)));
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
}

TEST(CofactorSolver, SizesOtherThanThreeAgreeWithGaussJordan)
{
    Outcome one = solve({{2}}, {6});
    EXPECT_THAT(one.x, ElementsAre(3));
    Outcome two = solve({{1, 2}, {3, 4}}, {5, 6});
    EXPECT_THAT(two.x, ElementsAre(-4, 4.5));

    for (size_t n : {2u, 4u, 5u, 7u}) {
        Matrix a = test_matrix(n, 17u + static_cast<unsigned>(n));
        std::vector<double> b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = static_cast<double>(i) - 1.5;
        Outcome o = solve(a, b);
        ASSERT_TRUE(o.solved) << n;
        std::vector<double> gj = gauss_jordan(a, b);
        for (size_t i = 0; i < n; ++i)
            EXPECT_NEAR(o.x[i], gj[i], 1e-12) << n << ":" << i;
    }
}

TEST(CofactorSolver, UpToThreeByThreeTheAdjugateOverTheDeterminant)
{
    // Up to 3 x 3 the solution is adj(A) b / det(A) as the array helpers
    // form it, bit for bit, through the natural and the status solvers alike.
    // (Scaled back to these bits from beyond the normal range: EveryScale in
    // test_checked.)
    random_source g(33);
    const kind kinds[] = {kind::uniform, kind::small_ints, kind::with_ties};
    for (int rep = 0; rep < 300; ++rep) {
        const size_t n = 1 + rep % 3;
        const Matrix a = g.matrix(n, n, kinds[rep % 3]);
        const std::vector<double> b = g.matrix(1, n, kind::uniform)[0];
        Rows r(a);
        double **c = arr2d_cofactor(r.get(), n);
        const double det = arr2d_det(r.get(), c, n);
        arr2d_transpose_inplace(c, n);
        double **inv = arr2d_div_scalar(c, det, n);
        std::vector<double> want(n, 0.0);
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j)
                want[i] = want[i] + inv[i][j] * b[j];
        arr2d_free(inv, n);
        arr2d_free(c, n);
        if (det == 0.0 || vect_is_zero(want.data(), n))
            continue;
        const Outcome o = solve(a, b);
        ASSERT_TRUE(o.solved);
        EXPECT_TRUE(same_bits(o.x, want));
        auto m = record_of(augmented(a, b));
        double *x = nullptr, *y = nullptr;
        ASSERT_EQ(mtrx_solve_system_cofactor(m.get(), &x, nullptr), MTRX_OK);
        ASSERT_EQ(mtrx_solve_checked(m.get(), MTRX_COFACTOR, &y, nullptr, nullptr), MTRX_OK);
        EXPECT_TRUE(same_bits(x, want.data(), n));
        EXPECT_TRUE(same_bits(y, want.data(), n));
        std::free(x);
        std::free(y);
    }
}

TEST(CofactorSolver, LargeSystemsWhoseDeterminantOverflows)
{
    // Entries uniform in [-1, 1], 3 added to the diagonal: well conditioned,
    // but from about 400 unknowns on the determinant and the cofactors leave
    // the range of a double (arr2d_det still gives that true value).
    for (size_t n : {400u, 600u}) {
        random_source gen(n);
        Matrix a = gen.matrix(n, n, kind::uniform);
        std::vector<double> b(n);
        for (size_t i = 0; i < n; ++i) {
            a[i][i] += 3.0;
            b[i] = gen.uniform();
        }
        Outcome o = solve(a, b);
        ASSERT_TRUE(o.solved) << n;
        EXPECT_EQ(o.out, "");
        std::vector<double> gj = gauss_jordan(a, b);
        double scale = 0.0;
        for (double v : gj)
            scale = std::max(scale, std::fabs(v));
        for (size_t i = 0; i < n; ++i)
            EXPECT_NEAR(o.x[i], gj[i], 1e-9 * scale) << n << ":" << i;
        // Its backward error, and the same bits through the checked solve.
        Matrix ab = a;
        for (size_t i = 0; i < n; ++i)
            ab[i].push_back(b[i]);
        auto m = record_of(ab);
        double *x = nullptr;
        mtrx_solve_info info;
        ASSERT_EQ(mtrx_solve_checked(m.get(), MTRX_COFACTOR, &x, &info, nullptr), MTRX_OK);
        EXPECT_TRUE(same_bits(x, o.x.data(), n));
        std::free(x);
        EXPECT_LT(info.backward_error, 1e-13);
        EXPECT_GT(info.rcond, 1e-7);

        Rows r(a);
        double **c = arr2d_cofactor(r.get(), n);
        ASSERT_NE(c, nullptr);
        EXPECT_FALSE(std::isfinite(arr2d_det(r.get(), c, n))) << n;
        arr2d_free(c, n);
    }
}

TEST(CofactorSolver, VerdictsOnSingularAndZeroSolutions)
{
    Matrix sing = {{1, 2, 3}, {2, 4, 6}, {1, 1, 1}};
    Outcome o = solve(sing, {1, 2, 3});
    EXPECT_FALSE(o.solved);
    EXPECT_EQ(o.out, infinite);
    EXPECT_EQ(o.err, "");
    o = solve(sing, {1, 5, 3});
    EXPECT_FALSE(o.solved);
    EXPECT_EQ(o.out, no_solution);

    Matrix ex = {{3, 2, -4}, {2, 3, 3}, {5, -3, 1}};
    o = solve(ex, {0, 0, 0});
    EXPECT_FALSE(o.solved);
    EXPECT_EQ(o.out, trivial);

    Matrix id = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    EXPECT_EQ(solve(id, {1e-21, -1e-21, 1e-21}).out, trivial);
    EXPECT_EQ(solve(id, {1e-20, -1e-20, 0}).out, trivial);
    o = solve(id, {0, 2e-20, 0});
    EXPECT_TRUE(o.solved);
    EXPECT_THAT(o.x, ElementsAre(0, 2e-20, 0));
    EXPECT_EQ(o.out, "");

    // One unknown, no coefficient.
    EXPECT_EQ(solve({{0}}, {0}).out, infinite);
    EXPECT_EQ(solve({{0}}, {5}).out, no_solution);
    // No unknowns at all.
    EXPECT_EQ(solve({}, {}).out, infinite);
}

// The same verdicts as statuses.
TEST(StatusInterface, TheCofactorVerdicts)
{
    // A singular A with b in its columns' span or not; a regular A with
    // b = 0, whose zero solution is a solution.
    std::vector<double> x;
    auto solve = [&](const Matrix &ab) {
        MtrxPtr m = record_of(ab);
        double *v = nullptr;
        mtrx_status st = mtrx_solve_system_cofactor(m.get(), &v, nullptr);
        x.assign(v, v ? v + ab.size() : v);
        std::free(v);
        return st;
    };
    EXPECT_EQ(solve({{1, 2, 3, 1}, {2, 4, 6, 2}, {1, 1, 1, 3}}), MTRX_EINFINITE);
    EXPECT_EQ(solve({{1, 2, 3, 1}, {2, 4, 6, 5}, {1, 1, 1, 3}}), MTRX_ENOSOLUTION);
    EXPECT_EQ(solve({{3, 2, -4, 0}, {2, 3, 3, 0}, {5, -3, 1, 0}}), MTRX_OK);
    EXPECT_EQ(x, (std::vector<double>{0, 0, 0}));
}

TEST(CofactorSolver, RankDecidesWhenTheAdjugateVanishes)
{
    // Rank below n - 1 makes the adjugate zero whatever b is; only b's
    // place relative to A's column space tells the verdicts apart.
    Matrix zero(3, std::vector<double>(3, 0.0));
    EXPECT_EQ(solve(zero, {1, 1, 1}).out, no_solution);
    EXPECT_EQ(solve(zero, {1e-25, 0, 0}).out, no_solution);
    EXPECT_EQ(solve(zero, {0, 0, 0}).out, infinite);

    Matrix r1 = {{1, 2, 3}, {2, 4, 6}, {3, 6, 9}};
    EXPECT_EQ(solve(r1, {1, 2, 3}).out, infinite);
    EXPECT_EQ(solve(r1, {1, 2, 4}).out, no_solution);
    // The same with A scaled far down (exactly, by a power of two), b not.
    Matrix tiny = r1;
    for (auto &row : tiny)
        for (auto &x : row)
            x *= 0x1p-100;
    EXPECT_EQ(solve(tiny, {1, 2, 3}).out, infinite);
    EXPECT_EQ(solve(tiny, {1, 2, 4}).out, no_solution);
    EXPECT_EQ(solve(r1, {0x1p-100, 0x1p-99, 0x1.8p-99}).out, infinite);

    Matrix ones(4, std::vector<double>(4, 1.0));
    EXPECT_EQ(solve(ones, {2, 2, 2, 2}).out, infinite);
    EXPECT_EQ(solve(ones, {1, 1, 1, 2}).out, no_solution);
    Matrix zero5(5, std::vector<double>(5, 0.0));
    EXPECT_EQ(solve(zero5, {0, 0, 0, 0, 3}).out, no_solution);
}

TEST(CofactorSolver, ShapesThatAreNotSquare)
{
    auto m34 = record_of({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
    auto m33 = record_of({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    double b[] = {1, 2, 3};
    Outcome o = capture([&] { return mtrx_solve_cofactor(m34.get(), b); }, 3);
    EXPECT_FALSE(o.solved);
    EXPECT_EQ(o.err, "<unknown>() error: maxtix not square (3 x 4).\n");
    o = capture([&] { return mtrx_solve_cofactor_aug(m33.get()); }, 3);
    EXPECT_EQ(o.err, "<unknown>() error: maxtix not square (3 x 2).\n");
    EXPECT_EQ(o.out, "");
    // Without any column there is no constant column to take off.
    auto m20 = record_shaped(2, 0);
    o = capture([&] { return mtrx_solve_cofactor_aug(m20.get()); }, 2);
    EXPECT_EQ(o.err, "<unknown>() error: maxtix not square (2 x 0).\n");
    auto m00 = record_shaped(0, 0);
    o = capture([&] { return mtrx_solve_cofactor_aug(m00.get()); }, 0);
    EXPECT_FALSE(o.solved);
    EXPECT_EQ(o.err, "<unknown>() error: maxtix not square (0 x 0).\n");
}

TEST(CofactorSolver, FailedAllocationsReleaseEverything)
{
    // Every run that meets a failure returns null, says which allocation
    // failed on stderr and prints no verdict; only the augmented entry's own
    // record of the coefficients says nothing of its failure.
    auto sweep = [](const Matrix &a, const std::vector<double> &b, const std::string &verdict,
                    bool aug) {
        auto m = record_of(a);
        const Matrix ab = augmented(a, b);
        auto mab = record_of(ab);
        const size_t n = a.size();
        // (the arrays: the augmented entry's copy of the coefficients, and up
        // to 3 x 3 the cofactors and the inverse; larger systems are solved
        // in the factorisation's scratch)
        std::vector<std::string> words;
        if (aug || n <= 3)
            words = site_words::array(n);
        for (const std::string &w : {site_words::solution(), site_words::scratch()})
            words.push_back(w);
        if (aug)
            words.push_back("<unknown>() error: calloc-v\n");
        documented_messages told(words);
        int silent = 0;
        EXPECT_GT(sweep_alloc_failures([&] {
                      Outcome o = capture(
                          [&] { return aug ? mtrx_solve_cofactor_aug(mab.get()) : mtrx_solve_cofactor(m.get(), b.data()); },
                          b.size());
                      const bool done = verdict.empty() ? o.solved : o.out == verdict;
                      if (!done) {
                          EXPECT_FALSE(o.solved);
                          EXPECT_EQ(o.out, "");
                          if (o.err.empty())
                              ++silent;
                          else
                              told.said(o.err);
                      }
                      return done;
                  }),
                  0);
        EXPECT_EQ(silent, aug ? 1 : 0);
        EXPECT_EQ(rows_of(m->mtrx, n, n), a);
        EXPECT_EQ(rows_of(mab->mtrx, n, n + 1), ab);
        return told;
    };
    Matrix ex = {{3, 2, -4}, {2, 3, 3}, {5, -3, 1}};
    for (bool aug : {false, true}) {
        sweep(ex, {3, 15, 14}, "", aug).expect_all_met();
        sweep(test_matrix(4, 3), {1, 2, 3, 4}, "", aug).expect_all_met();
    }
    sweep(ex, {0, 0, 0}, trivial, false).expect_all_met();
    Matrix zero(3, std::vector<double>(3, 0.0));
    sweep(zero, {1, 1, 1}, no_solution, false).expect_all_met();
}
