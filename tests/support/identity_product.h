// The product of an n x n matrix and the identity on up to three of the
// library's worker threads, for the programs that check how the workers end.
#ifndef QUENDLE_TESTS_SUPPORT_IDENTITY_PRODUCT_H
#define QUENDLE_TESTS_SUPPORT_IDENTITY_PRODUCT_H

#include <mtrx/mtrx.h>

#include "core/product/product.h"
#include "core/pool/thread_pool.h"

// Whether every element of the product came out as the matrix's own.
inline bool product_by_identity_holds(std::size_t n)
{
    double **a = arr2d_calloc(n, n), **b = arr2d_calloc(n, n), **r = arr2d_calloc(n, n);
    bool ok = a && b && r;
    if (ok) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                a[i][j] = double((i * 7 + j) % 11);
                b[i][j] = i == j ? 1.0 : 0.0;
            }
        mtrx_detail::product_into(r, a, b, n, n, n, mtrx_detail::best_product_kernel(), 3);
        for (std::size_t i = 0; i < n && ok; ++i)
            for (std::size_t j = 0; j < n && ok; ++j)
                ok = r[i][j] == a[i][j];
    }
    arr2d_free(r, r ? n : 0);
    arr2d_free(b, b ? n : 0);
    arr2d_free(a, a ? n : 0);
    return ok;
}

#endif
