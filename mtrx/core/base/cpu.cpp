// The processor check behind cpu.h, made once for the whole library.
#include "core/base/cpu.h"

namespace mtrx_detail {

namespace {

cpu_isa find_widest()
{
#if defined(QUENDLE_X86_DISPATCH)
    // (the compiler's check also asks the system whether it saves the wider
    // registers; the AVX-512 kernels are built with -mavx512f, which takes
    // AVX2 for granted)
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2"))
        return cpu_isa::portable;
    return __builtin_cpu_supports("avx512f") ? cpu_isa::avx512 : cpu_isa::avx2;
#else
    return cpu_isa::portable;
#endif
}

} // namespace

cpu_isa cpu_widest()
{
    static const cpu_isa widest = find_widest();
    return widest;
}

} // namespace mtrx_detail
