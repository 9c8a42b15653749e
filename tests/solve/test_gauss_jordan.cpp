// Gauss-Jordan elimination with full pivoting: results, tie-breaks, the
// states a singular matrix leaves, and bit-exact results shared by the
// Linux and Windows builds.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include <gmock/gmock.h>

#include "core/gj/gj.h"
#include "support/alloc_sweep.h"
#include "support/compare.h"
#include "support/generators.h"

using testing::ElementsAre;

namespace {

const std::string singular_msg = "guassj() error: singular matrix.\n";

std::string run_guassj(Rows &a)
{
    return stderr_of([&] { guassj(a.get(), a.data.size()); });
}

} // namespace

TEST(GaussJordan, EmptyAndOneByTwo)
{
    EXPECT_EQ(stderr_of([] { guassj(nullptr, 0); }), "");
    Rows a({{2, 6}});
    EXPECT_EQ(run_guassj(a), "");
    EXPECT_THAT(a.data[0], ElementsAre(0.5, 3));
}

TEST(GaussJordan, ExampleSystemSolvesAndInverts)
{
    std::vector<std::vector<double>> orig = {{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}};
    Rows a(orig);
    EXPECT_EQ(run_guassj(a), "");
    const double tol = 8 * 3 * std::numeric_limits<double>::epsilon();
    EXPECT_NEAR(a.data[0][3], 3, tol * 3);
    EXPECT_NEAR(a.data[1][3], 1, tol * 3);
    EXPECT_NEAR(a.data[2][3], 2, tol * 3);
    // The block now holds the inverse: A * inv = I.
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j) {
            double s = 0;
            for (size_t k = 0; k < 3; ++k)
                s += orig[i][k] * a.data[k][j];
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, tol * 16);
        }
}

TEST(GaussJordan, PivotTieBreaksTakeTheLastEqualMagnitude)
{
    Rows a({{0, 1, 2}, {1, 0, 3}});
    EXPECT_EQ(run_guassj(a), "");
    EXPECT_THAT(a.data[0], ElementsAre(0, 1, 3));
    EXPECT_THAT(a.data[1], ElementsAre(1, 0, 2));

    // [2,2,1],[2,2,1]: first pivot at row 1, column 1; then 0.0 at (0, 0).
    Rows b({{2, 2, 1}, {2, 2, 1}});
    EXPECT_EQ(run_guassj(b), singular_msg);
    EXPECT_THAT(b.data[0], ElementsAre(0, -1, 0));
    EXPECT_THAT(b.data[1], ElementsAre(1, 0.5, 0.5));
}

TEST(GaussJordan, SingularStatesAreLeftAsTheFailingStepFoundThem)
{
    Rows a({{1, 2, 3}, {2, 4, 6}});
    EXPECT_EQ(run_guassj(a), singular_msg);
    EXPECT_THAT(a.data[0], ElementsAre(0, -0.5, 0));
    EXPECT_THAT(a.data[1], ElementsAre(0.5, 0.25, 1.5));

    Rows z({{0, 0, 1}, {0, 0, 2}});
    EXPECT_EQ(run_guassj(z), singular_msg);
    EXPECT_THAT(z.data[0], ElementsAre(0, 0, 1));
    EXPECT_THAT(z.data[1], ElementsAre(0, 0, 2));

    Rows neg({{-0.0, 5}});
    EXPECT_EQ(run_guassj(neg), singular_msg);
    EXPECT_TRUE(std::signbit(neg.data[0][0]));
}

TEST(GaussJordan, NaNNeverWinsThePivotSearch)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Every candidate of the first step is NaN: the indices stay (0, 0), whose
    // NaN is not zero, so the step goes on and the NaN spreads.
    Rows a({{nan, nan, 1}, {nan, nan, 2}});
    EXPECT_EQ(run_guassj(a), "");
    EXPECT_TRUE(std::isnan(a.data[0][2]));

    // A NaN beside finite candidates is passed over, and a later step that
    // sees only NaN keeps the previous pivot (1, 1), which is not zero: row 1
    // is normalised twice, by 1/2 and then by 1/0.5.
    Rows b({{nan, 0, 1}, {0, 2, 4}});
    EXPECT_EQ(run_guassj(b), "");
    EXPECT_TRUE(std::isnan(b.data[0][0]));
    EXPECT_EQ(b.data[0][1], 0);
    EXPECT_EQ(b.data[0][2], 1);
    EXPECT_THAT(b.data[1], ElementsAre(0, 2, 4));
}

TEST(GaussJordan, RowsAreNeverExchangedByPointer)
{
    Rows a({{0, 1, 2}, {1, 0, 3}});
    double *r0 = a.ptrs[0], *r1 = a.ptrs[1];
    guassj(a.get(), 2);
    EXPECT_EQ(a.ptrs[0], r0);
    EXPECT_EQ(a.ptrs[1], r1);
}

TEST(GaussJordan, ColumnsBeyondNAreUntouched)
{
    Rows a({{2, 6, 99, 98}});
    guassj(a.get(), 1);
    EXPECT_THAT(a.data[0], ElementsAre(0.5, 3, 99, 98));
}

TEST(GaussJordan, VectorFormMatchesAugmentedFormBitForBit)
{
    std::vector<std::vector<double>> sys = {
        {0.1, 2.7, -3.3, 1.9, 4.4}, {5.5, -0.2, 1.1, 2.2, -1},   {1e-3, 7, 0.5, -2.5, 3.3},
        {4.5, 4.5, -4.5, 0.01, 2},  {3.25, -1.75, 9, 6, 0.125},
    };
    // Put a 4x5 subsystem into both forms.
    std::vector<std::vector<double>> aug, block;
    std::vector<double> b;
    for (size_t i = 0; i < 4; ++i) {
        aug.push_back({sys[i][0], sys[i][1], sys[i][2], sys[i][3], sys[i][4]});
        block.push_back({sys[i][0], sys[i][1], sys[i][2], sys[i][3]});
        b.push_back(sys[i][4]);
    }
    Rows a(aug), v(block);
    guassj(a.get(), 4);
    guassj_vec(v.get(), b.data(), 4);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(same_bits(a.data[i][4], b[i]));
        EXPECT_TRUE(same_bits(a.data[i].data(), v.data[i].data(), 4));
    }

    Rows sing({{1, 2}, {2, 4}});
    std::vector<double> bs = {3, 6};
    EXPECT_EQ(stderr_of([&] { guassj_vec(sing.get(), bs.data(), 2); }), singular_msg);
}

// Exhausted memory, for the bookkeeping of the small systems' path and for
// the working array of the larger ones: the message, and the matrix as it
// was.
TEST(GaussJordan, NoMemoryLeavesTheMatrixAlone)
{
    const Matrix sys = {{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}};
    mtrx_detail::gj_tuning working;
    working.in_place_below = 1; // the working array at every size
    for (const mtrx_detail::gj_tuning &t : {mtrx_detail::gj_tuning{}, working}) {
        ASSERT_TRUE(mtrx_detail::gj_tune(t));
        EXPECT_GT(sweep_alloc_failures([&] {
                      Rows a(sys);
                      const std::string said = run_guassj(a);
                      if (said.empty()) {
                          EXPECT_NEAR(a.data[2][3], 2, 1e-15);
                          return true;
                      }
                      EXPECT_EQ(said, "guassj() error: virtual memory exhausted.\n");
                      EXPECT_EQ(a.data, sys);
                      return false;
                  }),
                  0);
    }
    mtrx_detail::gj_tune({});
}

TEST(Swap, ExchangesTwoDoubles)
{
    double x = 1.5, y = -2;
    swap_dbl(&x, &y);
    EXPECT_EQ(x, -2);
    EXPECT_EQ(y, 1.5);
}

namespace {

// An n x (n + 1) system of values in [-100, 100).
Matrix random_system(size_t n, std::uint64_t seed)
{
    Matrix a = random_source(seed).matrix(n, n + 1, kind::uniform);
    for (auto &r : a)
        for (double &x : r)
            x *= 100.0;
    return a;
}

uint64_t fnv1a(const std::vector<std::vector<double>> &a)
{
    uint64_t h = 1469598103934665603ull;
    for (const auto &r : a)
        for (double x : r) {
            unsigned char b[8];
            std::memcpy(b, &x, 8);
            for (unsigned char c : b) {
                h ^= c;
                h *= 1099511628211ull;
            }
        }
    return h;
}

} // namespace

// The same expected bits are checked by the Linux build and, under Wine, by
// the Windows build: no contraction into fused multiply-adds, no x87.
TEST(GaussJordan, BitsAreTheSameOnEveryBuild)
{
    Rows ex({{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}});
    guassj(ex.get(), 3);
    EXPECT_EQ(ex.data[0][3], 0x1.8p+1);
    EXPECT_EQ(ex.data[1][3], 0x1.ffffffffffffdp-1);
    EXPECT_EQ(ex.data[2][3], 0x1p+1);

    Rows five({{0.1, 2.7, -3.3, 1.9, 4.4, 1},
               {5.5, -0.2, 1.1, 2.2, -1, 2},
               {1e-3, 7, 0.5, -2.5, 3.3, 3},
               {4.5, 4.5, -4.5, 0.01, 2, 4},
               {3.25, -1.75, 9, 6, 0.125, 5}});
    guassj(five.get(), 5);
    const double want[] = {-0x1.abc67b4e4815ap+0, 0x1.e79d8f391837fp+1, -0x1.322e7f701ec04p-1,
                           0x1.eab2d81c5d2ffp+1, -0x1.0b48bbab29a9p+2};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(five.data[i][5], want[i]) << i;

    // Every element of the reduced matrix (solution and inverse), hashed.
    const std::pair<size_t, uint64_t> hashed[] = {{12, 0x38d0f162f6aba1deull},
                                                  {60, 0x3d2f238d400b6000ull}};
    for (auto [n, h] : hashed) {
        Rows a(random_system(n, 777 + n));
        guassj(a.get(), n);
        EXPECT_EQ(fnv1a(a.data), h) << n;
    }
}
