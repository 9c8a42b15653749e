// Error-free transformations: a sum or a product of two doubles as a pair
// (hi, lo) whose unevaluated sum is the exact result, from ordinary double
// operations alone. No fused multiply-add is used (the library is built
// without contraction), so the pairs have the same bits on every processor.
//
// two_sum is Knuth's, exact for any two finite doubles whose sum does not
// overflow. The product splits each factor by Veltkamp's method into two
// halves of at most 26 significant bits, whose four partial products are
// exact; it is exact unless the product or its error falls below the normal
// range. Factors beyond 2^995, whose split would overflow, are split at
// 2^-28 of their size and scaled back (exactly).
#ifndef MTRX_CORE_EXACT_OPS_H
#define MTRX_CORE_EXACT_OPS_H

#include <cmath>
#include <cstddef>

namespace mtrx_detail {

struct double_pair {
    double hi = 0.0, lo = 0.0;
};

// a + b = hi + lo exactly.
inline double_pair two_sum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    const double ab = s - bb;
    const double e = (a - ab) + (b - bb);
    return {s, e};
}

// a = hi + lo, hi holding the upper 26 significant bits (for a finite a;
// an infinity or a NaN gives NaN halves, as its products would anyway).
inline double_pair split(double a)
{
    constexpr double factor = 134217729.0; // 2^27 + 1
    constexpr double large = 0x1p995;
    const bool scale = std::fabs(a) > large && std::isfinite(a);
    const double s = scale ? a * 0x1p-28 : a;
    const double c = factor * s;
    const double hi = c - (c - s);
    const double lo = s - hi;
    if (scale)
        return {hi * 0x1p28, lo * 0x1p28};
    return {hi, lo};
}

// The rounding error of a * b, given the product p = a * b and both splits.
inline double product_error(double p, const double_pair &a, const double_pair &b)
{
    const double t1 = a.hi * b.hi;
    const double t2 = a.hi * b.lo;
    const double t3 = a.lo * b.hi;
    const double t4 = a.lo * b.lo;
    return ((t1 - p) + t2 + t3) + t4;
}

// r = b - sum_j a[j] x[j], each product's error and each sum's carried in a
// second double and the pair rounded once (xs: the splits of x), and
// w = |b| + sum_j |a[j] x[j]| in working precision: a row's residual in
// twice the working precision, and the size it is measured against.
inline void exact_residual_row(const double *a, double b, const double *x, const double_pair *xs,
                               std::size_t n, double &r, double &w)
{
    double hi = b, lo = 0.0;
    double aw = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const double p = a[j] * x[j];
        const double e = product_error(p, split(a[j]), xs[j]);
        const double_pair s = two_sum(hi, -p);
        hi = s.hi;
        const double t = s.lo - e;
        lo = lo + t;
        aw = aw + std::fabs(p);
    }
    r = hi + lo;
    w = std::fabs(b) + aw;
}

} // namespace mtrx_detail

#endif
