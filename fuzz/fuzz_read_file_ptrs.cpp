// mtrx_read_file_ptrs on streams whose every line holds a number (others end
// the process by design): one row per line, trimmed, rows at least cols long.
#include <cstdio>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    if (text.find('\0') != std::string::npos || !fuzz::every_line_has_a_number(text, false))
        return 0;
    FILE *fp = fmemopen(text.data(), text.size(), "r");
    if (!fp)
        return 0;
    mtrx_t *m = mtrx_read_file_ptrs(fp);
    std::fclose(fp);
    std::size_t lines = 0;
    for (std::size_t o = 0; o < text.size(); ++lines) {
        std::size_t nl = text.find('\n', o);
        o = nl == std::string::npos ? text.size() : nl + 1;
    }
    if (lines == 0) {
        if (m)
            std::abort();
        return 0;
    }
    if (!m || m->rows != lines || m->maxrows != lines)
        std::abort();
    for (std::size_t i = 0; i < m->rows; ++i)
        for (std::size_t j = 0; j < m->cols; ++j)
            (void)m->mtrx[i][j]; // every row holds cols values (ASan checks)
    mtrx_free(m);
    return 0;
}
