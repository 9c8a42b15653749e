// The straightforward reader: every number of a text, in order, found with
// the line parser's start rule and converted by strtod. The benchmarks time
// the library's readers against it; the tests check that both give the same
// values.
#ifndef QUENDLE_REFERENCE_STRTOD_READER_H
#define QUENDLE_REFERENCE_STRTOD_READER_H

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace quendle_ref {

inline bool starts_number(const char *p)
{
    const char c = p[0], d = p[1];
    if (c >= '0' && c <= '9')
        return true;
    return (c == '+' || c == '-' || c == '.') && (d == '.' || (d >= '0' && d <= '9'));
}

// Stops at the end of the text or at the first start strtod cannot convert
// (or reports out of range), as the line parser ends a line there.
inline std::vector<double> strtod_numbers(const char *text)
{
    std::vector<double> out;
    const char *p = text;
    while (*p) {
        if (!starts_number(p)) {
            ++p;
            continue;
        }
        char *e = nullptr;
        errno = 0;
        const double v = std::strtod(p, &e);
        if (e == p || errno != 0)
            break;
        out.push_back(v);
        p = e;
    }
    return out;
}

// The same through a stream, a line at a time as a program reading a file
// would: fgets into a buffer, then the numbers of that line.
inline std::vector<double> strtod_numbers(std::FILE *fp)
{
    std::vector<double> out;
    std::string line;
    char buf[8192];
    while (std::fgets(buf, sizeof buf, fp)) {
        line += buf;
        if (line.back() != '\n' && !std::feof(fp))
            continue;
        std::vector<double> row = strtod_numbers(line.c_str());
        out.insert(out.end(), row.begin(), row.end());
        line.clear();
    }
    return out;
}

} // namespace quendle_ref

#endif
