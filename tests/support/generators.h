// Random matrices for the tests, all from one seeded source: the kinds of
// values and structures that stress elimination, the product and the
// cofactors, reproducible from the seed on every build.
#ifndef QUENDLE_TESTS_SUPPORT_GENERATORS_H
#define QUENDLE_TESTS_SUPPORT_GENERATORS_H

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "matrix.h"

enum class kind {
    // Values that do not depend on their place:
    uniform,      // in [-1, 1)
    small_ints,   // -3 to 3: many ties and zeros
    with_ties,    // uniform, one in eleven an integer from -2 to 2
    unit_ties,    // 1 or -1
    specials,     // uniform, one in six 0, -0, NaN, +-inf, 1e300, -1e-300, a subnormal or +-1
    spread,       // over 60 binary orders of magnitude, with zeros of both signs,
                  // subnormals, products that underflow and pairs that cancel
    spread_special, // the same with infinities, NaN and products that overflow
    // Structures (rows x cols, n = rows):
    rank_deficient, // rows often -2 times the row above or a copy of it
    zero_block,     // zeros of both signs in the lower left n/2 x n/2 block and here and there
    nan_block,      // NaN in rows n/2 on, columns n/3 to n - 1
    graded,         // rows shrinking by up to twelve orders of magnitude down the matrix
    badly_scaled    // rows and columns scaled anywhere from 1e-8 to 1e8
};

// The kinds the elimination tests go through: every kind but the spreads,
// which are the product's.
extern const kind elimination_kinds[9];

class random_source {
  public:
    explicit random_source(std::uint64_t seed) : g_(seed) {}

    // rows x cols values of kind k.
    Matrix matrix(std::size_t rows, std::size_t cols, kind k);
    // One value of a kind that does not depend on its place.
    double value(kind k);

    double uniform(double lo = -1.0, double hi = 1.0)
    {
        return std::uniform_real_distribution<double>(lo, hi)(g_);
    }
    long long integer(long long lo, long long hi)
    {
        return std::uniform_int_distribution<long long>(lo, hi)(g_);
    }
    // In [0, n).
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(g_() % n); }
    std::uint64_t bits() { return g_(); }

    // An m x (n + 1) augmented system [A b] of small integers whose A has
    // rank r exactly: A = U [I_r 0; 0 0] V with U and V unimodular (products
    // of integer row and column operations), b = U c with c zero past its
    // first r entries exactly when the system is consistent (an inconsistent
    // one needs r < m).
    Matrix integer_system(std::size_t m, std::size_t n, std::size_t r, bool consistent);

  private:
    double scaled(int e);
    std::mt19937_64 g_;
};

// An n x n matrix of rank r: elements from draw() for r = n, otherwise the
// product of n x r and r x n factors with elements from draw().
template <class T, class Draw> std::vector<std::vector<T>> of_rank(std::size_t n, std::size_t r, Draw draw)
{
    std::vector<std::vector<T>> a(n, std::vector<T>(n));
    if (r == n) {
        for (auto &row : a)
            for (T &x : row)
                x = draw();
        return a;
    }
    std::vector<std::vector<T>> x(n, std::vector<T>(r)), y(r, std::vector<T>(n));
    for (auto *f : {&x, &y})
        for (auto &row : *f)
            for (T &v : row)
                v = draw();
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t k = 0; k < r; ++k)
                a[i][j] += x[i][k] * y[k][j];
    return a;
}

#endif
