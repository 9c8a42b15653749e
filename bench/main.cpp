// Quendle's kernels side by side with the libraries a user would otherwise
// pick, on the same inputs in the same process. Run through `make bench`,
// which prints Google Benchmark's table and then the ratios to each peer.
//
// Every family of benchmarks lives in a file of its own under families/
// (gj/, gj-small/, read/, product/, e2e/, ...); harness.h says how one joins.
// Before anything is timed, every family checks that its contenders agree.
#include <cstring>
#include <vector>

#include "harness.h"

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
    if (!quendle_bench::contenders_agree())
        return 1;
    quendle_bench::register_families();
    quendle_bench::print_tables(quendle_bench::run_benchmarks());
    benchmark::Shutdown();
    return 0;
}
