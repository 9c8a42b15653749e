// The record's two storage forms, bare arrays and vectors: made, grown,
// copied and released. Nothing here says anything: a failed allocation is
// a null result (or false) with the site in an alloc_fault, and the layers
// above decide what to report.
#ifndef MTRX_CORE_STORAGE_H
#define MTRX_CORE_STORAGE_H

#include <cstddef>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"

namespace mtrx_detail {

// n zeroed doubles (one for n = 0), or null.
double *new_vector(std::size_t n);

// rows row pointers, each to cols zeroed doubles (at least one of each), or
// null with nothing left allocated: fault at array_rows or array_row i.
double **new_array(std::size_t rows, std::size_t cols, alloc_fault &fault);

// A new rows x cols array with element [i][j] = f(i, j), row by row.
template <class F>
double **filled_array(std::size_t rows, std::size_t cols, alloc_fault &fault, F f)
{
    double **r = new_array(rows, cols, fault);
    if (!r)
        return nullptr;
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < cols; ++j)
            r[i][j] = f(i, j);
    return r;
}

// The row-pointer form: n null row pointers (room for one at least),
// maxcols 8; fault at record or record_rows.
mtrx_t *new_pointer_record(std::size_t n, alloc_fault &fault);
// The preallocated form: `rows` rows of `cols` zeros, none in use; fault at
// record or at the array's sites.
mtrx_t *new_preallocated_record(std::size_t rows, std::size_t cols, alloc_fault &fault);
// A tight preallocated copy of m's rows x cols.
mtrx_t *copy_record(const mtrx_t *m, alloc_fault &fault);

// Doubles the row-pointer array (0 grows to 1; new entries null). False,
// with errno set and the record unchanged, when memory is exhausted.
bool grow_pointers(mtrx_t *m);

// Doubles a preallocated record's rows (every new one maxcols zeros) or,
// with `columns`, every allocated row's places. On exhausted memory the
// record stays whole (what was grown is kept and counted) and the result
// says where growing stopped.
struct growth {
    bool done;
    std::size_t row; // columns: the row that could not grow
};
growth grow_preallocated(mtrx_t *m, bool columns);

// Whether the n rows of `a` are there: `a` and each of its first n rows not
// null (always, for n = 0).
bool rows_present(double *const *a, std::size_t n);

// Releases every row the record owns (up to maxrows, or rows when more are
// in use), its row-pointer array and the record; null is ignored.
void free_record(mtrx_t *m);
// Releases rows 0 to rows - 1 of `a`, then `a`; null is ignored.
void free_rows(double **a, std::size_t rows);

} // namespace mtrx_detail

#endif
