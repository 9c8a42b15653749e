// The console forms of the storage functions: each is the core's (or
// realloc's) work, then its message on failure, and the end of the process
// where memory runs out while an array grows.
#include <cerrno>
#include <cstdint>

#include <mtrx/mtrx.h>

#include "core/base/storage.h"
#include "messages.h"

using namespace mtrx_detail;
using mtrx_console::die_exhausted;

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

extern "C" mtrx_t *mtrx_create_ptrs(size_t n)
{
    return mtrx_console::told([=](alloc_fault &f) { return new_pointer_record(n, f); });
}

extern "C" double **mtrx_grow_ptrs(mtrx_t *m)
{
    if (!m) {
        mtrx_console::null_record();
        return nullptr;
    }
    if (!grow_pointers(m))
        die_exhausted();
    return m->mtrx;
}

extern "C" double *vect_calloc(size_t n)
{
    double *v = new_vector(n);
    if (!v)
        mtrx_console::vector_not_made();
    return v;
}

extern "C" double **arr2d_calloc(size_t rows, size_t cols)
{
    return mtrx_console::told([=](alloc_fault &f) { return new_array(rows, cols, f); });
}

extern "C" mtrx_t *mtrx_create(size_t rows, size_t cols)
{
    return mtrx_console::told(
        [=](alloc_fault &f) { return new_preallocated_record(rows, cols, f); });
}

extern "C" double **mtrx_grow(mtrx_t *m, int mode)
{
    if (!m) {
        mtrx_console::null_record();
        return nullptr;
    }
    const growth g = grow_preallocated(m, mode != 0);
    if (!g.done) {
        if (mode == 0)
            mtrx_console::rows_not_grown();
        mtrx_console::row_not_grown(g.row);
    }
    return m->mtrx;
}

extern "C" mtrx_t *mtrx_copy(const mtrx_t *m)
{
    return mtrx_console::told([=](alloc_fault &f) { return copy_record(m, f); });
}
