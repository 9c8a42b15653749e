// The elimination the status layer's system solvers share: the systems
// [A | b_c] of a record eliminated together as scaling.h plans them, and
// each column's solution read back through its scaling.
#ifndef MTRX_STATUS_ELIMINATION_H
#define MTRX_STATUS_ELIMINATION_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/checked/scaling.h"
#include "core/gj/gj.h"

namespace mtrx_detail {

// The status of an elimination's outcome.
mtrx_status status_of(gj_status g);

// One elimination of the columns of a system: how they were scaled, the
// scaled system [S C] when it was kept (for the diagnostics), and the
// reduced copy: the inverse of S in its n x n block (when it was asked for),
// the scaled solutions in columns n...
struct eliminated {
    system_scaling scaling;
    double **scaled = nullptr;
    double **reduced = nullptr;
    std::size_t n = 0;

    ~eliminated() { release(); }
    void release()
    {
        arr2d_free(reduced, n);
        arr2d_free(scaled, n);
        reduced = scaled = nullptr;
    }
};

// The systems [A | b_c] of s (which picks no columns) eliminated together,
// as scaling.h plans them, and once more together under the full scaling
// those whose solution came out not finite.
struct elimination {
    eliminated first, again;
    std::size_t *retried = nullptr; // the columns `again` holds, ascending
    std::size_t retries = 0;
    mtrx_status again_status = MTRX_OK;

    elimination() = default;
    elimination(const elimination &) = delete;
    elimination &operator=(const elimination &) = delete;
    ~elimination() { std::free(retried); }

    // Where column c's solution stands: the elimination, its column there,
    // and whether that elimination solved it.
    struct place {
        const eliminated *e;
        std::size_t at;
        mtrx_status st;
    };
    place of(std::size_t c) const
    {
        const std::size_t *begin = retried, *end = retried + retries;
        const std::size_t *at = std::lower_bound(begin, end, c);
        if (at != end && *at == c)
            return {&again, static_cast<std::size_t>(at - retried), again_status};
        return {&first, c, MTRX_OK};
    }
};

// s eliminated as `elimination` says; with `keep_scaled`, each [S C] kept
// for the diagnostics, with `inverse` the inverse made too.
mtrx_status eliminate(const system_ref &s, const system_survey &sv, elimination &el,
                      bool keep_scaled, bool inverse);

// Column c's solution through put(i, x_i), x_i the scaling's image of y_i;
// a NaN is MTRX_ESINGULAR and an infinity MTRX_ERANGE, with its place in
// *bad.
template <class Put>
mtrx_status column_solution(const elimination &el, std::size_t c, Put put, std::size_t &bad)
{
    const elimination::place p = el.of(c);
    if (p.st != MTRX_OK)
        return p.st;
    const std::size_t n = p.e->n;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = p.e->scaling.solution(p.e->reduced[i][n + p.at], i, p.at);
        if (!std::isfinite(v)) {
            bad = i;
            return std::isnan(v) ? MTRX_ESINGULAR : MTRX_ERANGE;
        }
        put(i, v);
    }
    return MTRX_OK;
}

} // namespace mtrx_detail

#endif
