// Eigen compiled for this very processor (-march=native: AVX-512 and FMA
// here), as a second, stronger peer beside the Eigen built with the flags
// everything else uses. Its namespace is renamed so that its templates stay
// apart from those of the other build in the same program.
#define Eigen quendle_native_eigen
#include <Eigen/Dense>

#include "eigen_native.h"

namespace quendle_bench {

namespace {

template <class Decomposition> void run(benchmark::State &st, std::size_t n)
{
    const std::vector<double> &s = system_rows(n);
    const auto en = static_cast<Eigen::Index>(n);
    Eigen::MatrixXd a(en, en);
    Eigen::VectorXd b(en), x;
    for (Eigen::Index i = 0; i < en; ++i) {
        for (Eigen::Index j = 0; j < en; ++j)
            a(i, j) = s[static_cast<std::size_t>(i * (en + 1) + j)];
        b(i) = s[static_cast<std::size_t>(i * (en + 1) + en)];
    }
    for (auto _ : st) {
        Decomposition lu(a);
        x = lu.solve(b);
        benchmark::DoNotOptimize(x.data());
    }
}

} // namespace

void bm_eigen_native_fullpiv(benchmark::State &st, std::size_t n)
{
    run<Eigen::FullPivLU<Eigen::MatrixXd>>(st, n);
}

void bm_eigen_native_partialpiv(benchmark::State &st, std::size_t n)
{
    run<Eigen::PartialPivLU<Eigen::MatrixXd>>(st, n);
}

const char *eigen_native_simd() { return Eigen::SimdInstructionSetsInUse(); }

} // namespace quendle_bench
