// mtrx_read_file (the preallocated stream reader) on any stream, with small
// starting capacities taken from the input so that rows and columns grow:
// no fault, and a normal result is trimmed to one row per line.
#include <cstdio>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t rows = data[0] % 5, cols = data[1] % 5;
    std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
    FILE *fp = fmemopen(text.data(), text.size(), "r");
    if (!fp)
        return 0;
    mtrx_t *m = mtrx_read_file(fp, rows, cols);
    std::fclose(fp);
    if (m) {
        if (m->rows > m->maxrows)
            std::abort();
        for (std::size_t i = 0; i < m->rows; ++i)
            for (std::size_t j = 0; j < m->cols; ++j)
                (void)m->mtrx[i][j]; // every row in use holds cols values (ASan checks)
        mtrx_free(m);
    }
    return 0;
}
