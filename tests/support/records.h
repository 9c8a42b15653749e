// Records (mtrx_t) for the tests: owned, built from literal rows, and read
// back as rows.
#ifndef QUENDLE_TESTS_SUPPORT_RECORDS_H
#define QUENDLE_TESTS_SUPPORT_RECORDS_H

#include <cstddef>
#include <memory>
#include <vector>

#include <mtrx/mtrx.h>

#include "matrix.h"

struct MtrxDeleter {
    void operator()(mtrx_t *m) const { mtrx_free(m); }
};
using MtrxPtr = std::unique_ptr<mtrx_t, MtrxDeleter>;

// A preallocated record holding `rows` (all of one length), with `spare_rows`
// and `spare_cols` of unused capacity; the unused places are filled with
// `junk` so that an operation reading beyond rows x cols shows.
inline MtrxPtr record_of(const Matrix &rows, std::size_t spare_rows = 0, std::size_t spare_cols = 0,
                         double junk = 0.0)
{
    const std::size_t r = rows.size(), c = rows.empty() ? 0 : rows[0].size();
    MtrxPtr m(mtrx_create(r + spare_rows, c + spare_cols));
    for (std::size_t i = 0; i < r + spare_rows; ++i)
        for (std::size_t j = 0; j < c + spare_cols; ++j)
            m->mtrx[i][j] = i < r && j < c ? rows[i][j] : junk;
    m->rows = r;
    m->cols = c;
    return m;
}

// An empty record of the given shape (rows or cols may be 0).
inline MtrxPtr record_shaped(std::size_t rows, std::size_t cols)
{
    MtrxPtr m(mtrx_create(rows, cols));
    m->rows = rows;
    m->cols = cols;
    return m;
}

// rows x cols of a bare array.
inline Matrix rows_of(double *const *a, std::size_t rows, std::size_t cols)
{
    Matrix v;
    for (std::size_t i = 0; i < rows; ++i)
        v.emplace_back(a[i], a[i] + cols);
    return v;
}

// The first n values of row i.
inline std::vector<double> row_of(const mtrx_t *m, std::size_t i, std::size_t n)
{
    return std::vector<double>(m->mtrx[i], m->mtrx[i] + n);
}

// rows, cols, maxrows, maxcols of a record, to compare in one go.
inline std::vector<std::size_t> shape_of(const mtrx_t *m)
{
    return {m->rows, m->cols, m->maxrows, m->maxcols};
}

#endif
