// gj/<contender>/<n>: solve an n x n system. guassj (its defaults, and on
// one thread) against the plain loop, Eigen's two LU decompositions (built
// like everything else, and for this processor) and LAPACKE dgesv.
#include <Eigen/Dense>
#include <lapacke.h>

#include <cmath>
#include <cstdio>
#include <thread>

#include "eigen_native.h"
#include "harness.h"
#include "inputs.h"
#include "internal.h"
#include "mtrx/mtrx.h"
#include "reference/gauss_jordan_ref.h"

namespace quendle_bench {

namespace {

// Puts the system back before the next solve. Pausing the clock costs about a
// microsecond, more than a small solve, so below n = 100 the copy is timed
// with the solve (for every contender alike).
void timed_reset(benchmark::State &st, row_matrix &m, const system_data &s)
{
    if (s.n < 100) {
        m.reset(s);
        return;
    }
    st.PauseTiming();
    m.reset(s);
    st.ResumeTiming();
}

} // namespace

void bm_guassj(benchmark::State &st, std::size_t n, std::size_t threads,
               std::size_t in_place_below)
{
    const system_data &s = system_of(n);
    row_matrix m(s);
    mtrx_detail::gj_tuning t;
    t.threads = threads;
    t.in_place_below = in_place_below;
    mtrx_detail::gj_tune(t);
    for (auto _ : st) {
        timed_reset(st, m, s);
        guassj(m.ptrs.data(), n);
        benchmark::DoNotOptimize(m.rows[0][n]);
    }
    mtrx_detail::gj_tune(mtrx_detail::gj_tuning{});
}

void bm_plain_loop(benchmark::State &st, std::size_t n)
{
    const system_data &s = system_of(n);
    row_matrix m(s);
    for (auto _ : st) {
        timed_reset(st, m, s);
        quendle_ref::gauss_jordan(m.ptrs.data(), nullptr, n);
        benchmark::DoNotOptimize(m.rows[0][n]);
    }
}

namespace {

void eigen_inputs(std::size_t n, Eigen::MatrixXd &a, Eigen::VectorXd &b)
{
    const system_data &s = system_of(n);
    a.resize(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(n));
    b.resize(static_cast<Eigen::Index>(n));
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            a(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = s.rows[i * (n + 1) + j];
        b(static_cast<Eigen::Index>(i)) = s.rows[i * (n + 1) + n];
    }
}

template <class Decomposition> void bm_eigen(benchmark::State &st, std::size_t n)
{
    Eigen::MatrixXd a;
    Eigen::VectorXd b, x;
    eigen_inputs(n, a, b);
    for (auto _ : st) {
        Decomposition lu(a);
        x = lu.solve(b);
        benchmark::DoNotOptimize(x.data());
    }
}

void bm_dgesv(benchmark::State &st, std::size_t n)
{
    const system_data &s = system_of(n);
    std::vector<double> a0(n * n), b0(n), a(n * n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            a0[j * n + i] = s.rows[i * (n + 1) + j]; // column-major
        b0[i] = s.rows[i * (n + 1) + n];
    }
    std::vector<lapack_int> ipiv(n);
    const auto ln = static_cast<lapack_int>(n);
    for (auto _ : st) {
        st.PauseTiming();
        a = a0;
        b = b0;
        st.ResumeTiming();
        lapack_int info =
            LAPACKE_dgesv(LAPACK_COL_MAJOR, ln, 1, a.data(), ln, ipiv.data(), b.data(), ln);
        if (info != 0)
            st.SkipWithError("dgesv failed");
        benchmark::DoNotOptimize(b.data());
    }
}

// guassj gives the plain loop's bits; Eigen's solution is close to it.
bool check()
{
    bool ok = true;
    const std::size_t n = 250;
    const system_data &s = system_of(n);
    row_matrix fast(s), plain(s);
    guassj(fast.ptrs.data(), n);
    quendle_ref::gauss_jordan(plain.ptrs.data(), nullptr, n);
    ok &= same_bits(
        "guassj", "the plain loop", n, n + 1, [&](std::size_t i) { return fast.rows[i].data(); },
        [&](std::size_t i) { return plain.rows[i].data(); });
    Eigen::MatrixXd a;
    Eigen::VectorXd b;
    eigen_inputs(n, a, b);
    Eigen::VectorXd x = a.fullPivLu().solve(b);
    double worst = 0;
    for (std::size_t i = 0; i < n; ++i)
        worst = std::max(worst, std::fabs(x(static_cast<Eigen::Index>(i)) - fast.rows[i][n]));
    if (!(worst < 1e-8)) {
        std::fprintf(stderr, "Eigen's solution differs from guassj's by %g\n", worst);
        ok = false;
    }
    return ok;
}

const std::size_t sizes[] = {100, 250, 500, 1000, 2000};

void add()
{
    benchmark::AddCustomContext("guassj kernel", mtrx_detail::gj_kernel_name());
    benchmark::AddCustomContext("Eigen SIMD", Eigen::SimdInstructionSetsInUse());
    benchmark::AddCustomContext("Eigen native SIMD", eigen_native_simd());
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    for (std::size_t n : sizes) {
        const std::string sz = suffix(n);
        shape(benchmark::RegisterBenchmark(("gj/guassj" + sz).c_str(), bm_guassj, n, 0, 0), n,
              false);
        if (hw > 1)
            shape(benchmark::RegisterBenchmark(("gj/guassj-1thr" + sz).c_str(), bm_guassj, n, 1, 0),
                  n, false);
        shape(benchmark::RegisterBenchmark(("gj/plain-loop" + sz).c_str(), bm_plain_loop, n), n,
              true);
        shape(benchmark::RegisterBenchmark(("gj/eigen-fullpivlu" + sz).c_str(),
                                           bm_eigen<Eigen::FullPivLU<Eigen::MatrixXd>>, n),
              n, true);
        shape(benchmark::RegisterBenchmark(("gj/eigen-partialpivlu" + sz).c_str(),
                                           bm_eigen<Eigen::PartialPivLU<Eigen::MatrixXd>>, n),
              n, false);
        shape(benchmark::RegisterBenchmark(("gj/eigen-native-fullpivlu" + sz).c_str(),
                                           bm_eigen_native_fullpiv, n),
              n, true);
        shape(benchmark::RegisterBenchmark(("gj/eigen-native-partialpivlu" + sz).c_str(),
                                           bm_eigen_native_partialpiv, n),
              n, false);
    }
    // (OpenBLAS's idle threads spin for a fraction of a second after each
    // call and may take a core from whatever runs next: the fastest
    // repetition is the figure that counts.)
    for (std::size_t n : sizes)
        shape(benchmark::RegisterBenchmark(("gj/lapacke-dgesv" + suffix(n)).c_str(), bm_dgesv, n),
              n, false);
}

void tables(const results &r)
{
    print_ratio_table(r, "gj/", {"guassj", "guassj"},
                      {{"1 thread", "guassj-1thr"},
                       {"plain loop", "plain-loop"},
                       {"Eigen FullPivLU", "eigen-fullpivlu"},
                       {"Eigen PartialPivLU", "eigen-partialpivlu"},
                       {"LAPACKE dgesv", "lapacke-dgesv"},
                       {"Eigen native FullPivLU", "eigen-native-fullpivlu"},
                       {"Eigen native PartialPivLU", "eigen-native-partialpivlu"}},
                      sizes, 1e3, "%.4g ms");
}

[[maybe_unused]] const bool added = add_family({"gj/", 10, check, add, tables});

} // namespace

} // namespace quendle_bench
