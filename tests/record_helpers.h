// Records built from literal rows, and a sweep over failing allocations, for
// the arithmetic, solver and printing tests.
#ifndef QUENDLE_RECORD_HELPERS_H
#define QUENDLE_RECORD_HELPERS_H

#include <vector>

#include "core/alloc.h"
#include "test_helpers.h"

// A preallocated record holding `rows` (all of one length), with `spare_rows`
// and `spare_cols` of unused capacity; the unused places are filled with
// `junk` so that an operation reading beyond rows x cols shows.
inline MtrxPtr record_of(const std::vector<std::vector<double>> &rows, size_t spare_rows = 0,
                         size_t spare_cols = 0, double junk = 0.0)
{
    size_t r = rows.size(), c = rows.empty() ? 0 : rows[0].size();
    MtrxPtr m(mtrx_create(r + spare_rows, c + spare_cols));
    for (size_t i = 0; i < r + spare_rows; ++i)
        for (size_t j = 0; j < c + spare_cols; ++j)
            m->mtrx[i][j] = i < r && j < c ? rows[i][j] : junk;
    m->rows = r;
    m->cols = c;
    return m;
}

// An empty record of the given shape (rows or cols may be 0).
inline MtrxPtr record_shaped(size_t rows, size_t cols)
{
    MtrxPtr m(mtrx_create(rows, cols));
    m->rows = rows;
    m->cols = cols;
    return m;
}

inline std::vector<std::vector<double>> rows_of(double **a, size_t rows, size_t cols)
{
    std::vector<std::vector<double>> v;
    for (size_t i = 0; i < rows; ++i)
        v.emplace_back(a[i], a[i] + cols);
    return v;
}

// Runs `op` with the k-th allocation request failing, for k = 1, 2, ...,
// until a run makes fewer than k requests and so meets no failure. `op`
// returns whether it produced its full outcome (and releases what it got);
// every run that met a failure must not, the last run must. Returns the
// number of runs that met a failure.
template <class Op> long sweep_alloc_failures(Op op)
{
    for (long k = 1;; ++k) {
        mtrx_testing_fail_alloc(k);
        bool done = op();
        long made = mtrx_testing_fail_alloc(0);
        if (made < k) {
            EXPECT_TRUE(done) << "run without a failure";
            return k - 1;
        }
        EXPECT_FALSE(done) << "allocation " << k << " failed";
    }
}

#endif
