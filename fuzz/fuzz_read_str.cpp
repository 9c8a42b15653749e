// mtrx_read_str on texts it reads without ending the process: one row per
// line it takes, each holding the line parser's values for that line (a
// shorter row padded with zeros to cols), and the record trimmed.
#include <cctype>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();

    // The lines the reader takes: the first from the start (unless the text
    // begins with '\n'), each later one from the first non-blank character
    // after the one before.
    std::vector<std::vector<double>> want;
    for (std::size_t o = 0; o < text.size() && text[o] != '\n';) {
        std::size_t e = text.find('\n', o);
        if (e == std::string::npos)
            e = text.size();
        std::size_t n = 0;
        double *row = fuzz::parsed_row(text.data() + o, text.data() + e, n);
        if (!row)
            return 0; // a line without a value ends the process
        want.emplace_back(row, row + n);
        std::free(row);
        o = e;
        while (o < text.size() && std::isspace(static_cast<unsigned char>(text[o])))
            ++o;
    }

    mtrx_t *m;
    // (column mismatches and bad numbers are told)
    fuzz::written(2, [&] { m = mtrx_read_str(text.c_str()); });
    if (want.empty()) {
        if (m)
            std::abort();
        return 0;
    }
    if (!m || m->rows != want.size() || m->maxrows != m->rows || m->cols != want[0].size() ||
        m->maxcols != want.back().size())
        std::abort();
    for (std::size_t i = 0; i < m->rows; ++i) {
        std::vector<double> row = want[i];
        if (row.size() < m->cols)
            row.resize(m->cols, 0.0);
        if (!same_bits(m->mtrx[i], row.data(), row.size()))
            std::abort();
    }
    mtrx_free(m);
    return 0;
}
