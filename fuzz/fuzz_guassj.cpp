// guassj and guassj_vec on small matrices of awkward values (NaN, infinities,
// -0.0, extremes, ties): no fault, and the two forms agree bit for bit (any
// NaN matches any NaN: which payload an operation passes on is the
// processor's business).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes b(data, size);
    std::size_t n = b.byte() % 9;
    fuzz::Matrix aug(b, n, n + 1);
    std::vector<std::vector<double>> block(n, std::vector<double>(n ? n : 1));
    std::vector<double *> bp(n);
    std::vector<double> rhs(n ? n : 1);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            block[i][j] = aug.p[i][j];
        rhs[i] = aug.p[i][n];
        bp[i] = block[i].data();
    }
    guassj(aug.get(), n);
    guassj_vec(bp.data(), rhs.data(), n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            if (!same_bits(aug.p[i][j], block[i][j], nans::any))
                std::abort();
        if (!same_bits(aug.p[i][n], rhs[i], nans::any))
            std::abort();
    }
    return 0;
}
