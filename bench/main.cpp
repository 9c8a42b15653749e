// Quendle's kernels side by side with the libraries a user would otherwise
// pick, on the same inputs in the same process. Run through `make bench`,
// which prints Google Benchmark's table and then the ratios to each peer.
//
// Every family of benchmarks lives in a file of its own under families/
// (gj/, gj-small/, read/, product/, e2e/, ...); harness.h says how one joins.
// Before anything is timed, every family checks that its contenders agree.
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// "AMD EPYC (family 25, model 17)" from /proc/cpuinfo, for the output's
// header: the same model name covers processors of different generations.
std::string processor()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line, name, family, model;
    auto value = [&] {
        const std::size_t at = line.find(':') + 2;
        return at <= line.size() ? line.substr(at) : std::string();
    };
    while (std::getline(in, line) && line.find(':') != std::string::npos) {
        if (name.empty() && line.rfind("model name", 0) == 0)
            name = value();
        else if (family.empty() && line.rfind("cpu family", 0) == 0)
            family = value();
        else if (model.empty() && line.rfind("model\t", 0) == 0)
            model = value();
    }
    if (name.empty())
        return "unknown";
    return family.empty() ? name : name + " (family " + family + ", model " + model + ")";
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
    benchmark::AddCustomContext("processor", processor());
    if (!quendle_bench::contenders_agree())
        return 1;
    quendle_bench::register_families();
    quendle_bench::print_tables(quendle_bench::run_benchmarks());
    benchmark::Shutdown();
    return 0;
}
