// The diagnostics of a solution and its iterative refinement
// (solution_check.h).
//
// With A the coefficients, b the constants, x the solution, A^-1 the inverse
// the solver made, eps = DBL_EPSILON and |.| elementwise:
//  - rcond = 1 / (||A||_1 ||A^-1||_1), from the inverse itself (no estimate);
//  - the residual r = b - A x, and w = |A| |x| + |b|;
//  - the backward error max_i |r_i| / w_i;
//  - the forward bound || |A^-1| (|r| + (n + 1) eps w) ||_inf / ||x||_inf:
//    x - x_exact = -A^-1 r_exact, and (n + 1) eps w covers the rounding of
//    r as computed. Where w_i is so small that the quotients would lose
//    their meaning in the subnormal range, (n + 1) DBL_MIN is added above
//    and below (in the bound, to |r_i|), as LAPACK's refinement does.
//
// Refinement computes r in twice the working precision (each product and
// each sum carried exactly as a pair of doubles, exact_ops.h, and rounded
// once at the end), takes the correction A^-1 r from the inverse at hand and
// adds it to x. It stops when the correction is not finite, changes no
// element of x, or is not at most half the previous one (no further
// decrease), and after max_refinement_steps corrections.
//
// Every sum runs in a fixed order on the calling thread (four running sums
// over the elements taken in turn, added pairwise at the end), so that the
// diagnostics and the refined x have the same bits on every processor.
#include "solution_check.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "alloc.h"
#include "exact_ops.h"

namespace mtrx_detail {

namespace {

constexpr double eps = DBL_EPSILON;
constexpr double infinity = std::numeric_limits<double>::infinity();

// Four running sums, element k into sum k mod 4, added pairwise.
struct sum4 {
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    double total() const { return (s[0] + s[1]) + (s[2] + s[3]); }
};

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

// The same, with b - A x carried exactly in a pair and rounded once
// (xs: the splits of x).
void exact_residual_row(const double *a, double b, const double *x, const double_pair *xs,
                        std::size_t n, double &r, double &w)
{
    double hi = b, lo = 0.0;
    double aw = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const double p = a[j] * x[j];
        const double e = product_error(p, split(a[j]), xs[j]);
        const double_pair s = two_sum(hi, -p);
        hi = s.hi;
        const double t = s.lo - e;
        lo = lo + t;
        aw = aw + std::fabs(p);
    }
    r = hi + lo;
    w = std::fabs(b) + aw;
}

// v_i = sum_j m[i][j] y_j (or |m[i][j]| y_j with `magnitudes`, when col
// also gathers the column sums of |m|, as add_magnitudes).
void times(double *const *m, const double *y, double *v, std::size_t n, bool magnitudes,
           double *col = nullptr)
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

class checker {
public:
    checker(double *const *aug, double *const *inv, double *x, std::size_t n)
        : aug_(aug), inv_(inv), x_(x), n_(n)
    {
    }
    ~checker() { std::free(block_); }
    checker(const checker &) = delete;
    checker &operator=(const checker &) = delete;

    bool allocate();
    int refine();
    void diagnose(mtrx_solve_info &info);

private:
    // With `col`, also the column sums of |A| (zeroed here).
    void residuals(bool exact, double *col = nullptr);

    double *const *aug_;
    double *const *inv_;
    double *x_;
    std::size_t n_;

    void *block_ = nullptr;
    double *r_ = nullptr;  // b - A x
    double *w_ = nullptr;  // |A| |x| + |b|
    double *t_ = nullptr;  // scratch: corrections, bounds
    double *col_ = nullptr; // column sums
    double_pair *xs_ = nullptr; // the splits of x
    bool exact_ = false;   // r_ is the exact residual rounded once
};

bool checker::allocate()
{
    const std::size_t n = n_;
    if (n > SIZE_MAX / sizeof(double) / 6)
        return false;
    static_assert(sizeof(double_pair) == 2 * sizeof(double));
    block_ = lib_calloc(6 * n, sizeof(double));
    if (!block_)
        return false;
    r_ = static_cast<double *>(block_);
    w_ = r_ + n;
    t_ = w_ + n;
    col_ = t_ + n;
    xs_ = reinterpret_cast<double_pair *>(col_ + n);
    return true;
}

void checker::residuals(bool exact, double *col)
{
    const std::size_t n = n_;
    exact_ = exact;
    if (exact)
        for (std::size_t j = 0; j < n; ++j)
            xs_[j] = split(x_[j]);
    if (col)
        for (std::size_t j = 0; j < n; ++j)
            col[j] = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = aug_[i];
        if (exact)
            exact_residual_row(row, row[n], x_, xs_, n, r_[i], w_[i]);
        else
            residual_row(row, row[n], x_, n, r_[i], w_[i]);
        if (col)
            add_magnitudes(row, col, n); // (while the row is in the cache)
    }
}

int checker::refine()
{
    const std::size_t n = n_;
    double *dx = t_;
    double last = infinity;
    int steps = 0;
    residuals(true);
    while (steps < max_refinement_steps) {
        times(inv_, r_, dx, n, false);
        const double size = max_abs(dx, n);
        bool changes = false;
        for (std::size_t i = 0; i < n && !changes; ++i)
            changes = x_[i] + dx[i] != x_[i];
        if (!std::isfinite(size) || !changes || !(size <= 0.5 * last))
            break;
        for (std::size_t i = 0; i < n; ++i)
            x_[i] = x_[i] + dx[i];
        ++steps;
        last = size;
        residuals(true);
    }
    return steps;
}

void checker::diagnose(mtrx_solve_info &info)
{
    const std::size_t n = n_;
    // The residual as computed (unless refinement left its exact one) and
    // ||A||_1 (aug_'s first n columns) in one pass over A.
    if (exact_) {
        for (std::size_t j = 0; j < n; ++j)
            col_[j] = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            add_magnitudes(aug_[i], col_, n);
    } else {
        residuals(false, col_);
    }
    const double anorm = max_abs(col_, n);

    const double nz = static_cast<double>(n + 1);
    const double safe1 = nz * DBL_MIN;
    const double safe2 = safe1 / eps;
    double berr = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = std::fabs(r_[i]);
        const double q = w_[i] > safe2 ? a / w_[i] : (a + safe1) / (w_[i] + safe1);
        if (!(q <= berr))
            berr = q;
    }

    // |A^-1| times the bound on |r| as computed, and ||A^-1||_1, in one pass
    // over A^-1.
    for (std::size_t i = 0; i < n; ++i) {
        const double a = std::fabs(r_[i]);
        const double rounding = nz * eps * w_[i];
        t_[i] = w_[i] > safe2 ? a + rounding : a + rounding + safe1;
    }
    double *v = w_; // (w_ is read no more)
    for (std::size_t j = 0; j < n; ++j)
        col_[j] = 0.0;
    times(inv_, t_, v, n, true, col_);
    const double inorm = max_abs(col_, n);
    const double xnorm = max_abs(x_, n);
    const double ferr = max_abs(v, n);

    // (a product that overflows makes rcond 0: it would lie below the
    // normal range anyway)
    const double p = anorm * inorm;
    info.rcond = std::isfinite(anorm) && std::isfinite(inorm) && p > 0.0 ? 1.0 / p : 0.0;
    info.backward_error = berr;
    info.forward_error = xnorm != 0.0 ? ferr / xnorm : ferr;
    info.ill_conditioned = info.rcond < DBL_EPSILON;
}

} // namespace

mtrx_solve_info no_solution_info()
{
    mtrx_solve_info info{};
    info.rcond = 0.0;
    info.backward_error = infinity;
    info.forward_error = infinity;
    info.ill_conditioned = 1;
    info.refinement_steps = 0;
    return info;
}

bool check_solution(double *const *aug, double *const *inv, double *x, std::size_t n, bool refine,
                    mtrx_solve_info &info)
{
    info = mtrx_solve_info{};
    if (n == 0) {
        info.rcond = 1.0; // nothing to lose
        return true;
    }
    checker c(aug, inv, x, n);
    if (!c.allocate())
        return false;
    info.refinement_steps = refine ? c.refine() : 0;
    c.diagnose(info);
    return true;
}

} // namespace mtrx_detail
