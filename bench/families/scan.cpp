// scan/<form>/<contender>: the readers' number scanner on one line of 2,000
// numbers of one form, against the same loop converting with std::from_chars
// and with strtod. All three find the numbers with the scanner's start rule,
// so the figures differ only in the conversion. Timed by CPU time; the
// tables give nanoseconds per number.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/read/scan.h"
#include "harness.h"

namespace quendle_bench {

namespace {

constexpr std::size_t per_line = 2000;

// The forms: what a person types, what printf's defaults give, and the 17
// significant digits that round-trip a double (`--values` and Python's repr).
struct form {
    const char *name;
    const char *format;
    bool integer;
};
const form forms[] = {{"integers", "%d", true},
                      {"short-decimals", "%.3f", false},
                      {"six-places", "%.6f", false},
                      {"15-digits", "%.15g", false},
                      {"17-digits", "%.17g", false}};

const std::string &line_of(const form &f)
{
    static std::string lines[std::size(forms)];
    std::string &text = lines[&f - forms];
    if (!text.empty())
        return text;
    std::mt19937_64 g(11);
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    char buf[64];
    for (std::size_t i = 0; i < per_line; ++i) {
        const double x = u(g);
        if (f.integer)
            std::snprintf(buf, sizeof buf, f.format, static_cast<int>(x));
        else
            std::snprintf(buf, sizeof buf, f.format, x);
        text += buf;
        text += i + 1 < per_line ? " " : "\n";
    }
    return text;
}

using mtrx_detail::next_number;
using mtrx_detail::start_rule;

// The scanner as the stream reader runs it.
std::size_t scan_quendle(const std::string &line, double *out)
{
    const char *p = line.data();
    return mtrx_detail::scan_values(p, p + line.size(), out, per_line).count;
}

std::size_t scan_from_chars(const std::string &line, double *out)
{
    const char *p = line.data(), *end = p + line.size();
    std::size_t i = 0;
    while ((p = next_number(p, end, start_rule::strict)) != end) {
        const std::from_chars_result r = std::from_chars(p, end, out[i]);
        if (r.ptr == p)
            break;
        ++i;
        p = r.ptr;
    }
    return i;
}

std::size_t scan_strtod(const std::string &line, double *out)
{
    const char *p = line.data(), *end = p + line.size();
    std::size_t i = 0;
    while ((p = next_number(p, end, start_rule::strict)) != end) {
        char *e = nullptr;
        errno = 0;
        out[i] = std::strtod(p, &e);
        if (e == p)
            break;
        ++i;
        p = e;
    }
    return i;
}

using scanner = std::size_t (*)(const std::string &, double *);

void bm_scan(benchmark::State &st, const form *f, scanner scan)
{
    const std::string &line = line_of(*f);
    std::vector<double> out(per_line);
    for (auto _ : st) {
        benchmark::DoNotOptimize(scan(line, out.data()));
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(per_line));
}

const struct {
    const char *name;
    scanner scan;
} contenders[] = {{"quendle", scan_quendle}, {"from_chars", scan_from_chars}, {"strtod", scan_strtod}};

// Every contender reads every number of every line, to the same bits.
bool check()
{
    bool ok = true;
    for (const form &f : forms) {
        std::vector<double> want(per_line), got(per_line);
        if (scan_strtod(line_of(f), want.data()) != per_line) {
            std::fprintf(stderr, "scan/%s: strtod did not read every number\n", f.name);
            ok = false;
            continue;
        }
        for (const auto &c : contenders) {
            std::fill(got.begin(), got.end(), 0.0);
            const std::size_t n = c.scan(line_of(f), got.data());
            if (n != per_line || !same_bits(c.name, "strtod", 1, per_line,
                                            [&](std::size_t) { return got.data(); },
                                            [&](std::size_t) { return want.data(); })) {
                std::fprintf(stderr, "scan/%s: %s read %zu numbers, or other bits\n", f.name,
                             c.name, n);
                ok = false;
            }
        }
    }
    return ok;
}

void add()
{
    for (const form &f : forms)
        for (const auto &c : contenders)
            repeated(benchmark::RegisterBenchmark(
                         (std::string("scan/") + f.name + "/" + c.name).c_str(), bm_scan, &f,
                         c.scan),
                     benchmark::kMicrosecond, 5)
                ->MinTime(0.2);
}

// Nanoseconds per number for each form and contender.
void tables(const results &r)
{
    std::printf("| form | quendle | from_chars | strtod |\n|---|---|---|---|\n");
    for (const form &f : forms) {
        std::printf("| %s |", f.name);
        for (const auto &c : contenders) {
            const double t = r.seconds(std::string("scan/") + f.name + "/" + c.name);
            if (t > 0)
                std::printf(" %.1f ns |", t * 1e9 / per_line);
            else
                std::printf(" - |");
        }
        std::printf("\n");
    }
    std::printf("\n");
}

[[maybe_unused]] const bool added = add_family({"scan/", 45, check, add, tables, true});

} // namespace

} // namespace quendle_bench
