// A X = B for many columns of B in one elimination, as statuses:
// mtrx_solve_many, and with each column's diagnostics
// mtrx_solve_many_checked. Each column is solved as it would be alone (A's
// powers of two are common to all, each column has its own for b, and the
// columns that need the full scaling are eliminated once more together).
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/base/owned.h"
#include "core/base/storage.h"
#include "core/checked/scaling.h"
#include "core/checked/solution_check.h"
#include "elimination.h"
#include "status.h"

using namespace mtrx_detail;

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
    owned_record out(st == MTRX_OK ? new_preallocated_record(n, k, fault) : nullptr);
    const owned<double> column(st == MTRX_OK && checked ? new_vector(n) : nullptr);
    double *v = column.get();
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
    if (st != MTRX_OK) {
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
    *x = out.release();
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
