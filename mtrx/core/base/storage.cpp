// The record's storage (storage.h): construction, growth and copying that
// report failure instead of saying it, and the release of records and bare
// arrays.
#include "core/base/storage.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/base/owned.h"

namespace mtrx_detail {

double *new_vector(std::size_t n)
{
    return static_cast<double *>(lib_calloc(n ? n : 1, sizeof(double)));
}

double **new_array(std::size_t rows, std::size_t cols, alloc_fault &fault)
{
    // (until every row is made, the ones still to come are null, which the
    // owner's release passes over)
    owned_rows a =
        own_rows(static_cast<double **>(lib_calloc(rows ? rows : 1, sizeof(double *))), rows);
    if (!a) {
        fault.set(alloc_site::array_rows);
        return nullptr;
    }
    for (std::size_t i = 0; i < rows; ++i) {
        a.get()[i] = static_cast<double *>(lib_calloc(cols ? cols : 1, sizeof(double)));
        if (!a.get()[i]) {
            fault.set(alloc_site::array_row, i);
            return nullptr;
        }
    }
    return a.release();
}

mtrx_t *new_pointer_record(std::size_t n, alloc_fault &fault)
{
    owned_record m(static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t))));
    if (!m) {
        fault.set(alloc_site::record);
        return nullptr;
    }
    // At least one entry, so that a record of capacity 0 still owns an array.
    m->mtrx = static_cast<double **>(lib_calloc(n ? n : 1, sizeof(double *)));
    if (!m->mtrx) {
        fault.set(alloc_site::record_rows);
        return nullptr;
    }
    m->maxrows = n;
    m->maxcols = 8;
    return m.release();
}

mtrx_t *new_preallocated_record(std::size_t rows, std::size_t cols, alloc_fault &fault)
{
    owned_record m(static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t))));
    if (!m) {
        fault.set(alloc_site::record);
        return nullptr;
    }
    m->mtrx = new_array(rows, cols, fault);
    if (!m->mtrx)
        return nullptr;
    m->maxcols = cols;
    m->maxrows = rows;
    return m.release();
}

mtrx_t *copy_record(const mtrx_t *m, alloc_fault &fault)
{
    mtrx_t *c = new_preallocated_record(m->rows, m->cols, fault);
    if (!c)
        return nullptr;
    c->rows = c->maxrows = m->rows;
    c->cols = c->maxcols = m->cols;
    // Every row of either storage form holds at least `cols` values.
    if (m->cols != 0)
        for (std::size_t i = 0; i < m->rows; ++i)
            std::memcpy(c->mtrx[i], m->mtrx[i], m->cols * sizeof(double));
    return c;
}

bool grow_pointers(mtrx_t *m)
{
    const std::size_t old = m->maxrows;
    if (old > SIZE_MAX / 2) {
        errno = ENOMEM;
        return false;
    }
    const std::size_t cap = old ? old * 2 : 1;
    void *grown = try_resize(m->mtrx, sizeof(double *), old, cap);
    if (!grown)
        return false;
    m->mtrx = static_cast<double **>(grown);
    m->maxrows = cap;
    return true;
}

growth grow_preallocated(mtrx_t *m, bool columns)
{
    if (!columns) {
        // Twice the rows, each new one a zero-filled row of maxcols places.
        // A capacity of 0 grows to 1, as doubling it would leave it at 0.
        const std::size_t old = m->maxrows;
        const std::size_t cap = old ? old * 2 : 1;
        void *grown =
            old > SIZE_MAX / 2 ? nullptr : try_resize(m->mtrx, sizeof(double *), old, cap);
        if (!grown)
            return {false, 0};
        m->mtrx = static_cast<double **>(grown);
        for (std::size_t r = old; r < cap; ++r) {
            m->mtrx[r] =
                static_cast<double *>(lib_calloc(m->maxcols ? m->maxcols : 1, sizeof(double)));
            if (!m->mtrx[r]) {
                m->maxrows = r; // (the rows made so far are the record's)
                return {false, r};
            }
        }
        m->maxrows = cap;
        return {true, 0};
    }

    // Twice the places in every allocated row, in use or not; the new upper
    // places are zero.
    const std::size_t old = m->maxcols;
    const std::size_t cap = old ? old * 2 : 1;
    for (std::size_t r = 0; r < m->maxrows; ++r) {
        double *row = m->mtrx[r];
        void *grown =
            old > SIZE_MAX / 2 ? nullptr : try_resize(row, sizeof(double), row ? old : 0, cap);
        if (!grown)
            return {false, r};
        m->mtrx[r] = static_cast<double *>(grown);
    }
    m->maxcols = cap;
    return {true, 0};
}

bool rows_present(double *const *a, std::size_t n)
{
    bool rows = n == 0 || a != nullptr;
    for (std::size_t i = 0; rows && i < n; ++i)
        rows = a[i] != nullptr;
    return rows;
}

void free_record(mtrx_t *m)
{
    if (!m)
        return;
    if (m->mtrx) {
        // Every row the record owns: a preallocated record holds rows up to
        // maxrows whether or not they are in use.
        const std::size_t owned = m->rows > m->maxrows ? m->rows : m->maxrows;
        for (std::size_t i = 0; i < owned; ++i)
            std::free(m->mtrx[i]);
        std::free(m->mtrx);
    }
    std::free(m);
}

void free_rows(double **a, std::size_t rows)
{
    if (!a)
        return;
    for (std::size_t i = 0; i < rows; ++i)
        std::free(a[i]);
    std::free(a);
}

} // namespace mtrx_detail
