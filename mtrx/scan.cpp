// The number scanner every reader shares: where a number starts, how it is
// converted, and the line parser built on the two (row_parse).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

conversion convert_number(const char *p)
{
    char *e = nullptr;
    errno = 0;
    double v = std::strtod(p, &e);
    return {v, e, errno != 0};
}

double *parse_row(const char *begin, const char *end, std::size_t *n, on_failure mode,
                  bool *nomem, scan_stop *stop)
{
    if (stop)
        *stop = scan_stop::none;
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
            if (stop)
                *stop = scan_stop::no_digits;
            break;
        }
        if (c.range_error) {
            std::fputs("error: in conversion.\n", stderr);
            if (stop)
                *stop = scan_stop::out_of_range;
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
