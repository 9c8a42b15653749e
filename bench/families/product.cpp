// product/<contender>/<n>: multiply two random n x n arrays. arr2d_mult
// against the product as defined (i-j-k), the same sums in i-k-j order and
// OpenBLAS dgemm.
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "harness.h"
#include "inputs.h"
#include "core/product/product.h"
#include "mtrx/mtrx.h"
#include "reference/product_ref.h"

extern "C" char *openblas_get_config(void);
extern "C" char *openblas_get_corename(void);

namespace quendle_bench {

namespace {

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

// arr2d_mult allocates and zeroes its result inside the timing; the peers
// write into arrays made beforehand.
void bm_arr2d_mult(benchmark::State &st, std::size_t n)
{
    const product_inputs &in = made_once<product_inputs>(n);
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
    const product_inputs &in = made_once<product_inputs>(n);
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
    const product_inputs &in = made_once<product_inputs>(n);
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
    const product_inputs &in = made_once<product_inputs>(n);
    std::vector<double> c(n * n);
    const auto ln = static_cast<blasint>(n);
    for (auto _ : st) {
        cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, ln, ln, ln, 1.0, in.a.data(), ln,
                    in.b.data(), ln, 0.0, c.data(), ln);
        benchmark::DoNotOptimize(c.data());
    }
}

// arr2d_mult gives the i-j-k loop's bits; dgemm comes close.
bool check()
{
    bool ok = true;
    const std::size_t n = 250;
    const product_inputs &in = made_once<product_inputs>(n);
    double **r = arr2d_mult(const_cast<double **>(in.pa.data()),
                            const_cast<double **>(in.pb.data()), n, n, n);
    result_rows ref(n);
    quendle_ref::product_ijk(ref.rows.data(), in.pa.data(), in.pb.data(), n, n, n);
    std::vector<double> c(n * n);
    const auto ln = static_cast<blasint>(n);
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, ln, ln, ln, 1.0, in.a.data(), ln,
                in.b.data(), ln, 0.0, c.data(), ln);
    double far = 0;
    if (r) {
        ok &= same_bits(
            "arr2d_mult", "the i-j-k loop", n, n, [&](std::size_t i) { return r[i]; },
            [&](std::size_t i) { return ref.rows[i]; });
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                far = std::max(far, std::fabs(c[i * n + j] - r[i][j]));
    }
    if (!r || !(far < 1e-10)) {
        std::fprintf(stderr, "arr2d_mult failed or dgemm differs by %g\n", far);
        ok = false;
    }
    arr2d_free(r, n);
    return ok;
}

const std::size_t sizes[] = {250, 500, 1000};

void add()
{
    benchmark::AddCustomContext("OpenBLAS", openblas_get_config());
    benchmark::AddCustomContext("OpenBLAS core", openblas_get_corename());
    for (std::size_t n : sizes) {
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
}

void tables(const results &r)
{
    print_ratio_table(r, "product/", {"arr2d_mult", "arr2d_mult"},
                      {{"i-j-k loop", "ijk-loop"},
                       {"i-k-j loop", "ikj-loop"},
                       {"OpenBLAS dgemm", "openblas-dgemm"}},
                      sizes, 1e3, "%.4g ms");
}

[[maybe_unused]] const bool added = add_family({"product/", 30, check, add, tables});

} // namespace

} // namespace quendle_bench
