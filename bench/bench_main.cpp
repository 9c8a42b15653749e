// Quendle's kernels side by side with the libraries a user would otherwise
// pick, on the same inputs in the same process. Run through `make bench`,
// which prints Google Benchmark's table and then the ratios to each peer.
//
// Families:
//   gj/<contender>/<n>   solve an n x n system (Gauss-Jordan and its peers)
//   read/<contender>     read the 1000 x 1001 text
// (The stream reader, the matrix product and the console tool end to end
// join as further families when those parts of the library exist.)
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_inputs.h"
#include "internal.h"
#include "mtrx/mtrx.h"
#include "reference/gauss_jordan_ref.h"
#include "reference/strtod_reader.h"

extern "C" char *openblas_get_config(void);
extern "C" char *openblas_get_corename(void);

namespace {

// ---- inputs ----------------------------------------------------------------

// A random n x (n + 1) system, the same for every contender of one size.
struct system_data {
    std::size_t n;
    std::vector<double> rows; // row-major, n + 1 per row
};

const system_data &system_of(std::size_t n)
{
    static std::map<std::size_t, system_data> cache;
    auto it = cache.find(n);
    if (it != cache.end())
        return it->second;
    system_data s{n, std::vector<double>(n * (n + 1))};
    std::mt19937_64 g(20261208 + n);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double &x : s.rows)
        x = u(g);
    return cache.emplace(n, std::move(s)).first->second;
}

} // namespace

const std::vector<double> &system_rows(std::size_t n) { return system_of(n).rows; }

namespace {

// The matrix as separate rows behind row pointers, as the library takes it.
struct row_matrix {
    std::vector<std::vector<double>> rows;
    std::vector<double *> ptrs;
    explicit row_matrix(const system_data &s) : rows(s.n, std::vector<double>(s.n + 1))
    {
        for (std::size_t i = 0; i < s.n; ++i) {
            std::copy_n(&s.rows[i * (s.n + 1)], s.n + 1, rows[i].data());
            ptrs.push_back(rows[i].data());
        }
    }
    void reset(const system_data &s)
    {
        for (std::size_t i = 0; i < s.n; ++i)
            std::copy_n(&s.rows[i * (s.n + 1)], s.n + 1, rows[i].data());
    }
};

// About 10 MB: 1000 lines of 1001 numbers in the forms people write.
const std::string &matrix_text()
{
    static std::string text;
    if (!text.empty())
        return text;
    std::mt19937_64 g(7);
    std::uniform_real_distribution<double> u(-100.0, 100.0);
    char buf[64];
    text.reserve(11 << 20);
    for (int i = 0; i < 1000; ++i) {
        for (int j = 0; j < 1001; ++j) {
            const unsigned form = static_cast<unsigned>(g() % 4);
            if (form <= 1)
                std::snprintf(buf, sizeof buf, "%.6f", u(g));
            else if (form == 2)
                std::snprintf(buf, sizeof buf, "%.15g", u(g) * 1e-3);
            else
                std::snprintf(buf, sizeof buf, "%d", static_cast<int>(u(g)));
            text += buf;
            text += j + 1 < 1001 ? (j % 2 ? ", " : " ") : "\n";
        }
    }
    return text;
}

// ---- Gauss-Jordan and its peers ---------------------------------------------

void bm_guassj(benchmark::State &st, std::size_t n, std::size_t threads)
{
    const system_data &s = system_of(n);
    row_matrix m(s);
    mtrx_detail::gj_tuning t;
    t.threads = threads;
    mtrx_detail::gj_tune(t);
    for (auto _ : st) {
        st.PauseTiming();
        m.reset(s);
        st.ResumeTiming();
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
        st.PauseTiming();
        m.reset(s);
        st.ResumeTiming();
        quendle_ref::gauss_jordan(m.ptrs.data(), nullptr, n);
        benchmark::DoNotOptimize(m.rows[0][n]);
    }
}

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
        lapack_int info = LAPACKE_dgesv(LAPACK_COL_MAJOR, ln, 1, a.data(), ln, ipiv.data(), b.data(), ln);
        if (info != 0)
            st.SkipWithError("dgesv failed");
        benchmark::DoNotOptimize(b.data());
    }
}

// ---- readers ---------------------------------------------------------------

void bm_read_str(benchmark::State &st)
{
    const std::string &text = matrix_text();
    for (auto _ : st) {
        mtrx_t *m = mtrx_read_str(text.c_str());
        benchmark::DoNotOptimize(m);
        mtrx_free(m);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(text.size()));
}

void bm_strtod_loop(benchmark::State &st)
{
    const std::string &text = matrix_text();
    for (auto _ : st) {
        std::vector<double> v = quendle_ref::strtod_numbers(text.c_str());
        benchmark::DoNotOptimize(v.data());
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(text.size()));
}

// ---- checks before timing --------------------------------------------------

// The contenders must agree before their times mean anything: guassj gives
// the plain loop's bits, the peers' solutions are close to it, and the
// reader gives strtod's values.
bool inputs_agree()
{
    bool ok = true;
    const std::size_t n = 250;
    const system_data &s = system_of(n);
    row_matrix fast(s), plain(s);
    guassj(fast.ptrs.data(), n);
    quendle_ref::gauss_jordan(plain.ptrs.data(), nullptr, n);
    for (std::size_t i = 0; i < n; ++i)
        if (std::memcmp(fast.rows[i].data(), plain.rows[i].data(), (n + 1) * sizeof(double)) != 0) {
            std::fprintf(stderr, "guassj differs from the plain loop in row %zu\n", i);
            ok = false;
            break;
        }
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

    const std::string &text = matrix_text();
    mtrx_t *m = mtrx_read_str(text.c_str());
    std::vector<double> v = quendle_ref::strtod_numbers(text.c_str());
    if (!m || m->rows * m->cols != v.size()) {
        std::fprintf(stderr, "mtrx_read_str read a different number of values\n");
        ok = false;
    } else {
        for (std::size_t i = 0; i < m->rows && ok; ++i)
            if (std::memcmp(m->mtrx[i], &v[i * m->cols], m->cols * sizeof(double)) != 0) {
                std::fprintf(stderr, "mtrx_read_str differs from strtod in row %zu\n", i);
                ok = false;
            }
    }
    mtrx_free(m);
    return ok;
}

// ---- registration ----------------------------------------------------------

// The fastest of the repetitions: other work on the machine only ever adds
// time, so the minimum is the figure least disturbed by it.
double fastest(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

// Repetitions so that a disturbed run shows (the minimum is what counts),
// within a few minutes for the whole set on two cores.
void shape(benchmark::internal::Benchmark *b, std::size_t n, bool slow)
{
    b->Unit(benchmark::kMillisecond)->UseRealTime()->ReportAggregatesOnly(true);
    b->ComputeStatistics("min", fastest);
    if (n <= 250)
        b->MinTime(0.3)->Repetitions(slow ? 5 : 10);
    else if (n <= 500)
        b->MinTime(0.5)->Repetitions(slow ? 5 : 10);
    else if (n <= 1000)
        b->Iterations(slow ? 1 : 3)->Repetitions(slow ? 3 : 10);
    else
        b->Iterations(1)->Repetitions(slow ? 2 : 5);
}

void register_all()
{
    const std::size_t sizes[] = {100, 250, 500, 1000, 2000};
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    for (auto *b : {benchmark::RegisterBenchmark("read/mtrx_read_str", bm_read_str),
                    benchmark::RegisterBenchmark("read/strtod-loop", bm_strtod_loop)})
        b->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", fastest);
    for (std::size_t n : sizes) {
        const std::string sz = "/" + std::to_string(n);
        shape(benchmark::RegisterBenchmark(("gj/guassj" + sz).c_str(), bm_guassj, n, 0), n, false);
        if (hw > 1)
            shape(benchmark::RegisterBenchmark(("gj/guassj-1thr" + sz).c_str(), bm_guassj, n, 1),
                  n, false);
        shape(benchmark::RegisterBenchmark(("gj/plain-loop" + sz).c_str(), bm_plain_loop, n), n, true);
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
        shape(benchmark::RegisterBenchmark(("gj/lapacke-dgesv/" + std::to_string(n)).c_str(),
                                           bm_dgesv, n),
              n, false);
}

// ---- the ratio table -------------------------------------------------------

// Keeps the fastest repetition of every benchmark while the console shows
// the usual table.
class collecting_reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> best; // name -> seconds
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min" && !r.error_occurred)
                // Single-threaded families by CPU time, which other work on
                // the machine disturbs less; the rest by wall-clock time.
                best[r.run_name.function_name] =
                    (r.run_name.function_name.rfind("read/", 0) == 0 ? r.cpu_accumulated_time
                                                                     : r.real_accumulated_time) /
                    static_cast<double>(r.iterations);
    }
};

void print_ratios(const std::map<std::string, double> &med)
{
    auto get = [&](const std::string &k) {
        auto it = med.find(k);
        return it == med.end() ? -1.0 : it->second;
    };
    auto cell = [](double peer, double ours) {
        char b[32];
        if (peer <= 0 || ours <= 0)
            return std::string("-");
        std::snprintf(b, sizeof b, "%.2fx", peer / ours);
        return std::string(b);
    };
    std::printf("\nRatios (peer time / Quendle time; above 1 means Quendle is faster), fastest "
                "repetitions:\n\n");
    std::printf("| n | guassj | 1 thread | plain loop | Eigen FullPivLU | Eigen PartialPivLU | "
                "LAPACKE dgesv | Eigen native FullPivLU | Eigen native PartialPivLU |\n"
                "|---|---|---|---|---|---|---|---|---|\n");
    for (std::size_t n : {100, 250, 500, 1000, 2000}) {
        const std::string sz = "/" + std::to_string(n);
        const double ours = get("gj/guassj" + sz);
        char t[32];
        std::snprintf(t, sizeof t, "%.4g ms", ours * 1e3);
        std::printf("| %zu | %s | %s | %s | %s | %s | %s | %s | %s |\n", n, t,
                    cell(get("gj/guassj-1thr" + sz), ours).c_str(),
                    cell(get("gj/plain-loop" + sz), ours).c_str(),
                    cell(get("gj/eigen-fullpivlu" + sz), ours).c_str(),
                    cell(get("gj/eigen-partialpivlu" + sz), ours).c_str(),
                    cell(get("gj/lapacke-dgesv" + sz), ours).c_str(),
                    cell(get("gj/eigen-native-fullpivlu" + sz), ours).c_str(),
                    cell(get("gj/eigen-native-partialpivlu" + sz), ours).c_str());
    }
    const double rd = get("read/mtrx_read_str"), sd = get("read/strtod-loop");
    const double mb = static_cast<double>(matrix_text().size()) / 1e6;
    std::printf("\n| reader | time | MB/s | strtod loop |\n|---|---|---|---|\n");
    if (rd > 0)
        std::printf("| mtrx_read_str | %.1f ms | %.0f | %s |\n", rd * 1e3, mb / rd,
                    cell(sd, rd).c_str());
    if (sd > 0)
        std::printf("| strtod loop | %.1f ms | %.0f | 1.00x |\n", sd * 1e3, mb / sd);
}

} // namespace

int main(int argc, char **argv)
{
    // Repetitions of all benchmarks in random order, unless told otherwise:
    // work that other people start on the machine then falls on every
    // contender alike instead of on whichever ran at that moment.
    std::vector<char *> args(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    bool has_order = false;
    for (int i = 1; i < argc; ++i)
        has_order |= std::strncmp(argv[i], "--benchmark_enable_random_interleaving", 38) == 0;
    if (!has_order)
        args.insert(args.begin() + 1, interleave);
    int nargs = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    argc = nargs;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("guassj kernel", mtrx_detail::gj_kernel_name());
    benchmark::AddCustomContext("OpenBLAS", openblas_get_config());
    benchmark::AddCustomContext("OpenBLAS core", openblas_get_corename());
    benchmark::AddCustomContext("Eigen SIMD", Eigen::SimdInstructionSetsInUse());
    benchmark::AddCustomContext("Eigen native SIMD", eigen_native_simd());
    benchmark::AddCustomContext("text bytes", std::to_string(matrix_text().size()));
    if (!inputs_agree())
        return 1;
    register_all();
    collecting_reporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    print_ratios(rep.best);
    benchmark::Shutdown();
    return 0;
}
