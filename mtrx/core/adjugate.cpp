// Cofactors in n^3 operations, from one LU factorisation with full pivoting.
//
// The cofactor matrix of A is the adjugate of its transpose. The working copy
// is B = R^-1 A^T S^-1, R and S diagonal powers of two: R makes the largest
// magnitude of every row lie in [2^959, 2^960), then S does the same for
// every column. The scaling is exact but for elements it pushes below the
// normal range; the elimination's growth (with full pivoting far below the
// 2^64 left) cannot overflow; and no multiplier underflows while its product
// still counts, so rows or columns scaled more than a double's range apart
// (2^600 and 2^-600) lose nothing. Full pivoting brings to (k, k) at step k
// the largest remaining element (the first such in row order, then in column
// order) by a row and a column exchange:
//
//     P B Q = L U = L D V,
//
// L unit lower triangular, D = diag(p_0 .. p_{n-1}) the pivots, V unit upper
// triangular, |L| <= 1 and |V| <= 1. With adj(XY) = adj(Y) adj(X), adj(L) =
// L^-1, adj(V) = V^-1, adj(D) = diag(pi) where pi_k is the product of the
// pivots other than p_k, and a permutation's adjugate its sign times its
// inverse:
//
//     adj(B) = sign(P) sign(Q) Q V^-1 diag(pi) L^-1 P,
//     C = adj(A^T) = adj(S) adj(B) adj(R),
//
// the last two factors being diagonal: C[i][j] = adj(B)[i][j] times the
// scales of S other than the i-th and those of R other than the j-th.
//
// No pivot is divided into the result (V is U with row k divided by p_k, and
// full pivoting keeps |U[k][j]| <= |p_k|), so this one formula holds for every
// rank. A regular B gets det(B) B^-1. A pivot is zero only when the whole
// block left at its step is exactly zero. With one zero pivot, the last (rank
// n - 1), only pi_{n-1} is nonzero and the adjugate is the rank-one product
// of the right null vector (the last column of V^-1) and the left null vector
// (the last row of L^-1) times the product of the other pivots, formed
// directly in n^2 work. With two zero pivots or more (rank n - 2 or less)
// every pi_k is zero and so is C.
//
// A tiny pivot is kept as it is: the adjugate is a polynomial in the
// elements, continuous through the singular matrices, and the formula follows
// it, so a matrix that is singular in exact arithmetic but not after rounding
// gets cofactors close to its true rank-one (or zero) ones. No threshold
// decides a rank.
//
// Products of n pivots leave the range of a double long before the cofactors
// do, so pi is held as mantissas over a common power of two, which joins the
// scales in one exact scaling of every result element: the cofactors that
// overflow come out infinite, those below the subnormal range zero.
//
// A NaN or an infinity makes every cofactor whose minor holds one NaN; the
// others do not depend on such elements (cofactor (i, j) ignores row i and
// column j) and are computed with them read as 0.
//
// Storage: one contiguous n x n working copy of B, which the factors
// overwrite (L below the diagonal, the pivots on it, V above); V^-1 and L^-1
// then replace V and L in place. L^-1 moves to a second n x n array, its
// columns put in C's order, and the product V^-1 diag(pi) L^-1 is formed by
// the library's matrix product straight into C's rows, taken in Q's order.
// Work: n^3/3 multiply-subtract pairs for the factorisation, n^3/6 for each
// triangular inverse, and a product of n x n arrays. Four allocations through
// lib_calloc (the product's own scratch aside).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "adjugate.h"

#include "alloc.h"
#include "gj_kernels.h"
#include "product.h"

namespace mtrx_detail {

namespace {

// 2^k exactly, for -1022 <= k <= 1023.
double pow2(long long k) { return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52); }

// x * 2^e for any e, as at most three exact steps: the part within
// [-1000, 1000] first, then whole 2^+-1000 steps, so that a result in the
// subnormal range is rounded once in the common case. (Beyond 2^+-2200 every
// finite nonzero double overflows or underflows.)
double times_pow2(double x, long long e)
{
    e = std::clamp<long long>(e, -2200, 2200);
    long long steps = 0;
    for (; e > 1000; e -= 1000)
        ++steps;
    for (; e < -1000; e += 1000)
        --steps;
    x = x * pow2(e);
    for (; steps > 0; --steps)
        x = x * pow2(1000);
    for (; steps < 0; ++steps)
        x = x * pow2(-1000);
    return x;
}

// e with x in [2^(e-1), 2^e), for a finite nonzero x.
long long exponent_of(double x)
{
    int e = 0;
    std::frexp(x, &e);
    return e;
}

// A product kept as mantissa * 2^exp with the mantissa in [0.5, 1) (or 0).
struct scaled {
    double m = 1.0;
    long long e = 0;

    scaled times(double x) const
    {
        int ex = 0, ey = 0;
        const double mx = std::frexp(x, &ex); // (a subnormal x loses nothing)
        const double p = std::frexp(m * mx, &ey);
        return {p, p == 0.0 ? 0 : e + ex + ey};
    }
    scaled times(const scaled &o) const
    {
        scaled r = times(o.m);
        if (r.m != 0.0)
            r.e += o.e;
        return r;
    }
};

class adjugate {
public:
    adjugate(double *const *a, double **c, std::size_t n)
        : a_(a), c_(c), n_(n), k_(gj_kernels_in_use())
    {
    }
    ~adjugate()
    {
        std::free(work_);
        std::free(cp_);
        std::free(rp_);
        std::free(w_);
    }
    adjugate(const adjugate &) = delete;
    adjugate &operator=(const adjugate &) = delete;

    bool run();

private:
    bool allocate();
    bool mark_non_finite();
    void copy_in();
    std::size_t factorise();
    void form_pivot_products(std::size_t rank);
    void rank_one();
    void invert_factors();
    void regular();
    // t[j] = t[j] - x[j] * f for j < len, by the Gauss-Jordan kernel's
    // inner loop; returns the largest new |t[j]| (-1 for len = 0).
    double sub(double *t, const double *x, std::size_t len, double f) const
    {
        return k_.eliminate_max(t, x, len, f, false);
    }
    // C's element for row k and column l of the factors' order.
    void emit(std::size_t k, std::size_t l, double x)
    {
        const std::size_t i = cp_[k], j = rp_[l];
        double &d = c_[i][j];
        if (!(bad_ && std::isnan(d)))
            d = unscaled(i, j, x);
    }
    // C[i][j] from element (i, j) x of Q V^-1 diag(pm) L^-1 P: the sign, and
    // 2^exp_ over the scales of row i of S and column j of R.
    double unscaled(std::size_t i, std::size_t j, double x) const
    {
        return times_pow2(sign_ * x, exp_ - static_cast<long long>(se_[i]) -
                                         static_cast<long long>(re_[j]));
    }

    double *const *a_;
    double **c_;
    std::size_t n_;
    const gj_kernels &k_; // the Gauss-Jordan inner loops for this processor

    double *w_ = nullptr;       // the working copy, n x n, row-major
    double *b_ = nullptr;       // then L^-1, n x n, after w_ in one block
    std::size_t *rp_ = nullptr; // row k of the factors is row rp_[k] of B
    std::size_t *cp_ = nullptr; // column k is column cp_[k] of B

    static constexpr std::size_t group = 8; // rows of V^-1 or L^-1 formed together
    void *work_ = nullptr;      // (group + 4) n doubles and 3n row pointers:
    double *t_ = nullptr;       // scratch rows
    double *pm_ = nullptr;      // pi's mantissas
    double *pe_ = nullptr;      // row maxima, then pi's exponents
    double *re_ = nullptr;      // R = diag(2^re_), exponents as doubles
    double *se_ = nullptr;      // S = diag(2^se_)
    double **rows_ = nullptr;   // the rows of the product's three operands

    std::size_t bad_ = 0; // NaN and infinite elements of A
    double sign_ = 1.0;   // sign(P) sign(Q)
    long long exp_ = 0;   // pi's common exponent plus every exponent of R and S
};

bool adjugate::allocate()
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

// Counts the non-finite elements of A (per row of A in cp_, per column in
// rp_, before either holds a permutation) and sets to NaN every element of C
// whose minor holds one: the cofactors (i, j) with all of them in row i or
// column j are the only ones left to compute. False when none is.
bool adjugate::mark_non_finite()
{
    const std::size_t n = n_;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            if (!std::isfinite(a_[i][j])) {
                ++cp_[i];
                ++rp_[j];
                ++bad_;
            }
        }
    bool any_left = true;
    if (bad_) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        any_left = false;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                const std::size_t own = std::isfinite(a_[i][j]) ? 0 : 1;
                if (cp_[i] + rp_[j] - own == bad_)
                    any_left = true;
                else
                    c_[i][j] = nan;
            }
    }
    for (std::size_t k = 0; k < n; ++k)
        rp_[k] = cp_[k] = k;
    return any_left;
}

// B = R^-1 A^T S^-1 into the working copy (the transpose a tile at a time),
// non-finite elements read as 0.
void adjugate::copy_in()
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
std::size_t adjugate::factorise()
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

// pi_k = the product of the pivots other than p_k, as pm_[k] * 2^(pe_[k] - E)
// with E the largest exponent among the nonzero ones, which goes into exp_.
// With one zero pivot (the last) only pi_{n-1} is nonzero.
void adjugate::form_pivot_products(std::size_t rank)
{
    const std::size_t n = n_;
    scaled before; // the product of p_0 .. p_{k-1}
    for (std::size_t k = 0; k < n; ++k) {
        pm_[k] = before.m;
        pe_[k] = static_cast<double>(before.e);
        before = before.times(k < rank ? w_[k * n + k] : 0.0);
    }
    scaled after; // the product of p_{k+1} .. p_{n-1}
    long long top = 0;
    for (std::size_t k = n; k-- > 0;) {
        const scaled pi = scaled{pm_[k], static_cast<long long>(pe_[k])}.times(after);
        pm_[k] = pi.m;
        pe_[k] = static_cast<double>(pi.e);
        // (pi_{n-1}, the first, is nonzero for rank n - 1 and n)
        if (pi.m != 0.0 && (k == n - 1 || pi.e > top))
            top = pi.e;
        after = after.times(k < rank ? w_[k * n + k] : 0.0);
    }
    for (std::size_t k = 0; k < n; ++k)
        if (pm_[k] != 0.0)
            pm_[k] = times_pow2(pm_[k], static_cast<long long>(pe_[k]) - top);
    exp_ = top;
    for (std::size_t k = 0; k < n; ++k)
        exp_ += static_cast<long long>(re_[k]) + static_cast<long long>(se_[k]);
}

// Rank n - 1: adj(B) = sign Q x pi_{n-1} y^T P (up to the power of two), with
// V x = 0 (x_{n-1} = 1) and y^T L = e_{n-1}^T, so that y^T L U = 0.
void adjugate::rank_one()
{
    const std::size_t n = n_;
    double *x = t_;
    double *y = pe_;
    x[n - 1] = 1.0;
    for (std::size_t i = n - 1; i-- > 0;) {
        const double *v = w_ + i * n;
        const double piv = v[i];
        double s = 0.0;
        for (std::size_t k = i + 1; k < n; ++k) {
            const double term = (v[k] / piv) * x[k];
            s = s + term;
        }
        x[i] = -s;
    }
    for (std::size_t j = 0; j + 1 < n; ++j)
        y[j] = 0.0;
    y[n - 1] = 1.0;
    for (std::size_t i = n - 1; i > 0; --i)
        if (y[i] != 0.0)
            sub(y, w_ + i * n, i, y[i]);
    const double pi = pm_[n - 1];
    for (std::size_t k = 0; k < n; ++k) {
        const double u = x[k] * pi;
        for (std::size_t l = 0; l < n; ++l)
            emit(k, l, u * y[l]);
    }
}

// V = D^-1 U and then V^-1 over the strict upper triangle, L^-1 over the
// strict lower one: V^-1 a group of rows at a time from the bottom up, L^-1
// from the top down, each row of a group formed in a scratch row. The rows
// already inverted are streamed once per group, each taking its turn in every
// row of the group while it is in the cache; then the group's rows take each
// other, in the order of their dependence.
void adjugate::invert_factors()
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

// Regular B: C gets Q (V^-1 diag(pi)) (L^-1 P), both factors with their
// zeros written out, then the sign and the powers of two.
void adjugate::regular()
{
    invert_factors();
    const std::size_t n = n_;
    for (std::size_t j = 0; j < n; ++j) {
        double *row = w_ + j * n, *b = b_ + j * n;
        for (std::size_t l = 0; l < j; ++l) {
            b[rp_[l]] = row[l];
            row[l] = 0.0;
        }
        b[rp_[j]] = 1.0;
        row[j] = pm_[j];
        for (std::size_t l = j + 1; l < n; ++l)
            row[l] = row[l] * pm_[l];
    }
    double **a = rows_, **b = rows_ + n, **r = rows_ + 2 * n;
    for (std::size_t k = 0; k < n; ++k) {
        a[k] = w_ + k * n;
        b[k] = b_ + k * n;
        r[k] = c_[cp_[k]];
    }
    product_into(r, a, b, n, n, n); // (the NaN of a spoilt cofactor stays NaN)
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            c_[i][j] = unscaled(i, j, c_[i][j]);
}

bool adjugate::run()
{
    if (n_ == 0)
        return true;
    if (!allocate())
        return false;
    if (!mark_non_finite())
        return true;
    copy_in();
    const std::size_t rank = factorise();
    if (rank + 2 <= n_)
        return true; // C stays zero
    form_pivot_products(rank);
    if (rank < n_)
        rank_one();
    else
        regular();
    return true;
}

} // namespace

bool cofactors_by_lu(double *const *a, double **c, std::size_t n)
{
    adjugate adj(a, c, n);
    return adj.run();
}

} // namespace mtrx_detail
