// Where a second thread starts to pay, for guassj and for the product: each
// size timed on one thread and on two (whatever the library's thresholds),
// the two interleaved, the fastest of several runs each, with the library's
// pool started beforehand as a program that computes keeps it. Built in the
// bench tree; for the Windows tree (to run under Wine) cross-build it by hand:
//
//   x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -ffp-contract=off -I. -Imtrx
//       -Ibuild/windows/include -DMTRX_STATIC_DEFINE -Wa,-muse-unaligned-vector-move
//       bench/thread_crossover.cpp build/windows/lib/libmtrx.a -static
//       -o build/windows/thread_crossover.exe
//   (one command)
//
//   thread_crossover [runs]     (7 by default)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/gj/gj.h"
#include "core/product/product.h"
#include "core/pool/thread_pool.h"

using namespace mtrx_detail;

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t0)
{
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

struct rows {
    std::vector<std::vector<double>> data;
    std::vector<double *> ptrs;
    rows(std::size_t n, std::size_t cols, unsigned seed) : data(n, std::vector<double>(cols))
    {
        std::mt19937_64 g(seed);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (auto &r : data) {
            for (double &x : r)
                x = u(g);
            ptrs.push_back(r.data());
        }
    }
};

// The fastest of `runs` solves of one n x n system on `threads` threads.
double solve_time(std::size_t n, std::size_t threads, int runs)
{
    const rows orig(n, n + 1, 1);
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        rows m = orig;
        for (std::size_t i = 0; i < n; ++i)
            m.ptrs[i] = m.data[i].data();
        gj_tuning t;
        t.threads = threads;
        t.parallel_from = 2;
        gj_tune(t);
        const auto t0 = clock_type::now();
        gj_reduce(m.ptrs.data(), nullptr, n);
        best = std::min(best, seconds_since(t0));
    }
    gj_tune(gj_tuning{});
    return best;
}

// The fastest of `runs` products of two n x n arrays on `threads` threads.
double product_time(std::size_t n, unsigned threads, int runs)
{
    rows a(n, n, 2), b(n, n, 3), r(n, n, 4);
    const product_kernel k = best_product_kernel();
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        for (auto &row : r.data)
            std::fill(row.begin(), row.end(), 0.0);
        const auto t0 = clock_type::now();
        product_into(r.ptrs.data(), a.ptrs.data(), b.ptrs.data(), n, n, n, k, threads);
        best = std::min(best, seconds_since(t0));
    }
    return best;
}

template <class F> void table(const char *what, std::initializer_list<std::size_t> sizes, F time)
{
    std::printf("%s\n| n | 1 thread | 2 threads | 1 thread / 2 threads |\n|---|---|---|---|\n", what);
    for (std::size_t n : sizes) {
        double one = 1e30, two = 1e30;
        for (int round = 0; round < 3; ++round) { // (interleaved)
            one = std::min(one, time(n, 1));
            two = std::min(two, time(n, 2));
        }
        std::printf("| %zu | %.3f ms | %.3f ms | %.2f |\n", n, one * 1e3, two * 1e3, one / two);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    pool_set_threads(2); // (two threads even on a machine of one processor)
    {
        team warm(2); // the pool's worker started before anything is timed
    }
    table("guassj", {48, 64, 96, 128, 160, 192, 256, 320, 400, 500, 700, 1000},
          [&](std::size_t n, std::size_t t) { return solve_time(n, t, runs); });
    table("product", {64, 96, 128, 160, 192, 224, 256, 320, 400, 500, 700, 1000},
          [&](std::size_t n, std::size_t t) {
              return product_time(n, static_cast<unsigned>(t), runs);
          });
    return 0;
}
