// The solvers as statuses: mtrx_reduce (Gauss-Jordan elimination in place),
// and the solution of an augmented record, by elimination on a copy
// (mtrx_solve_system) or by cofactors (mtrx_solve_system_cofactor).
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/cofactor.h"
#include "core/gj.h"
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

extern "C" mtrx_status mtrx_solve_system(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    const size_t n = m->rows;

    // A copy reduced in place, and its last column.
    alloc_fault fault;
    mtrx_t *c = copy_record(m, fault);
    mtrx_status st = c ? status_of(gj_reduce(c->mtrx, nullptr, n)) : MTRX_ENOMEM;
    if (st == MTRX_OK) {
        *x = new_vector(n);
        if (*x)
            for (size_t i = 0; i < n; ++i)
                (*x)[i] = c->mtrx[i][n];
        else
            st = MTRX_ENOMEM;
    }
    mtrx_free(c);
    return set_error(err, st);
}

extern "C" mtrx_status mtrx_solve_system_cofactor(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    // The constants as a vector of their own; the coefficients are read in
    // place, as the method reads no column past rows - 1.
    const size_t n = m->rows;
    double *b = new_vector(n);
    if (!b)
        return set_error(err, MTRX_ENOMEM);
    for (size_t i = 0; i < n; ++i)
        b[i] = m->mtrx[i][n];
    alloc_fault fault;
    const mtrx_status st = solve_by_cofactors(m->mtrx, b, n, x, fault);
    std::free(b);
    return set_error(err, st);
}
