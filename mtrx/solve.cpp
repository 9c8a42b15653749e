// Solving an augmented record without touching it: a reduced copy, and the
// solution column taken out of such a copy.
#include <cstdio>

#include "internal.h"

using namespace mtrx_detail;

namespace {
const char *const unknown = "<unknown>";

// The method needs at least one column more than there are rows.
bool too_narrow(const mtrx_t *m)
{
    if (m->cols > m->rows)
        return false;
    std::fprintf(stderr, "%s() error: invalid mtrx_t size (cols <= rows)\n", unknown);
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
        std::fprintf(stderr, "%s() error: memory exhausted calloc-sol.\n", unknown);
        return nullptr;
    }
    for (size_t i = 0; i < m->rows; ++i)
        x[i] = m->mtrx[i][m->rows];
    return x;
}
