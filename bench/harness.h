// The machinery every benchmark family shares: how a family joins the
// program, how often its benchmarks repeat, the checks that must pass before
// anything is timed, and the ratio tables printed after the run.
//
// A family is one file under bench/families/ (the build picks up every file
// there). It defines its benchmarks and hands the harness one `family`:
//
//   [[maybe_unused]] const bool added =
//       quendle_bench::add_family({"cofactor/", 70, check, add, tables});
//
// `check` runs before anything is timed and says whether the contenders
// agree (the program stops if any family's check fails), `add` registers the
// benchmarks (and any context lines for the output's header), `tables`
// prints the family's tables from the fastest repetitions. The rank orders
// the families' checks, registrations and tables.
#ifndef QUENDLE_BENCH_HARNESS_H
#define QUENDLE_BENCH_HARNESS_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <span>
#include <string>

namespace quendle_bench {

class results;

struct family {
    const char *name;                        // prefix of its benchmark names, "gj/"
    int rank;                                // smaller first
    bool (*check)();                         // may be null
    void (*add)();                           // registers the benchmarks
    void (*tables)(const results &);         // may be null
    bool by_cpu_time = false;                // the tables' figures by CPU time, not wall clock
};

// Adds a family to the program; returns true, for use in a static initialiser.
bool add_family(const family &f);

// ---- what main runs, in this order ----------------------------------------

// Every family's check; false if any failed (each says why on stderr).
bool contenders_agree();
// Every family's benchmarks.
void register_families();
// Runs the benchmarks Google Benchmark's flags select: its console table,
// and its file output when --benchmark_out asks for one. Returns the
// fastest repetitions for the tables.
results run_benchmarks();
// Every family's tables.
void print_tables(const results &r);

// ---- repetition settings ---------------------------------------------------

// "/n", for benchmark names.
std::string suffix(std::size_t n);

// Repeats `b` `times` times and reports its aggregates only, the fastest
// repetition ("min") among them: other work on the machine only ever adds
// time, so the minimum is the figure least disturbed by it.
benchmark::internal::Benchmark *repeated(benchmark::internal::Benchmark *b,
                                         benchmark::TimeUnit unit, int times);

// Wall-clock timing, repetitions and run lengths for a kernel on n x n
// operands: enough repetitions that a disturbed run shows, within a few
// minutes for the whole set on two cores. `slow` marks a contender many
// times slower than ours, given fewer repetitions at large n.
void shape(benchmark::internal::Benchmark *b, std::size_t n, bool slow);

// ---- checks ------------------------------------------------------------------

// Compares two arrays of `rows` rows of `cols` doubles bit for bit (rows
// given by `a(i)` and `b(i)`); on the first difference says "<ours> differs
// from <peer> in row i" on stderr and returns false.
template <class RowA, class RowB>
bool same_bits(const char *ours, const char *peer, std::size_t rows, std::size_t cols, RowA a,
               RowB b)
{
    for (std::size_t i = 0; i < rows; ++i)
        if (std::memcmp(a(i), b(i), cols * sizeof(double)) != 0) {
            std::fprintf(stderr, "%s differs from %s in row %zu\n", ours, peer, i);
            return false;
        }
    return true;
}

// ---- results and tables ------------------------------------------------------

// The fastest repetition of every benchmark that ran, by its full name.
class results {
public:
    // Seconds per iteration; below zero when the benchmark did not run.
    double seconds(const std::string &name) const;
    // A user counter of the fastest repetition; below zero when absent.
    double counter(const std::string &name, const std::string &counter) const;
    // Whether any benchmark whose name begins with `prefix` ran.
    bool any(const std::string &prefix) const;

    void add(const benchmark::BenchmarkReporter::Run &run, bool by_cpu_time);

private:
    struct entry {
        double seconds;
        std::map<std::string, double> counters;
    };
    std::map<std::string, entry> best_;
};

// "1.23x", the peer's time over ours, or "-" when either is missing.
std::string ratio(double peer, double ours);

// One column of a table: its heading and the contender's name within the family.
struct column {
    const char *label, *name;
};

// One row per size: our time (seconds times `scale`, printed with `fmt`,
// e.g. 1e3 and "%.4g ms"), then each peer's ratio to it.
void print_ratio_table(const results &r, const char *family, column ours,
                       std::initializer_list<column> peers, std::span<const std::size_t> sizes,
                       double scale, const char *fmt);

} // namespace quendle_bench

#endif
