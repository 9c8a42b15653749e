// Quendle's kernels side by side with the libraries a user would otherwise
// pick, on the same inputs in the same process. Run through `make bench`,
// which prints Google Benchmark's table and then the ratios to each peer.
//
// Families:
//   gj/<contender>/<n>       solve an n x n system (Gauss-Jordan and its peers)
//   gj-small/<contender>/<n> the same for small systems
//   read/<contender>         read the 1000 x 1001 text, from memory or a file
//   product/<contender>/<n>  multiply two n x n arrays
//   e2e/<program>            a console solver on a 300 x 301 system file
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <cblas.h>
#include <fcntl.h>
#include <lapacke.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "bench_inputs.h"
#include "internal.h"
#include "mtrx/mtrx.h"
#include "reference/gauss_jordan_ref.h"
#include "reference/product_ref.h"
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

// A file that holds `text`, removed when the program ends.
struct temp_file {
    std::string path;
    explicit temp_file(const std::string &text)
    {
        char name[] = "/tmp/quendle-bench-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            std::perror("quendle-bench: temporary file");
            std::exit(1);
        }
        close(fd);
        path = name;
    }
    ~temp_file() { std::remove(path.c_str()); }
};

const temp_file &matrix_file()
{
    static temp_file f(matrix_text());
    return f;
}

// The 300 x 301 system as a console solver's input, in the layout people
// type: numbers with six decimals, blanks between them.
const temp_file &system_file()
{
    static temp_file f([] {
        const std::size_t n = 300;
        const system_data &s = system_of(n);
        std::string text;
        char buf[32];
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= n; ++j) {
                std::snprintf(buf, sizeof buf, "%.6f%s", s.rows[i * (n + 1) + j], j < n ? " " : "\n");
                text += buf;
            }
        return text;
    }());
    return f;
}

// ---- Gauss-Jordan and its peers ---------------------------------------------

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

// `in_place_below` as gj_tuning takes it: 0 for the library's default, 1 to
// run even small systems through the working array.
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

void bm_read_file(benchmark::State &st)
{
    const temp_file &f = matrix_file();
    for (auto _ : st) {
        FILE *fp = std::fopen(f.path.c_str(), "r");
        mtrx_t *m = mtrx_read_file(fp, 2, 2);
        std::fclose(fp);
        benchmark::DoNotOptimize(m);
        mtrx_free(m);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) *
                         static_cast<int64_t>(matrix_text().size()));
}

void bm_strtod_stream_loop(benchmark::State &st)
{
    const temp_file &f = matrix_file();
    for (auto _ : st) {
        FILE *fp = std::fopen(f.path.c_str(), "r");
        std::vector<double> v = quendle_ref::strtod_numbers(fp);
        std::fclose(fp);
        benchmark::DoNotOptimize(v.data());
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) *
                         static_cast<int64_t>(matrix_text().size()));
}

// ---- matrix product ------------------------------------------------------

// Two random n x n arrays as rows behind row pointers, and the same values
// contiguous for dgemm.
struct product_inputs {
    std::size_t n;
    std::vector<double> a, b; // row-major
    std::vector<double *> pa, pb;
    explicit product_inputs(std::size_t n_) : n(n_), a(n_ * n_), b(n_ * n_)
    {
        std::mt19937_64 g(4242 + n);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (double &x : a)
            x = u(g);
        for (double &x : b)
            x = u(g);
        for (std::size_t i = 0; i < n; ++i) {
            pa.push_back(&a[i * n]);
            pb.push_back(&b[i * n]);
        }
    }
};

const product_inputs &product_of(std::size_t n)
{
    static std::map<std::size_t, product_inputs> cache;
    auto it = cache.find(n);
    if (it == cache.end())
        it = cache.emplace(n, product_inputs(n)).first;
    return it->second;
}

// arr2d_mult allocates and zeroes its result inside the timing; the peers
// write into arrays made beforehand.
void bm_arr2d_mult(benchmark::State &st, std::size_t n)
{
    const product_inputs &in = product_of(n);
    for (auto _ : st) {
        double **r = arr2d_mult(const_cast<double **>(in.pa.data()),
                                const_cast<double **>(in.pb.data()), n, n, n);
        benchmark::DoNotOptimize(r);
        arr2d_free(r, n);
    }
}

struct result_rows {
    std::vector<double> data;
    std::vector<double *> rows;
    explicit result_rows(std::size_t n) : data(n * n)
    {
        for (std::size_t i = 0; i < n; ++i)
            rows.push_back(&data[i * n]);
    }
};

void bm_ijk_loop(benchmark::State &st, std::size_t n)
{
    const product_inputs &in = product_of(n);
    result_rows r(n);
    for (auto _ : st) {
        quendle_ref::product_ijk(r.rows.data(), in.pa.data(), in.pb.data(), n, n, n);
        benchmark::DoNotOptimize(r.data.data());
    }
}

// The same sums in i-k-j order (the library's own fallback loops): the
// cache-friendly plain loop, same bits.
void bm_ikj_loop(benchmark::State &st, std::size_t n)
{
    const product_inputs &in = product_of(n);
    result_rows r(n);
    for (auto _ : st) {
        st.PauseTiming();
        std::fill(r.data.begin(), r.data.end(), 0.0);
        st.ResumeTiming();
        mtrx_detail::product_into(r.rows.data(), in.pa.data(), in.pb.data(), n, n, n,
                                  mtrx_detail::product_kernel::plain, 1);
        benchmark::DoNotOptimize(r.data.data());
    }
}

void bm_dgemm(benchmark::State &st, std::size_t n)
{
    const product_inputs &in = product_of(n);
    std::vector<double> c(n * n);
    const auto ln = static_cast<blasint>(n);
    for (auto _ : st) {
        cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, ln, ln, ln, 1.0, in.a.data(), ln,
                    in.b.data(), ln, 0.0, c.data(), ln);
        benchmark::DoNotOptimize(c.data());
    }
}

// ---- console solvers end to end -------------------------------------------

// Runs `program` on the 300 x 301 system file, its output into /dev/null.
void bm_console(benchmark::State &st, const char *program)
{
    const temp_file &f = system_file();
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    char *args[] = {const_cast<char *>(program), const_cast<char *>(f.path.c_str()), nullptr};
    for (auto _ : st) {
        pid_t pid;
        int status = 0;
        if (posix_spawn(&pid, program, &fa, nullptr, args, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            st.SkipWithError("the program failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&fa);
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

    // The stream reader gives the same values as the text reader.
    FILE *fp = std::fopen(matrix_file().path.c_str(), "r");
    mtrx_t *fm = mtrx_read_file(fp, 2, 2);
    std::fclose(fp);
    m = mtrx_read_str(text.c_str());
    if (!fm || !m || fm->rows != m->rows || fm->cols != m->cols) {
        std::fprintf(stderr, "mtrx_read_file read a different shape\n");
        ok = false;
    } else {
        for (std::size_t i = 0; i < m->rows && ok; ++i)
            if (std::memcmp(m->mtrx[i], fm->mtrx[i], m->cols * sizeof(double)) != 0) {
                std::fprintf(stderr, "mtrx_read_file differs from mtrx_read_str in row %zu\n", i);
                ok = false;
            }
    }
    mtrx_free(fm);
    mtrx_free(m);

    // arr2d_mult gives the i-j-k loop's bits; dgemm comes close.
    const product_inputs &in = product_of(n);
    double **r = arr2d_mult(const_cast<double **>(in.pa.data()), const_cast<double **>(in.pb.data()),
                            n, n, n);
    result_rows ref(n);
    quendle_ref::product_ijk(ref.rows.data(), in.pa.data(), in.pb.data(), n, n, n);
    std::vector<double> c(n * n);
    const auto ln = static_cast<blasint>(n);
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, ln, ln, ln, 1.0, in.a.data(), ln,
                in.b.data(), ln, 0.0, c.data(), ln);
    double far = 0;
    for (std::size_t i = 0; i < n && r; ++i) {
        if (std::memcmp(r[i], ref.rows[i], n * sizeof(double)) != 0) {
            std::fprintf(stderr, "arr2d_mult differs from the i-j-k loop in row %zu\n", i);
            ok = false;
            break;
        }
        for (std::size_t j = 0; j < n; ++j)
            far = std::max(far, std::fabs(c[i * n + j] - r[i][j]));
    }
    if (!r || !(far < 1e-10)) {
        std::fprintf(stderr, "arr2d_mult failed or dgemm differs by %g\n", far);
        ok = false;
    }
    arr2d_free(r, n);

    // The two console solvers write the same text.
    std::string outs[2];
    const char *programs[2] = {QUENDLE_SOLVE_PROGRAM, PLAIN_SOLVE_PROGRAM};
    for (int i = 0; i < 2; ++i) {
        const std::string cmd = std::string(programs[i]) + " " + system_file().path;
        FILE *p = popen(cmd.c_str(), "r");
        char buf[1 << 16];
        for (std::size_t got; p && (got = std::fread(buf, 1, sizeof buf, p)) > 0;)
            outs[i].append(buf, got);
        if (!p || pclose(p) != 0) {
            std::fprintf(stderr, "%s failed\n", programs[i]);
            ok = false;
        }
    }
    if (outs[0] != outs[1] || outs[0].find("Solution Vector:") == std::string::npos) {
        std::fprintf(stderr, "quendle-solve and the plain solver write different texts\n");
        ok = false;
    }
    return ok;
}

// ---- registration ----------------------------------------------------------

// "/n" for benchmark names (built by appending: GCC 12 warns wrongly about
// "/" + std::to_string(n) at -O3).
std::string suffix(std::size_t n)
{
    std::string s = "/";
    s += std::to_string(n);
    return s;
}

// The fastest of the repetitions: other work on the machine only ever adds
// time, so the minimum is the figure least disturbed by it.
double fastest(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

// Every benchmark is repeated and reports its aggregates, the fastest
// repetition among them.
benchmark::internal::Benchmark *repeated(benchmark::internal::Benchmark *b, benchmark::TimeUnit unit,
                                         int times)
{
    return b->Unit(unit)->Repetitions(times)->ReportAggregatesOnly(true)->ComputeStatistics(
        "min", fastest);
}

// Repetitions so that a disturbed run shows (the minimum is what counts),
// within a few minutes for the whole set on two cores.
void shape(benchmark::internal::Benchmark *b, std::size_t n, bool slow)
{
    b->UseRealTime();
    if (n <= 250)
        repeated(b, benchmark::kMillisecond, slow ? 5 : 10)->MinTime(0.3);
    else if (n <= 500)
        repeated(b, benchmark::kMillisecond, slow ? 5 : 10)->MinTime(0.5);
    else if (n <= 1000)
        repeated(b, benchmark::kMillisecond, slow ? 3 : 10)->Iterations(slow ? 1 : 3);
    else
        repeated(b, benchmark::kMillisecond, slow ? 2 : 5)->Iterations(1);
}

const std::size_t gj_sizes[] = {100, 250, 500, 1000, 2000};
const std::size_t small_sizes[] = {3, 5, 10, 16, 24, 32, 48, 64, 100};
const std::size_t product_sizes[] = {250, 500, 1000};

void register_all()
{
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    for (auto *b : {benchmark::RegisterBenchmark("read/mtrx_read_str", bm_read_str),
                    benchmark::RegisterBenchmark("read/strtod-loop", bm_strtod_loop),
                    benchmark::RegisterBenchmark("read/mtrx_read_file", bm_read_file),
                    benchmark::RegisterBenchmark("read/strtod-stream-loop", bm_strtod_stream_loop)})
        repeated(b, benchmark::kMillisecond, 5)->MinTime(1.0);
    for (std::size_t n : gj_sizes) {
        const std::string sz = suffix(n);
        shape(benchmark::RegisterBenchmark(("gj/guassj" + sz).c_str(), bm_guassj, n, 0, 0), n, false);
        if (hw > 1)
            shape(benchmark::RegisterBenchmark(("gj/guassj-1thr" + sz).c_str(), bm_guassj, n, 1, 0),
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
    for (std::size_t n : small_sizes) {
        const std::string sz = suffix(n);
        for (auto *b : {benchmark::RegisterBenchmark(("gj-small/guassj" + sz).c_str(), bm_guassj,
                                                     n, 0, 0),
                        benchmark::RegisterBenchmark(("gj-small/guassj-workspace" + sz).c_str(),
                                                     bm_guassj, n, 0, 1),
                        benchmark::RegisterBenchmark(("gj-small/guassj-in-place" + sz).c_str(),
                                                     bm_guassj, n, 0, SIZE_MAX),
                        benchmark::RegisterBenchmark(("gj-small/plain-loop" + sz).c_str(),
                                                     bm_plain_loop, n)})
            repeated(b, benchmark::kMicrosecond, 5)->MinTime(0.2);
    }
    for (std::size_t n : product_sizes) {
        const std::string sz = suffix(n);
        shape(benchmark::RegisterBenchmark(("product/arr2d_mult" + sz).c_str(), bm_arr2d_mult, n),
              n, false);
        shape(benchmark::RegisterBenchmark(("product/ijk-loop" + sz).c_str(), bm_ijk_loop, n), n,
              true);
        shape(benchmark::RegisterBenchmark(("product/ikj-loop" + sz).c_str(), bm_ikj_loop, n), n,
              true);
        shape(benchmark::RegisterBenchmark(("product/openblas-dgemm" + sz).c_str(), bm_dgemm, n),
              n, false);
    }
    for (auto *b : {benchmark::RegisterBenchmark("e2e/quendle-solve", bm_console,
                                                 QUENDLE_SOLVE_PROGRAM),
                    benchmark::RegisterBenchmark("e2e/plain-solve", bm_console,
                                                 PLAIN_SOLVE_PROGRAM)})
        repeated(b, benchmark::kMillisecond, 10)->UseRealTime()->MinTime(0.5);
    // (OpenBLAS's idle threads spin for a fraction of a second after each
    // call and may take a core from whatever runs next: the fastest
    // repetition is the figure that counts.)
    for (std::size_t n : gj_sizes)
        shape(benchmark::RegisterBenchmark(("gj/lapacke-dgesv" + suffix(n)).c_str(),
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
    // One row per size: Quendle's time, then each peer's ratio to it.
    struct column {
        const char *label, *name;
    };
    auto table = [&](const char *family, column ours, std::initializer_list<column> peers,
                     std::span<const std::size_t> sizes, double scale, const char *fmt) {
        std::printf("| n | %s |", ours.label);
        for (const column &c : peers)
            std::printf(" %s |", c.label);
        std::printf("\n|---|---|");
        for (std::size_t i = 0; i < peers.size(); ++i)
            std::printf("---|");
        std::printf("\n");
        for (std::size_t n : sizes) {
            const std::string sz = suffix(n);
            const double t = get(std::string(family) + ours.name + sz);
            char ts[32];
            std::snprintf(ts, sizeof ts, fmt, t * scale);
            std::printf("| %zu | %s |", n, ts);
            for (const column &c : peers)
                std::printf(" %s |", cell(get(std::string(family) + c.name + sz), t).c_str());
            std::printf("\n");
        }
        std::printf("\n");
    };
    table("gj/", {"guassj", "guassj"},
          {{"1 thread", "guassj-1thr"},
           {"plain loop", "plain-loop"},
           {"Eigen FullPivLU", "eigen-fullpivlu"},
           {"Eigen PartialPivLU", "eigen-partialpivlu"},
           {"LAPACKE dgesv", "lapacke-dgesv"},
           {"Eigen native FullPivLU", "eigen-native-fullpivlu"},
           {"Eigen native PartialPivLU", "eigen-native-partialpivlu"}},
          gj_sizes, 1e3, "%.4g ms");
    table("gj-small/", {"guassj", "guassj"},
          {{"in place", "guassj-in-place"},
           {"working array", "guassj-workspace"},
           {"plain loop", "plain-loop"}},
          small_sizes, 1e6, "%.3g us");
    table("product/", {"arr2d_mult", "arr2d_mult"},
          {{"i-j-k loop", "ijk-loop"}, {"i-k-j loop", "ikj-loop"}, {"OpenBLAS dgemm", "openblas-dgemm"}},
          product_sizes, 1e3, "%.4g ms");

    const double mb = static_cast<double>(matrix_text().size()) / 1e6;
    std::printf("| reader | time (CPU) | MB/s | strtod loop |\n|---|---|---|---|\n");
    for (auto [ours, peer] : {std::pair{"mtrx_read_str", "strtod-loop"},
                              std::pair{"mtrx_read_file", "strtod-stream-loop"},
                              std::pair{"strtod-loop", "strtod-loop"},
                              std::pair{"strtod-stream-loop", "strtod-stream-loop"}}) {
        const double t = get(std::string("read/") + ours), p = get(std::string("read/") + peer);
        if (t > 0)
            std::printf("| %s | %.1f ms | %.0f | %s |\n", ours, t * 1e3, mb / t,
                        cell(p, t).c_str());
    }

    const double qs = get("e2e/quendle-solve"), ps = get("e2e/plain-solve");
    std::printf("\n| program, 300 x 301 file | time | plain solver |\n|---|---|---|\n");
    if (qs > 0)
        std::printf("| quendle-solve | %.2f ms | %s |\n", qs * 1e3, cell(ps, qs).c_str());
    if (ps > 0)
        std::printf("| plain solver | %.2f ms | 1.00x |\n", ps * 1e3);
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
