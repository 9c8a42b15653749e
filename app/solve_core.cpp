#include "solve_core.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "internal.h"

namespace quendle {

namespace {

using namespace mtrx_detail;

struct mtrx_deleter {
    void operator()(mtrx_t *m) const { mtrx_free(m); }
};

solve_outcome error_line(const std::string &why)
{
    return {"\r\n\r\n ERROR: " + why + "\r\n", false};
}

template <class... Args> std::string format(const char *fmt, Args... args)
{
    int len = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

solve_outcome solve(const char *begin, std::size_t len)
{
    const char *end = begin + len;
    const char *p = next_number(begin, end, start_rule::strict);
    if (p == end)
        return error_line("Invalid Format or Matrix Not Found.");

    std::vector<std::size_t> counts;
    read_result r = read_text(p, static_cast<std::size_t>(end - p), on_failure::report, &counts);
    std::unique_ptr<mtrx_t, mtrx_deleter> m(r.m);
    switch (r.status) {
    case read_status::ok:
        break;
    case read_status::no_values:
        return error_line(format("Invalid Format: row %zu holds no number.", r.row));
    case read_status::bad_number:
        return error_line(format("Invalid Format: row %zu holds a malformed number.", r.row));
    case read_status::out_of_range:
        return error_line(format("Invalid Format: row %zu holds a number out of range.", r.row));
    case read_status::no_memory:
        return error_line("Out of memory.");
    case read_status::empty: // cannot happen: the text from p holds a number
        return error_line("Invalid Format or Matrix Not Found.");
    }

    const std::size_t n = m->rows;
    for (std::size_t i = 0; i < n; ++i) {
        if (counts[i] != n + 1)
            return error_line(format("Invalid Format: row %zu has %zu values, expected %zu.", i,
                                     counts[i], n + 1));
    }

    switch (gj_reduce(m->mtrx, nullptr, n)) {
    case gj_status::solved:
        break;
    case gj_status::singular:
        return error_line("Singular Matrix - no unique solution.");
    case gj_status::no_memory:
        return error_line("Out of memory.");
    }

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
