// Owners for the library's own temporaries: a block from lib_calloc or
// new_vector (released with free), a bare array of rows, a record. Each
// releases what it holds when its scope ends, on every return; a result
// handed to the caller leaves its owner through release() and stays a
// plain allocation the caller frees as mtrx.h says.
#ifndef MTRX_CORE_OWNED_H
#define MTRX_CORE_OWNED_H

#include <cstddef>
#include <cstdlib>
#include <memory>

#include <mtrx/mtrx.h>

#include "core/base/storage.h"

namespace mtrx_detail {

struct free_deleter {
    void operator()(void *p) const { std::free(p); }
};
// owned<double>: a vector; owned<std::size_t>: an index array.
template <class T> using owned = std::unique_ptr<T, free_deleter>;

// `rows` rows and their pointer array, as free_rows releases them.
struct rows_deleter {
    std::size_t rows = 0;
    void operator()(double **a) const { free_rows(a, rows); }
};
using owned_rows = std::unique_ptr<double *, rows_deleter>;
inline owned_rows own_rows(double **a, std::size_t rows) { return owned_rows(a, {rows}); }

struct record_deleter {
    void operator()(mtrx_t *m) const { free_record(m); }
};
using owned_record = std::unique_ptr<mtrx_t, record_deleter>;

} // namespace mtrx_detail

#endif
