// The fixed-order sums of the diagnostics (check_sums.h).
#include "core/checked/check_sums.h"

#include <cmath>

namespace mtrx_detail {

// The largest |v_i|; NaN when some v_i is NaN.
double max_abs(const double *v, std::size_t n)
{
    double m = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = std::fabs(v[i]);
        if (!(a <= m))
            m = a; // (a NaN stays, as nothing compares above it)
        if (std::isnan(m))
            return m;
    }
    return m;
}

// col[j] += |row[j]|: row by row, the column sums of |m| whose largest is
// ||m||_1.
void add_magnitudes(const double *row, double *col, std::size_t n)
{
    for (std::size_t j = 0; j < n; ++j)
        col[j] = col[j] + std::fabs(row[j]);
}

// Row i of b - A x, in working precision, and of |A| |x| + |b|.
void residual_row(const double *a, double b, const double *x, std::size_t n, double &r, double &w)
{
    sum4 ax, aw;
    std::size_t j = 0;
    for (; j + 4 <= n; j += 4)
        for (std::size_t k = 0; k < 4; ++k) {
            const double p = a[j + k] * x[j + k];
            ax.s[k] = ax.s[k] + p;
            aw.s[k] = aw.s[k] + std::fabs(p);
        }
    for (std::size_t k = 0; j < n; ++j, ++k) {
        const double p = a[j] * x[j];
        ax.s[k] = ax.s[k] + p;
        aw.s[k] = aw.s[k] + std::fabs(p);
    }
    r = b - ax.total();
    w = std::fabs(b) + aw.total();
}

// v_i = sum_j m[i][j] y_j (or |m[i][j]| y_j with `magnitudes`, when col
// also gathers the column sums of |m|, as add_magnitudes).
void times(double *const *m, const double *y, double *v, std::size_t n, bool magnitudes,
           double *col)
{
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = m[i];
        if (col)
            add_magnitudes(row, col, n); // (while the row is in the cache)
        sum4 s;
        std::size_t j = 0;
        for (; j + 4 <= n; j += 4)
            for (std::size_t k = 0; k < 4; ++k) {
                const double e = magnitudes ? std::fabs(row[j + k]) : row[j + k];
                const double p = e * y[j + k];
                s.s[k] = s.s[k] + p;
            }
        for (std::size_t k = 0; j < n; ++j, ++k) {
            const double e = magnitudes ? std::fabs(row[j]) : row[j];
            const double p = e * y[j];
            s.s[k] = s.s[k] + p;
        }
        v[i] = s.total();
    }
}

} // namespace mtrx_detail
