// The console forms of the cofactor solver and its array helpers: the
// core's result, then the message of what failed, and the verdicts on
// systems without a unique nonzero solution on stdout; and the helpers that
// say nothing (vect_is_zero, arr2d_det, arr2d_transpose_inplace).
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/base/arith.h"
#include "core/cofactor/cofactor.h"
#include "core/base/owned.h"
#include "core/base/storage.h"
#include "messages.h"

using namespace mtrx_detail;

extern "C" double **arr2d_cofactor(double **a, size_t n)
{
    return mtrx_console::told([=](alloc_fault &f) { return cofactor_array(a, n, f); });
}

extern "C" double *arr2d_mult_vect(double **m, const double *v, size_t n)
{
    return mtrx_console::told([=](alloc_fault &f) { return times_vector(m, v, n, f); });
}

extern "C" double **arr2d_div_scalar(double **m, double x, size_t n)
{
    return mtrx_console::told([=](alloc_fault &f) { return divided_array(m, x, n, f); });
}

extern "C" int vect_is_zero(const double *v, size_t n) { return is_zero_vector(v, n) ? 1 : 0; }

extern "C" double arr2d_det(double **a, double **c, size_t n)
{
    return first_column_det(a, c, n);
}

extern "C" void arr2d_transpose_inplace(double **m, size_t n) { transpose_square(m, n); }

extern "C" double *mtrx_solve_cofactor(const mtrx_t *m, const double *b)
{
    if (m->rows != m->cols) {
        mtrx_console::not_square(m->rows, m->cols);
        return nullptr;
    }
    double *x;
    alloc_fault fault;
    switch (solve_by_cofactors(m->mtrx, b, m->rows, &x, fault)) {
    case MTRX_EINFINITE:
        mtrx_console::infinite_solutions();
        break;
    case MTRX_ENOSOLUTION:
        mtrx_console::no_solution();
        break;
    case MTRX_OK:
        if (is_zero_vector(x, m->rows)) {
            mtrx_console::trivial_solution();
            std::free(x);
            x = nullptr;
        }
        break;
    default:
        mtrx_console::tell(fault);
        break;
    }
    return x;
}

extern "C" double *mtrx_solve_cofactor_aug(const mtrx_t *m)
{
    // The coefficient block is rows x (cols - 1) and must be square. Checked
    // before anything is copied; a record without columns has no constant
    // column, and its block counts as rows x 0.
    const size_t ncoef = m->cols ? m->cols - 1 : 0;
    if (m->cols == 0 || ncoef != m->rows) {
        mtrx_console::not_square(m->rows, ncoef);
        return nullptr;
    }
    const owned_record c(static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t))));
    if (!c)
        return nullptr;
    alloc_fault fault;
    c->mtrx = copy_array(m->mtrx, m->rows, ncoef, fault);
    if (!c->mtrx) {
        mtrx_console::tell(fault);
        return nullptr;
    }
    c->rows = c->maxrows = m->rows;
    c->cols = c->maxcols = ncoef;

    const owned<double> v(new_vector(m->rows));
    if (!v) {
        mtrx_console::constants_not_made();
        return nullptr;
    }
    for (size_t i = 0; i < m->rows; ++i)
        v.get()[i] = m->mtrx[i][ncoef];
    return mtrx_solve_cofactor(c.get(), v.get());
}
