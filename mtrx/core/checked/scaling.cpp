// Exact scaling of a linear system by powers of two, and the search for a
// non-finite element (scaling.h).
#include "core/checked/scaling.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "core/base/storage.h"

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

element_place first_non_finite(const system_ref &s)
{
    for (std::size_t i = 0; i < s.n; ++i) {
        const double *row = s.a[i];
        for (std::size_t j = 0; j < s.n; ++j)
            if (!std::isfinite(row[j]))
                return {true, i, j};
        for (std::size_t c = 0; c < s.k; ++c)
            if (!std::isfinite(s.rhs(i, c)))
                return {true, i, s.n + c};
    }
    return {};
}

system_scaling::~system_scaling() { std::free(block_); }

bool system_scaling::reserve(std::size_t n, std::size_t k, bool full)
{
    rhs_ = &one_rhs_;
    one_rhs_ = 0;
    exps_ = nullptr;
    const std::size_t own = k > 1 ? k : 0;
    if (n > SIZE_MAX / 4 / sizeof(long long) || own > SIZE_MAX / 4 / sizeof(long long))
        return false;
    const std::size_t need = own + (full ? 2 * n : 0);
    if (need > cap_) {
        std::free(block_);
        block_ = static_cast<long long *>(lib_calloc(need, sizeof(long long)));
        cap_ = block_ ? need : 0;
        if (!block_)
            return false;
    }
    if (own) {
        rhs_ = block_;
        for (std::size_t c = 0; c < own; ++c)
            rhs_[c] = 0;
    }
    if (full)
        exps_ = block_ + own;
    return true;
}

system_survey survey(const system_ref &s)
{
    system_survey sv;
    double amax = 0.0, amin = HUGE_VAL, bmax = 0.0;
    bool finite = true;
    for (std::size_t i = 0; i < s.n; ++i) {
        const double *row = s.a[i];
        for (std::size_t j = 0; j < s.n; ++j) {
            const double v = std::fabs(row[j]);
            finite = finite & (v <= DBL_MAX); // (false for a NaN too)
            amax = v > amax ? v : amax;
            amin = v > 0.0 && v < amin ? v : amin;
        }
        for (std::size_t c = 0; c < s.k; ++c) {
            const double v = std::fabs(s.rhs(i, c));
            finite = finite & (v <= DBL_MAX);
            bmax = v > bmax ? v : bmax;
        }
    }
    sv.amax = amax;
    sv.amin = amax > 0.0 ? amin : 0.0;
    sv.bmax = bmax;
    sv.finite = finite;
    return sv;
}

bool system_scaling::plan(const system_ref &s, const system_survey &sv, const scaling_band &band)
{
    const std::size_t n = s.n, k = s.k;
    how_ = kind::none;
    n_ = n;
    uniform_ = 0;
    if (!reserve(n, k, false))
        return false;
    if (band.reach == 0 || n == 0)
        return true;
    const double lo = pow2(-band.reach), hi = pow2(band.reach);
    // The largest magnitude of column c of B (the survey's, for one column).
    auto column_max = [&](std::size_t c) {
        double m = k == 1 ? sv.bmax : 0.0;
        for (std::size_t i = 0; k != 1 && i < n; ++i)
            m = std::max(m, std::fabs(s.rhs(i, c)));
        return m;
    };
    auto inside = [&](double bmax) { return bmax == 0.0 || (bmax >= lo && bmax <= hi); };
    const bool a_inside = sv.amax == 0.0 ||
                          (sv.amin >= lo && sv.amax <= hi &&
                           exponent_of(sv.amax) - exponent_of(sv.amin) <= band.spread);
    long long u = 0;
    if (!a_inside) {
        if (!band.uniform || exponent_of(sv.amax) - exponent_of(sv.amin) > band.spread)
            return plan_full(s);
        u = 1 - exponent_of(sv.amax); // the largest element into [1, 2)
    } else {
        bool all_inside = true;
        for (std::size_t c = 0; all_inside && c < k; ++c)
            all_inside = inside(column_max(c));
        if (all_inside)
            return true;
        if (!band.uniform)
            return plan_full(s);
    }
    how_ = kind::uniform;
    uniform_ = u;
    for (std::size_t c = 0; c < k; ++c) {
        // (a column within the band beside an A within it keeps its own bits)
        const double bmax = column_max(c);
        rhs_[c] = bmax == 0.0 || (a_inside && inside(bmax)) ? 0 : exponent_of(bmax) - 1 + u;
    }
    return true;
}

bool system_scaling::plan_full(const system_ref &s)
{
    const std::size_t n = s.n, k = s.k;
    how_ = kind::none;
    n_ = n;
    uniform_ = 0;
    if (n == 0)
        return reserve(n, k, false);
    if (!reserve(n, k, true))
        return false;
    // Exponents as integers (frexp's), so that no scaled value is formed
    // before it is known to fit.
    constexpr long long unset = LLONG_MIN;
    long long *r = exps_, *col = exps_ + n;
    for (std::size_t j = 0; j < n; ++j)
        col[j] = unset;
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = s.a[i];
        long long top = unset;
        for (std::size_t j = 0; j < n; ++j)
            if (row[j] != 0.0)
                top = std::max(top, exponent_of(row[j]));
        r[i] = top == unset ? 0 : 1 - top;
        for (std::size_t j = 0; j < n; ++j)
            if (row[j] != 0.0)
                col[j] = std::max(col[j], exponent_of(row[j]) + r[i]);
    }
    for (std::size_t j = 0; j < n; ++j)
        col[j] = col[j] == unset ? 0 : 1 - col[j];
    for (std::size_t c = 0; c < k; ++c) {
        long long btop = unset;
        for (std::size_t i = 0; i < n; ++i)
            if (s.rhs(i, c) != 0.0)
                btop = std::max(btop, exponent_of(s.rhs(i, c)) + r[i]);
        rhs_[c] = btop == unset ? 0 : btop - 1;
    }
    how_ = kind::full;
    return true;
}

double **system_scaling::scaled(const system_ref &s, alloc_fault &fault) const
{
    const std::size_t n = n_;
    return filled_array(n, n + s.k, fault, [&](std::size_t i, std::size_t j) {
        return j < n ? times_pow2(s.a[i][j], row(i) + column(j))
                     : times_pow2(s.rhs(i, j - n), row(i) - rhs_[j - n]);
    });
}

} // namespace mtrx_detail
