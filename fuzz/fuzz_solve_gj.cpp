// mtrx_solve_gj and mtrx_solution on small records of awkward values, wider
// and narrower than n x (n + 1): the source is never changed, the copy agrees
// bit for bit with guassj on the same values, and the solution is its column.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes b(data, size);
    std::size_t rows = b.byte() % 7, cols = b.byte() % 9;
    mtrx_t *src = fuzz::record(b, rows, cols);
    mtrx_t *before = mtrx_copy(src);
    mtrx_t *solved = mtrx_solve_gj(src);
    if ((solved != nullptr) != (cols > rows))
        std::abort();
    for (std::size_t i = 0; i < rows; ++i)
        if (!same_bits(src->mtrx[i], before->mtrx[i], cols))
            std::abort();
    if (solved) {
        guassj(before->mtrx, rows);
        double *x = mtrx_solution(solved);
        for (std::size_t i = 0; i < rows; ++i) {
            for (std::size_t j = 0; j < cols; ++j)
                if (!same_bits(solved->mtrx[i][j], before->mtrx[i][j], nans::any))
                    std::abort();
            double s = solved->mtrx[i][rows];
            if (!same_bits(x[i], s))
                std::abort();
        }
        std::free(x);
        mtrx_free(solved);
    }
    mtrx_free(before);
    mtrx_free(src);
    return 0;
}
