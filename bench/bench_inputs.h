// What the benchmark files share: the systems every contender solves.
#ifndef QUENDLE_BENCH_INPUTS_H
#define QUENDLE_BENCH_INPUTS_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

// A random n x (n + 1) system, row-major, the same for every contender.
const std::vector<double> &system_rows(std::size_t n);

// Eigen built for this processor (eigen_native.cpp).
void bm_eigen_native_fullpiv(benchmark::State &st, std::size_t n);
void bm_eigen_native_partialpiv(benchmark::State &st, std::size_t n);
const char *eigen_native_simd();

#endif
