// The library's tuning defaults in one place, each with why it has its
// value. None of them changes a bit of any result: they decide only where
// work runs (which path, how many threads, how much is deferred together).
// gj_tune overrides the elimination's for tests and benchmarks.
#ifndef MTRX_CORE_TUNING_H
#define MTRX_CORE_TUNING_H

#include <chrono>
#include <cstddef>

namespace mtrx_detail::tuning {

// Gauss-Jordan elimination.
// Below this many unknowns the plain steps run on the caller's rows: the
// working array's setup and copies cost more than they save.
constexpr std::size_t gj_in_place_below = 48;
// Steps deferred together in a block: enough to run the closing passes as
// blocked kernels, few enough that the block's pivot rows stay in cache.
constexpr std::size_t gj_block = 32;
// The most a tuning may ask for: the block's arrays are sized from it.
constexpr std::size_t gj_block_max = 256;
// From this order on a system is worth the pool's workers. Waking a worker
// costs more under Windows (measured under Wine), where two threads pay only
// from about 320 unknowns; natively they pay from about 256.
#ifdef _WIN32
constexpr std::size_t gj_parallel_from = 320;
#else
constexpr std::size_t gj_parallel_from = 256;
#endif
// A step over fewer elements than this (candidate rows times columns not
// yet pivoted) runs on the calling thread alone: handing it out costs more.
constexpr std::size_t gj_step_alone_below = std::size_t(1) << 16;
// Chunks of a pass per thread: a thread the system puts aside in the middle
// of a pass then holds up no more than one chunk.
constexpr std::size_t gj_chunks_per_thread = 4;
// On a machine busy with other work the helpers keep being put aside: after
// every gj_busy_passes shared passes, when at least gj_busy_waits of them
// waited for a helper, the rest of the elimination runs alone.
constexpr unsigned gj_busy_passes = 64;
constexpr unsigned gj_busy_waits = 8;

// The product.
// Multiply-adds each thread should have for waking a pool worker to pay:
// two threads pay from about n = 128 natively (some 50 us of work for the
// AVX-512 kernel), and under Windows, where a wake-up costs more (measured
// under Wine), from about n = 200.
#ifdef _WIN32
constexpr double product_work_per_thread = 1 << 22;
#else
constexpr double product_work_per_thread = 1 << 20;
#endif
// The plain kernel's parts: a row to a tile, 256 columns at a time.
constexpr std::size_t product_plain_columns = 256;

// The worker pool.
// How long an idle worker waits to be lent before it ends.
constexpr auto pool_idle_life = std::chrono::seconds(1);
// Rounds of `pause` a thread spins for before it sleeps (a member waiting
// for the next job, the caller waiting for a chunk another member is in):
// some tens of microseconds. (Under a hypervisor a long run of `pause` makes
// the virtual processor exit to the host: a few thousand in a row cost a
// hundred times more each.)
constexpr int pool_spin_rounds = 1000;

} // namespace mtrx_detail::tuning

#endif
