// The solvers as statuses: mtrx_reduce (Gauss-Jordan elimination in place),
// and the solution of an augmented record, by elimination on a copy
// (mtrx_solve_system) or by cofactors (mtrx_solve_system_cofactor), and
// either of them with its diagnostics and refinement (mtrx_solve_checked).
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/cofactor.h"
#include "core/gj.h"
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
} // namespace

extern "C" mtrx_status mtrx_reduce(double **a, double *b, size_t n, mtrx_error *err)
{
    if (n != 0) {
        bool rows = a != nullptr;
        for (size_t i = 0; rows && i < n; ++i)
            rows = a[i] != nullptr;
        if (!rows)
            return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                                 "Invalid argument: a null row array or row.");
    }
    return set_error(err, status_of(gj_reduce(a, b, n)));
}

namespace {

// A copy of the augmented system m reduced in place (its n x n block the
// inverse, column n the solution), or null with the status in *st.
mtrx_t *reduced_copy(const mtrx_t *m, mtrx_status &st)
{
    alloc_fault fault;
    mtrx_t *c = copy_record(m, fault);
    st = c ? status_of(gj_reduce(c->mtrx, nullptr, m->rows)) : MTRX_ENOMEM;
    if (st != MTRX_OK) {
        mtrx_free(c);
        return nullptr;
    }
    return c;
}

// Column n of the n x (n + 1) rows a as a new vector, or null.
double *column_of(double *const *a, std::size_t n)
{
    double *v = new_vector(n);
    if (v)
        for (std::size_t i = 0; i < n; ++i)
            v[i] = a[i][n];
    return v;
}

// The cofactor solver on the augmented system m; with `inverse`, the
// inverse it formed the solution from is handed out too.
mtrx_status cofactor_solution(const mtrx_t *m, double **x, double ***inverse)
{
    // The coefficients are read in place, as the method reads no column
    // past rows - 1.
    const size_t n = m->rows;
    double *b = column_of(m->mtrx, n);
    if (!b)
        return MTRX_ENOMEM;
    alloc_fault fault;
    const mtrx_status st = solve_by_cofactors(m->mtrx, b, n, x, fault, inverse);
    std::free(b);
    return st;
}

} // namespace

extern "C" mtrx_status mtrx_solve_system(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    mtrx_status st;
    mtrx_t *c = reduced_copy(m, st);
    if (c) {
        *x = column_of(c->mtrx, m->rows);
        st = *x ? MTRX_OK : MTRX_ENOMEM;
    }
    mtrx_free(c);
    return set_error(err, st);
}

extern "C" mtrx_status mtrx_solve_system_cofactor(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    return set_error(err, cofactor_solution(m, x, nullptr));
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
    const size_t n = m->rows;

    // The solution and the inverse it came from: the reduced copy's block,
    // or the cofactor solver's own array.
    mtrx_t *c = nullptr;
    double **cofactor_inverse = nullptr;
    mtrx_status st;
    if (flags & MTRX_COFACTOR) {
        st = cofactor_solution(m, x, &cofactor_inverse);
    } else {
        c = reduced_copy(m, st);
        if (c) {
            *x = column_of(c->mtrx, n);
            st = *x ? MTRX_OK : MTRX_ENOMEM;
        }
    }
    if (st == MTRX_OK) {
        double *const *inverse = c ? c->mtrx : cofactor_inverse;
        mtrx_solve_info found;
        if (check_solution(m->mtrx, inverse, *x, n, flags & MTRX_REFINE, found)) {
            out = found;
        } else {
            std::free(*x);
            *x = nullptr;
            st = MTRX_ENOMEM;
        }
    }
    arr2d_free(cofactor_inverse, n);
    mtrx_free(c);
    return set_error(err, st);
}
