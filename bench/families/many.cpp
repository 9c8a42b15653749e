// many/<contender>/<k>: A X = B for k right-hand sides at n = 1000.
// mtrx_solve_many (one elimination, without the inverse) is ours; the peers
// are the same k columns solved one by one with mtrx_solve_system, the
// checked form mtrx_solve_many_checked (the inverse and each column's
// diagnostics, as Python's quendle.solve runs it), and LAPACKE dgesv with k
// columns (one LU, then k solves).
#include <lapacke.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "harness.h"
#include "inputs.h"
#include "mtrx/mtrx.h"

namespace quendle_bench {

namespace {

constexpr std::size_t order = 1000;
const std::size_t counts[] = {1, 4, 16};

// A (the random system's matrix) and B (its constants, then columns of
// further random values) as records, and [A | b_c] for each column.
struct many_inputs {
    mtrx_t *a, *b;
    std::vector<mtrx_t *> augmented;
    explicit many_inputs(std::size_t k)
        : a(mtrx_create(order, order)), b(mtrx_create(order, k)), augmented(k)
    {
        const system_data &s = system_of(order);
        const std::size_t n = order;
        a->rows = a->cols = n;
        b->rows = n;
        b->cols = k;
        unsigned seed = 7;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j)
                a->mtrx[i][j] = s.rows[i * (n + 1) + j];
            b->mtrx[i][0] = s.rows[i * (n + 1) + n];
            for (std::size_t c = 1; c < k; ++c) {
                seed = seed * 1103515245u + 12345u;
                b->mtrx[i][c] = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            }
        }
        for (std::size_t c = 0; c < k; ++c) {
            mtrx_t *m = augmented[c] = mtrx_create(n, n + 1);
            m->rows = n;
            m->cols = n + 1;
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t j = 0; j < n; ++j)
                    m->mtrx[i][j] = a->mtrx[i][j];
                m->mtrx[i][n] = b->mtrx[i][c];
            }
        }
    }
    ~many_inputs()
    {
        mtrx_free(a);
        mtrx_free(b);
        for (mtrx_t *m : augmented)
            mtrx_free(m);
    }
    many_inputs(const many_inputs &) = delete;
    many_inputs &operator=(const many_inputs &) = delete;
};

void bm_solve_many(benchmark::State &st, std::size_t k, bool checked)
{
    const many_inputs &in = made_once<many_inputs>(k);
    std::vector<mtrx_solve_info> info(k);
    for (auto _ : st) {
        mtrx_t *x = nullptr;
        if (checked)
            mtrx_solve_many_checked(in.a, in.b, 0, &x, info.data(), nullptr);
        else
            mtrx_solve_many(in.a, in.b, &x, nullptr);
        benchmark::DoNotOptimize(x);
        mtrx_free(x);
    }
}

void bm_one_by_one(benchmark::State &st, std::size_t k)
{
    const many_inputs &in = made_once<many_inputs>(k);
    for (auto _ : st)
        for (const mtrx_t *m : in.augmented) {
            double *x = nullptr;
            mtrx_solve_system(m, &x, nullptr);
            benchmark::DoNotOptimize(x);
            mtrx_free_vector(x);
        }
}

void bm_dgesv_many(benchmark::State &st, std::size_t k)
{
    const many_inputs &in = made_once<many_inputs>(k);
    const std::size_t n = order;
    std::vector<double> a0(n * n), b0(n * k), a(n * n), b(n * k);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            a0[j * n + i] = in.a->mtrx[i][j]; // column-major
        for (std::size_t c = 0; c < k; ++c)
            b0[c * n + i] = in.b->mtrx[i][c];
    }
    std::vector<lapack_int> ipiv(n);
    const auto ln = static_cast<lapack_int>(n), lk = static_cast<lapack_int>(k);
    for (auto _ : st) {
        st.PauseTiming();
        a = a0;
        b = b0;
        st.ResumeTiming();
        if (LAPACKE_dgesv(LAPACK_COL_MAJOR, ln, lk, a.data(), ln, ipiv.data(), b.data(), ln) != 0)
            st.SkipWithError("dgesv failed");
        benchmark::DoNotOptimize(b.data());
    }
}

// Every column of mtrx_solve_many (and of its checked form) has the bits
// mtrx_solve_system gives that column alone.
bool check()
{
    const std::size_t k = 4;
    const many_inputs &in = made_once<many_inputs>(k);
    bool ok = true;
    for (bool checked : {false, true}) {
        mtrx_t *x = nullptr;
        const mtrx_status st = checked ? mtrx_solve_many_checked(in.a, in.b, 0, &x, nullptr, nullptr)
                                       : mtrx_solve_many(in.a, in.b, &x, nullptr);
        ok = ok && st == MTRX_OK;
        for (std::size_t c = 0; ok && c < k; ++c) {
            double *y = nullptr;
            ok = mtrx_solve_system(in.augmented[c], &y, nullptr) == MTRX_OK;
            for (std::size_t i = 0; ok && i < order; ++i)
                ok = std::memcmp(&x->mtrx[i][c], &y[i], sizeof(double)) == 0;
            mtrx_free_vector(y);
        }
        mtrx_free(x);
    }
    if (!ok)
        std::fprintf(stderr, "mtrx_solve_many differs from mtrx_solve_system column by column\n");
    return ok;
}

void add()
{
    for (std::size_t k : counts) {
        const std::string sz = suffix(k);
        shape(benchmark::RegisterBenchmark(("many/solve-many" + sz).c_str(), bm_solve_many, k,
                                           false),
              order, false);
        shape(benchmark::RegisterBenchmark(("many/one-by-one" + sz).c_str(), bm_one_by_one, k),
              order, k > 1);
        shape(benchmark::RegisterBenchmark(("many/solve-many-checked" + sz).c_str(), bm_solve_many,
                                           k, true),
              order, false);
        shape(benchmark::RegisterBenchmark(("many/lapacke-dgesv" + sz).c_str(), bm_dgesv_many, k),
              order, false);
    }
}

void tables(const results &r)
{
    std::printf("| k (n = %zu) | mtrx_solve_many | one by one | mtrx_solve_many_checked | "
                "LAPACKE dgesv |\n|---|---|---|---|---|\n",
                order);
    for (std::size_t k : counts) {
        const std::string sz = suffix(k);
        const double t = r.seconds("many/solve-many" + sz);
        if (t <= 0)
            continue;
        std::printf("| %zu | %.4g ms | %s | %s | %s |\n", k, t * 1e3,
                    ratio(r.seconds("many/one-by-one" + sz), t).c_str(),
                    ratio(r.seconds("many/solve-many-checked" + sz), t).c_str(),
                    ratio(r.seconds("many/lapacke-dgesv" + sz), t).c_str());
    }
    std::printf("\n");
}

[[maybe_unused]] const bool added = add_family({"many/", 66, check, add, tables});

} // namespace

} // namespace quendle_bench
