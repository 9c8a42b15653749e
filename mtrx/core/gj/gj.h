// Gauss-Jordan elimination with full pivoting, the core every solver entry
// point runs: gj_reduce and gj_reduce_many (how they may be tuned is in
// gj_tuning.h).
#ifndef MTRX_CORE_GJ_H
#define MTRX_CORE_GJ_H

#include <cstddef>

#include "core/gj/gj_tuning.h"

namespace mtrx_detail {

enum class gj_status { solved, singular, no_memory };

// Gauss-Jordan elimination with full pivoting on the n x n block of `a`, with
// the constants in column n of `a` (b == nullptr) or in the vector `b`: the
// block becomes the inverse and the constants the solution. A zero pivot
// stops the elimination there (singular); exhausted memory leaves `a` and `b`
// as they were. Says nothing.
gj_status gj_reduce(double **a, double *b, std::size_t n);
// The same on rows of n + k values whose columns n..n+k-1 are k columns of
// constants: each becomes its solution with the bits gj_reduce gives it as
// column n (a column's steps never read another's). Without `inverse` the
// block is left undefined, and large systems skip the inverse's half of
// the work.
gj_status gj_reduce_many(double **a, std::size_t n, std::size_t k, bool inverse);

} // namespace mtrx_detail

#endif
