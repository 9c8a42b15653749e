// The scanner's quick path (scan.cpp): the common decimal forms converted
// without strtod, with the bits strtod gives them; anything else is left to
// the slow path. Inline, as every reader's loop runs it once per number.
// Why each form takes the path it does: docs/PERFORMANCE.md, "The number scanner per
// number form".
#ifndef MTRX_CORE_READ_SCAN_QUICK_H
#define MTRX_CORE_READ_SCAN_QUICK_H

#include <bit>
#include <charconv>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "core/read/scan.h"

namespace mtrx_detail {

// 10^0 .. 10^22, every one exact in a double.
inline constexpr double exact_pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool may_continue_decimal(char c)
{
    return is_digit(c) || c == '.' || c == 'e' || c == 'E' || is_sign(c);
}

// The eight characters at s as a number when all of them are digits.
inline bool eight_digits(const char *s, std::uint64_t &v)
{
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint64_t x;
        std::memcpy(&x, s, 8); // s[0] in the lowest byte
        // Every byte in '0'..'9': its high nibble is 3, and adding 6 keeps it 3.
        if (((x & 0xF0F0F0F0F0F0F0F0u) | (((x + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) !=
            0x3333333333333333u)
            return false;
        x -= 0x3030303030303030u;
        x = x * 10 + (x >> 8); // pairs of digits
        x = (((x & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
             (((x >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
            32;
        v = x & 0xFFFFFFFFu;
        return true;
    }
}

// The four characters at s as a number when all of them are digits.
inline bool four_digits(const char *s, std::uint64_t &v)
{
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint32_t x;
        std::memcpy(&x, s, 4);
        if (((x & 0xF0F0F0F0u) | (((x + 0x06060606u) & 0xF0F0F0F0u) >> 4)) != 0x33333333u)
            return false;
        x -= 0x30303030u;
        x = x * 10 + (x >> 8); // pairs of digits in bytes 0 and 2
        v = (x & 0xFF) * 100 + ((x >> 16) & 0xFF);
        return true;
    }
}

// A long mantissa's conversion by from_chars, kept when it ends the number
// before `end` with a normal result; anything else (a result out of the
// normal range, an exponent that may be written with U+2212) returns false
// for convert_slow. `p` is past any '+', which from_chars does not take.
inline bool convert_long(const char *p, const char *end, conversion &out)
{
    double v = 0;
    const std::from_chars_result r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr == p || !(v >= DBL_MIN || v <= -DBL_MIN) || v > DBL_MAX ||
        v < -DBL_MAX || (r.ptr < end && (*r.ptr == 'e' || *r.ptr == 'E')))
        return false;
    out = {v, r.ptr, false};
    return true;
}

// The common decimal forms, converted without strtod: up to 19 significant
// digits times 10^e with |e| <= 22 and a mantissa up to 2^53. Both factors
// are then exact doubles, so one multiplication or division rounds the
// exact value once, as strtod does, and the result is a normal number (no
// range error). Everything else returns false and goes to convert_slow.
// With `end`, digits are also read eight at a time, never at or past `end`,
// and a mantissa past 2^53 (17 digits, the round-trip form of a double) goes
// to convert_long at once rather than through convert_slow.
// (Always inlined: GCC otherwise keeps one out-of-line copy for its three
// callers, and the call costs the readers about a tenth of their time.)
[[gnu::always_inline]] inline bool convert_quick(const char *p, const char *end, conversion &out)
{
    const char *q = p;
    bool neg = false;
    if (is_sign(*q)) {
        neg = *q == '-';
        ++q;
    }
    if (!is_digit(*q) && *q != '.')
        return false;
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X'))
        return false;

    std::uint64_t mant = 0;
    int digits = 0; // significant digits in mant (from the first non-zero one)
    long exp10 = 0; // value = mant * 10^exp10
    bool any = false;
    const char *s = q;
    // One run of digits; in the fraction each digit kept lowers the exponent.
    // More than 19 significant digits are left to the slow path.
    auto run = [&](bool fraction) {
        if (mant == 0) {
            const char *z = s;
            while (*s == '0')
                ++s;
            if (s != z)
                any = true;
            if (fraction)
                exp10 -= s - z;
        }
        if (end) {
            std::uint64_t v;
            auto take = [&](int count, std::uint64_t scale) {
                mant = mant * scale + v;
                digits += count;
                if (fraction)
                    exp10 -= count;
                s += count;
                any = true;
            };
            while (digits <= 11 && end - s >= 8 && eight_digits(s, v))
                take(8, 100000000u);
            if (digits <= 15 && end - s >= 4 && four_digits(s, v))
                take(4, 10000u);
        }
        for (; is_digit(*s); ++s) {
            any = true;
            if (digits == 19)
                return false;
            mant = mant * 10 + static_cast<unsigned>(*s - '0');
            ++digits;
            if (fraction)
                --exp10;
        }
        return true;
    };
    if (!run(false))
        return false;
    if (*s == '.') {
        ++s;
        if (!run(true))
            return false;
    }
    if (!any)
        return false; // "." or "-.": strtod converts nothing
    if (*s == 'e' || *s == 'E') {
        const char *t = s + 1;
        bool eneg = false;
        if (is_sign(*t)) {
            eneg = *t == '-';
            ++t;
        }
        if (is_digit(*t)) {
            long e = 0;
            for (; is_digit(*t); ++t)
                if (e < 100000)
                    e = e * 10 + (*t - '0');
            exp10 += eneg ? -e : e;
            s = t;
        } else if (*t == '\xE2') {
            return false; // perhaps U+2212 before the exponent: convert_slow's
        }
    }

    if (mant == 0) { // every digit 0: an exact zero, whatever the exponent
        out = {neg ? -0.0 : 0.0, s, false};
        return true;
    }
    if (mant > (std::uint64_t(1) << 53)) // 17 digits, as most often
        return end && convert_long(*p == '+' ? q : p, end, out);
    if (exp10 < -22 || exp10 > 22)
        return false;
    double v = static_cast<double>(mant);
    v = exp10 < 0 ? v / exact_pow10[-exp10] : v * exact_pow10[exp10];
    out = {neg ? -v : v, s, false};
    return true;
}

} // namespace mtrx_detail

#endif
