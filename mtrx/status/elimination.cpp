// The shared elimination of the status layer's solvers (elimination.h).
#include "elimination.h"

#include <utility>

#include "core/base/alloc.h"
#include "core/base/arith.h"
#include "core/base/storage.h"

namespace mtrx_detail {

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

namespace {

bool column_finite(double *const *a, std::size_t n, std::size_t col)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(a[i][col]))
            return false;
    return true;
}

// s eliminated on a copy as e.scaling plans it. With `keep_scaled`, [S C]
// is kept too, unless it stands unscaled in s's own rows (an augmented
// system). MTRX_ESINGULAR for a zero pivot.
mtrx_status eliminate_as_planned(const system_ref &s, eliminated &e, bool keep_scaled,
                                 bool inverse)
{
    const std::size_t n = e.n = s.n, w = n + s.k;
    e.release();
    alloc_fault fault;
    const bool in_rows = s.b == s.a && s.b_at == n && s.k == 1 && !s.picked;
    if (e.scaling.how() == system_scaling::kind::none && !(keep_scaled && !in_rows)) {
        e.reduced = filled_array(n, w, fault, [&](std::size_t i, std::size_t j) {
            return j < n ? s.a[i][j] : s.rhs(i, j - n);
        });
    } else {
        e.scaled = e.scaling.scaled(s, fault);
        if (!e.scaled)
            return MTRX_ENOMEM;
        e.reduced = keep_scaled ? copy_array(e.scaled, n, w, fault)
                                : std::exchange(e.scaled, nullptr);
    }
    if (!e.reduced)
        return MTRX_ENOMEM;
    return status_of(gj_reduce_many(e.reduced, n, s.k, inverse));
}

} // namespace

mtrx_status eliminate(const system_ref &s, const system_survey &sv, elimination &el,
                      bool keep_scaled, bool inverse)
{
    const std::size_t n = s.n;
    if (!el.first.scaling.plan(s, sv, elimination_band))
        return MTRX_ENOMEM;
    if (const mtrx_status st = eliminate_as_planned(s, el.first, keep_scaled, inverse);
        st != MTRX_OK || el.first.scaling.how() == system_scaling::kind::full)
        return st;
    std::size_t count = 0;
    for (std::size_t c = 0; c < s.k; ++c)
        count += !column_finite(el.first.reduced, n, n + c);
    if (count == 0)
        return MTRX_OK;
    el.retried = static_cast<std::size_t *>(lib_calloc(count, sizeof(std::size_t)));
    if (!el.retried)
        return MTRX_ENOMEM;
    for (std::size_t c = 0; c < s.k; ++c)
        if (!column_finite(el.first.reduced, n, n + c))
            el.retried[el.retries++] = c;
    system_ref sub = s;
    sub.k = count;
    sub.picked = el.retried;
    if (!el.again.scaling.plan_full(sub))
        return MTRX_ENOMEM;
    el.again_status = eliminate_as_planned(sub, el.again, keep_scaled, inverse);
    return el.again_status == MTRX_ENOMEM ? MTRX_ENOMEM : MTRX_OK;
}

} // namespace mtrx_detail
