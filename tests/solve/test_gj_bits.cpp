// The Gauss-Jordan kernel against the plain loop, bit for bit: random
// matrices with ties, zeros, -0.0, NaN, infinities and singular cases, both
// forms (constants in column n or in a vector), every instruction set this
// build has, one or several threads, and several block sizes. Many columns
// of constants at once, with the inverse or without, give every column the
// bits it has alone.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/gj/gj.h"
#include "core/pool/thread_pool.h"
#include "reference/gauss_jordan_ref.h"
#include "support/compare.h"
#include "support/generators.h"

using namespace mtrx_detail;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// n rows of n + 1 + 2 values; the two columns past n must come back
// untouched. (The graded and badly scaled kinds leave most rows unable to
// hold the next pivot for many steps: they wait.)
Matrix make(kind k, std::size_t n, random_source &src) { return src.matrix(n, n + 3, k); }

// Identical bits, except that a NaN matches any NaN: a NaN never feeds a
// choice or a non-NaN value, so every other bit is compared.
constexpr nans nan_rule = nans::any;

struct case_result {
    bool ok = true;
    std::string what;
};

// Runs one matrix through the kernel and the plain loop in both forms.
case_result check(const std::vector<std::vector<double>> &orig)
{
    const std::size_t n = orig.size();
    case_result res;
    // Constants in column n.
    auto fast = orig, ref = orig;
    auto pf = ptrs(fast), pr = ptrs(ref);
    gj_status st = gj_reduce(pf.data(), nullptr, n);
    auto rst = quendle_ref::gauss_jordan(pr.data(), nullptr, n);
    if ((st == gj_status::singular) != (rst == quendle_ref::gj_result::singular) ||
        st == gj_status::no_memory || !same_bits(fast, ref, nan_rule)) {
        res.ok = false;
        res.what = "in-row form differs";
        return res;
    }
    // Constants in a vector: the block is n wide, b takes column n's place.
    auto fv = orig, rv = orig;
    std::vector<double> bf(n), br(n);
    for (std::size_t i = 0; i < n; ++i) {
        bf[i] = br[i] = orig[i][n];
        fv[i][n] = rv[i][n] = 12345.0; // must stay as it is
    }
    auto pfv = ptrs(fv), prv = ptrs(rv);
    st = gj_reduce(pfv.data(), bf.data(), n);
    rst = quendle_ref::gauss_jordan(prv.data(), br.data(), n);
    if ((st == gj_status::singular) != (rst == quendle_ref::gj_result::singular) ||
        !same_bits(fv, rv, nan_rule) || !same_bits(bf.data(), br.data(), n, nan_rule)) {
        res.ok = false;
        res.what = "vector form differs";
    }
    return res;
}

// A (the n x n block of `orig`) with the k columns of `rhs` at once, with
// and without the inverse, against each column solved alone as column n
// (which check() holds to the plain loop): the same status, every column's
// bits, the inverse's, and the columns past n + k untouched.
case_result check_many(const Matrix &orig, const Matrix &rhs)
{
    const std::size_t n = orig.size(), k = rhs.empty() ? 0 : rhs[0].size();
    case_result res;
    Matrix wide(n), alone = orig;
    for (std::size_t i = 0; i < n; ++i) {
        wide[i].assign(orig[i].begin(), orig[i].begin() + n);
        wide[i].insert(wide[i].end(), rhs[i].begin(), rhs[i].end());
        wide[i].push_back(-7.0); // must stay as it is
    }
    std::vector<Matrix> single(std::max<std::size_t>(k, 1), Matrix(n));
    gj_status st_alone = gj_status::solved;
    for (std::size_t j = 0; j < single.size(); ++j) {
        for (std::size_t i = 0; i < n; ++i)
            alone[i][n] = k ? rhs[i][j] : 0.0;
        single[j] = alone;
        auto p = ptrs(single[j]);
        st_alone = gj_reduce(p.data(), nullptr, n);
    }
    for (bool inverse : {true, false}) {
        Matrix w = wide;
        auto p = ptrs(w);
        const gj_status st = gj_reduce_many(p.data(), n, k, inverse);
        bool same = st == st_alone;
        for (std::size_t i = 0; same && i < n; ++i) {
            for (std::size_t j = 0; j < k; ++j)
                same = same && same_bits(w[i][n + j], single[j][i][n], nan_rule);
            same = same && w[i][n + k] == -7.0;
            if (inverse)
                same = same && same_bits(w[i].data(), single[0][i].data(), n, nan_rule);
        }
        if (!same) {
            res.ok = false;
            res.what = std::string("many columns differ ") + (inverse ? "with" : "without") +
                       " the inverse, k = " + std::to_string(k);
            return res;
        }
    }
    return res;
}

class GaussJordanBits : public testing::TestWithParam<gj_isa> {
protected:
    void SetUp() override
    {
        gj_tuning t;
        t.isa = GetParam();
        if (!gj_tune(t))
            GTEST_SKIP() << "instruction set not available here";
    }
    void TearDown() override
    {
        gj_tune(gj_tuning{});
        pool_set_threads(0);
    }

    // Every kind of matrix for each n, under the given threads and block size
    // (as many threads as asked, whatever the processor count).
    void sweep(const std::vector<std::size_t> &sizes, std::size_t threads, std::size_t block,
               unsigned seed)
    {
        pool_set_threads(threads);
        gj_tuning t;
        t.isa = GetParam();
        t.threads = threads;
        t.block = block;
        t.parallel_from = 2;
        t.in_place_below = 1;   // the working-array solver at every size
        t.step_alone_below = 1; // and every pass shared
        ASSERT_TRUE(gj_tune(t));
        random_source src(seed);
        for (std::size_t n : sizes)
            for (kind k : elimination_kinds) {
                const Matrix a = make(k, n, src);
                case_result r = check(a);
                if (r.ok) {
                    // (from 0 to 17 columns over the sweep)
                    const std::size_t cols = (7 * n + static_cast<std::size_t>(k)) % 18;
                    r = check_many(a, src.matrix(n, cols, k));
                }
                ASSERT_TRUE(r.ok) << r.what << " at n = " << n << ", kind "
                                  << static_cast<int>(k) << ", threads " << threads
                                  << ", block " << block;
            }
    }
};

std::vector<std::size_t> range(std::size_t from, std::size_t to)
{
    std::vector<std::size_t> v;
    for (std::size_t n = from; n <= to; ++n)
        v.push_back(n);
    return v;
}

TEST_P(GaussJordanBits, SmallMatricesOneThread) { sweep(range(0, 40), 1, 0, 1); }

TEST_P(GaussJordanBits, SmallMatricesSeveralThreadsAndBlockSizes)
{
    // (Each call starts its threads, which is slow under Wine: few sizes.)
    sweep({1, 2, 3, 4, 5, 7, 9, 12, 16, 23}, 3, 1, 2);
    sweep({2, 6, 11, 17, 24}, 2, 5, 3);
    sweep({33, 65}, 2, 7, 4);
}

TEST_P(GaussJordanBits, LargerMatrices)
{
    sweep({97, 130}, 1, 0, 5);
    sweep({160, 300}, 2, 0, 6);
}

// A block that fills exactly at the last step, a block of one step, and
// blocks larger than the matrix.
TEST_P(GaussJordanBits, BlockEdges)
{
    sweep({32, 64}, 1, 32, 7);
    sweep({9}, 2, 1, 8);
    sweep({9, 10}, 1, 200, 9);
}

// Once every candidate is NaN the search picks nothing new and a pivot
// column is taken twice; everything after that must still match.
TEST_P(GaussJordanBits, AllNaNStepHalfway)
{
    gj_tuning t;
    t.isa = GetParam();
    t.threads = 2;
    t.block = 3;
    t.parallel_from = 2;
    t.in_place_below = 1;
    t.step_alone_below = 1;
    ASSERT_TRUE(gj_tune(t));
    pool_set_threads(2);
    random_source src(10);
    for (std::size_t n : {4u, 7u, 12u, 40u}) {
        auto a = make(kind::uniform, n, src);
        // Rows and columns from n/2 on are NaN except their diagonal: the
        // finite pivots go first, then only NaN is left.
        for (std::size_t i = n / 2; i < n; ++i)
            for (std::size_t j = n / 2; j < n; ++j)
                a[i][j] = i == j ? 2.0 + static_cast<double>(i) : kNaN;
        case_result r = check(a);
        if (r.ok)
            r = check_many(a, src.matrix(n, 5, kind::uniform));
        EXPECT_TRUE(r.ok) << r.what << " at n = " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, GaussJordanBits,
                         testing::Values(gj_isa::portable, gj_isa::avx2, gj_isa::avx512),
                         [](const testing::TestParamInfo<gj_isa> &i) {
                             return std::string(i.param == gj_isa::portable ? "Portable"
                                                : i.param == gj_isa::avx2   ? "Avx2"
                                                                            : "Avx512");
                         });

// Small systems by default skip the working array and run on the caller's
// rows; the whole set of kinds again with the defaults, on both sides of the
// size where the working array takes over.
TEST(GaussJordanInPlace, SmallSystemsMatchThePlainLoop)
{
    gj_tune(gj_tuning{});
    random_source src(11);
    for (std::size_t n : range(0, 52))
        for (kind k : elimination_kinds) {
            const Matrix a = make(k, n, src);
            case_result r = check(a);
            if (r.ok)
                r = check_many(a, src.matrix(n, 1 + n % 17, k));
            ASSERT_TRUE(r.ok) << r.what << " at n = " << n << ", kind " << static_cast<int>(k);
        }
}

} // namespace
