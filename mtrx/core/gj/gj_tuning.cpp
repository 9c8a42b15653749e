// Which inner loops Gauss-Jordan elimination runs, and the tuning that tests
// and benchmarks set (gj_tuning.h). The tuning is the one piece of state the
// solver reads that a caller can change: it is published field by field through
// atomics, so a solve on another thread reads each field whole, old or new,
// and no field ever changes a bit of the result.
#include <atomic>

#include "core/base/cpu.h"
#include "core/gj/gj_kernels.h"
#include "core/gj/gj_tuning.h"

namespace mtrx_detail {

namespace {

struct published_tuning {
    std::atomic<gj_isa> isa{gj_isa::automatic};
    std::atomic<std::size_t> threads{0}, block{0}, parallel_from{0}, in_place_below{0},
        step_alone_below{0};
};
published_tuning g_tuning;

} // namespace

const gj_kernels *gj_kernels_for(gj_isa isa)
{
#if defined(QUENDLE_X86_DISPATCH)
    const cpu_isa widest = cpu_widest();
    switch (isa) {
    case gj_isa::automatic:
        return widest == cpu_isa::avx512 ? &gj_kernels_avx512()
               : widest == cpu_isa::avx2 ? &gj_kernels_avx2()
                                         : &gj_kernels_portable();
    case gj_isa::avx512:
        return cpu_runs(cpu_isa::avx512) ? &gj_kernels_avx512() : nullptr;
    case gj_isa::avx2:
        return cpu_runs(cpu_isa::avx2) ? &gj_kernels_avx2() : nullptr;
    case gj_isa::portable:
        return &gj_kernels_portable();
    }
    return nullptr;
#else
    return isa == gj_isa::automatic || isa == gj_isa::portable ? &gj_kernels_portable() : nullptr;
#endif
}

bool gj_tune(const gj_tuning &t)
{
    if (!gj_kernels_for(t.isa))
        return false;
    constexpr auto order = std::memory_order_relaxed;
    g_tuning.isa.store(t.isa, order);
    g_tuning.threads.store(t.threads, order);
    g_tuning.block.store(t.block, order);
    g_tuning.parallel_from.store(t.parallel_from, order);
    g_tuning.in_place_below.store(t.in_place_below, order);
    g_tuning.step_alone_below.store(t.step_alone_below, order);
    return true;
}

gj_tuning gj_current_tuning()
{
    constexpr auto order = std::memory_order_relaxed;
    gj_tuning t;
    t.isa = g_tuning.isa.load(order);
    t.threads = g_tuning.threads.load(order);
    t.block = g_tuning.block.load(order);
    t.parallel_from = g_tuning.parallel_from.load(order);
    t.in_place_below = g_tuning.in_place_below.load(order);
    t.step_alone_below = g_tuning.step_alone_below.load(order);
    return t;
}

const char *gj_kernel_name() { return gj_kernels_in_use().name; }

const gj_kernels &gj_kernels_in_use()
{
    return *gj_kernels_for(g_tuning.isa.load(std::memory_order_relaxed));
}

} // namespace mtrx_detail
