// The record's two storage forms (row pointers, and preallocated rows):
// construction, growth, copying and release; bare arrays and vectors.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>

#include "internal.h"

namespace mtrx_detail {
void die_exhausted()
{
    std::perror("realloc(): virtual memory exhausted.");
    std::exit(1);
}

} // namespace mtrx_detail

using namespace mtrx_detail;

extern "C" void *xrealloc_zero(void *ptr, size_t psz, size_t oldsz, size_t newsz)
{
    void *p = try_resize(ptr, psz, oldsz, newsz);
    if (!p)
        die_exhausted();
    return p;
}

extern "C" void *xrealloc_add(void *ptr, size_t psz, size_t *nelem, size_t inc)
{
    if (inc > SIZE_MAX - *nelem) {
        errno = ENOMEM;
        die_exhausted();
    }
    void *p = xrealloc_zero(ptr, psz, *nelem, *nelem + inc);
    *nelem += inc;
    return p;
}

extern "C" void *xrealloc_double(void *ptr, size_t psz, size_t *nelem)
{
    if (*nelem > SIZE_MAX / 2) {
        errno = ENOMEM;
        die_exhausted();
    }
    void *p = xrealloc_zero(ptr, psz, *nelem, *nelem * 2);
    *nelem *= 2;
    return p;
}


namespace {
const char *const unknown = "<unknown>";
}

extern "C" mtrx_t *mtrx_create_ptrs(size_t n)
{
    auto *m = static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t)));
    if (!m) {
        say("%s() error: calloc-m.\n", unknown);
        return nullptr;
    }
    // At least one entry, so that a record of capacity 0 still owns an array.
    m->mtrx = static_cast<double **>(lib_calloc(n ? n : 1, sizeof(double *)));
    if (!m->mtrx) {
        say("%s() error: malloc m->mtrx failed.\n", unknown);
        std::free(m);
        return nullptr;
    }
    m->maxrows = n;
    m->maxcols = 8;
    return m;
}

extern "C" double **mtrx_grow_ptrs(mtrx_t *m)
{
    if (!m) {
        say("%s() error: struct parameter NULL.\n", unknown);
        return nullptr;
    }
    if (m->maxrows == 0) {
        // Doubling no entries gives none; grow to one instead.
        m->mtrx = static_cast<double **>(xrealloc_zero(m->mtrx, sizeof(double *), 0, 1));
        m->maxrows = 1;
        return m->mtrx;
    }
    m->mtrx = static_cast<double **>(xrealloc_double(m->mtrx, sizeof(double *), &m->maxrows));
    return m->mtrx;
}

extern "C" void mtrx_free(mtrx_t *m)
{
    if (!m)
        return;
    if (m->mtrx) {
        // Every row the record owns: a preallocated record holds rows up to
        // maxrows whether or not they are in use.
        size_t owned = m->rows > m->maxrows ? m->rows : m->maxrows;
        for (size_t i = 0; i < owned; ++i)
            std::free(m->mtrx[i]);
        std::free(m->mtrx);
    }
    std::free(m);
}

// ---- Vectors, bare arrays and the preallocated form --------------------------

extern "C" double *vect_calloc(size_t n)
{
    auto *v = static_cast<double *>(lib_calloc(n ? n : 1, sizeof(double)));
    if (!v) {
        say_perror("calloc-vector");
        say("%s() error: calloc-vect failed.\n", unknown);
    }
    return v;
}

extern "C" double **arr2d_calloc(size_t rows, size_t cols)
{
    auto **a = static_cast<double **>(lib_calloc(rows ? rows : 1, sizeof(double *)));
    if (!a) {
        say_perror("calloc-pointers");
        say("%s() error: calloc mtrx failed.\n", unknown);
        return nullptr;
    }
    for (size_t i = 0; i < rows; ++i) {
        a[i] = static_cast<double *>(lib_calloc(cols ? cols : 1, sizeof(double)));
        if (!a[i]) {
            say_perror("calloc-mtrx[i]");
            say("%s() error: calloc-mtrx[%zu] failed.\n", unknown, i);
            // Release what was made, last row first.
            while (i-- > 0)
                std::free(a[i]);
            std::free(a);
            return nullptr;
        }
    }
    return a;
}

extern "C" void arr2d_free(double **a, size_t rows)
{
    if (!a)
        return;
    for (size_t i = 0; i < rows; ++i)
        std::free(a[i]);
    std::free(a);
}

extern "C" mtrx_t *mtrx_create(size_t rows, size_t cols)
{
    auto *m = static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t)));
    if (!m) {
        say("%s() error: calloc-m.\n", unknown);
        return nullptr;
    }
    m->mtrx = arr2d_calloc(rows, cols);
    if (!m->mtrx) {
        std::free(m);
        return nullptr;
    }
    m->maxcols = cols;
    m->maxrows = rows;
    return m;
}

extern "C" double **mtrx_grow(mtrx_t *m, int mode)
{
    if (!m) {
        say("%s() error: struct parameter NULL.\n", unknown);
        return nullptr;
    }
    if (mode == 0) {
        // Twice the rows, each new one a zero-filled row of maxcols places.
        // A capacity of 0 grows to 1, as doubling it would leave it at 0.
        size_t old = m->maxrows;
        size_t cap = old ? old * 2 : 1;
        void *grown =
            old > SIZE_MAX / 2 ? nullptr : try_resize(m->mtrx, sizeof(double *), old, cap);
        if (!grown) {
            std::fprintf(stderr, "%s() error: ptr realloc failed.\n", unknown);
            std::exit(1);
        }
        m->mtrx = static_cast<double **>(grown);
        for (size_t r = old; r < cap; ++r) {
            m->mtrx[r] =
                static_cast<double *>(lib_calloc(m->maxcols ? m->maxcols : 1, sizeof(double)));
            if (!m->mtrx[r]) {
                std::fprintf(stderr, "%s() error: ptr realloc failed.\n", unknown);
                std::exit(1);
            }
        }
        m->maxrows = cap;
        return m->mtrx;
    }

    // Twice the places in every allocated row, in use or not; the new upper
    // places are zero.
    size_t old = m->maxcols;
    size_t cap = old ? old * 2 : 1;
    for (size_t r = 0; r < m->maxrows; ++r) {
        double *row = m->mtrx[r];
        void *grown =
            old > SIZE_MAX / 2 ? nullptr : try_resize(row, sizeof(double), row ? old : 0, cap);
        if (!grown) {
            std::fprintf(stderr, "%s() error: realloc failed row[%zu].\n", unknown, r);
            std::exit(1);
        }
        m->mtrx[r] = static_cast<double *>(grown);
    }
    m->maxcols = cap;
    return m->mtrx;
}

extern "C" mtrx_t *mtrx_copy(const mtrx_t *m)
{
    mtrx_t *c = mtrx_create(m->rows, m->cols);
    if (!c)
        return nullptr;
    c->rows = c->maxrows = m->rows;
    c->cols = c->maxcols = m->cols;
    // Every row of either storage form holds at least `cols` values.
    if (m->cols != 0)
        for (size_t i = 0; i < m->rows; ++i)
            std::memcpy(c->mtrx[i], m->mtrx[i], m->cols * sizeof(double));
    return c;
}
