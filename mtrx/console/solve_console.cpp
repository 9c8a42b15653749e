// The console forms of the Gauss-Jordan solvers: guassj and guassj_vec (the
// core's elimination, which takes NaN and infinities as they come, then its
// message), solving an augmented record on a copy, mtrx_solve_gj and
// mtrx_solution; and swap_dbl.
#include <mtrx/mtrx.h>

#include "core/base/storage.h"
#include "core/gj/gj.h"
#include "messages.h"

using namespace mtrx_detail;

namespace {

// The elimination of the n rows of `a` (constants in column n, or in b),
// then its message; false when memory ran out. Without all its rows there
// is nothing to eliminate, and nothing is said.
bool reduce_and_report(double **a, double *b, std::size_t n)
{
    if (!rows_present(a, n))
        return true;
    const gj_status st = gj_reduce(a, b, n);
    if (st == gj_status::singular)
        mtrx_console::singular();
    else if (st == gj_status::no_memory)
        mtrx_console::elimination_out_of_memory();
    return st != gj_status::no_memory;
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

extern "C" void guassj(double **a, size_t n) { reduce_and_report(a, nullptr, n); }

extern "C" void guassj_vec(double **a, double *b, size_t n) { reduce_and_report(a, b, n); }

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
    if (!reduce_and_report(c->mtrx, nullptr, c->rows)) {
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

extern "C" void swap_dbl(double *a, double *b)
{
    double t = *a;
    *a = *b;
    *b = t;
}
