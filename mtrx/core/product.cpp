// The matrix product behind arr2d_mult.
//
// Every element of the result is one running sum: it starts at the 0.0 the
// result array is made with and receives a[i][k] * b[k][j] for k = 0, 1, ...,
// n - 1 in that order, each product rounded to a double before it is added.
// The blocked kernels below keep exactly that sequence of operations for
// every element and only change which elements are worked on together:
//  - a tile of MR rows by NR columns of the result lives in vector registers
//    while k runs; each vector lane is its own element, so vectorising across
//    columns never adds anything across k;
//  - k is cut into blocks of KC, taken in ascending order; between two blocks
//    an element's running sum is stored to the result and loaded back, which
//    is exact (no partial sums are formed and combined later);
//  - the KC x NC block of b in use is copied into contiguous panels of NR
//    columns (padded with zeros), so the inner loop reads it with unit stride;
//  - every product is a multiply followed by an add; the library is built
//    with -ffp-contract=off, so the compiler never fuses the two.
// The result is cut into parts (a range of rows by a block of NC columns)
// that the threads of a team from the library's pool take one after another
// from a shared counter, so a thread slowed by other work on its core takes
// fewer. What happens to one element
// depends neither on the vector width nor on the thread that runs it, so
// every kernel and every thread count gives the same bits.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "product.h"
#include "thread_pool.h"

namespace mtrx_detail {
namespace {

typedef double v2d __attribute__((vector_size(16)));
typedef double v4d __attribute__((vector_size(32)));
typedef double v8d __attribute__((vector_size(64)));

#define MTRX_INLINE inline __attribute__((always_inline))

// Unaligned vector loads and stores (rows of a and of the result are only as
// aligned as malloc makes them): V as it may sit in memory.
template <class V> struct unaligned_of;
template <> struct unaligned_of<v2d> {
    typedef double type __attribute__((vector_size(16), aligned(8), may_alias));
};
template <> struct unaligned_of<v4d> {
    typedef double type __attribute__((vector_size(32), aligned(8), may_alias));
};
template <> struct unaligned_of<v8d> {
    typedef double type __attribute__((vector_size(64), aligned(8), may_alias));
};
template <class V> MTRX_INLINE void load(V &v, const double *p)
{
    v = *reinterpret_cast<const typename unaligned_of<V>::type *>(p);
}
template <class V> MTRX_INLINE void store(double *p, const V &v)
{
    *reinterpret_cast<typename unaligned_of<V>::type *>(p) = v;
}

// A kernel's register tile (MR rows by NV vectors of V) and cache blocks.
template <class V, int MR, int NV, std::size_t KC, std::size_t MC, std::size_t NC> struct shape {
    using vec = V;
    static constexpr int w = sizeof(V) / sizeof(double);
    static constexpr int mr = MR;
    static constexpr int nv = NV;
    static constexpr int nr = NV * w;
    static constexpr std::size_t kc = KC;
    static constexpr std::size_t mc = MC; // a multiple of mr
    static constexpr std::size_t nc = NC; // a multiple of nr
    static_assert(MC % MR == 0 && NC % (NV * (sizeof(V) / sizeof(double))) == 0);
};

// One tile: c[r] is row r of the tile in the result (at its first column),
// a[r] the matching row of a at the block's first k, bp the packed panel of
// b (kc rows of nr values).
template <class S>
MTRX_INLINE void tile(double *const *c, const double *const *a, const double *bp, std::size_t kc)
{
    using V = typename S::vec;
    V acc[S::mr][S::nv];
    const double *ar[S::mr];
#pragma GCC unroll 32
    for (int r = 0; r < S::mr; ++r) {
        ar[r] = a[r];
#pragma GCC unroll 32
        for (int v = 0; v < S::nv; ++v)
            load(acc[r][v], c[r] + v * S::w);
    }
    for (std::size_t k = 0; k < kc; ++k, bp += S::nr) {
        V bv[S::nv];
#pragma GCC unroll 32
        for (int v = 0; v < S::nv; ++v)
            load(bv[v], bp + v * S::w);
#pragma GCC unroll 32
        for (int r = 0; r < S::mr; ++r) {
            const double x = ar[r][k];
#pragma GCC unroll 32
            for (int v = 0; v < S::nv; ++v) {
                const V t = bv[v] * x;
                acc[r][v] = acc[r][v] + t;
            }
        }
    }
#pragma GCC unroll 32
    for (int r = 0; r < S::mr; ++r)
#pragma GCC unroll 32
        for (int v = 0; v < S::nv; ++v)
            store(c[r] + v * S::w, acc[r][v]);
}

// Copies rows k0 .. k0 + kc - 1, columns j0 .. j0 + nc - 1 of b into panels
// of nr columns, each kc rows deep, zero beyond column nc.
template <class S>
MTRX_INLINE void pack(double *dst, double *const *b, std::size_t k0, std::size_t kc, std::size_t j0,
                      std::size_t nc)
{
    for (std::size_t q = 0; q < nc; q += S::nr) {
        const std::size_t w = std::min<std::size_t>(S::nr, nc - q);
        for (std::size_t k = 0; k < kc; ++k, dst += S::nr) {
            const double *src = b[k0 + k] + j0 + q;
            std::size_t t = 0;
            for (; t < w; ++t)
                dst[t] = src[t];
            for (; t < S::nr; ++t)
                dst[t] = 0.0;
        }
    }
}

// Doubles of scratch a blocked kernel needs for an n x p operand b: the
// packed block of b and one tile for the edges.
template <class S> std::size_t scratch_doubles(std::size_t n, std::size_t p)
{
    const std::size_t kc = std::min(S::kc, n);
    const std::size_t nc = std::min(S::nc, (p + S::nr - 1) / S::nr * S::nr);
    return kc * nc + S::mr * S::nr;
}

// A part of the result: rows i0 .. i1 - 1, columns j0 .. j1 - 1.
struct part {
    std::size_t i0, i1, j0, j1;
};

// One part of the product into r, when a's rows have n elements. `work`
// holds scratch_doubles<S>(n, pt.j1 - pt.j0) doubles.
template <class S>
MTRX_INLINE void blocked_part(double **r, double *const *a, double *const *b, std::size_t n,
                              part pt, double *work)
{
    const std::size_t i_begin = pt.i0, i_end = pt.i1;
    double *const packed = work;
    double *const edge = work + scratch_doubles<S>(n, pt.j1 - pt.j0) - S::mr * S::nr;
    double *crow[S::mr];
    const double *arow[S::mr];
    for (std::size_t jc = pt.j0; jc < pt.j1; jc += S::nc) {
        const std::size_t nc = std::min(S::nc, pt.j1 - jc);
        for (std::size_t pc = 0; pc < n; pc += S::kc) {
            const std::size_t kc = std::min(S::kc, n - pc);
            pack<S>(packed, b, pc, kc, jc, nc);
            for (std::size_t ic = i_begin; ic < i_end; ic += S::mc) {
                const std::size_t ie = std::min(ic + S::mc, i_end);
                for (std::size_t q = 0; q < nc; q += S::nr) {
                    const std::size_t w = std::min<std::size_t>(S::nr, nc - q);
                    const double *panel = packed + q * kc;
                    const std::size_t j0 = jc + q;
                    for (std::size_t i0 = ic; i0 < ie; i0 += S::mr) {
                        const std::size_t h = std::min<std::size_t>(S::mr, ie - i0);
                        if (h == S::mr && w == S::nr) {
                            for (int t = 0; t < S::mr; ++t) {
                                crow[t] = r[i0 + t] + j0;
                                arow[t] = a[i0 + t] + pc;
                            }
                            tile<S>(crow, arow, panel, kc);
                            continue;
                        }
                        // A tile over the last rows or columns runs on a
                        // copy; rows past the end repeat the last row of a
                        // and are not written back.
                        for (int t = 0; t < S::mr; ++t) {
                            crow[t] = edge + t * S::nr;
                            arow[t] = a[i0 + std::min<std::size_t>(t, h - 1)] + pc;
                            if (std::size_t(t) < h)
                                std::memcpy(crow[t], r[i0 + t] + j0, w * sizeof(double));
                        }
                        tile<S>(crow, arow, panel, kc);
                        for (std::size_t t = 0; t < h; ++t)
                            std::memcpy(r[i0 + t] + j0, crow[t], w * sizeof(double));
                    }
                }
            }
        }
    }
}

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

// The kernels. Blocks: kc x nc of b stays in the second-level cache, one
// panel (kc x nr) in the first; mc rows of a are swept over each panel.
using sse2_shape = shape<v2d, 4, 3, 256, 96, 192>;
using avx2_shape = shape<v4d, 4, 3, 256, 96, 192>;
using avx512_shape = shape<v8d, 8, 3, 256, 96, 192>;

using part_fn = void (*)(double **, double *const *, double *const *, std::size_t, part, double *);

void portable_part(double **r, double *const *a, double *const *b, std::size_t n, part pt,
                   double *work)
{
    blocked_part<sse2_shape>(r, a, b, n, pt, work);
}

#if defined(__x86_64__)
#define MTRX_X86_KERNELS 1
__attribute__((target("avx2"))) void avx2_part(double **r, double *const *a, double *const *b,
                                               std::size_t n, part pt, double *work)
{
    blocked_part<avx2_shape>(r, a, b, n, pt, work);
}

__attribute__((target("avx512f"))) void avx512_part(double **r, double *const *a, double *const *b,
                                                    std::size_t n, part pt, double *work)
{
    blocked_part<avx512_shape>(r, a, b, n, pt, work);
}
#endif

struct kernel {
    part_fn fn;                                       // null for the plain loops
    std::size_t mr, nc;                               // rows in a tile, columns in a block
    std::size_t (*scratch)(std::size_t, std::size_t); // doubles needed for n, columns
};

template <class S> constexpr kernel kernel_of(part_fn fn)
{
    return {fn, S::mr, S::nc, scratch_doubles<S>};
}

kernel kernel_for(product_kernel k)
{
    switch (k) {
#ifdef MTRX_X86_KERNELS
    case product_kernel::avx512:
        return kernel_of<avx512_shape>(avx512_part);
    case product_kernel::avx2:
        return kernel_of<avx2_shape>(avx2_part);
#endif
    case product_kernel::portable:
        return kernel_of<sse2_shape>(portable_part);
    default:
        return {nullptr, 1, 256, nullptr};
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
void take_parts(const kernel &k, double **r, double *const *a, double *const *b, std::size_t n,
                const cutting &cut, std::atomic<std::size_t> &next)
{
    if (next.load(std::memory_order_relaxed) >= cut.count)
        return;
    const std::size_t doubles = k.fn ? k.scratch(n, std::min(cut.cols_per, cut.p)) : 0;
    const block mem = doubles ? take_block(doubles * sizeof(double) + 64) : block{};
    double *work = nullptr;
    if (mem.raw)
        work = reinterpret_cast<double *>((reinterpret_cast<std::uintptr_t>(mem.raw) + 63) &
                                          ~std::uintptr_t(63));
    for (std::size_t idx; (idx = next.fetch_add(1)) < cut.count;) {
        if (work)
            k.fn(r, a, b, n, cut[idx], work);
        else
            plain_part(r, a, b, n, cut[idx]);
    }
    give_block(mem);
}

// Multiply-adds each thread should have for waking a pool worker to pay:
// two threads pay from about n = 128 natively (some 50 us of work for the
// AVX-512 kernel), and under Windows, where a wake-up costs more (measured
// under Wine), from about n = 200.
#ifdef _WIN32
constexpr double work_per_thread = 1 << 22;
#else
constexpr double work_per_thread = 1 << 20;
#endif

} // namespace

bool product_kernel_available(product_kernel k)
{
    switch (k) {
    case product_kernel::plain:
    case product_kernel::portable:
        return true;
#ifdef MTRX_X86_KERNELS
    case product_kernel::avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case product_kernel::avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#endif
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
    const kernel k = kernel_for(which);
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
        const kernel &k;
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
