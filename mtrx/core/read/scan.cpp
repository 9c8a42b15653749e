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
#include "core/read/scan_quick.h"

namespace mtrx_detail {

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
