// gj-small/<contender>/<n>: small systems. guassj with its defaults, forced
// through the working array, and forced onto the caller's rows, against the
// plain loop.
#include <cstdint>

#include "harness.h"
#include "inputs.h"

namespace quendle_bench {

namespace {

const std::size_t sizes[] = {3, 5, 10, 16, 24, 32, 48, 64, 100};

void add()
{
    for (std::size_t n : sizes) {
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
}

void tables(const results &r)
{
    print_ratio_table(r, "gj-small/", {"guassj", "guassj"},
                      {{"in place", "guassj-in-place"},
                       {"working array", "guassj-workspace"},
                       {"plain loop", "plain-loop"}},
                      sizes, 1e6, "%.3g us");
}

// (The check of gj/ covers these contenders.)
[[maybe_unused]] const bool added = add_family({"gj-small/", 20, nullptr, add, tables});

} // namespace

} // namespace quendle_bench
