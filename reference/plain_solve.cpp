// The straightforward console solver, the peer `quendle-solve` is timed
// against end to end: read the whole input, take every line's numbers with
// strtod, solve with the plain Gauss-Jordan loop, write the input and the
// solution vector in the same layout. No checks beyond what it needs to run.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reference/gauss_jordan_ref.h"
#include "reference/strtod_reader.h"

int main(int argc, char **argv)
{
    FILE *fp = argc > 1 ? std::fopen(argv[1], "rb") : stdin;
    if (!fp)
        return 2;
    std::string text;
    char chunk[1 << 16];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, fp)) > 0;)
        text.append(chunk, got);

    std::vector<std::vector<double>> rows;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::vector<double> row = quendle_ref::strtod_numbers(text.substr(at, end - at).c_str());
        if (!row.empty())
            rows.push_back(std::move(row));
        at = end + 1;
    }
    const std::size_t n = rows.size();
    std::vector<double *> ptrs;
    for (auto &r : rows) {
        if (r.size() != n + 1)
            return 1;
        ptrs.push_back(r.data());
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (quendle_ref::gauss_jordan(ptrs.data(), nullptr, n) != quendle_ref::gj_result::solved) {
        std::fputs("\r\n\r\nSingular Matrix - no unique solution.\r\n", stdout);
        return 1;
    }
    std::fputs("\r\n\r\nSolution Vector:\r\n\r\n", stdout);
    for (std::size_t i = 0; i < n; ++i)
        std::printf(" x[%3u] : % 11.7f\r\n", static_cast<unsigned>(i), rows[i][n]);
    return 0;
}
