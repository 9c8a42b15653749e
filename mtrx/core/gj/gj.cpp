// Gauss-Jordan elimination with full pivoting: gj_reduce, which picks the
// path, and the path for small systems, which runs the plain steps on the
// caller's rows. Larger systems go to the working-array solver
// (gj_solver.h); both perform exactly the plain loop's operations on every
// element in the same order, so the bits are the plain loop's
// (docs/design/elimination.md).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"
#include "core/gj/gj.h"
#include "core/gj/gj_kernels.h"
#include "core/gj/gj_solver.h"
#include "core/tuning.h"

namespace mtrx_detail {

bool step_record::allocate(std::size_t n)
{
    auto zeros = [n] { return static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t))); };
    *this = {};
    pivot_col.reset(zeros());
    if (pivot_col)
        pivot_row.reset(zeros());
    if (pivot_row)
        times_pivoted.reset(zeros());
    if (times_pivoted)
        return true;
    *this = {};
    return false;
}

namespace {

// Small systems straight on the caller's rows: below a few dozen unknowns
// the working array, its copies and the per-step bookkeeping of the
// working-array solver cost more than they save. The steps are the plain ones, element by
// element, so the bits are the same either way.
gj_status reduce_in_place(double **a, double *b, std::size_t n, std::size_t k)
{
    step_record record;
    if (!record.allocate(n))
        return gj_status::no_memory;
    std::int32_t *const pivot_col = record.pivot_col.get();
    std::int32_t *const pivot_row = record.pivot_row.get();
    std::int32_t *const times_pivoted = record.times_pivoted.get();
    const std::size_t w = b ? n : n + k; // width of the rows' own part
    std::size_t irow = 0, icol = 0;
    gj_status st = gj_status::solved;
    for (std::size_t i = 0; i < n; ++i) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (times_pivoted[j] == 1)
                continue;
            const double *row = a[j];
            for (std::size_t k = 0; k < n; ++k)
                if (times_pivoted[k] == 0 && std::fabs(row[k]) >= big) {
                    big = std::fabs(row[k]);
                    irow = j;
                    icol = k;
                }
        }
        ++times_pivoted[icol];
        if (irow != icol) {
            std::swap_ranges(a[irow], a[irow] + w, a[icol]);
            if (b)
                std::swap(b[irow], b[icol]);
        }
        pivot_row[i] = static_cast<std::int32_t>(irow);
        pivot_col[i] = static_cast<std::int32_t>(icol);
        double *prow = a[icol];
        if (prow[icol] == 0.0) {
            st = gj_status::singular;
            break;
        }
        const double pivinv = 1.0 / prow[icol];
        prow[icol] = 1.0;
        for (std::size_t k = 0; k < w; ++k)
            prow[k] *= pivinv;
        if (b)
            b[icol] *= pivinv;
        for (std::size_t l = 0; l < n; ++l) {
            if (l == icol)
                continue;
            double *row = a[l];
            const double f = row[icol];
            row[icol] = 0.0;
            for (std::size_t k = 0; k < w; ++k) {
                const double t = prow[k] * f;
                row[k] = row[k] - t;
            }
            if (b) {
                const double t = b[icol] * f;
                b[l] = b[l] - t;
            }
        }
    }
    if (st == gj_status::solved)
        for (std::size_t l = n; l-- > 0;)
            if (pivot_row[l] != pivot_col[l])
                for (std::size_t r = 0; r < n; ++r)
                    std::swap(a[r][pivot_row[l]], a[r][pivot_col[l]]);
    return st;
}

} // namespace

namespace {

gj_status reduce(double **a, double *b, std::size_t n, std::size_t k, bool inverse)
{
    if (n == 0)
        return gj_status::solved;
    const gj_tuning t = gj_current_tuning();
    if (n < (t.in_place_below ? t.in_place_below : tuning::gj_in_place_below))
        return reduce_in_place(a, b, n, k);
    solver s(a, b, n, k, inverse, *gj_kernels_for(t.isa), t);
    return s.run();
}

} // namespace

gj_status gj_reduce(double **a, double *b, std::size_t n) { return reduce(a, b, n, 1, true); }

gj_status gj_reduce_many(double **a, std::size_t n, std::size_t k, bool inverse)
{
    return reduce(a, nullptr, n, k, inverse);
}

} // namespace mtrx_detail
