// The console forms of the Gauss-Jordan solvers: guassj and guassj_vec (the
// status layer's elimination, which takes NaN and infinities as they come,
// then its message), and solving an augmented record on a copy,
// mtrx_solve_gj and mtrx_solution.
#include <mtrx/mtrx.h>

#include "core/storage.h"
#include "messages.h"
#include "status/status.h"

using namespace mtrx_detail;

namespace {

void report(mtrx_status st)
{
    if (st == MTRX_ESINGULAR)
        mtrx_console::singular();
    else if (st == MTRX_ENOMEM)
        mtrx_console::elimination_out_of_memory();
}

// The method needs at least one column more than there are rows.
bool too_narrow(const mtrx_t *m)
{
    if (m->cols > m->rows)
        return false;
    mtrx_console::too_narrow();
    return true;
}

} // namespace

extern "C" void guassj(double **a, size_t n) { report(reduce_rows(a, nullptr, n)); }

extern "C" void guassj_vec(double **a, double *b, size_t n)
{
    report(reduce_rows(a, b, n));
}

extern "C" mtrx_t *mtrx_solve_gj(const mtrx_t *m)
{
    if (too_narrow(m))
        return nullptr;
    alloc_fault fault;
    mtrx_t *c = copy_record(m, fault);
    if (!c) {
        mtrx_console::tell(fault);
        return nullptr;
    }
    // A singular matrix still gives the copy, reduced as far as elimination
    // got; an elimination without memory gives none (its copy would read as
    // a solution).
    const mtrx_status st = reduce_rows(c->mtrx, nullptr, c->rows);
    report(st);
    if (st == MTRX_ENOMEM) {
        mtrx_free(c);
        return nullptr;
    }
    return c;
}

extern "C" double *mtrx_solution(const mtrx_t *m)
{
    if (too_narrow(m))
        return nullptr;
    double *x = new_vector(m->rows);
    if (!x) {
        mtrx_console::solution_not_made();
        return nullptr;
    }
    for (size_t i = 0; i < m->rows; ++i)
        x[i] = m->mtrx[i][m->rows];
    return x;
}
