// The matrix product behind arr2d_mult and the cofactors (product.cpp says
// how the bits are kept whatever the kernel and the threads).
#ifndef MTRX_CORE_PRODUCT_H
#define MTRX_CORE_PRODUCT_H

#include <cstddef>

namespace mtrx_detail {

// The ways to form a product: the plain loops, and blocked kernels on 2-, 4-
// and 8-wide vectors (the last two need AVX2 and AVX-512F). All give the
// same bits.
enum class product_kernel { plain, portable, avx2, avx512 };

bool product_kernel_available(product_kernel k);
product_kernel best_product_kernel();
// How many threads a product of this shape is worth on this machine.
unsigned product_threads(std::size_t m, std::size_t n, std::size_t p);

// Adds the product of the m x n array a and the n x p array b into the
// m x p array r, as arr2d_mult defines it (r comes zeroed). `k` must be
// available; `threads` is an upper bound. The short form picks the best
// kernel and thread count. Allocates only its own scratch (outside the
// allocation hook), and without it runs the plain loops: it cannot fail.
void product_into(double **r, double *const *a, double *const *b, std::size_t m, std::size_t n,
                  std::size_t p, product_kernel k, unsigned threads);
void product_into(double **r, double *const *a, double *const *b, std::size_t m, std::size_t n,
                  std::size_t p);

} // namespace mtrx_detail

#endif
