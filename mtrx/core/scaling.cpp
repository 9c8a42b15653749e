// Exact scaling of a linear system by powers of two, and the search for a
// non-finite element (scaling.h).
#include "scaling.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "storage.h"

namespace mtrx_detail {

element_place first_non_finite(double *const *a, const double *b, std::size_t n)
{
    const std::size_t width = b ? n : n + 1;
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = a[i];
        bool finite = true;
        for (std::size_t j = 0; j < width; ++j)
            finite = finite & std::isfinite(row[j]);
        if (b)
            finite = finite & std::isfinite(b[i]);
        if (finite)
            continue;
        std::size_t j = 0;
        while (j < width && std::isfinite(row[j]))
            ++j;
        return {true, i, j};
    }
    return {};
}

system_scaling::~system_scaling() { std::free(exps_); }

bool system_scaling::allocate(std::size_t n)
{
    if (exps_ && cap_ >= n)
        return true;
    std::free(exps_);
    exps_ = nullptr;
    cap_ = 0;
    if (n > SIZE_MAX / 2 / sizeof(long long))
        return false;
    exps_ = static_cast<long long *>(lib_calloc(2 * n, sizeof(long long)));
    cap_ = exps_ ? n : 0;
    return exps_ != nullptr;
}

system_survey survey(double *const *aug, std::size_t n)
{
    system_survey sv;
    double amax = 0.0, amin = HUGE_VAL, bmax = 0.0;
    bool finite = true;
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = aug[i];
        for (std::size_t j = 0; j < n; ++j) {
            const double v = std::fabs(row[j]);
            finite = finite & (v <= DBL_MAX); // (false for a NaN too)
            amax = v > amax ? v : amax;
            amin = v > 0.0 && v < amin ? v : amin;
        }
        const double v = std::fabs(row[n]);
        finite = finite & (v <= DBL_MAX);
        bmax = v > bmax ? v : bmax;
    }
    sv.amax = amax;
    sv.amin = amax > 0.0 ? amin : 0.0;
    sv.bmax = bmax;
    sv.finite = finite;
    return sv;
}

bool system_scaling::plan(double *const *aug, std::size_t n, const system_survey &sv,
                          const scaling_band &band)
{
    how_ = kind::none;
    n_ = n;
    uniform_ = rhs_ = 0;
    if (band.reach == 0 || n == 0)
        return true;
    const double lo = pow2(-band.reach), hi = pow2(band.reach);
    const bool a_inside = sv.amax == 0.0 ||
                          (sv.amin >= lo && sv.amax <= hi &&
                           exponent_of(sv.amax) - exponent_of(sv.amin) <= band.spread);
    const bool b_inside = sv.bmax == 0.0 || (sv.bmax >= lo && sv.bmax <= hi);
    if (a_inside && b_inside)
        return true;
    long long u = 0;
    if (!a_inside) {
        if (!band.uniform || exponent_of(sv.amax) - exponent_of(sv.amin) > band.spread)
            return plan_full(aug, n);
        u = 1 - exponent_of(sv.amax); // the largest element into [1, 2)
    } else if (!band.uniform) {
        return plan_full(aug, n);
    }
    how_ = kind::uniform;
    uniform_ = u;
    rhs_ = sv.bmax > 0.0 ? exponent_of(sv.bmax) - 1 + u : 0;
    return true;
}

bool system_scaling::plan_full(double *const *aug, std::size_t n)
{
    how_ = kind::none;
    n_ = n;
    uniform_ = rhs_ = 0;
    if (n == 0)
        return true;
    if (!allocate(n))
        return false;
    // Exponents as integers (frexp's), so that no scaled value is formed
    // before it is known to fit.
    constexpr long long unset = LLONG_MIN;
    long long *r = exps_, *c = exps_ + n;
    for (std::size_t j = 0; j < n; ++j)
        c[j] = unset;
    long long btop = unset;
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = aug[i];
        long long top = unset;
        for (std::size_t j = 0; j < n; ++j)
            if (row[j] != 0.0)
                top = std::max(top, exponent_of(row[j]));
        r[i] = top == unset ? 0 : 1 - top;
        for (std::size_t j = 0; j < n; ++j)
            if (row[j] != 0.0)
                c[j] = std::max(c[j], exponent_of(row[j]) + r[i]);
        if (row[n] != 0.0)
            btop = std::max(btop, exponent_of(row[n]) + r[i]);
    }
    for (std::size_t j = 0; j < n; ++j)
        c[j] = c[j] == unset ? 0 : 1 - c[j];
    rhs_ = btop == unset ? 0 : btop - 1;
    how_ = kind::full;
    return true;
}

double **system_scaling::scaled(double *const *aug, alloc_fault &fault) const
{
    const std::size_t n = n_;
    return filled_array(n, n + 1, fault, [&](std::size_t i, std::size_t j) {
        return times_pow2(aug[i][j], j < n ? row(i) + column(j) : row(i) - rhs_);
    });
}

} // namespace mtrx_detail
