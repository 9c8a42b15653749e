// The matrix product as arr2d_mult defines it, written the obvious way:
// r[i][j] is the sum over k = 0, 1, ... of a[i][k] * b[k][j], started from
// 0.0, one element after another. The benchmarks time the library against it.
#ifndef QUENDLE_REFERENCE_PRODUCT_REF_H
#define QUENDLE_REFERENCE_PRODUCT_REF_H

#include <cstddef>

namespace quendle_ref {

inline void product_ijk(double **r, double *const *a, double *const *b, std::size_t m,
                        std::size_t n, std::size_t p)
{
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < p; ++j) {
            double s = 0.0;
            for (std::size_t k = 0; k < n; ++k)
                s = s + a[i][k] * b[k][j];
            r[i][j] = s;
        }
}

} // namespace quendle_ref

#endif
