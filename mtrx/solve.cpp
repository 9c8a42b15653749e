// Gauss-Jordan elimination as a status (mtrx_reduce, which guassj and
// guassj_vec speak for), and solving an augmented record without touching
// it: a reduced copy and the solution column taken out of such a copy, or the
// solution alone as a status.
#include <cstdio>
#include <cstdlib>

#include "internal.h"

using namespace mtrx_detail;

namespace {
const char *const unknown = "<unknown>";

// The method needs at least one column more than there are rows.
bool too_narrow(const mtrx_t *m)
{
    if (m->cols > m->rows)
        return false;
    say("%s() error: invalid mtrx_t size (cols <= rows)\n", unknown);
    return true;
}
} // namespace

extern "C" mtrx_t *mtrx_solve_gj(const mtrx_t *m)
{
    if (too_narrow(m))
        return nullptr;
    mtrx_t *c = mtrx_copy(m);
    if (!c)
        return nullptr;
    guassj(c->mtrx, c->rows);
    return c;
}

extern "C" double *mtrx_solution(const mtrx_t *m)
{
    if (too_narrow(m))
        return nullptr;
    auto *x = static_cast<double *>(lib_calloc(m->rows ? m->rows : 1, sizeof(double)));
    if (!x) {
        say("%s() error: memory exhausted calloc-sol.\n", unknown);
        return nullptr;
    }
    for (size_t i = 0; i < m->rows; ++i)
        x[i] = m->mtrx[i][m->rows];
    return x;
}

extern "C" mtrx_status mtrx_reduce(double **a, double *b, size_t n, mtrx_error *err)
{
    quiet_scope quiet;
    if (n != 0) {
        bool rows = a != nullptr;
        for (size_t i = 0; rows && i < n; ++i)
            rows = a[i] != nullptr;
        if (!rows)
            return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                                 "Invalid argument: a null row array or row.");
    }
    switch (gj_reduce(a, b, n)) {
    case gj_status::singular:
        return set_error(err, MTRX_ESINGULAR);
    case gj_status::no_memory:
        return set_error(err, MTRX_ENOMEM);
    case gj_status::solved:
        break;
    }
    return set_error(err, MTRX_OK);
}

extern "C" mtrx_status mtrx_solve_system(const mtrx_t *m, double **x, mtrx_error *err)
{
    quiet_scope quiet;
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    const size_t n = m->rows;

    // The copy that mtrx_solve_gj reduces, and its last column.
    mtrx_t *c = mtrx_copy(m);
    mtrx_status st = c ? mtrx_reduce(c->mtrx, nullptr, n, nullptr) : MTRX_ENOMEM;
    if (st == MTRX_OK && !(*x = mtrx_solution(c)))
        st = MTRX_ENOMEM;
    mtrx_free(c);
    return set_error(err, st);
}


namespace {
void report(mtrx_status st)
{
    if (st == MTRX_ESINGULAR)
        say("guassj() error: singular matrix.\n");
    else if (st == MTRX_ENOMEM)
        say("guassj() error: virtual memory exhausted.\n");
}
} // namespace

extern "C" void guassj(double **a, size_t n) { report(mtrx_reduce(a, nullptr, n, nullptr)); }

extern "C" void guassj_vec(double **a, double *b, size_t n)
{
    report(mtrx_reduce(a, b, n, nullptr));
}

extern "C" void swap_dbl(double *a, double *b)
{
    double t = *a;
    *a = *b;
    *b = t;
}