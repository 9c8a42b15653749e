// The reduced row echelon form and the general solution read from it
// (rref.h). The columns are taken in order, so the pivot columns are the
// first independent ones and the form is the one textbooks and other
// software give; within a column the largest element is the pivot, which
// keeps every multiplier of the rows below at most 1 in magnitude.
#include "core/rref/rref.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/base/owned.h"
#include "core/base/storage.h"

namespace mtrx_detail {

double rref_tolerance(const double *const *a, std::size_t rows, std::size_t cols)
{
    double norm = 0.0;
    for (std::size_t i = 0; i < rows; ++i) {
        double s = 0.0;
        for (std::size_t j = 0; j < cols; ++j) {
            if (!std::isfinite(a[i][j]))
                return NAN;
            s = s + std::fabs(a[i][j]);
        }
        norm = std::max(norm, s);
    }
    const double k = static_cast<double>(std::max(rows, cols));
    if (norm <= DBL_MAX)
        return k * DBL_EPSILON * norm;
    norm = 0.0;
    for (std::size_t i = 0; i < rows; ++i) {
        double s = 0.0;
        for (std::size_t j = 0; j < cols; ++j)
            s = s + std::fabs(a[i][j]) * DBL_EPSILON;
        norm = std::max(norm, s);
    }
    return k * norm;
}

std::size_t reduce_to_rref(double **a, std::size_t rows, std::size_t cols, double tol,
                           double last_tol, std::size_t *piv, bool &overflow)
{
    overflow = false;
    std::size_t r = 0;
    for (std::size_t j = 0; j < cols && r < rows; ++j) {
        std::size_t p = r;
        double big = std::fabs(a[r][j]);
        for (std::size_t i = r + 1; i < rows; ++i)
            if (std::fabs(a[i][j]) > big) {
                big = std::fabs(a[i][j]);
                p = i;
            }
        if (!(big > (j + 1 < cols ? tol : last_tol))) {
            for (std::size_t i = r; i < rows; ++i)
                a[i][j] = 0.0;
            continue;
        }
        std::swap(a[p], a[r]);
        // (the entries left of j in this row are 0 already: earlier pivot
        // columns were cleared, columns that counted as zero were set to 0)
        double *pr = a[r];
        const double d = pr[j];
        bool finite = true;
        for (std::size_t k = j + 1; k < cols; ++k) {
            pr[k] = pr[k] / d;
            finite = finite && std::fabs(pr[k]) <= DBL_MAX;
        }
        pr[j] = 1.0;
        for (std::size_t i = 0; i < rows; ++i) {
            if (i == r)
                continue;
            double *ri = a[i];
            const double f = ri[j];
            if (f != 0.0)
                for (std::size_t k = j + 1; k < cols; ++k) {
                    ri[k] = ri[k] - f * pr[k];
                    finite = finite && std::fabs(ri[k]) <= DBL_MAX;
                }
            ri[j] = 0.0;
        }
        if (!finite) {
            overflow = true;
            return r;
        }
        piv[r++] = j;
    }
    // No negative zeros: they would print as "-0".
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t k = 0; k < cols; ++k)
            a[i][k] = a[i][k] + 0.0;
    return r;
}

general_outcome solve_general(const double *const *a, std::size_t m, std::size_t n,
                              mtrx_general_solution &g, alloc_fault &fault)
{
    g = {};
    g.unknowns = n;
    const std::size_t cols = n + 1;
    g.tolerance = rref_tolerance(a, m, n);
    g.constants_tolerance = rref_tolerance(a, m, cols);
    const owned_rows rows = own_rows(
        filled_array(m, cols, fault, [&](std::size_t i, std::size_t j) { return a[i][j]; }), m);
    if (!rows)
        return general_outcome::no_memory;
    const std::size_t most = std::max<std::size_t>(std::min(m, cols), 1);
    const owned<std::size_t> pivot_cols(
        static_cast<std::size_t *>(lib_calloc(most, sizeof(std::size_t))));
    double *const *w = rows.get();
    const std::size_t *piv = pivot_cols.get();
    auto done = [&](general_outcome o) {
        if (o == general_outcome::no_memory)
            fault.set(alloc_site::scratch);
        if (o != general_outcome::solved)
            release_general(g);
        return o;
    };
    if (!piv)
        return done(general_outcome::no_memory);

    bool overflow;
    const std::size_t pivots =
        reduce_to_rref(rows.get(), m, cols, g.tolerance, g.constants_tolerance, pivot_cols.get(),
                       overflow);
    if (overflow)
        return done(general_outcome::overflow);
    g.consistent = pivots == 0 || piv[pivots - 1] != n;
    g.rank = g.consistent ? pivots : pivots - 1;
    if (!g.consistent)
        return done(general_outcome::solved);

    const std::size_t nfree = n - g.rank;
    g.particular = new_vector(n);
    g.free_unknowns = static_cast<std::size_t *>(lib_calloc(nfree ? nfree : 1, sizeof(std::size_t)));
    g.null_space = nfree > SIZE_MAX / n
                       ? nullptr
                       : static_cast<double *>(lib_calloc(nfree ? n * nfree : 1, sizeof(double)));
    if (!g.particular || !g.free_unknowns || !g.null_space)
        return done(general_outcome::no_memory);
    g.nfree = nfree;
    for (std::size_t k = 0; k < g.rank; ++k)
        g.particular[piv[k]] = w[k][n];
    // The free unknowns are the columns without a pivot; each one's vector
    // has 1 there and, at each pivot column, minus that row's entry.
    for (std::size_t j = 0, k = 0, f = 0; j < n; ++j) {
        if (k < g.rank && piv[k] == j) {
            ++k;
            continue;
        }
        g.free_unknowns[f] = j;
        double *v = g.null_space + f * n;
        v[j] = 1.0;
        for (std::size_t q = 0; q < g.rank; ++q)
            v[piv[q]] = 0.0 - w[q][j];
        ++f;
    }
    return done(general_outcome::solved);
}

void release_general(mtrx_general_solution &g)
{
    std::free(g.particular);
    std::free(g.free_unknowns);
    std::free(g.null_space);
    g.particular = nullptr;
    g.free_unknowns = nullptr;
    g.null_space = nullptr;
    g.nfree = 0;
}

} // namespace mtrx_detail
