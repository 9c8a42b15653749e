// Which of the instruction sets the library's vector kernels are built for
// this processor runs: the one check that Gauss-Jordan elimination and the
// matrix product both consult. Each kernel family is compiled once per set
// (gj_kernels_<set>.cpp, product_kernels_<set>.cpp) and picked at run time.
#ifndef MTRX_CORE_CPU_H
#define MTRX_CORE_CPU_H

namespace mtrx_detail {

// In order of width: 2 doubles a vector (SSE2, every x86-64 has it, or
// plain C++ elsewhere), 4 (AVX2), 8 (AVX-512F).
enum class cpu_isa { portable, avx2, avx512 };

// The widest set this processor runs among those the library holds kernels
// for, found on first use and kept. Only `portable` where the wide kernels
// are not built (not x86-64, or a Windows toolchain that cannot keep their
// stack spills unaligned: mtrx/CMakeLists.txt).
cpu_isa cpu_widest();

// Whether kernels built for `isa` run here.
inline bool cpu_runs(cpu_isa isa) { return isa <= cpu_widest(); }

} // namespace mtrx_detail

#endif
