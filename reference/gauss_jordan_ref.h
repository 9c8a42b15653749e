// The plain Gauss-Jordan loop with full pivoting, written the obvious way:
// one full pivot search per step, then a row interchange, normalisation by the
// reciprocal, elimination of every other row over the whole width, and the
// column unscrambling at the end. The library's kernel must give the same bits
// as this on every input; the tests and the benchmarks share it.
#ifndef QUENDLE_REFERENCE_GAUSS_JORDAN_REF_H
#define QUENDLE_REFERENCE_GAUSS_JORDAN_REF_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quendle_ref {

enum class gj_result { solved, singular };

// Reduces the n x n block of `a` with the constants in column n of each row
// (b == nullptr) or in the vector b. A singular step leaves the state of that
// moment: earlier steps complete, the failing step's row interchange done.
inline gj_result gauss_jordan(double **a, double *b, std::size_t n)
{
    std::vector<std::int32_t> indxc(n), indxr(n), ipiv(n);
    const std::size_t w = b ? n : n + 1;
    std::size_t irow = 0, icol = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (ipiv[j] == 1)
                continue;
            for (std::size_t k = 0; k < n; ++k) {
                if (ipiv[k] == 0 && std::fabs(a[j][k]) >= big) {
                    big = std::fabs(a[j][k]);
                    irow = j;
                    icol = k;
                }
            }
        }
        ++ipiv[icol];
        if (irow != icol) {
            for (std::size_t k = 0; k < w; ++k)
                std::swap(a[irow][k], a[icol][k]);
            if (b)
                std::swap(b[irow], b[icol]);
        }
        indxr[i] = static_cast<std::int32_t>(irow);
        indxc[i] = static_cast<std::int32_t>(icol);
        if (a[icol][icol] == 0.0)
            return gj_result::singular;
        const double pivinv = 1.0 / a[icol][icol];
        a[icol][icol] = 1.0;
        for (std::size_t k = 0; k < w; ++k)
            a[icol][k] *= pivinv;
        if (b)
            b[icol] *= pivinv;
        for (std::size_t l = 0; l < n; ++l) {
            if (l == icol)
                continue;
            const double f = a[l][icol];
            a[l][icol] = 0.0;
            for (std::size_t k = 0; k < w; ++k) {
                const double t = a[icol][k] * f;
                a[l][k] = a[l][k] - t;
            }
            if (b) {
                const double t = b[icol] * f;
                b[l] = b[l] - t;
            }
        }
    }
    for (std::size_t l = n; l-- > 0;) {
        if (indxr[l] != indxc[l])
            for (std::size_t r = 0; r < n; ++r)
                std::swap(a[r][indxr[l]], a[r][indxc[l]]);
    }
    return gj_result::solved;
}

} // namespace quendle_ref

#endif
