#include "solve_core.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

namespace quendle {

namespace {

struct mtrx_deleter {
    void operator()(mtrx_t *m) const { mtrx_free(m); }
};

template <class... Args> std::string format(const char *fmt, Args... args)
{
    int len = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

solve_outcome error_line(const mtrx_error &err)
{
    return {std::string("\r\n\r\n ERROR: ") + err.message + "\r\n", false, {}, {}};
}

// Finds where the matrix begins, reads the system from there through the
// status interface and solves it; every error line is the library's own
// sentence for what failed.
solve_outcome solve(const char *begin, std::size_t len, unsigned flags)
{
    mtrx_error err;
    std::size_t at = 0;
    if (mtrx_find_matrix(begin, len, &at, &err) != MTRX_OK)
        return error_line(err);
    mtrx_t *raw = nullptr;
    if (mtrx_parse_system(begin + at, len - at, &raw, &err) != MTRX_OK)
        return error_line(err);
    std::unique_ptr<mtrx_t, mtrx_deleter> m(raw);
    double *x = nullptr;
    mtrx_solve_info info;
    if (mtrx_solve_checked(m.get(), flags, &x, &info, &err) != MTRX_OK)
        return error_line(err);
    const std::size_t n = m->rows;
    solve_outcome out{"\r\n\r\nSolution Vector:\r\n\r\n", true, {x, x + n}, info};
    std::free(x);

    for (std::size_t i = 0; i < n; ++i)
        out.report += format(" x[%3u] : % 11.7f\r\n", static_cast<unsigned>(i), out.x[i]);
    if (info.ill_conditioned)
        out.report += "\r\n WARNING: " + warning_text(info.rcond) + "\r\n";
    return out;
}

} // namespace

std::string exponent_form(double v, int digits)
{
    std::string s = format("%.*e", digits, v);
    // "1.5e+005" -> "1.5e+05"; infinities and NaN have no exponent.
    const std::size_t e = s.find_first_of("eE");
    if (e != std::string::npos && e + 2 < s.size()) {
        std::size_t first = e + 2; // after the sign
        while (s.size() - first > 2 && s[first] == '0')
            s.erase(first, 1);
    }
    return s;
}

std::string warning_text(double rcond)
{
    return "Matrix is close to singular (rcond = " + exponent_form(rcond, 1) +
           "); the solution may be inaccurate.";
}

solve_outcome solve_text(const char *text, std::size_t len, unsigned flags)
{
    try {
        return solve(text, len, flags);
    } catch (const std::bad_alloc &) {
        return {"\r\n\r\n ERROR: Out of memory.\r\n", false, {}, {}};
    }
}

} // namespace quendle
