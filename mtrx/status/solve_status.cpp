// The solvers as statuses: mtrx_reduce (Gauss-Jordan elimination in place),
// and the solution of an augmented record, by elimination on a copy
// (mtrx_solve_system) or by cofactors (mtrx_solve_system_cofactor), and
// either of them with its diagnostics and refinement (mtrx_solve_checked).
// (A X = B for many columns of B in one elimination: solve_many.cpp; the
// elimination both use: elimination.h.)
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

#include "core/base/arith.h"
#include "core/cofactor/cofactor.h"
#include "core/gj/gj.h"
#include "core/checked/scaling.h"
#include "core/checked/solution_check.h"
#include "core/base/owned.h"
#include "core/base/storage.h"
#include "elimination.h"
#include "status.h"

using namespace mtrx_detail;

namespace {
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
        owned<double> y;
        {
            owned_rows sys = own_rows(nullptr, n);
            if (sc.how() != system_scaling::kind::none &&
                !(sys = own_rows(sc.scaled(m->mtrx, fault), n)))
                return MTRX_ENOMEM;
            double *const *rows = sys ? sys.get() : m->mtrx;
            const owned<double> b(column_of(rows, n));
            double *solved = nullptr;
            const mtrx_status st = b ? solve_by_cofactors(rows, b.get(), n, &solved, fault)
                                     : MTRX_ENOMEM;
            if (st != MTRX_OK)
                return st;
            y.reset(solved);
        }
        const double *v = y.get();
        bool finite = true;
        for (std::size_t j = 0; j < n; ++j)
            finite = finite && std::isfinite(v[j]);
        if (finite || sc.how() == system_scaling::kind::full || cofactor_band(n).reach == 0)
            return solution_from([=](std::size_t j) { return v[j]; }, sc, n, x, bad);
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
