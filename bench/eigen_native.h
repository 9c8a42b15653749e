// Eigen built for this processor (eigen_native.cpp). Kept apart from
// inputs.h: what this header pulls in is compiled with -march=native there,
// and nothing the other contenders run should come from that build.
#ifndef QUENDLE_BENCH_EIGEN_NATIVE_H
#define QUENDLE_BENCH_EIGEN_NATIVE_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

namespace quendle_bench {

// The system of order n, row-major, n + 1 per row (inputs.h's system_of).
const std::vector<double> &system_rows(std::size_t n);

void bm_eigen_native_fullpiv(benchmark::State &st, std::size_t n);
void bm_eigen_native_partialpiv(benchmark::State &st, std::size_t n);
const char *eigen_native_simd();

} // namespace quendle_bench

#endif
