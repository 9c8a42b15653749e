// The matrix product's blocked kernel, built once per instruction set
// (product_kernels_<set>.cpp from product_kernels.inc, under the same CMake
// guard as Gauss-Jordan's) and chosen at run time by product.cpp. Every set
// performs the same IEEE operations on every element in the same order
// (product_kernels.inc says how), so all of them give the same bits.
#ifndef MTRX_CORE_PRODUCT_KERNELS_H
#define MTRX_CORE_PRODUCT_KERNELS_H

#include <cstddef>

namespace mtrx_detail {

// A part of the result: rows i0 .. i1 - 1, columns j0 .. j1 - 1.
struct product_part {
    std::size_t i0, i1, j0, j1;
};

struct product_kernels {
    std::size_t mr; // rows of the result in a register tile
    std::size_t nc; // columns of b in a cache block (a part spans at most one)
    // Doubles of scratch `run` needs for an operand b of n rows, over
    // `cols` columns of it.
    std::size_t (*scratch)(std::size_t n, std::size_t cols);
    // Adds part pt of the product of a (rows of n elements) and b into r.
    // `work` holds scratch(n, pt.j1 - pt.j0) doubles, 64-byte aligned.
    void (*run)(double **r, double *const *a, double *const *b, std::size_t n, product_part pt,
                double *work);
};

const product_kernels &product_kernels_portable();
#if defined(QUENDLE_X86_DISPATCH)
const product_kernels &product_kernels_avx2();
const product_kernels &product_kernels_avx512();
#endif

} // namespace mtrx_detail

#endif
