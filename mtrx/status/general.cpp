// Systems of any shape as statuses: mtrx_rref and mtrx_solve_general.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/base/owned.h"

#include "core/rref/rref.h"
#include "core/base/storage.h"
#include "status.h"

using namespace mtrx_detail;

namespace {

bool finite_rows(const double *const *a, std::size_t rows, std::size_t cols)
{
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < cols; ++j)
            if (!std::isfinite(a[i][j]))
                return false;
    return true;
}

mtrx_status not_finite(mtrx_error *err)
{
    return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                         "Invalid argument: the record holds a NaN or an infinity.");
}

mtrx_status overflowed(mtrx_error *err)
{
    return set_error_msg(err, MTRX_ERANGE, 0, 0, 0,
                         "Out of range: the elimination left the range of a double.");
}

} // namespace

extern "C" mtrx_status mtrx_rref(const mtrx_t *m, double tol, mtrx_t **out, size_t **pivots,
                                 size_t *rank, mtrx_error *err)
{
    if (out)
        *out = nullptr;
    if (pivots)
        *pivots = nullptr;
    if (rank)
        *rank = 0;
    if (!m || !out || !pivots || !rank || (!m->mtrx && m->rows != 0))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null record or result pointer.");
    if (std::isnan(tol))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: a NaN tolerance.");
    if (!finite_rows(m->mtrx, m->rows, m->cols))
        return not_finite(err);
    if (tol < 0)
        tol = rref_tolerance(m->mtrx, m->rows, m->cols);
    alloc_fault fault;
    owned_record r(copy_record(m, fault));
    const std::size_t most = m->rows < m->cols ? m->rows : m->cols;
    owned<size_t> piv(r ? static_cast<size_t *>(lib_calloc(most ? most : 1, sizeof(size_t)))
                        : nullptr);
    if (!piv)
        return set_error(err, MTRX_ENOMEM);
    bool overflow;
    const std::size_t k =
        reduce_to_rref(r->mtrx, r->rows, r->cols, tol, tol, piv.get(), overflow);
    if (overflow)
        return overflowed(err);
    *out = r.release();
    *pivots = piv.release();
    *rank = k;
    return set_error(err, MTRX_OK);
}

extern "C" mtrx_status mtrx_solve_general(const mtrx_t *m, mtrx_general_solution *g,
                                          mtrx_error *err)
{
    if (g)
        *g = {};
    if (!m || !g || (!m->mtrx && m->rows != 0))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null record or result pointer.");
    if (m->cols < 2 || m->cols == SIZE_MAX)
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a %zu x %zu record is no system (one unknown "
                             "and the constants at least).",
                             m->rows, m->cols);
    if (!finite_rows(m->mtrx, m->rows, m->cols))
        return not_finite(err);
    alloc_fault fault;
    switch (solve_general(m->mtrx, m->rows, m->cols - 1, *g, fault)) {
    case general_outcome::no_memory:
        *g = {};
        return set_error(err, MTRX_ENOMEM);
    case general_outcome::overflow:
        *g = {};
        return overflowed(err);
    case general_outcome::solved:
        break;
    }
    if (!g->consistent)
        return set_error_msg(err, MTRX_ENOSOLUTION, 0, 0, 0,
                             "No Solution - the equations are inconsistent (rank %zu; %zu with "
                             "the constants).",
                             g->rank, g->rank + 1);
    return set_error(err, MTRX_OK);
}
