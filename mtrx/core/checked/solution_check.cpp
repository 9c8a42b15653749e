// The diagnostics of a solution and its iterative refinement
// (solution_check.h): rcond from the inverse, the residual in twice the
// working precision, the backward error and a forward error bound (reported
// as 1 when the inverse cannot vouch for it), and refinement that keeps its
// best iterate. Every sum runs in a fixed order on the calling thread, so
// the bits are the same everywhere. What each figure means and why the
// bound is trusted when it is: docs/design/checked-solve.md.
#include "core/checked/solution_check.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "core/base/alloc.h"
#include "core/checked/check_sums.h"
#include "core/checked/exact_ops.h"
#include "core/base/pow2.h"
#include "core/checked/scaling.h"

namespace mtrx_detail {

namespace {

constexpr double eps = DBL_EPSILON;
constexpr double infinity = std::numeric_limits<double>::infinity();

class checker {
public:
    checker(const checked_system &s, double *x, std::size_t n)
        : given_(s.given), aug_(s.scaled), inv_(s.inverse), sc_(s.scaling), c_(s.column), x_(x),
          n_(n)
    {
    }
    ~checker() { std::free(block_); }
    checker(const checker &) = delete;
    checker &operator=(const checker &) = delete;

    bool allocate();
    int refine();
    void diagnose(mtrx_solve_info &info);

private:
    // Of y_; with `col`, also the column sums of |S| (zeroed here).
    void residuals(bool exact, double *col = nullptr) { residuals_of(y_, 0, exact, col); }
    // Of y, c taken 2^-shift of its size.
    void residuals_of(const double *y, long long shift, bool exact, double *col);
    // x from y, and y from that x, which is what the diagnostics describe.
    void settle();
    // ||A||_1 and ||A^-1||_1 (col_ holds the column sums of |S^-1|) under
    // the full scaling.
    wide given_norm() const;
    wide inverse_norm() const;

    double *const *given_;
    double *const *aug_;
    double *const *inv_;
    const system_scaling &sc_;
    std::size_t c_; // the column of constants (and the scaling's rhs) in use
    double *x_;
    std::size_t n_;
    bool scaled_ = false; // y_ is a vector of its own

    void *block_ = nullptr;
    double *y_ = nullptr;    // x in the scaled system (x_ itself when unscaled)
    double *yd_ = nullptr;   // the y the diagnostics describe: y_, or y_ shifted
    double *r_ = nullptr;    // c - S y
    double *w_ = nullptr;    // |S| |y| + |c|
    double *t_ = nullptr;    // scratch: corrections, bounds
    double *col_ = nullptr;  // column sums
    double *prev_ = nullptr; // the iterate before the last correction
    double_pair *ys_ = nullptr; // the splits of y
    bool exact_ = false;     // r_ is the exact residual rounded once
};

bool checker::allocate()
{
    const std::size_t n = n_;
    scaled_ = sc_.how() != system_scaling::kind::none;
    const std::size_t count = scaled_ ? 8 : 7;
    if (n > SIZE_MAX / sizeof(double) / count)
        return false;
    static_assert(sizeof(double_pair) == 2 * sizeof(double));
    block_ = lib_calloc(count * n, sizeof(double));
    if (!block_)
        return false;
    r_ = static_cast<double *>(block_);
    w_ = r_ + n;
    t_ = w_ + n;
    col_ = t_ + n;
    prev_ = col_ + n;
    ys_ = reinterpret_cast<double_pair *>(prev_ + n);
    y_ = scaled_ ? prev_ + 3 * n : x_;
    if (scaled_)
        for (std::size_t j = 0; j < n; ++j)
            y_[j] = sc_.scaled_solution(x_[j], j, c_);
    return true;
}

void checker::residuals_of(const double *y, long long shift, bool exact, double *col)
{
    const std::size_t n = n_;
    exact_ = exact;
    if (exact)
        for (std::size_t j = 0; j < n; ++j)
            ys_[j] = split(y[j]);
    if (col)
        for (std::size_t j = 0; j < n; ++j)
            col[j] = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = aug_[i];
        const double c = shift ? times_pow2(row[n + c_], -shift) : row[n + c_];
        if (exact)
            exact_residual_row(row, c, y, ys_, n, r_[i], w_[i]);
        else
            residual_row(row, c, y, n, r_[i], w_[i]);
        if (col)
            add_magnitudes(row, col, n); // (while the row is in the cache)
    }
}

int checker::refine()
{
    if (!inv_)
        return 0;
    const std::size_t n = n_;
    double *dx = t_;
    double last = infinity;
    int steps = 0;
    residuals(true);
    while (steps < max_refinement_steps) {
        times(inv_, r_, dx, n, false);
        const double size = max_abs(dx, n);
        if (steps > 0 && !(size <= last)) {
            // The last correction left y further from the solution than it
            // found it, by the estimate (or left no estimate): back to the
            // y before it.
            for (std::size_t i = 0; i < n; ++i)
                y_[i] = prev_[i];
            --steps;
            residuals(true);
            break;
        }
        // (a correction that would take x beyond a double's range is none)
        bool changes = false, finite = std::isfinite(size);
        for (std::size_t i = 0; i < n && finite; ++i) {
            changes = changes || y_[i] + dx[i] != y_[i];
            finite = std::isfinite(sc_.solution(y_[i] + dx[i], i, c_));
        }
        if (!finite || !changes || !(size <= 0.5 * last))
            break;
        for (std::size_t i = 0; i < n; ++i) {
            prev_[i] = y_[i];
            y_[i] = y_[i] + dx[i];
        }
        ++steps;
        last = size;
        residuals(true);
    }
    if (steps > 0)
        settle();
    return steps;
}

void checker::settle()
{
    if (!scaled_)
        return;
    bool moved = false;
    for (std::size_t j = 0; j < n_; ++j) {
        x_[j] = sc_.solution(y_[j], j, c_);
        const double back = sc_.scaled_solution(x_[j], j, c_);
        moved = moved || back != y_[j];
        y_[j] = back;
    }
    if (moved)
        exact_ = false; // (r_ was y's, not x's)
}

wide checker::given_norm() const
{
    // The column sums of |A| itself, each element taken 2^-k of its size
    // (k from the largest), which loses only what is negligible to the
    // largest column.
    const std::size_t n = n_;
    double big = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            big = std::max(big, std::fabs(given_[i][j]));
    if (big == 0.0)
        return {};
    const long long k = exponent_of(big);
    double *col = col_; // (the inverse's column sums are gathered apart here)
    for (std::size_t j = 0; j < n; ++j)
        col[j] = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            col[j] = col[j] + times_pow2(std::fabs(given_[i][j]), -k);
    return wide::of(max_abs(col, n), k);
}

wide checker::inverse_norm() const
{
    // A^-1 = C S^-1 R: column j sums 2^col_i |S^-1[i][j]| over i, times
    // 2^row_j.
    const std::size_t n = n_;
    wide best;
    for (std::size_t j = 0; j < n; ++j) {
        wide_sum s;
        for (std::size_t i = 0; i < n; ++i)
            s.add(std::fabs(inv_[i][j]), sc_.column(i));
        wide t = s.total();
        if (t.m != 0.0 && std::isfinite(t.m))
            t.e += sc_.row(j);
        best = wide::larger(best, t);
    }
    return best;
}

void checker::diagnose(mtrx_solve_info &info)
{
    const std::size_t n = n_;
    const bool full = sc_.how() == system_scaling::kind::full;
    // The residual as computed (unless refinement left its exact one) and
    // ||S||_1 (aug_'s first n columns) in one pass over S.
    if (exact_) {
        for (std::size_t j = 0; j < n; ++j)
            col_[j] = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            add_magnitudes(aug_[i], col_, n);
    } else {
        residuals(false, col_);
    }
    const double anorm = max_abs(col_, n);
    // A solution so large that y, or |S| |y|, overflows: y and c are both
    // taken 2^-shift of their size (y formed from x at once, the largest
    // element in [1, 2)), which every quotient below cancels.
    yd_ = y_;
    long long shift = 0;
    if (!std::isfinite(max_abs(r_, n)) || !std::isfinite(max_abs(w_, n)) ||
        !std::isfinite(max_abs(y_, n))) {
        long long top = std::numeric_limits<long long>::min();
        for (std::size_t j = 0; j < n; ++j)
            if (x_[j] != 0.0)
                top = std::max(top, exponent_of(x_[j]) - sc_.column(j) - sc_.rhs(c_));
        shift = top == std::numeric_limits<long long>::min() ? 0 : top - 1;
        yd_ = prev_; // (free once refinement is over)
        for (std::size_t j = 0; j < n; ++j)
            yd_[j] = times_pow2(x_[j], -(sc_.column(j) + sc_.rhs(c_) + shift));
        residuals_of(yd_, shift, false, nullptr);
    }

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
    info.backward_error = berr;
    info.rcond = 0.0;
    info.forward_error = 1.0;
    info.ill_conditioned = 1;
    info.bound_trusted = 0;
    if (!inv_)
        return;

    // |S^-1| times the bound on |r| as computed, and ||S^-1||_1, in one pass
    // over S^-1.
    for (std::size_t i = 0; i < n; ++i) {
        const double a = std::fabs(r_[i]);
        const double rounding = nz * eps * w_[i];
        t_[i] = w_[i] > safe2 ? a + rounding : a + rounding + safe1;
    }
    double *v = w_; // (w_ is read no more)
    for (std::size_t j = 0; j < n; ++j)
        col_[j] = 0.0;
    times(inv_, t_, v, n, true, full ? nullptr : col_);

    double ferr = 0.0;
    if (full) {
        // ||A||_1 ||A^-1||_1 and ||C v|| / ||C y||, with their powers of two.
        const wide an = given_norm(), in = inverse_norm();
        const double p = an.m * in.m;
        info.rcond = std::isfinite(p) && p > 0.0 ? times_pow2(1.0 / p, -(an.e + in.e)) : 0.0;
        wide top, size;
        for (std::size_t i = 0; i < n; ++i) {
            top = wide::larger(top, wide::of(v[i], sc_.column(i)));
            size = wide::larger(size, wide::of(std::fabs(yd_[i]), sc_.column(i)));
        }
        ferr = size.m != 0.0 ? times_pow2(top.m / size.m, top.e - size.e)
                             : times_pow2(top.m, top.e + sc_.rhs(c_) + shift);
    } else {
        // (one power of two for S, which the product of the norms cancels;
        // a product that overflows makes rcond 0: it would lie below the
        // normal range anyway)
        const double inorm = max_abs(col_, n);
        const double p = anorm * inorm;
        info.rcond = std::isfinite(anorm) && std::isfinite(inorm) && p > 0.0 ? 1.0 / p : 0.0;
        const double xnorm = max_abs(yd_, n);
        const double top = max_abs(v, n);
        ferr = xnorm != 0.0 ? top / xnorm : times_pow2(top, sc_.rhs(c_) + shift);
    }
    info.ill_conditioned = info.rcond < DBL_EPSILON;
    const double gamma = std::max(10.0, std::sqrt(static_cast<double>(n)));
    info.bound_trusted = !info.ill_conditioned || (std::isfinite(ferr) && gamma * ferr < nz);
    if (info.bound_trusted && std::isfinite(ferr))
        info.forward_error = ferr;
    else
        info.bound_trusted = 0;
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
    info.bound_trusted = 0;
    return info;
}

bool check_solution(const checked_system &s, double *x, std::size_t n, bool refine,
                    mtrx_solve_info &info)
{
    info = mtrx_solve_info{};
    if (n == 0) {
        info.rcond = 1.0; // nothing to lose
        info.bound_trusted = 1;
        return true;
    }
    checker c(s, x, n);
    if (!c.allocate())
        return false;
    info.refinement_steps = refine ? c.refine() : 0;
    c.diagnose(info);
    return true;
}

} // namespace mtrx_detail
