// Cofactors in n^3 operations, from one LU factorisation with full pivoting
// of the scaled transpose (lu_scaled.h): the adjugate of the transpose formed
// from the triangular factors' inverses and the products of the other pivots,
// which holds for every rank and divides by no pivot; and the cofactor
// solver's solutions by substitution in the same factors, with one step of
// refinement. The derivation, the rank cases and the range handling are in
// docs/design/scaled-factorisation.md.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>

#include "core/cofactor/adjugate.h"

#include <mtrx/mtrx.h>

#include "core/checked/exact_ops.h"
#include "core/cofactor/lu_scaled.h"
#include "core/base/pow2.h"
#include "core/product/product.h"

namespace mtrx_detail {

namespace {

class adjugate : lu_scaled {
public:
    adjugate(double *const *a, double **c, std::size_t n) : lu_scaled(a, n), c_(c) {}

    bool run();

private:
    bool mark_non_finite();
    void form_pivot_products(std::size_t rank);
    void rank_one();
    void products();
    void regular();
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

    double **c_;
    std::size_t bad_ = 0;  // NaN and infinite elements of A
    long long top_ = 0;    // the pivot products' common exponent
    long long exp_ = 0;    // top_ plus every exponent of R and S
};

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
    top_ = top;
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

// Regular B: C's rows get Q (V^-1 diag(pi)) (L^-1 P), both factors with
// their zeros written out; the sign and the powers of two are still to come.
void adjugate::products()
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
}

void adjugate::regular()
{
    products();
    const std::size_t n = n_;
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

// The solution of A x = b by substitution with the factors, and one step of
// refinement (above).
class lu_solver : lu_scaled {
public:
    lu_solver(double *const *a, std::size_t n) : lu_scaled(a, n) {}
    lu_solve run(const double *b, double *x);

private:
    // z with B^T z = d (both in B^T's order), by U^T and then L^T.
    void substitute(const double *d, double *z, double *g) const;
};

void lu_solver::substitute(const double *d, double *z, double *g) const
{
    const std::size_t n = n_;
    for (std::size_t l = 0; l < n; ++l)
        g[l] = d[cp_[l]];
    for (std::size_t k = 0; k < n; ++k) {
        const double *u = w_ + k * n;
        g[k] = g[k] / u[k];
        if (g[k] != 0.0)
            sub(g + k + 1, u + k + 1, n - k - 1, g[k]);
    }
    for (std::size_t l = n; l-- > 1;)
        if (g[l] != 0.0)
            sub(g, w_ + l * n, l, g[l]);
    for (std::size_t k = 0; k < n; ++k)
        z[rp_[k]] = g[k];
}

lu_solve lu_solver::run(const double *b, double *x)
{
    const std::size_t n = n_;
    if (n == 0)
        return lu_solve::regular;
    if (!allocate())
        return lu_solve::no_memory;
    for (std::size_t k = 0; k < n; ++k)
        rp_[k] = cp_[k] = k;
    copy_in();
    // B^T = S^-1 A R^-1, whose row i is A's, kept for the residual in the
    // second block (which no inverse of L needs here).
    double *bt = b_;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            bt[j * n + i] = w_[i * n + j];
    if (factorise() < n)
        return lu_solve::singular;
    // d = S^-1 b 2^-t, its largest element in [2^479, 2^480): z = R x 2^-t
    // then stays near d's size over the pivots', far from either end.
    long long top = std::numeric_limits<long long>::min();
    for (std::size_t j = 0; j < n; ++j)
        if (b[j] != 0.0 && std::isfinite(b[j]))
            top = std::max(top, exponent_of(b[j]) - static_cast<long long>(se_[j]));
    const long long t = top == std::numeric_limits<long long>::min() ? 0 : top - 480;
    double *d = t_, *z = d + n, *r = z + n, *c = r + n, *g = c + n;
    auto *zs = reinterpret_cast<double_pair *>(g + n);
    for (std::size_t j = 0; j < n; ++j)
        d[j] = times_pow2(b[j], -static_cast<long long>(se_[j]) - t);
    substitute(d, z, g);
    // One correction from the residual in twice the working precision,
    // unless it is not finite.
    for (std::size_t j = 0; j < n; ++j)
        zs[j] = split(z[j]);
    bool finite = true;
    for (std::size_t i = 0; i < n; ++i) {
        double size = 0.0;
        exact_residual_row(bt + i * n, d[i], z, zs, n, r[i], size);
        finite = finite && std::isfinite(r[i]);
    }
    if (finite) {
        substitute(r, c, g);
        for (std::size_t j = 0; j < n; ++j)
            finite = finite && std::isfinite(c[j]);
        if (finite)
            for (std::size_t j = 0; j < n; ++j)
                z[j] = z[j] + c[j];
    }
    for (std::size_t j = 0; j < n; ++j)
        x[j] = times_pow2(z[j], t - static_cast<long long>(re_[j]));
    return lu_solve::regular;
}

} // namespace

lu_solve solve_by_lu(double *const *a, const double *b, double *x, std::size_t n)
{
    lu_solver s(a, n);
    return s.run(b, x);
}

bool cofactors_by_lu(double *const *a, double **c, std::size_t n)
{
    adjugate adj(a, c, n);
    return adj.run();
}

} // namespace mtrx_detail
