// checked/<contender>/<n>: what the diagnostics and the refinement of
// mtrx_solve_checked cost beyond the solve itself. mtrx_solve_system (a copy,
// the elimination, the solution column) is ours; the checked solve without
// and with refinement are the peers, so their ratios are the slowdowns
// (1.04x: 4% more time).
#include <cstdio>
#include <cstdlib>

#include "harness.h"
#include "inputs.h"
#include "mtrx/mtrx.h"

namespace quendle_bench {

namespace {

// The random system of order n as a record.
struct system_record {
    mtrx_t *m;
    explicit system_record(std::size_t n) : m(mtrx_create(n, n + 1))
    {
        const system_data &s = system_of(n);
        m->rows = n;
        m->cols = n + 1;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= n; ++j)
                m->mtrx[i][j] = s.rows[i * (n + 1) + j];
    }
    ~system_record() { mtrx_free(m); }
    system_record(const system_record &) = delete;
    system_record &operator=(const system_record &) = delete;
};

void bm_solve_system(benchmark::State &st, std::size_t n)
{
    const mtrx_t *m = made_once<system_record>(n).m;
    for (auto _ : st) {
        double *x = nullptr;
        mtrx_solve_system(m, &x, nullptr);
        benchmark::DoNotOptimize(x);
        std::free(x);
    }
}

void bm_solve_checked(benchmark::State &st, std::size_t n, unsigned flags)
{
    const mtrx_t *m = made_once<system_record>(n).m;
    int steps = 0;
    for (auto _ : st) {
        double *x = nullptr;
        mtrx_solve_info info;
        mtrx_solve_checked(m, flags, &x, &info, nullptr);
        benchmark::DoNotOptimize(x);
        std::free(x);
        steps = info.refinement_steps;
    }
    st.counters["steps"] = steps;
}

// Without refinement the checked solve gives mtrx_solve_system's bits.
bool check()
{
    const std::size_t n = 300;
    const mtrx_t *m = made_once<system_record>(n).m;
    double *x = nullptr, *y = nullptr;
    mtrx_solve_info info;
    const bool ok = mtrx_solve_system(m, &x, nullptr) == MTRX_OK &&
                    mtrx_solve_checked(m, 0, &y, &info, nullptr) == MTRX_OK &&
                    same_bits("mtrx_solve_checked", "mtrx_solve_system", 1, n,
                              [&](std::size_t) { return y; }, [&](std::size_t) { return x; });
    if (!ok)
        std::fprintf(stderr, "mtrx_solve_checked failed or differs from mtrx_solve_system\n");
    std::free(x);
    std::free(y);
    return ok;
}

const std::size_t sizes[] = {30, 100, 300, 1000};

void add()
{
    for (std::size_t n : sizes) {
        const std::string sz = suffix(n);
        shape(benchmark::RegisterBenchmark(("checked/solve-system" + sz).c_str(), bm_solve_system,
                                           n),
              n, false);
        shape(benchmark::RegisterBenchmark(("checked/checked" + sz).c_str(), bm_solve_checked, n,
                                           0u),
              n, false);
        shape(benchmark::RegisterBenchmark(("checked/refined" + sz).c_str(), bm_solve_checked, n,
                                           unsigned(MTRX_REFINE)),
              n, false);
    }
}

void tables(const results &r)
{
    print_ratio_table(r, "checked/", {"mtrx_solve_system", "solve-system"},
                      {{"checked", "checked"}, {"refined", "refined"}}, sizes, 1e3, "%.4g ms");
}

[[maybe_unused]] const bool added = add_family({"checked/", 65, check, add, tables});

} // namespace

} // namespace quendle_bench
