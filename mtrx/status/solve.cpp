// The solvers as statuses: mtrx_reduce (Gauss-Jordan elimination in place),
// and the solution of an augmented record, by elimination on a copy
// (mtrx_solve_system) or by cofactors (mtrx_solve_system_cofactor), and
// either of them with its diagnostics and refinement (mtrx_solve_checked);
// A X = B for many columns of B in one elimination (mtrx_solve_many, and
// with each column's diagnostics mtrx_solve_many_checked).
//
// A system holding a NaN or an infinity is refused before any work. The
// record's systems are solved as scaling.h plans: as they stand in the
// normal range, scaled by powers of two near its ends, and once more under
// the full scaling when a solution came out not finite (with many columns,
// each as it would be alone: A's powers of two are common to all, each
// column has its own for b, and the columns that need the full scaling are
// eliminated once more together). A solution element
// that is still NaN means a matrix singular to working precision
// (MTRX_ESINGULAR), an infinite one a solution beyond a double's range
// (MTRX_ERANGE).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include <mtrx/mtrx.h>

#include "core/arith.h"
#include "core/cofactor.h"
#include "core/gj.h"
#include "core/scaling.h"
#include "core/solution_check.h"
#include "core/storage.h"
#include "status.h"

using namespace mtrx_detail;

namespace {
mtrx_status status_of(gj_status g)
{
    switch (g) {
    case gj_status::singular:
        return MTRX_ESINGULAR;
    case gj_status::no_memory:
        return MTRX_ENOMEM;
    case gj_status::solved:
        break;
    }
    return MTRX_OK;
}

// Whether the n rows of `a` are there to eliminate.
bool rows_present(double *const *a, size_t n)
{
    bool rows = n == 0 || a != nullptr;
    for (size_t i = 0; rows && i < n; ++i)
        rows = a[i] != nullptr;
    return rows;
}

// MTRX_ENONFINITE naming the first NaN or infinity of the system a (with
// its constants in column n, or in b), or MTRX_OK with err untouched.
mtrx_status refuse_non_finite(double *const *a, const double *b, size_t n, mtrx_error *err)
{
    const element_place p = first_non_finite(a, b, n);
    if (!p.found)
        return MTRX_OK;
    const double v = b && p.column == n ? b[p.row] : a[p.row][p.column];
    return set_error_msg(err, MTRX_ENONFINITE, p.row, 0, 0,
                         "Invalid Input: row %zu, column %zu holds %s.", p.row, p.column,
                         std::isnan(v) ? "a NaN" : "an infinity");
}
} // namespace

namespace mtrx_detail {

mtrx_status reduce_rows(double **a, double *b, size_t n)
{
    return rows_present(a, n) ? status_of(gj_reduce(a, b, n)) : MTRX_EINVAL;
}

} // namespace mtrx_detail

extern "C" mtrx_status mtrx_reduce(double **a, double *b, size_t n, mtrx_error *err)
{
    if (!rows_present(a, n))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null row array or row.");
    if (const mtrx_status bad = refuse_non_finite(a, b, n, err); bad != MTRX_OK)
        return bad;
    return set_error(err, status_of(gj_reduce(a, b, n)));
}

namespace {

// Column n of the n x (n + 1) rows a as a new vector, or null.
double *column_of(double *const *a, std::size_t n)
{
    double *v = new_vector(n);
    if (v)
        for (std::size_t i = 0; i < n; ++i)
            v[i] = a[i][n];
    return v;
}

// One elimination of the columns of a system: how they were scaled, the
// scaled system [S C] when it was kept (for the diagnostics), and the
// reduced copy: the inverse of S in its n x n block (when it was asked for),
// the scaled solutions in columns n...
struct eliminated {
    system_scaling scaling;
    double **scaled = nullptr;
    double **reduced = nullptr;
    std::size_t n = 0;

    ~eliminated() { release(); }
    void release()
    {
        arr2d_free(reduced, n);
        arr2d_free(scaled, n);
        reduced = scaled = nullptr;
    }
};

bool column_finite(double *const *a, std::size_t n, std::size_t col)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(a[i][col]))
            return false;
    return true;
}

// s eliminated on a copy as e.scaling plans it. With `keep_scaled`, [S C]
// is kept too, unless it stands unscaled in s's own rows (an augmented
// system). MTRX_ESINGULAR for a zero pivot.
mtrx_status eliminate_as_planned(const system_ref &s, eliminated &e, bool keep_scaled,
                                 bool inverse)
{
    const std::size_t n = e.n = s.n, w = n + s.k;
    e.release();
    alloc_fault fault;
    const bool in_rows = s.b == s.a && s.b_at == n && s.k == 1 && !s.picked;
    if (e.scaling.how() == system_scaling::kind::none && !(keep_scaled && !in_rows)) {
        e.reduced = filled_array(n, w, fault, [&](std::size_t i, std::size_t j) {
            return j < n ? s.a[i][j] : s.rhs(i, j - n);
        });
    } else {
        e.scaled = e.scaling.scaled(s, fault);
        if (!e.scaled)
            return MTRX_ENOMEM;
        e.reduced = keep_scaled ? copy_array(e.scaled, n, w, fault)
                                : std::exchange(e.scaled, nullptr);
    }
    if (!e.reduced)
        return MTRX_ENOMEM;
    return status_of(gj_reduce_many(e.reduced, n, s.k, inverse));
}

// The systems [A | b_c] of s (which picks no columns) eliminated together,
// as scaling.h plans them, and once more together under the full scaling
// those whose solution came out not finite.
struct elimination {
    eliminated first, again;
    std::size_t *retried = nullptr; // the columns `again` holds, ascending
    std::size_t retries = 0;
    mtrx_status again_status = MTRX_OK;

    elimination() = default;
    elimination(const elimination &) = delete;
    elimination &operator=(const elimination &) = delete;
    ~elimination() { std::free(retried); }

    // Where column c's solution stands: the elimination, its column there,
    // and whether that elimination solved it.
    struct place {
        const eliminated *e;
        std::size_t at;
        mtrx_status st;
    };
    place of(std::size_t c) const
    {
        const std::size_t *begin = retried, *end = retried + retries;
        const std::size_t *at = std::lower_bound(begin, end, c);
        if (at != end && *at == c)
            return {&again, static_cast<std::size_t>(at - retried), again_status};
        return {&first, c, MTRX_OK};
    }
};

mtrx_status eliminate(const system_ref &s, const system_survey &sv, elimination &el,
                      bool keep_scaled, bool inverse)
{
    const std::size_t n = s.n;
    if (!el.first.scaling.plan(s, sv, elimination_band))
        return MTRX_ENOMEM;
    if (const mtrx_status st = eliminate_as_planned(s, el.first, keep_scaled, inverse);
        st != MTRX_OK || el.first.scaling.how() == system_scaling::kind::full)
        return st;
    std::size_t count = 0;
    for (std::size_t c = 0; c < s.k; ++c)
        count += !column_finite(el.first.reduced, n, n + c);
    if (count == 0)
        return MTRX_OK;
    el.retried = static_cast<std::size_t *>(lib_calloc(count, sizeof(std::size_t)));
    if (!el.retried)
        return MTRX_ENOMEM;
    for (std::size_t c = 0; c < s.k; ++c)
        if (!column_finite(el.first.reduced, n, n + c))
            el.retried[el.retries++] = c;
    system_ref sub = s;
    sub.k = count;
    sub.picked = el.retried;
    if (!el.again.scaling.plan_full(sub))
        return MTRX_ENOMEM;
    el.again_status = eliminate_as_planned(sub, el.again, keep_scaled, inverse);
    return el.again_status == MTRX_ENOMEM ? MTRX_ENOMEM : MTRX_OK;
}

// Column c's solution through put(i, x_i), x_i the scaling's image of y_i;
// a NaN is MTRX_ESINGULAR and an infinity MTRX_ERANGE, with its place in
// *bad.
template <class Put>
mtrx_status column_solution(const elimination &el, std::size_t c, Put put, std::size_t &bad)
{
    const elimination::place p = el.of(c);
    if (p.st != MTRX_OK)
        return p.st;
    const std::size_t n = p.e->n;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = p.e->scaling.solution(p.e->reduced[i][n + p.at], i, p.at);
        if (!std::isfinite(v)) {
            bad = i;
            return std::isnan(v) ? MTRX_ESINGULAR : MTRX_ERANGE;
        }
        put(i, v);
    }
    return MTRX_OK;
}

// Column c's solution as a new vector in *x.
mtrx_status solution_vector(const elimination &el, std::size_t c, std::size_t n, double **x,
                            std::size_t &bad)
{
    double *v = new_vector(n);
    if (!v)
        return MTRX_ENOMEM;
    const mtrx_status st = column_solution(el, c, [&](std::size_t i, double y) { v[i] = y; }, bad);
    if (st != MTRX_OK) {
        std::free(v);
        return st;
    }
    *x = v;
    return MTRX_OK;
}

// x_j = the scaling's image of y(j), as a new vector in *x; a NaN is
// MTRX_ESINGULAR and an infinity MTRX_ERANGE, with its place in *bad.
template <class Y>
mtrx_status solution_from(Y y, const system_scaling &sc, std::size_t n, double **x,
                          std::size_t &bad)
{
    double *v = new_vector(n);
    if (!v)
        return MTRX_ENOMEM;
    for (std::size_t j = 0; j < n; ++j) {
        v[j] = sc.solution(y(j), j);
        if (!std::isfinite(v[j])) {
            bad = j;
            const bool nan = std::isnan(v[j]);
            std::free(v);
            return nan ? MTRX_ESINGULAR : MTRX_ERANGE;
        }
    }
    *x = v;
    return MTRX_OK;
}

// (with the inverse, as mtrx_solve_gj makes it: the checked solve's cost is
// measured against this one's)
mtrx_status solve_by_elimination(const mtrx_t *m, const system_survey &sv, double **x,
                                 std::size_t &bad)
{
    elimination el;
    const mtrx_status st = eliminate(augmented(m->mtrx, m->rows), sv, el, false, true);
    return st == MTRX_OK ? solution_vector(el, 0, m->rows, x, bad) : st;
}

// The augmented system m by cofactors, on the system as scaling.h plans it
// for this method (its coefficients read in place when unscaled, as the
// method reads no column past rows - 1), and once more under the full
// scaling when the solution is not finite.
mtrx_status solve_by_cofactor_method(const mtrx_t *m, const system_survey &sv, double **x,
                                     std::size_t &bad)
{
    const std::size_t n = m->rows;
    system_scaling sc;
    if (!sc.plan(m->mtrx, n, sv, cofactor_band(n)))
        return MTRX_ENOMEM;
    for (;;) {
        alloc_fault fault;
        double **sys = nullptr;
        if (sc.how() != system_scaling::kind::none && !(sys = sc.scaled(m->mtrx, fault)))
            return MTRX_ENOMEM;
        double *const *rows = sys ? sys : m->mtrx;
        double *b = column_of(rows, n), *y = nullptr;
        mtrx_status st = b ? solve_by_cofactors(rows, b, n, &y, fault) : MTRX_ENOMEM;
        std::free(b);
        arr2d_free(sys, n);
        if (st != MTRX_OK)
            return st;
        bool finite = true;
        for (std::size_t j = 0; j < n; ++j)
            finite = finite && std::isfinite(y[j]);
        if (finite || sc.how() == system_scaling::kind::full || cofactor_band(n).reach == 0) {
            st = solution_from([=](std::size_t j) { return y[j]; }, sc, n, x, bad);
            std::free(y);
            return st;
        }
        std::free(y);
        if (!sc.plan_full(m->mtrx, n))
            return MTRX_ENOMEM;
    }
}

// err for st, with the place of an element that is out of range.
mtrx_status report(mtrx_error *err, mtrx_status st, std::size_t bad)
{
    if (st == MTRX_ERANGE)
        return set_error_msg(err, st, bad, 0, 0,
                             "Out of range: element %zu of the solution is too large for a double.",
                             bad);
    return set_error(err, st);
}

} // namespace

namespace {

// The system solvers' frame: the arguments, the refusal of a NaN or an
// infinity, then the method and its report.
template <class Method>
mtrx_status solve_system_by(Method method, const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    const system_survey sv = survey(m->mtrx, m->rows);
    if (!sv.finite)
        return refuse_non_finite(m->mtrx, nullptr, m->rows, err);
    std::size_t at = 0;
    const mtrx_status st = method(m, sv, x, at);
    return report(err, st, at);
}

} // namespace

extern "C" mtrx_status mtrx_solve_system(const mtrx_t *m, double **x, mtrx_error *err)
{
    return solve_system_by(solve_by_elimination, m, x, err);
}

extern "C" mtrx_status mtrx_solve_system_cofactor(const mtrx_t *m, double **x, mtrx_error *err)
{
    return solve_system_by(solve_by_cofactor_method, m, x, err);
}

extern "C" mtrx_status mtrx_solve_checked(const mtrx_t *m, unsigned flags, double **x,
                                          mtrx_solve_info *info, mtrx_error *err)
{
    mtrx_solve_info unused;
    mtrx_solve_info &out = info ? *info : unused;
    out = no_solution_info();
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    if (flags & ~unsigned(MTRX_REFINE | MTRX_COFACTOR))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: unknown flags 0x%x.",
                             flags & ~unsigned(MTRX_REFINE | MTRX_COFACTOR));
    const system_survey sv = survey(m->mtrx, m->rows);
    if (!sv.finite)
        return refuse_non_finite(m->mtrx, nullptr, m->rows, err);
    // The diagnostics come from elimination's inverse whatever the method:
    // the adjugate over the determinant is no inverse to judge by.
    const std::size_t n = m->rows;
    const system_ref s = augmented(m->mtrx, n);
    std::size_t at = 0;
    elimination el;
    bool inverse = true;
    mtrx_status st;
    if (flags & MTRX_COFACTOR) {
        st = solve_by_cofactor_method(m, sv, x, at);
        if (st == MTRX_OK) {
            const mtrx_status inv = eliminate(s, sv, el, true, true);
            inverse = inv == MTRX_OK && el.of(0).st == MTRX_OK;
            if (inv == MTRX_ENOMEM)
                st = MTRX_ENOMEM;
        }
    } else {
        st = eliminate(s, sv, el, true, true);
        if (st == MTRX_OK)
            st = solution_vector(el, 0, n, x, at);
    }
    if (st == MTRX_OK) {
        const elimination::place p = el.of(0);
        const checked_system sys{m->mtrx, p.e->scaled ? p.e->scaled : m->mtrx,
                                 inverse ? p.e->reduced : nullptr, p.e->scaling, p.at};
        if (!check_solution(sys, *x, n, flags & MTRX_REFINE, out))
            st = MTRX_ENOMEM;
    }
    if (st != MTRX_OK) {
        out = no_solution_info();
        std::free(*x);
        *x = nullptr;
    }
    return report(err, st, at);
}

namespace {

// The arguments of the many-column solvers: MTRX_OK, err untouched, when A
// is square, B has its rows and X can be made; *x cleared.
mtrx_status check_many(const mtrx_t *a, const mtrx_t *b, mtrx_t **x, mtrx_error *err)
{
    if (x)
        *x = nullptr;
    if (!x || !a || !b)
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null record or result pointer.");
    const std::size_t n = a->rows;
    if (a->cols != n || (!a->mtrx && n != 0) || (!b->mtrx && b->rows != 0))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a %zu x %zu record is no square matrix.", n,
                             a->cols);
    if (b->rows != n)
        return set_error_msg(err, MTRX_ESHAPE, 0, 0, 0,
                             "Unequal dimensions, (%zu x %zu) and (%zu x %zu): B must have as "
                             "many rows as A.",
                             n, a->cols, b->rows, b->cols);
    if (b->cols > SIZE_MAX / 2 / sizeof(double) - n)
        return set_error(err, MTRX_ENOMEM);
    return MTRX_OK;
}

// A X = B by one elimination; `checked`: the inverse too, and each
// column's diagnostics (in info[c] when info is not null), refined as
// flags ask.
mtrx_status solve_many(const mtrx_t *a, const mtrx_t *b, unsigned flags, bool checked, mtrx_t **x,
                       mtrx_solve_info *info, mtrx_error *err)
{
    if (const mtrx_status bad = check_many(a, b, x, err); bad != MTRX_OK)
        return bad;
    const std::size_t n = a->rows, k = b->cols;
    for (std::size_t c = 0; info && c < k; ++c)
        info[c] = no_solution_info();
    if (flags & MTRX_COFACTOR)
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: the cofactor method solves one column at a time.");
    if (flags & ~unsigned(MTRX_REFINE))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: unknown flags 0x%x.",
                             flags & ~unsigned(MTRX_REFINE));
    const system_ref s{a->mtrx, b->mtrx, 0, n, k};
    const system_survey sv = survey(s);
    if (!sv.finite) {
        const element_place p = first_non_finite(s);
        const double v = p.column < n ? a->mtrx[p.row][p.column] : s.rhs(p.row, p.column - n);
        return set_error_msg(err, MTRX_ENONFINITE, p.row, 0, 0,
                             "Invalid Input: row %zu, column %zu holds %s.", p.row, p.column,
                             std::isnan(v) ? "a NaN" : "an infinity");
    }
    elimination el;
    mtrx_status st = eliminate(s, sv, el, checked, checked);
    alloc_fault fault;
    mtrx_t *out = st == MTRX_OK ? new_preallocated_record(n, k, fault) : nullptr;
    double *v = st == MTRX_OK && checked ? new_vector(n) : nullptr;
    if (st == MTRX_OK && (!out || (checked && !v)))
        st = MTRX_ENOMEM;
    // Column by column; the first that fails decides.
    std::size_t failed = 0, at = 0;
    for (std::size_t c = 0; st == MTRX_OK && c < k; ++c) {
        st = column_solution(el, c, [&](std::size_t i, double y) { out->mtrx[i][c] = y; }, at);
        failed = c;
        if (st != MTRX_OK || !checked)
            continue;
        // (x gathered, judged, refined, and put back)
        for (std::size_t i = 0; i < n; ++i)
            v[i] = out->mtrx[i][c];
        const elimination::place p = el.of(c);
        const checked_system sys{a->mtrx, p.e->scaled, p.e->reduced, p.e->scaling, p.at};
        mtrx_solve_info unused;
        if (!check_solution(sys, v, n, flags & MTRX_REFINE, info ? info[c] : unused))
            st = MTRX_ENOMEM;
        for (std::size_t i = 0; i < n; ++i)
            out->mtrx[i][c] = v[i];
    }
    std::free(v);
    if (st != MTRX_OK) {
        mtrx_free(out);
        for (std::size_t c = 0; info && c < k; ++c)
            info[c] = no_solution_info();
        if (st == MTRX_ERANGE)
            return set_error_msg(err, st, at, 0, 0,
                                 "Out of range: element %zu of solution column %zu is too large "
                                 "for a double.",
                                 at, failed);
        return set_error(err, st);
    }
    out->rows = n;
    out->cols = k;
    *x = out;
    return set_error(err, MTRX_OK);
}

} // namespace

extern "C" mtrx_status mtrx_solve_many(const mtrx_t *a, const mtrx_t *b, mtrx_t **x,
                                       mtrx_error *err)
{
    return solve_many(a, b, 0, false, x, nullptr, err);
}

extern "C" mtrx_status mtrx_solve_many_checked(const mtrx_t *a, const mtrx_t *b, unsigned flags,
                                               mtrx_t **x, mtrx_solve_info *info,
                                               mtrx_error *err)
{
    return solve_many(a, b, flags, true, x, info, err);
}
