// Exact scaling by powers of two, and products held as a mantissa and a
// power of two, for arithmetic whose intermediate values would leave the
// range of a double.
#ifndef MTRX_CORE_POW2_H
#define MTRX_CORE_POW2_H

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace mtrx_detail {

// 2^k exactly, for -1022 <= k <= 1023.
inline double pow2(long long k)
{
    return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
}

// x * 2^e for any e, as at most three exact steps: the part within
// [-1000, 1000] first, then whole 2^+-1000 steps, so that a result in the
// subnormal range is rounded once in the common case. (Beyond 2^+-2200 every
// finite nonzero double overflows or underflows.)
inline double times_pow2(double x, long long e)
{
    e = std::clamp<long long>(e, -2200, 2200);
    long long steps = 0;
    for (; e > 1000; e -= 1000)
        ++steps;
    for (; e < -1000; e += 1000)
        --steps;
    x = x * pow2(e);
    for (; steps > 0; --steps)
        x = x * pow2(1000);
    for (; steps < 0; ++steps)
        x = x * pow2(-1000);
    return x;
}

// e with x in [2^(e-1), 2^e), for a finite nonzero x.
inline long long exponent_of(double x)
{
    int e = 0;
    std::frexp(x, &e);
    return e;
}

// A product kept as mantissa * 2^exp with the mantissa in [0.5, 1) (or 0).
struct scaled {
    double m = 1.0;
    long long e = 0;

    scaled times(double x) const
    {
        int ex = 0, ey = 0;
        const double mx = std::frexp(x, &ex); // (a subnormal x loses nothing)
        const double p = std::frexp(m * mx, &ey);
        return {p, p == 0.0 ? 0 : e + ex + ey};
    }
    scaled times(const scaled &o) const
    {
        scaled r = times(o.m);
        if (r.m != 0.0)
            r.e += o.e;
        return r;
    }
};

} // namespace mtrx_detail

#endif
