// The release functions: everything the library hands out goes back through
// them, so that a program on another C runtime never mixes allocators.
#include <cstdlib>

#include <mtrx/mtrx.h>

#include "core/base/storage.h"
#include "core/rref/rref.h"

extern "C" void mtrx_free(mtrx_t *m) { mtrx_detail::free_record(m); }

extern "C" void arr2d_free(double **a, size_t rows) { mtrx_detail::free_rows(a, rows); }

extern "C" void mtrx_free_vector(double *v) { std::free(v); }

extern "C" void mtrx_free_pivots(size_t *pivots) { std::free(pivots); }

extern "C" void mtrx_names_free(char **names) { std::free(names); }

extern "C" void mtrx_general_free(mtrx_general_solution *g)
{
    if (g)
        mtrx_detail::release_general(*g);
}
