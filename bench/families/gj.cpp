// gj/<contender>/<n>: solve an n x n system. guassj (its defaults, and on
// one thread) against the plain loop, Eigen's two LU decompositions (built
// like everything else, and for this processor) and LAPACKE dgesv. At
// n = 4000 only guassj and dgesv run (the others would take minutes), and
// guassj reports the memory it takes beside its time.
#include <Eigen/Dense>
#include <lapacke.h>
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "eigen_native.h"
#include "harness.h"
#include "inputs.h"
#include "core/gj/gj.h"
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

// The process's resident memory now ("VmRSS") or at its highest since the
// last reset ("VmHWM"), in bytes; -1 where the system does not say.
double resident(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t len = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, len, field) == 0 && line.size() > len && line[len] == ':')
            return std::stod(line.substr(len + 1)) * 1024.0; // (in kB)
    return -1.0;
}

// Gives the heap's free memory back to the system (so that what the next
// call allocates shows as new resident memory) and starts a new
// highest-resident mark (Linux: "5" to clear_refs).
void reset_peak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// From this n on, guassj's peak memory is measured.
constexpr std::size_t peak_from = 1000;

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
    double peak = 0;
    for (auto _ : st) {
        timed_reset(st, m, s);
        double before = 0;
        if (n >= peak_from) {
            st.PauseTiming();
            reset_peak();
            before = resident("VmRSS");
            st.ResumeTiming();
        }
        guassj(m.ptrs.data(), n);
        benchmark::DoNotOptimize(m.rows[0][n]);
        if (n >= peak_from) {
            st.PauseTiming();
            peak = std::max(peak, resident("VmHWM") - before);
            st.ResumeTiming();
        }
    }
    // The memory guassj took beyond what the process held before the call
    // (its working copy of the matrix and bookkeeping), in MB.
    if (n >= peak_from && peak >= 0)
        st.counters["peak_MB"] = peak / 1e6;
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

const std::size_t sizes[] = {100, 250, 500, 1000, 2000, 4000};
// Where only guassj and dgesv run.
constexpr std::size_t large = 4000;

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
        if (n >= large)
            continue;
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
    // guassj's memory beside its time, and the matrix it solves (n rows of
    // n + 1 doubles).
    std::printf("| n | guassj | peak memory | one copy of the matrix | LAPACKE dgesv |\n"
                "|---|---|---|---|---|\n");
    for (std::size_t n : sizes) {
        if (n < peak_from)
            continue;
        const std::string name = "gj/guassj" + suffix(n);
        const double t = r.seconds(name), mb = r.counter(name, "peak_MB");
        if (t <= 0)
            continue;
        std::printf("| %zu | %.4g ms | %s | %.1f MB | %s |\n", n, t * 1e3,
                    mb >= 0 ? (std::to_string(static_cast<long>(mb + 0.5)) + " MB").c_str() : "-",
                    static_cast<double>(n) * static_cast<double>(n + 1) * 8 / 1e6,
                    ratio(r.seconds("gj/lapacke-dgesv" + suffix(n)), t).c_str());
    }
    std::printf("\n");
}

[[maybe_unused]] const bool added = add_family({"gj/", 10, check, add, tables});

} // namespace

} // namespace quendle_bench
