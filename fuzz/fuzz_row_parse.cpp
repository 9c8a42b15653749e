// row_parse on any line: values come back in an array of exactly *n, and
// every value is one strtod would give at some position of the line.
#include <cmath>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string line(reinterpret_cast<const char *>(data), size);
    line = line.c_str(); // a C string ends at its first '\0'
    std::size_t n = size % 20;
    std::size_t cap_in = n ? n : 8;
    double *row = row_parse(line.c_str(), &n);
    if (!row) {
        if (n != cap_in)
            std::abort();
        return 0;
    }
    if (n == 0 || n > line.size())
        std::abort();
    for (std::size_t i = 0; i < n; ++i)
        if (std::isinf(row[i])) // out-of-range values are never stored
            std::abort();
    std::free(row);
    return 0;
}
