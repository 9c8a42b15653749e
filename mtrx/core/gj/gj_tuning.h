// How Gauss-Jordan elimination may be tuned, for tests and benchmarks (the
// defaults are in core/tuning.h).
#ifndef MTRX_CORE_GJ_TUNING_H
#define MTRX_CORE_GJ_TUNING_H

#include <cstddef>

namespace mtrx_detail {

// How gj_reduce runs (0 = the default): which instruction set, how many
// threads, how many steps are deferred together, from which n threads are
// used, below which n the plain steps run on the caller's rows, and below
// how many elements (candidate rows times columns not yet pivoted) a step
// runs on the calling thread alone. The bits never depend on any of these.
enum class gj_isa { automatic, portable, avx2, avx512 }; // (the inner loops')
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
