// The matrix product behind arr2d_mult and the cofactors: which kernel
// runs, how the result is cut into parts, and the threads that take them.
//
// Every element of the result is one running sum from 0.0 over k in
// ascending order, each product rounded before it is added, as in the plain
// loops; the blocked kernels (product_kernels.inc) keep that sequence for
// every element. The result is cut into parts (a range of rows by a block of
// columns) that the threads of a team from the library's pool take one
// after another from a shared counter, so a thread slowed by other work on
// its core takes fewer. What happens to one element depends neither on the
// vector width nor on the thread that runs it, so every kernel and every
// thread count gives the same bits.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "core/base/cpu.h"
#include "core/product/product.h"
#include "core/product/product_kernels.h"
#include "core/pool/thread_pool.h"
#include "core/tuning.h"

namespace mtrx_detail {
namespace {

using part = product_part;

// The loops in i, k, j order: no scratch, used when none can be had.
void plain_part(double **r, double *const *a, double *const *b, std::size_t n, part pt)
{
    for (std::size_t i = pt.i0; i < pt.i1; ++i) {
        double *ri = r[i];
        for (std::size_t k = 0; k < n; ++k) {
            const double aik = a[i][k];
            const double *bk = b[k];
            for (std::size_t j = pt.j0; j < pt.j1; ++j) {
                const double t = aik * bk[j];
                ri[j] = ri[j] + t;
            }
        }
    }
}

// The plain loops (plain_part), as the cutting sees them: no scratch, one
// row to a tile, parts of 256 columns.
constexpr product_kernels plain_kernel = {1, tuning::product_plain_columns, nullptr, nullptr};

const product_kernels &kernel_for(product_kernel k)
{
    switch (k) {
#if defined(QUENDLE_X86_DISPATCH)
    case product_kernel::avx512:
        return product_kernels_avx512();
    case product_kernel::avx2:
        return product_kernels_avx2();
#endif
    case product_kernel::portable:
        return product_kernels_portable();
    default:
        return plain_kernel;
    }
}

// The parts of an m x p result: row_parts ranges of rows (whole tiles, the
// last taking what is left) by blocks of the kernel's nc columns.
struct cutting {
    std::size_t m, p, rows_per, cols_per, row_parts, count;
    part operator[](std::size_t idx) const
    {
        const std::size_t ri = idx % row_parts, ci = idx / row_parts;
        return {ri * rows_per, std::min(m, (ri + 1) * rows_per), ci * cols_per,
                std::min(p, (ci + 1) * cols_per)};
    }
};

constexpr unsigned max_threads = team::max_size;

// Scratch is kept from one product to the next: where the heap gives a
// large freed block's pages back to the system (Windows does), taking them
// again costs more than a product of a few hundred rows.
struct block {
    void *raw = nullptr;
    std::size_t bytes = 0;
};
std::mutex kept_lock;
block kept[max_threads];

// At least `bytes` (raw is null when memory is short).
block take_block(std::size_t bytes)
{
    try {
        std::lock_guard<std::mutex> hold(kept_lock);
        for (block &k : kept)
            if (k.raw && k.bytes >= bytes)
                return std::exchange(k, block{});
    } catch (...) {
        // Nothing kept can be had: a new block below.
    }
    return {std::malloc(bytes), bytes};
}

// Keeps b in an empty place or in place of a smaller block, or frees it.
void give_block(block b)
{
    try {
        std::lock_guard<std::mutex> hold(kept_lock);
        block *slot = nullptr;
        for (block &k : kept) {
            if (!k.raw) {
                slot = &k;
                break;
            }
            if (k.bytes < b.bytes && (!slot || k.bytes < slot->bytes))
                slot = &k;
        }
        if (slot)
            std::swap(*slot, b);
    } catch (...) {
    }
    std::free(b.raw);
}

// Takes parts from `next` until none is left, with scratch of its own
// (aligned for whole cache lines).
void take_parts(const product_kernels &k, double **r, double *const *a, double *const *b,
                std::size_t n, const cutting &cut, std::atomic<std::size_t> &next)
{
    if (next.load(std::memory_order_relaxed) >= cut.count)
        return;
    const std::size_t doubles = k.run ? k.scratch(n, std::min(cut.cols_per, cut.p)) : 0;
    const block mem = doubles ? take_block(doubles * sizeof(double) + 64) : block{};
    double *work = nullptr;
    if (mem.raw)
        work = reinterpret_cast<double *>((reinterpret_cast<std::uintptr_t>(mem.raw) + 63) &
                                          ~std::uintptr_t(63));
    for (std::size_t idx; (idx = next.fetch_add(1)) < cut.count;) {
        if (work)
            k.run(r, a, b, n, cut[idx], work);
        else
            plain_part(r, a, b, n, cut[idx]);
    }
    give_block(mem);
}

constexpr double work_per_thread = tuning::product_work_per_thread;

} // namespace

bool product_kernel_available(product_kernel k)
{
    switch (k) {
    case product_kernel::plain:
    case product_kernel::portable:
        return true;
    case product_kernel::avx2:
        return cpu_runs(cpu_isa::avx2);
    case product_kernel::avx512:
        return cpu_runs(cpu_isa::avx512);
    default:
        return false;
    }
}

product_kernel best_product_kernel()
{
    for (auto k : {product_kernel::avx512, product_kernel::avx2})
        if (product_kernel_available(k))
            return k;
    return product_kernel::portable;
}

unsigned product_threads(std::size_t m, std::size_t n, std::size_t p)
{
    const double work = double(m) * double(n) * double(p);
    if (work < 2 * work_per_thread)
        return 1;
    return unsigned(std::clamp(std::min(double(pool_threads()), work / work_per_thread), 1.0,
                               double(max_threads)));
}

void product_into(double **r, double *const *a, double *const *b, std::size_t m, std::size_t n,
                  std::size_t p, product_kernel which, unsigned threads)
{
    if (m == 0 || n == 0 || p == 0)
        return;
    const product_kernels &k = kernel_for(which);
    // One block of columns per part; with several threads the rows are cut
    // too until there are about four parts a thread. Each part packs its own
    // columns of b, so rows are cut only as far as that takes.
    const std::size_t tiles = (m + k.mr - 1) / k.mr, col_parts = (p + k.nc - 1) / k.nc;
    threads = unsigned(std::clamp<std::size_t>(threads, 1, max_threads));
    const std::size_t row_parts =
        threads == 1 ? 1
                     : std::clamp<std::size_t>((4 * threads + col_parts - 1) / col_parts, 1, tiles);
    const std::size_t rows_per = (tiles + row_parts - 1) / row_parts * k.mr;
    const std::size_t used_rows = (m + rows_per - 1) / rows_per;
    const cutting cut{m, p, rows_per, k.nc, used_rows, used_rows * col_parts};
    threads = unsigned(std::min<std::size_t>(threads, cut.count));

    // One chunk per thread of the team, each taking parts until none is left.
    team crew(threads);
    struct shared {
        const product_kernels &k;
        double **r;
        double *const *a, *const *b;
        std::size_t n;
        const cutting &cut;
        std::atomic<std::size_t> next{0};
    } job{k, r, a, b, n, cut};
    crew.run(
        [](void *ctx, std::size_t) {
            auto &j = *static_cast<shared *>(ctx);
            take_parts(j.k, j.r, j.a, j.b, j.n, j.cut, j.next);
        },
        &job, crew.size());
}

void product_into(double **r, double *const *a, double *const *b, std::size_t m, std::size_t n,
                  std::size_t p)
{
    static const product_kernel best = best_product_kernel();
    product_into(r, a, b, m, n, p, best, product_threads(m, n, p));
}

} // namespace mtrx_detail
