// The matrix product, bit for bit: every kernel this processor has, on one
// thread and on several, against the plain i-j-k loops, on random shapes
// and on values whose results change with any other order of the sums, with
// a fused multiply-add, or with a sum started anywhere but +0.0.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

#include "core/product/product.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/threads.h"

using namespace mtrx_detail;

namespace
{

const double qnan = std::numeric_limits<double>::quiet_NaN();

// Mostly full-precision values spread over 60 binary orders of magnitude, so
// that nearly every product is rounded and nearly every sum depends on its
// order (kind::spread); the special flavour adds infinities, NaN and
// products that overflow, rarely enough to leave most rows finite.
enum class flavour { finite, special };

// rows x cols values, each row its own allocation. Some rows start at an odd
// place of their buffer or have NaN after their end, so that a read past the
// stated shape shows in the result; the others end where the shape does, for
// the memory checkers.
class Operand
{
  public:
    Operand(size_t rows, size_t cols, random_source &src, flavour f) : rows_(rows + 2)
    {
        for (auto &row : rows_) {
            const size_t off = src.bits() & 1, tail = src.bits() & 2;
            row.assign(off + cols + tail, qnan);
            ptrs_.push_back(row.data() + off);
        }
        const kind k = f == flavour::special ? kind::spread_special : kind::spread;
        for (size_t i = 0; i < rows; ++i)
            for (size_t j = 0; j < cols; ++j)
                ptrs_[i][j] = src.value(k);
    }
    // Every element set to v.
    Operand(size_t rows, size_t cols, double v) : rows_(rows, std::vector<double>(cols + 1, v))
    {
        for (auto &row : rows_)
            ptrs_.push_back(row.data());
    }
    double **get() { return ptrs_.data(); }
    bool operator==(const Operand &o) const { return same_bits(rows_, o.rows_); }

  private:
    Matrix rows_;
    std::vector<double *> ptrs_;
};

// The product as defined: i, j, k loops, every element a running sum from
// 0.0 with its terms added in ascending k.
std::vector<double> loops(double **a, double **b, size_t m, size_t n, size_t p)
{
    std::vector<double> r(m * p);
    for (size_t i = 0; i < m; ++i)
        for (size_t j = 0; j < p; ++j) {
            double s = 0.0;
            for (size_t k = 0; k < n; ++k) {
                const double t = a[i][k] * b[k][j];
                s = s + t;
            }
            r[i * p + j] = s;
        }
    return r;
}

// Empty when r holds `want`, else where and how it differs.
std::string differences(double **r, const std::vector<double> &want, size_t m, size_t p)
{
    std::ostringstream out;
    size_t count = 0;
    for (size_t i = 0; i < m; ++i)
        for (size_t j = 0; j < p; ++j)
            if (!same_bits(r[i][j], want[i * p + j], nans::any) && count++ < 3)
                out << " [" << i << "][" << j << "] " << std::hexfloat << r[i][j]
                    << " != " << want[i * p + j] << ";";
    if (count)
        out << " " << count << " elements differ";
    return out.str();
}

std::vector<product_kernel> kernels()
{
    std::vector<product_kernel> v;
    for (auto k : {product_kernel::plain, product_kernel::portable, product_kernel::avx2,
                   product_kernel::avx512})
        if (product_kernel_available(k))
            v.push_back(k);
    return v;
}

// The product by kernel k on `threads` threads (0: arr2d_mult itself).
double **product_by(product_kernel k, unsigned threads, double **a, double **b, size_t m, size_t n,
                    size_t p)
{
    if (threads == 0)
        return arr2d_mult(a, b, m, n, p);
    double **r = arr2d_calloc(m, p);
    if (r)
        product_into(r, a, b, m, n, p, k, threads);
    return r;
}

// Every kernel with one and several threads, and arr2d_mult, give the
// loops' result on a * b; the operands are left as they were.
void expect_all_match(Operand &a, Operand &b, size_t m, size_t n, size_t p,
                      std::initializer_list<unsigned> thread_counts)
{
    const Operand a0 = a, b0 = b;
    const std::vector<double> want = loops(a.get(), b.get(), m, n, p);
    for (auto k : kernels())
        for (unsigned threads : thread_counts) {
            double **r = product_by(k, threads, a.get(), b.get(), m, n, p);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(differences(r, want, m, p), "")
                << m << " x " << n << " x " << p << ", kernel " << int(k) << ", threads "
                << threads;
            arr2d_free(r, m);
        }
    EXPECT_TRUE(a == a0 && b == b0) << "an operand changed";
}

} // namespace

TEST(Product, RandomShapesMatchTheLoopsBitForBit)
{
    random_source src(20240607);
    for (int round = 0; round < 120; ++round) {
        // Mostly sizes past a tile's edge; now and then an empty dimension.
        auto size = [&] { return src.below(20) == 0 ? size_t(0) : src.below(71); };
        const size_t m = size(), n = size(), p = size();
        const flavour f = round % 3 == 2 ? flavour::special : flavour::finite;
        Operand a(m, n, src, f), b(n, p, src, f);
        // Threads are slow to start under Wine: several threads on every
        // fourth shape only.
        if (round % 4 == 0)
            expect_all_match(a, b, m, n, p, {0, 1, 3});
        else
            expect_all_match(a, b, m, n, p, {0, 1});
    }
}

TEST(Product, LargeShapesCrossEveryBlockAndUseThreads)
{
    random_source src(7);
    const size_t shapes[][3] = {{257, 129, 300}, {97, 520, 193}, {300, 257, 31}};
    for (auto &s : shapes) {
        Operand a(s[0], s[1], src, flavour::finite), b(s[1], s[2], src, flavour::finite);
        expect_all_match(a, b, s[0], s[1], s[2], {0, 1, 2, 5});
    }
}

TEST(Product, EverySumStartsFromPositiveZero)
{
    // Every term is -0.0, so every element is 0.0 + (-0.0) + ... = +0.0; a
    // sum begun with its first term would end at -0.0.
    for (auto [m, n, p] : {std::array<size_t, 3>{9, 5, 25}, {1, 1, 1}, {17, 70, 50}}) {
        Operand a(m, n, -1.0), b(n, p, 0.0);
        for (auto k : kernels())
            for (unsigned threads : {0u, 1u, 4u}) {
                double **r = product_by(k, threads, a.get(), b.get(), m, n, p);
                ASSERT_NE(r, nullptr);
                for (size_t i = 0; i < m; ++i)
                    for (size_t j = 0; j < p; ++j)
                        ASSERT_EQ(std::bit_cast<uint64_t>(r[i][j]), 0u)
                            << "kernel " << int(k) << ", threads " << threads;
                arr2d_free(r, m);
            }
    }
}

// Teams of up to five threads whatever the processor count, so that parts
// go to several workers at once, some taken over from a slow one.
TEST(Product, ManyThreadsOfThePoolMatchTheLoops)
{
    threads_allowed allow(5);
    random_source src(8);
    for (int round = 0; round < 6; ++round) {
        const size_t m = 40 + src.below(300), n = 1 + src.below(300), p = 30 + src.below(400);
        Operand a(m, n, src, flavour::finite), b(n, p, src, flavour::finite);
        expect_all_match(a, b, m, n, p, {2, 3, 5});
    }
}
