// The solvers as statuses: mtrx_reduce (Gauss-Jordan elimination in place),
// and the solution of an augmented record, by elimination on a copy
// (mtrx_solve_system) or by cofactors (mtrx_solve_system_cofactor), and
// either of them with its diagnostics and refinement (mtrx_solve_checked).
//
// A system holding a NaN or an infinity is refused before any work. The
// record's systems are solved as scaling.h plans: as they stand in the
// normal range, scaled by powers of two near its ends, and once more under
// the full scaling when a solution came out not finite. A solution element
// that is still NaN means a matrix singular to working precision
// (MTRX_ESINGULAR), an infinite one a solution beyond a double's range
// (MTRX_ERANGE).
#include <cmath>
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

// A system eliminated: how it was scaled, the scaled system when it was
// kept (for the diagnostics), and the reduced copy: the inverse of the
// scaled matrix in its n x n block, the scaled solution in column n.
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

// The augmented system m (of which sv is the survey) eliminated on a copy,
// as e.scaling plans, and once more under the full scaling when the
// solution is not finite. MTRX_ESINGULAR for a zero pivot.
mtrx_status eliminate(const mtrx_t *m, const system_survey &sv, eliminated &e, bool keep_scaled)
{
    const std::size_t n = e.n = m->rows;
    if (!e.scaling.plan(m->mtrx, n, sv, elimination_band))
        return MTRX_ENOMEM;
    for (;;) {
        e.release();
        alloc_fault fault;
        if (e.scaling.how() == system_scaling::kind::none) {
            e.reduced = copy_array(m->mtrx, n, n + 1, fault);
        } else {
            e.scaled = e.scaling.scaled(m->mtrx, fault);
            if (!e.scaled)
                return MTRX_ENOMEM;
            e.reduced = keep_scaled ? copy_array(e.scaled, n, n + 1, fault)
                                    : std::exchange(e.scaled, nullptr);
        }
        if (!e.reduced)
            return MTRX_ENOMEM;
        if (const mtrx_status st = status_of(gj_reduce(e.reduced, nullptr, n)); st != MTRX_OK)
            return st;
        if (e.scaling.how() == system_scaling::kind::full || column_finite(e.reduced, n, n))
            return MTRX_OK;
        if (!e.scaling.plan_full(m->mtrx, n))
            return MTRX_ENOMEM;
    }
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

// The solution left in column n of elimination's copy.
mtrx_status solution_of(const eliminated &e, double **x, std::size_t &bad)
{
    double *const *r = e.reduced;
    const std::size_t n = e.n;
    return solution_from([=](std::size_t j) { return r[j][n]; }, e.scaling, n, x, bad);
}

mtrx_status solve_by_elimination(const mtrx_t *m, const system_survey &sv, double **x,
                                 std::size_t &bad)
{
    eliminated e;
    const mtrx_status st = eliminate(m, sv, e, false);
    return st == MTRX_OK ? solution_of(e, x, bad) : st;
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
    std::size_t at = 0;
    eliminated e;
    bool inverse = true;
    mtrx_status st;
    if (flags & MTRX_COFACTOR) {
        st = solve_by_cofactor_method(m, sv, x, at);
        if (st == MTRX_OK) {
            const mtrx_status inv = eliminate(m, sv, e, true);
            inverse = inv == MTRX_OK;
            if (inv == MTRX_ENOMEM)
                st = MTRX_ENOMEM;
        }
    } else {
        st = eliminate(m, sv, e, true);
        if (st == MTRX_OK)
            st = solution_of(e, x, at);
    }
    if (st == MTRX_OK) {
        const checked_system sys{m->mtrx, e.scaled ? e.scaled : m->mtrx,
                                 inverse ? e.reduced : nullptr, e.scaling};
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
