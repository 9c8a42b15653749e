// Gauss-Jordan elimination with full pivoting, the core every solver entry
// point runs: gj_reduce, and how it may be tuned.
#ifndef MTRX_CORE_GJ_H
#define MTRX_CORE_GJ_H

#include <cstddef>

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

// How gj_reduce runs, for tests and benchmarks (0 = the default): which
// instruction set, how many threads, how many steps are deferred together,
// from which n threads are used, below which n the plain steps run on the
// caller's rows, and below how many elements (candidate rows times columns
// not yet pivoted) a step runs on the calling thread alone. The bits never
// depend on any of these.
enum class gj_isa { automatic, portable, avx2, avx512 };
struct gj_tuning {
    gj_isa isa = gj_isa::automatic;
    std::size_t threads = 0;
    std::size_t block = 0;
    std::size_t parallel_from = 0;
    std::size_t in_place_below = 0;   // smaller systems skip the working array (1: none do)
    std::size_t step_alone_below = 0; // (1: every step is shared)
};

// Sets the tuning every later gj_reduce uses, in the whole process; false
// (and nothing changed) when the instruction set is not available here. A
// solve that runs meanwhile on another thread sees each field either before
// or after the change.
bool gj_tune(const gj_tuning &t);
// The tuning now in force.
gj_tuning gj_current_tuning();
// The inner loops gj_reduce uses now ("portable", "avx2" or "avx512").
const char *gj_kernel_name();

} // namespace mtrx_detail

#endif
