// read/<contender>: read a 1000 x 1001 text of about 11 MB, from memory
// (mtrx_read_str against the strtod loop) or from a file (mtrx_read_file
// against the strtod stream loop). Timed by CPU time.
#include <cstdint>
#include <cstdio>
#include <random>
#include <utility>

#include "harness.h"
#include "inputs.h"
#include "mtrx/mtrx.h"
#include "reference/strtod_reader.h"

namespace quendle_bench {

namespace {

// 1000 lines of 1001 numbers in the forms people write.
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

const temp_file &matrix_file()
{
    static temp_file f(matrix_text());
    return f;
}

void count_bytes(benchmark::State &st)
{
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) *
                         static_cast<int64_t>(matrix_text().size()));
}

void bm_read_str(benchmark::State &st)
{
    const std::string &text = matrix_text();
    for (auto _ : st) {
        mtrx_t *m = mtrx_read_str(text.c_str());
        benchmark::DoNotOptimize(m);
        mtrx_free(m);
    }
    count_bytes(st);
}

void bm_strtod_loop(benchmark::State &st)
{
    const std::string &text = matrix_text();
    for (auto _ : st) {
        std::vector<double> v = quendle_ref::strtod_numbers(text.c_str());
        benchmark::DoNotOptimize(v.data());
    }
    count_bytes(st);
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
    count_bytes(st);
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
    count_bytes(st);
}

// mtrx_read_str gives strtod's values bit for bit, mtrx_read_file the same
// values as mtrx_read_str.
bool check()
{
    bool ok = true;
    const std::string &text = matrix_text();
    mtrx_t *m = mtrx_read_str(text.c_str());
    std::vector<double> v = quendle_ref::strtod_numbers(text.c_str());
    if (!m || m->rows * m->cols != v.size()) {
        std::fprintf(stderr, "mtrx_read_str read a different number of values\n");
        ok = false;
    } else {
        ok &= same_bits(
            "mtrx_read_str", "strtod", m->rows, m->cols, [&](std::size_t i) { return m->mtrx[i]; },
            [&](std::size_t i) { return &v[i * m->cols]; });
    }
    mtrx_free(m);

    FILE *fp = std::fopen(matrix_file().path.c_str(), "r");
    mtrx_t *fm = mtrx_read_file(fp, 2, 2);
    std::fclose(fp);
    m = mtrx_read_str(text.c_str());
    if (!fm || !m || fm->rows != m->rows || fm->cols != m->cols) {
        std::fprintf(stderr, "mtrx_read_file read a different shape\n");
        ok = false;
    } else {
        ok &= same_bits(
            "mtrx_read_file", "mtrx_read_str", m->rows, m->cols,
            [&](std::size_t i) { return fm->mtrx[i]; }, [&](std::size_t i) { return m->mtrx[i]; });
    }
    mtrx_free(fm);
    mtrx_free(m);
    return ok;
}

void add()
{
    benchmark::AddCustomContext("text bytes", std::to_string(matrix_text().size()));
    for (auto *b : {benchmark::RegisterBenchmark("read/mtrx_read_str", bm_read_str),
                    benchmark::RegisterBenchmark("read/strtod-loop", bm_strtod_loop),
                    benchmark::RegisterBenchmark("read/mtrx_read_file", bm_read_file),
                    benchmark::RegisterBenchmark("read/strtod-stream-loop", bm_strtod_stream_loop)})
        repeated(b, benchmark::kMillisecond, 5)->MinTime(1.0);
}

// Each reader against the strtod loop over the same source.
void tables(const results &r)
{
    const double mb = static_cast<double>(matrix_text().size()) / 1e6;
    std::printf("| reader | time (CPU) | MB/s | strtod loop |\n|---|---|---|---|\n");
    for (auto [ours, peer] : {std::pair{"mtrx_read_str", "strtod-loop"},
                              std::pair{"mtrx_read_file", "strtod-stream-loop"},
                              std::pair{"strtod-loop", "strtod-loop"},
                              std::pair{"strtod-stream-loop", "strtod-stream-loop"}}) {
        const double t = r.seconds(std::string("read/") + ours);
        if (t > 0)
            std::printf("| %s | %.1f ms | %.0f | %s |\n", ours, t * 1e3, mb / t,
                        ratio(r.seconds(std::string("read/") + peer), t).c_str());
    }
    std::printf("\n");
}

[[maybe_unused]] const bool added = add_family({"read/", 40, check, add, tables, true});

} // namespace

} // namespace quendle_bench
