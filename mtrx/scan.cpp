// The number scanner every reader shares: where a number starts, how it is
// converted, and the line parser built on the two (row_parse).
#include <cerrno>
#include <charconv>
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "internal.h"

namespace mtrx_detail {

namespace {
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_sign(char c) { return c == '+' || c == '-'; }
} // namespace

const char *next_number(const char *p, const char *end, start_rule rule)
{
    for (; p < end; ++p) {
        char c = *p;
        if (is_digit(c))
            return p;
        if (!is_sign(c) && c != '.')
            continue;
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

// The common decimal forms, converted without strtod where that gives the
// very same double and errno. Returns false to leave the text to strtod.
//  - Up to 19 significant digits times 10^e with |e| <= 22 and a mantissa
//    up to 2^53: both factors are exact doubles, so one multiplication or
//    division rounds the exact value once, as strtod does.
//  - Otherwise std::from_chars, also correctly rounded, as long as the
//    result is a normal number (strtod may report ERANGE for subnormal
//    results and for results that round to zero or overflow; those, and
//    everything from_chars does not take, go to strtod).
// Hexadecimal forms, a sign followed by anything but a digit or '.', and
// text that starts otherwise are strtod's.
bool convert_decimal(const char *p, conversion &out)
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
    int digits = 0; // significant digits in mant
    long exp10 = 0; // value = mant * 10^exp10
    bool any = false, cut = false;
    const char *s = q;
    for (; is_digit(*s); ++s) {
        any = true;
        if (mant == 0 && *s == '0')
            continue;
        if (digits < 19) {
            mant = mant * 10 + static_cast<unsigned>(*s - '0');
            ++digits;
        } else {
            cut = true;
            ++exp10;
        }
    }
    if (*s == '.') {
        for (++s; is_digit(*s); ++s) {
            any = true;
            if (mant == 0 && *s == '0') {
                --exp10;
                continue;
            }
            if (digits < 19) {
                mant = mant * 10 + static_cast<unsigned>(*s - '0');
                ++digits;
                --exp10;
            } else {
                cut = true;
            }
        }
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
        }
    }

    if (mant == 0) { // every digit 0: an exact zero, whatever the exponent
        out = {neg ? -0.0 : 0.0, s, false};
        return true;
    }
    if (!cut && mant <= (std::uint64_t(1) << 53) && exp10 >= -22 && exp10 <= 22) {
        double v = static_cast<double>(mant);
        v = exp10 < 0 ? v / exact_pow10[-exp10] : v * exact_pow10[exp10];
        out = {neg ? -v : v, s, false};
        return true;
    }

    const char *from = neg ? p : q; // from_chars takes '-' but not '+'
    const char *last = s;
    while (may_continue_decimal(*last))
        ++last;
    double v = 0;
    const std::from_chars_result r = std::from_chars(from, last, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != s || !(v >= DBL_MIN || v <= -DBL_MIN) || v > DBL_MAX ||
        v < -DBL_MAX)
        return false;
    out = {v, s, false};
    return true;
}

} // namespace

conversion convert_number(const char *p)
{
    errno = 0;
    conversion c;
    if (convert_decimal(p, c))
        return c;
    char *e = nullptr;
    double v = std::strtod(p, &e);
    return {v, e, errno != 0};
}

double *parse_row(const char *begin, const char *end, std::size_t *n, on_failure mode,
                  bool *nomem)
{
    if (*n == 0)
        *n = 8;
    auto *row = static_cast<double *>(lib_calloc(*n, sizeof(double)));
    if (!row) {
        if (mode == on_failure::exit) {
            std::perror("calloc-array");
            std::exit(1);
        }
        *nomem = true;
        return nullptr;
    }

    std::size_t i = 0;
    const char *p = begin;
    for (;;) {
        if (i == *n) {
            auto *grown = static_cast<double *>(try_resize(row, sizeof(double), *n, *n * 2));
            if (!grown) {
                if (mode == on_failure::exit)
                    die_exhausted();
                std::free(row);
                *nomem = true;
                return nullptr;
            }
            row = grown;
            *n *= 2;
        }
        p = next_number(p, end, start_rule::loose);
        if (p == end)
            break;
        conversion c = convert_number(p);
        if (c.end == p) {
            std::fputs("error: no digits converted.\n", stderr);
            break;
        }
        if (c.range_error) {
            std::fputs("error: in conversion.\n", stderr);
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
        if (shrunk)
            row = static_cast<double *>(shrunk);
        else if (mode == on_failure::exit)
            die_exhausted();
        // (a caller that goes on keeps the larger block: its values are intact)
        *n = i;
    }
    return row;
}

} // namespace mtrx_detail

extern "C" double *row_parse(const char *line, size_t *n)
{
    bool nomem = false;
    return mtrx_detail::parse_row(line, line + std::strlen(line), n,
                                  mtrx_detail::on_failure::exit, &nomem);
}
