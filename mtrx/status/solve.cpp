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

// Column n of the n x (n + 1) rows a as a new vector, or null.
double *column_of(double *const *a, std::size_t n)
{
    double *v = new_vector(n);
    if (v)
        for (std::size_t i = 0; i < n; ++i)
            v[i] = a[i][n];
    return v;
}

// The inverse a solution came from, released with it: the n x n block of
// the reduced copy, or the cofactor solver's own array.
struct inverse_of_solve {
    mtrx_t *copy = nullptr;
    double **array = nullptr;
    std::size_t n = 0;

    ~inverse_of_solve()
    {
        arr2d_free(array, n);
        mtrx_free(copy);
    }
    double *const *rows() const { return copy ? copy->mtrx : array; }
};

// The augmented system m solved by elimination on a copy, or by cofactors
// (whose coefficients are read in place, as the method reads no column past
// rows - 1): the solution in *x, and the inverse it came from in `inv`.
mtrx_status solve_augmented(const mtrx_t *m, bool cofactors, double **x, inverse_of_solve &inv)
{
    const size_t n = inv.n = m->rows;
    alloc_fault fault;
    if (cofactors) {
        double *b = column_of(m->mtrx, n);
        if (!b)
            return MTRX_ENOMEM;
        const mtrx_status st = solve_by_cofactors(m->mtrx, b, n, x, fault, &inv.array);
        std::free(b);
        return st;
    }
    inv.copy = copy_record(m, fault);
    if (!inv.copy)
        return MTRX_ENOMEM;
    if (const mtrx_status st = status_of(gj_reduce(inv.copy->mtrx, nullptr, n)); st != MTRX_OK)
        return st;
    *x = column_of(inv.copy->mtrx, n);
    return *x ? MTRX_OK : MTRX_ENOMEM;
}

} // namespace

extern "C" mtrx_status mtrx_solve_system(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    inverse_of_solve inv;
    return set_error(err, solve_augmented(m, false, x, inv));
}

extern "C" mtrx_status mtrx_solve_system_cofactor(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    inverse_of_solve inv;
    return set_error(err, solve_augmented(m, true, x, inv));
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
    inverse_of_solve inv;
    mtrx_status st = solve_augmented(m, flags & MTRX_COFACTOR, x, inv);
    if (st == MTRX_OK && !check_solution(m->mtrx, inv.rows(), *x, m->rows, flags & MTRX_REFINE, out)) {
        out = no_solution_info();
        std::free(*x);
        *x = nullptr;
        st = MTRX_ENOMEM;
    }
    return set_error(err, st);
}
