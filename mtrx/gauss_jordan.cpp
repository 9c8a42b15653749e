// Gauss-Jordan elimination with full pivoting (the classic in-place method:
// pivot search over the unused rows and columns, row interchange onto the
// diagonal, normalisation by the reciprocal, elimination in every other row,
// and the column unscrambling at the end that turns the block into the
// inverse). The constants live either in column n of each row or in a
// separate vector; both forms run this one kernel.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "internal.h"

namespace mtrx_detail {

namespace {

// Where the constants are: column n of the rows, or a vector of their own.
// Each form exposes the constant of row i; the in-row form simply treats
// column n as one more column of the row.
struct in_row {
    std::size_t n;
    std::size_t width() const { return n + 1; }
    void swap_rows(double **, std::size_t, std::size_t) const {}
    void scale(double **, std::size_t, double) const {}
    void eliminate(double **, std::size_t, std::size_t, double) const {}
};

struct in_vector {
    std::size_t n;
    double *b;
    std::size_t width() const { return n; }
    void swap_rows(double **, std::size_t r, std::size_t c) const { swap_dbl(&b[r], &b[c]); }
    void scale(double **, std::size_t c, double r) const { b[c] *= r; }
    void eliminate(double **, std::size_t l, std::size_t c, double f) const
    {
        b[l] = b[l] - b[c] * f;
    }
};

template <class Constants> gj_status reduce(double **a, std::size_t n, Constants k)
{
    if (n == 0)
        return gj_status::solved;
    // Bookkeeping: pivot column and row of each step, and how often each
    // column has been the pivot column. Released in reverse order.
    auto *indxc = static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t)));
    auto *indxr = indxc ? static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t))) : nullptr;
    auto *ipiv = indxr ? static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t))) : nullptr;
    auto release = [&] {
        std::free(ipiv);
        std::free(indxr);
        std::free(indxc);
    };
    if (!ipiv) {
        release();
        return gj_status::no_memory;
    }

    const std::size_t w = k.width(); // columns that take part in row operations
    std::size_t irow = 0, icol = 0;  // kept from step to step, as the search may pick nothing
    for (std::size_t i = 0; i < n; ++i) {
        // Full pivot search; ">=" lets the last of equal magnitudes win, and a
        // NaN never wins.
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (ipiv[j] == 1)
                continue;
            const double *row = a[j];
            for (std::size_t c = 0; c < n; ++c) {
                if (ipiv[c] == 0 && std::fabs(row[c]) >= big) {
                    big = std::fabs(row[c]);
                    irow = j;
                    icol = c;
                }
            }
        }
        ++ipiv[icol];

        if (irow != icol) {
            for (std::size_t c = 0; c < w; ++c)
                swap_dbl(&a[irow][c], &a[icol][c]);
            k.swap_rows(a, irow, icol);
        }
        indxr[i] = static_cast<std::int32_t>(irow);
        indxc[i] = static_cast<std::int32_t>(icol);

        double *prow = a[icol];
        if (prow[icol] == 0.0) {
            release();
            return gj_status::singular;
        }
        const double pivinv = 1.0 / prow[icol];
        prow[icol] = 1.0;
        for (std::size_t c = 0; c < w; ++c)
            prow[c] *= pivinv;
        k.scale(a, icol, pivinv);

        for (std::size_t l = 0; l < n; ++l) {
            if (l == icol)
                continue;
            double *row = a[l];
            const double f = row[icol];
            row[icol] = 0.0;
            for (std::size_t c = 0; c < w; ++c) {
                const double t = prow[c] * f; // rounded before the subtraction
                row[c] = row[c] - t;
            }
            k.eliminate(a, l, icol, f);
        }
    }

    for (std::size_t l = n; l-- > 0;) {
        if (indxr[l] != indxc[l]) {
            for (std::size_t r = 0; r < n; ++r)
                swap_dbl(&a[r][indxr[l]], &a[r][indxc[l]]);
        }
    }
    release();
    return gj_status::solved;
}

} // namespace

gj_status gj_reduce(double **a, double *b, std::size_t n)
{
    if (b)
        return reduce(a, n, in_vector{n, b});
    return reduce(a, n, in_row{n});
}

} // namespace mtrx_detail

using namespace mtrx_detail;

namespace {
void report(gj_status st)
{
    if (st == gj_status::singular)
        std::fputs("guassj() error: singular matrix.\n", stderr);
    else if (st == gj_status::no_memory)
        std::fputs("guassj() error: virtual memory exhausted.\n", stderr);
}
} // namespace

extern "C" void guassj(double **a, size_t n) { report(gj_reduce(a, nullptr, n)); }

extern "C" void guassj_vec(double **a, double *b, size_t n) { report(gj_reduce(a, b, n)); }

extern "C" void swap_dbl(double *a, double *b)
{
    double t = *a;
    *a = *b;
    *b = t;
}
