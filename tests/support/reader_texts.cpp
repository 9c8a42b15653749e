// Generated texts for the readers; see reader_texts.h.
#include "reader_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The line the next byte appended to `t` will stand on, and its column.
size_t line_at(const std::string &t) { return 1 + size_t(std::count(t.begin(), t.end(), '\n')); }
size_t column_at(const std::string &t) { return t.size() - t.find_last_of('\n'); }

} // namespace

reader_text make_reader_text(random_source &src)
{
    auto pick = [&](size_t n) { return src.below(n); };
    const char *seps[] = {" ", ",", "\t", "; ", " | ", " ab ", ")("};
    const char *ends[] = {"\n", "\r\n", "\n\n", " \t\n\r\n"};
    const double awkward[] = {0.0, -0.0, 1e308, -2.5e-308, 2.2250738585072014e-308, 0.1,
                               123456789.125};
    reader_text c;
    const size_t r = 1 + pick(5), cols = pick(2) ? r + 1 : 1 + pick(6);
    const int fault = static_cast<int>(pick(10)); // 0-4: one of five faults, else none
    const size_t at = pick(r);
    if (pick(3) == 0)
        c.text += pick(2) ? "\n \n" : "  \t";
    for (size_t i = 0; i < r; ++i) {
        if (fault == 0 && i == at) {
            c.line = line_at(c.text);
            c.text += "Solution Vector:\n";
            c.want = MTRX_ENONUMBER;
            c.row = i;
            c.natural_ends = true;
        }
        c.row_lines.push_back(line_at(c.text));
        size_t n = cols + (fault == 3 && i == at && i > 0 ? 1 : 0) -
                   (fault == 4 && i == at && i > 0 && cols > 1 ? 1 : 0);
        c.rows.emplace_back();
        for (size_t j = 0; j < n; ++j) {
            const int mantissa = int(pick(2001)) - 1000, exponent = int(pick(40)) - 20;
            double v = pick(4) == 0 ? awkward[pick(7)] : std::ldexp(mantissa, exponent);
            char num[40];
            std::snprintf(num, sizeof num, "%.17g", v);
            c.text += (j ? seps[pick(7)] : "");
            if (j == 1 && (fault == 1 || fault == 2) && i == at && c.want == MTRX_OK) {
                c.line = line_at(c.text);
                c.column = column_at(c.text);
                c.text += fault == 1 ? "..5 " : "1e999 ";
                c.want = fault == 1 ? MTRX_EMALFORMED : MTRX_ERANGE;
                c.row = i;
            }
            c.text += num;
            c.rows.back().push_back(v);
        }
        if (i + 1 < r || pick(2))
            c.text += ends[pick(4)];
    }
    if (c.want == MTRX_OK)
        for (size_t i = 1; i < r; ++i)
            if (c.rows[i].size() != c.rows[0].size()) {
                c.want = MTRX_ESHAPE;
                c.row = i;
                c.line = c.row_lines[i];
                c.count = c.rows[i].size();
                c.expected = c.rows[0].size();
                break;
            }
    return c;
}
