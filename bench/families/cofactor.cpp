// cofactor/<contender>/<n>: the cofactors of a random n x n array.
// arr2d_cofactor (one factorisation) against every cofactor as the
// determinant of its minor (n^5, timed where it finishes in seconds), and
// guassj solving a system of the same order as the named peer: both
// factorise and invert, so their ratio tells what the cofactors cost beyond
// a solve.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "harness.h"
#include "inputs.h"
#include "mtrx/mtrx.h"
#include "reference/cofactor_minors_ref.h"

namespace quendle_bench {

namespace {

// Uniform elements scaled by sqrt(3 / n), so that every column has a norm
// near 1 and the cofactors stay within range of a double at every size (with
// unscaled elements they overflow from about n = 300 on).
struct cofactor_input {
    std::vector<std::vector<double>> rows;
    std::vector<double *> ptrs;
    explicit cofactor_input(std::size_t n) : rows(n, std::vector<double>(n))
    {
        std::mt19937_64 g(777 + n);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        const double s = std::sqrt(3.0 / static_cast<double>(n));
        for (auto &r : rows) {
            for (double &x : r)
                x = u(g) * s;
            ptrs.push_back(r.data());
        }
    }
};

void bm_arr2d_cofactor(benchmark::State &st, std::size_t n)
{
    const cofactor_input &in = made_once<cofactor_input>(n);
    for (auto _ : st) {
        double **c = arr2d_cofactor(const_cast<double **>(in.ptrs.data()), n);
        benchmark::DoNotOptimize(c);
        arr2d_free(c, n);
    }
}

void bm_minor_method(benchmark::State &st, std::size_t n)
{
    const cofactor_input &in = made_once<cofactor_input>(n);
    std::vector<std::vector<double>> c(n, std::vector<double>(n));
    std::vector<double *> cp;
    for (auto &r : c)
        cp.push_back(r.data());
    for (auto _ : st) {
        quendle_ref::minor_cofactors(in.ptrs.data(), cp.data(), n);
        benchmark::DoNotOptimize(c[0].data());
    }
}

// arr2d_cofactor agrees with the minor method, and at the largest size
// A C^T = det(A) I holds to rounding.
bool check()
{
    bool ok = true;
    {
        const std::size_t n = 30;
        const cofactor_input &in = made_once<cofactor_input>(n);
        double **c = arr2d_cofactor(const_cast<double **>(in.ptrs.data()), n);
        std::vector<std::vector<double>> m(n, std::vector<double>(n));
        std::vector<double *> mp;
        for (auto &r : m)
            mp.push_back(r.data());
        quendle_ref::minor_cofactors(in.ptrs.data(), mp.data(), n);
        double far = 0, big = 0;
        for (std::size_t i = 0; c && i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                far = std::max(far, std::fabs(c[i][j] - m[i][j]));
                big = std::max(big, std::fabs(m[i][j]));
            }
        if (!c || !(far <= 1e-12 * big)) {
            std::fprintf(stderr, "arr2d_cofactor failed or differs from the minor method by %g of %g\n",
                         far, big);
            ok = false;
        }
        arr2d_free(c, n);
    }
    {
        const std::size_t n = 1000;
        const cofactor_input &in = made_once<cofactor_input>(n);
        double **a = const_cast<double **>(in.ptrs.data());
        double **c = arr2d_cofactor(a, n);
        const double det = c ? arr2d_det(a, c, n) : 0.0;
        double res = 0, big = 0;
        for (std::size_t i = 0; c && i < n; i += 37)
            for (std::size_t j = 0; j < n; ++j) {
                long double s = i == j ? -static_cast<long double>(det) : 0.0L;
                for (std::size_t k = 0; k < n; ++k)
                    s += static_cast<long double>(a[i][k]) * c[j][k];
                res = std::max(res, static_cast<double>(std::fabs(s)));
                big = std::max(big, std::fabs(c[j][i]));
            }
        if (!c || !std::isnormal(det) || !(res <= 1e-10 * big)) {
            std::fprintf(stderr, "arr2d_cofactor at n = 1000: det %g, residual %g of %g\n", det, res,
                         big);
            ok = false;
        }
        arr2d_free(c, n);
    }
    return ok;
}

const std::size_t sizes[] = {10, 30, 100, 300, 1000};
const std::size_t minor_up_to = 100; // about 2 s a run at n = 100, half a minute at 200

void add()
{
    for (std::size_t n : sizes) {
        const std::string sz = suffix(n);
        shape(benchmark::RegisterBenchmark(("cofactor/arr2d_cofactor" + sz).c_str(),
                                           bm_arr2d_cofactor, n),
              n, false);
        if (n < minor_up_to)
            shape(benchmark::RegisterBenchmark(("cofactor/minor-method" + sz).c_str(),
                                               bm_minor_method, n),
                  n, true);
        else if (n == minor_up_to)
            repeated(benchmark::RegisterBenchmark(("cofactor/minor-method" + sz).c_str(),
                                                  bm_minor_method, n),
                     benchmark::kMillisecond, 3)
                ->UseRealTime()
                ->Iterations(1);
        shape(benchmark::RegisterBenchmark(("cofactor/guassj" + sz).c_str(), bm_guassj, n,
                                           std::size_t{0}, std::size_t{0}),
              n, false);
    }
}

void tables(const results &r)
{
    print_ratio_table(r, "cofactor/", {"arr2d_cofactor", "arr2d_cofactor"},
                      {{"minor method", "minor-method"}, {"guassj", "guassj"}}, sizes, 1e3,
                      "%.4g ms");
}

[[maybe_unused]] const bool added = add_family({"cofactor/", 70, check, add, tables});

} // namespace

} // namespace quendle_bench
