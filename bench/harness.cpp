// The families' registry, the repetition settings, the reporter that keeps
// the fastest repetitions, and the ratio tables (harness.h).
#include "harness.h"

#include <algorithm>
#include <vector>

namespace quendle_bench {

namespace {

// In rank order. A function's static, so that families may add themselves
// from their files' static initialisers in any order.
std::vector<family> &families()
{
    static std::vector<family> all;
    return all;
}

// The family a benchmark belongs to, by the prefix of its name.
const family *family_of(const std::string &name)
{
    for (const family &f : families())
        if (name.rfind(f.name, 0) == 0)
            return &f;
    return nullptr;
}

double fastest(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

// Keeps the fastest repetition of every benchmark while the console shows
// the usual table.
class collecting_reporter : public benchmark::ConsoleReporter {
public:
    results best;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            const family *f = family_of(r.run_name.function_name);
            best.add(r, f && f->by_cpu_time);
        }
    }
};

} // namespace

bool add_family(const family &f)
{
    auto &all = families();
    all.insert(std::upper_bound(all.begin(), all.end(), f,
                                [](const family &a, const family &b) { return a.rank < b.rank; }),
               f);
    return true;
}

bool contenders_agree()
{
    bool ok = true;
    for (const family &f : families())
        if (f.check && !f.check())
            ok = false;
    return ok;
}

void register_families()
{
    for (const family &f : families())
        f.add();
}

results run_benchmarks()
{
    collecting_reporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    return rep.best;
}

void print_tables(const results &r)
{
    std::printf("\nRatios (peer time / Quendle time; above 1 means Quendle is faster), fastest "
                "repetitions:\n\n");
    for (const family &f : families()) // (a filtered run: only the families it ran)
        if (f.tables && r.any(f.name))
            f.tables(r);
}

// ---- repetition settings ---------------------------------------------------

// (Built by appending: GCC 12 warns wrongly about "/" + std::to_string(n) at -O3.)
std::string suffix(std::size_t n)
{
    std::string s = "/";
    s += std::to_string(n);
    return s;
}

benchmark::internal::Benchmark *repeated(benchmark::internal::Benchmark *b,
                                         benchmark::TimeUnit unit, int times)
{
    return b->Unit(unit)->Repetitions(times)->ReportAggregatesOnly(true)->ComputeStatistics(
        "min", fastest);
}

void shape(benchmark::internal::Benchmark *b, std::size_t n, bool slow)
{
    b->UseRealTime();
    if (n <= 250)
        repeated(b, benchmark::kMillisecond, slow ? 5 : 10)->MinTime(0.3);
    else if (n <= 500)
        repeated(b, benchmark::kMillisecond, slow ? 5 : 10)->MinTime(0.5);
    else if (n <= 1000)
        repeated(b, benchmark::kMillisecond, slow ? 3 : 10)->Iterations(slow ? 1 : 3);
    else if (n <= 2000)
        repeated(b, benchmark::kMillisecond, slow ? 2 : 5)->Iterations(1);
    else
        repeated(b, benchmark::kMillisecond, slow ? 2 : 3)->Iterations(1);
}

// ---- results and tables ------------------------------------------------------

void results::add(const benchmark::BenchmarkReporter::Run &r, bool by_cpu_time)
{
    using Run = benchmark::BenchmarkReporter::Run;
    if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "min" || r.error_occurred)
        return;
    entry e;
    e.seconds = (by_cpu_time ? r.cpu_accumulated_time : r.real_accumulated_time) /
                static_cast<double>(r.iterations);
    for (const auto &[name, c] : r.counters)
        e.counters[name] = c.value;
    best_[r.run_name.function_name] = std::move(e);
}

double results::seconds(const std::string &name) const
{
    auto it = best_.find(name);
    return it == best_.end() ? -1.0 : it->second.seconds;
}

bool results::any(const std::string &prefix) const
{
    auto it = best_.lower_bound(prefix);
    return it != best_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

double results::counter(const std::string &name, const std::string &counter) const
{
    auto it = best_.find(name);
    if (it == best_.end())
        return -1.0;
    auto c = it->second.counters.find(counter);
    return c == it->second.counters.end() ? -1.0 : c->second;
}

std::string ratio(double peer, double ours)
{
    if (peer <= 0 || ours <= 0)
        return "-";
    char b[32];
    std::snprintf(b, sizeof b, "%.2fx", peer / ours);
    return b;
}

void print_ratio_table(const results &r, const char *family, column ours,
                       std::initializer_list<column> peers, std::span<const std::size_t> sizes,
                       double scale, const char *fmt)
{
    std::printf("| n | %s |", ours.label);
    for (const column &c : peers)
        std::printf(" %s |", c.label);
    std::printf("\n|---|---|");
    for (std::size_t i = 0; i < peers.size(); ++i)
        std::printf("---|");
    std::printf("\n");
    for (std::size_t n : sizes) {
        const std::string sz = suffix(n);
        const double t = r.seconds(std::string(family) + ours.name + sz);
        bool ran = t > 0;
        for (const column &c : peers)
            ran = ran || r.seconds(std::string(family) + c.name + sz) > 0;
        if (!ran) // (a filtered run)
            continue;
        char ts[32] = "-";
        if (t > 0)
            std::snprintf(ts, sizeof ts, fmt, t * scale);
        std::printf("| %zu | %s |", n, ts);
        for (const column &c : peers)
            std::printf(" %s |", ratio(r.seconds(std::string(family) + c.name + sz), t).c_str());
        std::printf("\n");
    }
    std::printf("\n");
}

} // namespace quendle_bench
