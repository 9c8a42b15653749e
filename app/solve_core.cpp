#include "solve_core.h"

#include <cstdio>
#include <memory>
#include <new>

#include <mtrx/mtrx.h>

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
    return {std::string("\r\n\r\n ERROR: ") + err.message + "\r\n", false};
}

// Finds where the matrix begins, reads the system from there through the
// status interface and reduces it; every error line is the library's own
// sentence for what failed.
solve_outcome solve(const char *begin, std::size_t len)
{
    mtrx_error err;
    std::size_t at = 0;
    if (mtrx_find_matrix(begin, len, &at, &err) != MTRX_OK)
        return error_line(err);
    mtrx_t *raw = nullptr;
    if (mtrx_parse_system(begin + at, len - at, &raw, &err) != MTRX_OK)
        return error_line(err);
    std::unique_ptr<mtrx_t, mtrx_deleter> m(raw);
    const std::size_t n = m->rows;
    if (mtrx_reduce(m->mtrx, nullptr, n, &err) != MTRX_OK)
        return error_line(err);

    std::string report = "\r\n\r\nSolution Vector:\r\n\r\n";
    for (std::size_t i = 0; i < n; ++i)
        report += format(" x[%3u] : % 11.7f\r\n", static_cast<unsigned>(i), m->mtrx[i][n]);
    return {std::move(report), true};
}

} // namespace

solve_outcome solve_text(const char *text, std::size_t len)
{
    try {
        return solve(text, len);
    } catch (const std::bad_alloc &) {
        return {"\r\n\r\n ERROR: Out of memory.\r\n", false};
    }
}

} // namespace quendle
