// The number scanner every reader shares (scan.h): where a number starts,
// how it is converted, and the line parser built on the two.
#include <bit>
#include <cerrno>
#include <charconv>
#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "core/read/scan.h"

namespace mtrx_detail {

namespace {
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_sign(char c) { return c == '+' || c == '-'; }
} // namespace

bool is_unicode_minus(const char *p, const char *end)
{
    return end - p >= 3 && p[0] == '\xE2' && p[1] == '\x88' && p[2] == '\x92';
}

const char *next_number(const char *p, const char *end, start_rule rule)
{
    for (; p < end; ++p) {
        char c = *p;
        if (is_digit(c))
            return p;
        if (!is_sign(c) && c != '.') {
            // U+2212 MINUS SIGN (three bytes) stands where '-' would.
            if (c != '\xE2' || !is_unicode_minus(p, end)) [[likely]]
                continue;
            const char *q = p + 3;
            const char c1 = q < end ? *q : '\0';
            if (is_digit(c1) ||
                (c1 == '.' && (rule == start_rule::loose || (q + 1 < end && is_digit(q[1])))))
                return p;
            continue;
        }
        char c1 = p + 1 < end ? p[1] : '\0';
        if (rule == start_rule::loose) {
            if (c1 == '.' || is_digit(c1))
                return p;
            continue;
        }
        if (is_digit(c1))
            return p;
        if (is_sign(c) && c1 == '.' && p + 2 < end && is_digit(p[2]))
            return p;
    }
    return end;
}

namespace {

// 10^0 .. 10^22, every one exact in a double.
const double exact_pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
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

// The rest: std::from_chars (correctly rounded too) for decimal forms whose
// result is a normal number; strtod for everything else, for which it may
// report ERANGE (results that overflow, round to zero or are subnormal) or
// which from_chars does not take (hexadecimal forms, a sign before anything
// but a digit or '.', a leading '+', words).
[[gnu::always_inline]] inline conversion convert_plain(const char *p, const char *end)
{
    const char *q = *p == '+' ? p + 1 : p; // from_chars takes '-' but not '+'
    const char *d = *p == '-' ? p + 1 : q;  // the first character after the sign
    if ((is_digit(*d) || *d == '.') && !(d[0] == '0' && (d[1] == 'x' || d[1] == 'X'))) {
        // from_chars needs a bound; none of the characters past the last that
        // may continue a decimal number can change what it reads, so a known
        // `end` serves as well as that character and saves finding it.
        const char *last = end;
        if (!last)
            for (last = d; may_continue_decimal(*last);)
                ++last;
        double v = 0;
        const std::from_chars_result r = std::from_chars(q, last, v, std::chars_format::general);
        if (r.ec == std::errc() && r.ptr != q && (v >= DBL_MIN || v <= -DBL_MIN) && v <= DBL_MAX &&
            v >= -DBL_MAX)
            return {v, r.ptr, false};
    }
    char *e = nullptr;
    errno = 0;
    const double v = std::strtod(p, &e);
    return {v, e, errno != 0};
}

// Whether `s` (where a conversion stopped) holds 'e' or 'E', U+2212 and a
// digit before `end`: an exponent written with the minus sign.
inline bool unicode_exponent(const char *s, const char *end)
{
    return end && end - s > 4 && (*s == 'e' || *s == 'E') && is_unicode_minus(s + 1, end) &&
           is_digit(s[4]);
}

// A number written with U+2212 for its sign, its exponent's sign or both
// ("\u22125", "1e\u22125"): the value and errno of the same number with '-'.
// An exponent with U+2212 is converted from a copy; in the rare case that
// no room can be had for a very long one, the number ends before its 'e'.
conversion convert_unicode_minus(const char *p, const char *end)
{
    const bool lead = p[0] == '\xE2' && p[1] == '\x88' && p[2] == '\x92';
    const char *q = lead ? p + 3 : p;
    conversion c;
    if (!convert_quick(q, end, c))
        c = convert_plain(q, end);
    if (c.end == q)
        return {0.0, p, false};
    if (unicode_exponent(c.end, end)) {
        const char *d = c.end + 4;
        while (d < end && is_digit(*d))
            ++d;
        const std::size_t mant = static_cast<std::size_t>(c.end - q);
        const std::size_t digits = static_cast<std::size_t>(d - (c.end + 4));
        const std::size_t size = mant + 2 + digits;
        char small[128];
        char *buf = size < sizeof small ? small : static_cast<char *>(std::malloc(size + 1));
        if (buf) {
            std::memcpy(buf, q, mant);
            buf[mant] = 'e';
            buf[mant + 1] = '-';
            std::memcpy(buf + mant + 2, c.end + 4, digits);
            buf[size] = '\0';
            conversion e;
            if (!convert_quick(buf, buf + size, e))
                e = convert_plain(buf, buf + size);
            c = {e.value, d, e.range_error}; // (every byte of the copy converts)
            if (buf != small)
                std::free(buf);
        }
    }
    if (lead)
        c.value = -c.value;
    return c;
}

// What convert_quick leaves: convert_plain's forms, and U+2212 as '-' before
// the number (next_number starts a number at 0xE2 only there) and, given
// `end`, before its exponent's digits.
[[gnu::noinline]] conversion convert_slow(const char *p, const char *end)
{
    if (*p == '\xE2')
        return convert_unicode_minus(p, end);
    const conversion c = convert_plain(p, end);
    if (unicode_exponent(c.end, end))
        return convert_unicode_minus(p, end);
    return c;
}

} // namespace

conversion convert_number(const char *p, const char *end)
{
    errno = 0;
    conversion c;
    if (convert_quick(p, end, c))
        return c;
    return convert_slow(p, end);
}

scan_result scan_values(const char *p, const char *end, double *out, std::size_t room)
{
    std::size_t i = 0;
    for (;;) {
        p = next_number(p, end, start_rule::strict);
        if (p == end)
            return {p, i, scan_stop::none, 0.0};
        conversion c;
        if (!convert_quick(p, end, c))
            c = convert_slow(p, end);
        if (c.end == p) {
            ++p;
            continue;
        }
        if (c.range_error)
            return {p, i, scan_stop::out_of_range, 0.0};
        if (i == room)
            return {c.end, i, scan_stop::full, c.value};
        out[i++] = c.value;
        p = c.end;
    }
}

double *parse_row(const char *begin, const char *end, std::size_t *n, scan_stop &stop,
                  alloc_fault &fault, const char **stop_at)
{
    stop = scan_stop::none;
    if (*n == 0)
        *n = 8;
    auto *row = static_cast<double *>(lib_calloc(*n, sizeof(double)));
    if (!row) {
        fault.set(alloc_site::parsed_row);
        return nullptr;
    }
    // (the array is released only after errno has been kept)
    auto exhausted = [&] {
        fault.set(alloc_site::growth);
        std::free(row);
        return nullptr;
    };

    std::size_t i = 0;
    const char *p = begin;
    errno = 0;
    for (;;) {
        if (i == *n) {
            auto *grown = static_cast<double *>(try_resize(row, sizeof(double), *n, *n * 2));
            if (!grown)
                return exhausted();
            row = grown;
            *n *= 2;
        }
        p = next_number(p, end, start_rule::loose);
        if (p == end)
            break;
        // (convert_number without clearing errno each time: the quick path
        // leaves it alone, and the one errno = 0 above stands for them all)
        conversion c;
        if (!convert_quick(p, end, c))
            c = convert_slow(p, end);
        if (c.end == p || c.range_error) {
            stop = c.end == p ? scan_stop::no_digits : scan_stop::out_of_range;
            if (stop_at)
                *stop_at = p;
            break;
        }
        row[i++] = c.value;
        p = c.end;
    }

    if (i == 0) {
        std::free(row);
        return nullptr;
    }
    if (i < *n) {
        void *shrunk = try_resize(row, sizeof(double), *n, i);
        if (!shrunk)
            return exhausted();
        row = static_cast<double *>(shrunk);
        *n = i;
    }
    return row;
}

} // namespace mtrx_detail
