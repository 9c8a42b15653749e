// The scaled LU factorisation and the inverses of its factors
// (lu_scaled.h).
#include "core/cofactor/lu_scaled.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "core/base/alloc.h"
#include "core/base/pow2.h"

namespace mtrx_detail {

lu_scaled::~lu_scaled()
{
    std::free(work_);
    std::free(cp_);
    std::free(rp_);
    std::free(w_);
}

bool lu_scaled::allocate()
{
    const std::size_t n = n_;
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(double) / n / 2)
        return false;
    w_ = static_cast<double *>(lib_calloc(2 * n * n, sizeof(double)));
    rp_ = w_ ? static_cast<std::size_t *>(lib_calloc(n, sizeof(std::size_t))) : nullptr;
    cp_ = rp_ ? static_cast<std::size_t *>(lib_calloc(n, sizeof(std::size_t))) : nullptr;
    static_assert(sizeof(double *) <= sizeof(double));
    work_ = cp_ ? lib_calloc((group + 7) * n, sizeof(double)) : nullptr;
    if (!work_)
        return false;
    b_ = w_ + n * n;
    t_ = static_cast<double *>(work_);
    pm_ = t_ + group * n;
    pe_ = pm_ + n;
    re_ = pe_ + n;
    se_ = re_ + n;
    rows_ = reinterpret_cast<double **>(se_ + n);
    return true;
}

// B = R^-1 A^T S^-1 into the working copy (the transpose a tile at a time),
// non-finite elements read as 0.
void lu_scaled::copy_in()
{
    const std::size_t n = n_;
    auto top_exponent = [](double big) { return big > 0.0 ? exponent_of(big) - 960 : 0; };
    double *big = pe_; // row i of A^T is column i of A
    for (std::size_t i = 0; i < n; ++i)
        big[i] = 0.0;
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i)
            if (std::isfinite(a_[j][i]))
                big[i] = std::fmax(big[i], std::fabs(a_[j][i]));
    for (std::size_t i = 0; i < n; ++i)
        re_[i] = static_cast<double>(top_exponent(big[i]));
    constexpr std::size_t tile = 32;
    for (std::size_t j0 = 0; j0 < n; j0 += tile)
        for (std::size_t i0 = 0; i0 < n; i0 += tile)
            for (std::size_t j = j0; j < j0 + tile && j < n; ++j) {
                const double *row = a_[j];
                for (std::size_t i = i0; i < i0 + tile && i < n; ++i)
                    w_[i * n + j] = std::isfinite(row[i])
                                        ? times_pow2(row[i], -static_cast<long long>(re_[i]))
                                        : 0.0;
            }
    for (std::size_t j = 0; j < n; ++j)
        big[j] = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            big[j] = std::fmax(big[j], std::fabs(w_[i * n + j]));
    bool any = false; // (as a rule the rows' scaling leaves every column's at 0)
    for (std::size_t j = 0; j < n; ++j) {
        se_[j] = static_cast<double>(top_exponent(big[j]));
        any = any || se_[j] != 0.0;
    }
    if (any)
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                w_[i * n + j] = times_pow2(w_[i * n + j], -static_cast<long long>(se_[j]));
}

// P B Q = L U with full pivoting; returns the rank, the number of steps
// before the block left over was exactly zero. pe_ holds each row's largest
// magnitude over the columns still to be searched, kept up to date by the
// elimination pass itself.
std::size_t lu_scaled::factorise()
{
    const std::size_t n = n_;
    double *rmax = pe_;
    for (std::size_t i = 0; i < n; ++i)
        rmax[i] = k_.row_max(w_ + i * n, 0, n);
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t pr = k;
        double big = rmax[k];
        for (std::size_t i = k + 1; i < n; ++i)
            if (rmax[i] > big) {
                big = rmax[i];
                pr = i;
            }
        if (!(big > 0.0))
            return k;
        std::size_t pc = k;
        while (pc + 1 < n && std::fabs(w_[pr * n + pc]) != big)
            ++pc;
        if (pr != k) {
            std::swap_ranges(w_ + pr * n, w_ + pr * n + n, w_ + k * n);
            std::swap(rmax[pr], rmax[k]);
            std::swap(rp_[pr], rp_[k]);
            sign_ = -sign_;
        }
        if (pc != k) {
            for (std::size_t r = 0; r < n; ++r)
                std::swap(w_[r * n + pc], w_[r * n + k]);
            std::swap(cp_[pc], cp_[k]);
            sign_ = -sign_;
        }
        const double *p = w_ + k * n;
        const double piv = p[k];
        for (std::size_t i = k + 1; i < n; ++i) {
            double *row = w_ + i * n;
            const double f = row[k] / piv;
            row[k] = f;
            rmax[i] = sub(row + k + 1, p + k + 1, n - k - 1, f);
        }
    }
    return n;
}

// V = D^-1 U and then V^-1 over the strict upper triangle, L^-1 over the
// strict lower one: V^-1 a group of rows at a time from the bottom up, L^-1
// from the top down, each row of a group formed in a scratch row. The rows
// already inverted are streamed once per group, each taking its turn in every
// row of the group while it is in the cache; then the group's rows take each
// other, in the order of their dependence.
void lu_scaled::invert_factors()
{
    const std::size_t n = n_;
    for (std::size_t i = 0; i < n; ++i) {
        double *row = w_ + i * n;
        const double piv = row[i];
        for (std::size_t j = i + 1; j < n; ++j)
            row[j] = row[j] / piv;
    }
    // t -= v * (e_k + V^-1[k][k+1 ..]) over columns k .. n-1.
    auto upper = [&](double *t, std::size_t k, double v) {
        if (v == 0.0)
            return;
        t[k] = t[k] - v;
        sub(t + k + 1, w_ + k * n + k + 1, n - k - 1, v);
    };
    // t -= l * (L^-1[k][.. k) + e_k) over columns 0 .. k.
    auto lower = [&](double *t, std::size_t k, double l) {
        if (l == 0.0)
            return;
        t[k] = t[k] - l;
        sub(t, w_ + k * n, k, l);
    };
    for (std::size_t i1 = n; i1 > 0;) {
        const std::size_t i0 = i1 > group ? i1 - group : 0;
        for (std::size_t i = i0; i < i1; ++i)
            std::fill(t_ + (i - i0) * n + i + 1, t_ + (i - i0) * n + n, 0.0);
        for (std::size_t k = i1; k < n; ++k)
            for (std::size_t i = i0; i < i1; ++i)
                upper(t_ + (i - i0) * n, k, w_[i * n + k]);
        for (std::size_t i = i1; i-- > i0;) {
            double *t = t_ + (i - i0) * n;
            for (std::size_t k = i + 1; k < i1; ++k)
                upper(t, k, w_[i * n + k]);
            std::copy(t + i + 1, t + n, w_ + i * n + i + 1);
        }
        i1 = i0;
    }
    for (std::size_t i0 = 0; i0 < n; i0 += group) {
        const std::size_t i1 = std::min(i0 + group, n);
        for (std::size_t i = i0; i < i1; ++i)
            std::fill(t_ + (i - i0) * n, t_ + (i - i0) * n + i, 0.0);
        for (std::size_t k = 0; k < i0; ++k)
            for (std::size_t i = i0; i < i1; ++i)
                lower(t_ + (i - i0) * n, k, w_[i * n + k]);
        for (std::size_t i = i0; i < i1; ++i) {
            double *t = t_ + (i - i0) * n;
            for (std::size_t k = i0; k < i; ++k)
                lower(t, k, w_[i * n + k]);
            std::copy(t, t + i, w_ + i * n);
        }
    }
}

} // namespace mtrx_detail
