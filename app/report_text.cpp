// The report texts of the systems beyond the square regular one (report_text.h).
#include "report_text.h"

#include <algorithm>

#include <cstdio>

namespace quendle {

namespace {

template <class... Args> std::string format(const char *fmt, Args... args)
{
    const int len = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

// The characters of a UTF-8 name, leaving out the combining accents
// (U+0300 to U+036F: CC 80 to CD AF), which stand on the letter before.
std::size_t width_of(const std::string &s)
{
    std::size_t w = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) == 0x80)
            continue;
        const auto d = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0u;
        if (c == 0xCC || (c == 0xCD && d <= 0xAF))
            continue;
        ++w;
    }
    return w;
}

std::string name_of(std::size_t i, const char *const *names)
{
    return names ? std::string(names[i]) : format("x[%3u]", static_cast<unsigned>(i));
}

} // namespace

std::vector<std::string> unknown_labels(std::size_t n, const char *const *names)
{
    std::vector<std::string> labels;
    std::size_t widest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        labels.push_back(name_of(i, names));
        widest = std::max(widest, width_of(labels.back()));
    }
    for (std::string &l : labels)
        l.append(widest - width_of(l), ' ');
    return labels;
}

std::string solution_report(const double *x, std::size_t n, const char *const *names)
{
    std::string r = "\r\n\r\nSolution Vector:\r\n\r\n";
    const std::vector<std::string> labels = unknown_labels(n, names);
    for (std::size_t i = 0; i < n; ++i)
        r += " " + labels[i] + " : " + format("% 11.7f", x[i]) + "\r\n";
    return r;
}

std::string general_solution_report(const mtrx_general_solution &g, const char *const *names)
{
    const std::size_t n = g.unknowns;
    std::string r = "\r\n\r\nGeneral Solution:\r\n\r\n";
    const std::vector<std::string> labels = unknown_labels(n, names);
    std::vector<bool> is_free(n, false);
    for (std::size_t k = 0; k < g.nfree; ++k)
        is_free[g.free_unknowns[k]] = true;
    for (std::size_t i = 0; i < n; ++i) {
        r += " " + labels[i] + " : ";
        if (is_free[i]) {
            r += "       free\r\n";
            continue;
        }
        r += format("% 11.7f", g.particular[i]);
        for (std::size_t k = 0; k < g.nfree; ++k) {
            const double c = g.null_space[k * n + i];
            if (c != 0.0)
                r += format(" %c %.7f ", c < 0 ? '-' : '+', c < 0 ? -c : c) +
                     name_of(g.free_unknowns[k], names);
        }
        r += "\r\n";
    }
    return r;
}

} // namespace quendle
