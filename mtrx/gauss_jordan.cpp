// Gauss-Jordan elimination with full pivoting (pivot search over the unused
// rows and columns, row interchange onto the diagonal, normalisation by the
// reciprocal, elimination in every other row, and the column unscrambling at
// the end that turns the block into the inverse). The constants live either
// in column n of each row or in a separate vector; both forms run this one
// kernel, and every element sees exactly the operations of the plain loop,
// in the same order, so the bits are those of the plain loop.
//
// How it is fast:
//  - Systems of fewer than 48 unknowns run the plain steps directly on the
//    caller's rows: there the setup below would cost more than it saves.
//  - The matrix is copied into a private working array with contiguous,
//    padded rows. Its columns ("positions") are kept in this order: 0..m-1
//    the columns not yet pivoted, m..n-1 the inverse, n the constants. When
//    a column is pivoted it trades places with position m-1, so the columns
//    that still take part in the search stay contiguous. Rows are
//    exchanged by relabelling (logical row -> physical row).
//  - Each step's elimination pass also finds, for every row it writes, the
//    largest magnitude among the columns of the next search. The search
//    combines these row maxima in logical row order with ">=" and then looks
//    for the largest column of that magnitude in the winning row only: the
//    same element as the row-major scan picks.
//  - Nothing reads the inverse columns until the end, so their updates are
//    recorded (multipliers and pivot rows) and applied a block of steps at a
//    time: each element is loaded once per block and takes that block's
//    steps in order.
//  - Large matrices split the rows of every pass among threads; the results
//    do not depend on the split.
// A step whose candidates are all NaN picks nothing new (the pivot indices
// stay); from then on the remaining steps run as plain loops on the working
// array.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "gj_kernels.h"
#include "internal.h"

namespace mtrx_detail {

namespace {

gj_tuning g_tuning;

const gj_kernels *kernels_for(gj_isa isa)
{
#if defined(QUENDLE_GJ_X86_DISPATCH)
    __builtin_cpu_init();
    const bool has512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    const bool has2 = __builtin_cpu_supports("avx2");
    switch (isa) {
    case gj_isa::automatic:
        return has512 ? &gj_kernels_avx512() : has2 ? &gj_kernels_avx2() : &gj_kernels_portable();
    case gj_isa::avx512:
        return has512 ? &gj_kernels_avx512() : nullptr;
    case gj_isa::avx2:
        return has2 ? &gj_kernels_avx2() : nullptr;
    case gj_isa::portable:
        return &gj_kernels_portable();
    }
    return nullptr;
#else
    return isa == gj_isa::automatic || isa == gj_isa::portable ? &gj_kernels_portable() : nullptr;
#endif
}

inline std::size_t round_up(std::size_t x, std::size_t to) { return (x + to - 1) / to * to; }

inline void cpu_relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The helper threads of one run. Every job is cut into one chunk of rows per
// thread. Each thread first claims its own chunk (so the same rows stay with
// the same core from step to step), then any chunk still unclaimed: a helper
// that the system has put aside before it started holds up nothing, as the
// others take its chunk. Which thread does a chunk does not matter to the
// result: every row is computed alone.
class crew {
public:
    static constexpr std::size_t max_threads = 64;
    // Runs chunk i of the current job.
    using work_fn = void (*)(void *ctx, std::size_t chunk);

    crew(work_fn work, void *ctx) : work_(work), ctx_(ctx) {}

    // Starts up to `helpers` threads; returns how many started.
    std::size_t start(std::size_t helpers)
    {
        try {
            pool_.reserve(helpers);
            for (std::size_t i = 0; i < helpers; ++i)
                pool_.emplace_back([this, i] { helper(i + 1); });
        } catch (...) {
            // (fewer helpers, or none: the calling thread does the rest)
        }
        chunks_ = pool_.size() + 1;
        return pool_.size();
    }

    std::size_t chunks() const { return chunks_; }

    // Runs every chunk of the job the caller has just set up and returns
    // when all are done: true when the caller had to wait long for a helper
    // (one the system put aside in the middle of its chunk).
    bool run()
    {
        done_.store(0, std::memory_order_relaxed);
        const std::uint64_t gen = gen_.load(std::memory_order_relaxed) + 1;
        gen_.store(gen, std::memory_order_seq_cst);
        if (sleepers_.load(std::memory_order_seq_cst) > 0) {
            std::lock_guard<std::mutex> lk(mu_);
            cv_.notify_all();
        }
        take_chunks(0, gen);
        bool long_wait = false;
        for (unsigned spins = 0; done_.load(std::memory_order_acquire) < chunks_; ++spins) {
            if (spins < 4000) {
                cpu_relax();
            } else {
                long_wait = true;
                std::this_thread::yield();
            }
        }
        return long_wait;
    }

    ~crew()
    {
        exit_.store(true, std::memory_order_seq_cst);
        {
            std::lock_guard<std::mutex> lk(mu_);
            cv_.notify_all();
        }
        for (auto &t : pool_)
            t.join();
    }

private:
    // Own chunk first, then the others in turn; each taken once per job.
    void take_chunks(std::size_t self, std::uint64_t gen)
    {
        for (std::size_t k = 0; k < chunks_; ++k) {
            const std::size_t i = (self + k) % chunks_;
            std::uint64_t prev = taken_[i].load(std::memory_order_relaxed);
            if (prev >= gen || !taken_[i].compare_exchange_strong(prev, gen, std::memory_order_acq_rel))
                continue;
            work_(ctx_, i);
            done_.fetch_add(1, std::memory_order_release);
        }
    }

    void helper(std::size_t self)
    {
        std::uint64_t seen = 0;
        for (;;) {
            std::uint64_t gen = gen_.load(std::memory_order_acquire);
            for (int spins = 0; gen == seen && spins < 4000; ++spins) {
                if (exit_.load(std::memory_order_relaxed))
                    return;
                cpu_relax();
                gen = gen_.load(std::memory_order_acquire);
            }
            if (gen == seen) {
                std::unique_lock<std::mutex> lk(mu_);
                sleepers_.fetch_add(1, std::memory_order_seq_cst);
                cv_.wait(lk, [&] {
                    return exit_.load(std::memory_order_seq_cst) ||
                           gen_.load(std::memory_order_seq_cst) != seen;
                });
                sleepers_.fetch_sub(1, std::memory_order_relaxed);
                if (exit_.load(std::memory_order_relaxed))
                    return;
                gen = gen_.load(std::memory_order_acquire);
            }
            seen = gen;
            take_chunks(self, gen);
        }
    }

    work_fn work_;
    void *ctx_;
    std::vector<std::thread> pool_;
    std::size_t chunks_ = 1;
    std::atomic<std::uint64_t> gen_{0}; // the current job
    std::atomic<std::uint64_t> taken_[max_threads] = {};
    std::atomic<std::size_t> done_{0};
    std::atomic<bool> exit_{false};
    std::atomic<int> sleepers_{0};
    std::mutex mu_;
    std::condition_variable cv_;
};

// The bookkeeping of every Gauss-Jordan run: pivot columns, pivot rows,
// pivot flags (allocated in this order, released in the reverse one).
bool allocate_bookkeeping(std::size_t n, std::int32_t *&indxc, std::int32_t *&indxr,
                          std::int32_t *&ipiv)
{
    indxc = static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t)));
    indxr = indxc ? static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t))) : nullptr;
    ipiv = indxr ? static_cast<std::int32_t *>(lib_calloc(n, sizeof(std::int32_t))) : nullptr;
    return ipiv != nullptr;
}

void release_bookkeeping(std::int32_t *&indxc, std::int32_t *&indxr, std::int32_t *&ipiv)
{
    std::free(ipiv);
    std::free(indxr);
    std::free(indxc);
    ipiv = indxr = indxc = nullptr;
}

// Small systems straight on the caller's rows: below a few dozen unknowns
// the working array, its copies and the per-step bookkeeping of the solver
// below cost more than they save. The steps are the plain ones, element by
// element, so the bits are the same either way.
gj_status reduce_in_place(double **a, double *b, std::size_t n)
{
    std::int32_t *indxc, *indxr, *ipiv;
    if (!allocate_bookkeeping(n, indxc, indxr, ipiv)) {
        release_bookkeeping(indxc, indxr, ipiv);
        return gj_status::no_memory;
    }
    const std::size_t w = b ? n : n + 1; // width of the rows' own part
    std::size_t irow = 0, icol = 0;
    gj_status st = gj_status::solved;
    for (std::size_t i = 0; i < n; ++i) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (ipiv[j] == 1)
                continue;
            const double *row = a[j];
            for (std::size_t k = 0; k < n; ++k)
                if (ipiv[k] == 0 && std::fabs(row[k]) >= big) {
                    big = std::fabs(row[k]);
                    irow = j;
                    icol = k;
                }
        }
        ++ipiv[icol];
        if (irow != icol) {
            std::swap_ranges(a[irow], a[irow] + w, a[icol]);
            if (b)
                std::swap(b[irow], b[icol]);
        }
        indxr[i] = static_cast<std::int32_t>(irow);
        indxc[i] = static_cast<std::int32_t>(icol);
        double *prow = a[icol];
        if (prow[icol] == 0.0) {
            st = gj_status::singular;
            break;
        }
        const double pivinv = 1.0 / prow[icol];
        prow[icol] = 1.0;
        for (std::size_t k = 0; k < w; ++k)
            prow[k] *= pivinv;
        if (b)
            b[icol] *= pivinv;
        for (std::size_t l = 0; l < n; ++l) {
            if (l == icol)
                continue;
            double *row = a[l];
            const double f = row[icol];
            row[icol] = 0.0;
            for (std::size_t k = 0; k < w; ++k) {
                const double t = prow[k] * f;
                row[k] = row[k] - t;
            }
            if (b) {
                const double t = b[icol] * f;
                b[l] = b[l] - t;
            }
        }
    }
    if (st == gj_status::solved)
        for (std::size_t l = n; l-- > 0;)
            if (indxr[l] != indxc[l])
                for (std::size_t r = 0; r < n; ++r)
                    std::swap(a[r][indxr[l]], a[r][indxc[l]]);
    release_bookkeeping(indxc, indxr, ipiv);
    return st;
}

class solver {
public:
    solver(double **a, double *b, std::size_t n, const gj_kernels &k) : a_(a), b_(b), n_(n), k_(k)
    {
    }
    ~solver() { release(); }

    gj_status run();

private:
    enum class outcome { running, solved, singular, generic };

    // ---- state ----------------------------------------------------------
    double **a_;
    double *b_;
    std::size_t n_;
    const gj_kernels &k_;

    std::int32_t *indxc_ = nullptr, *indxr_ = nullptr, *ipiv_ = nullptr;
    void *block_ = nullptr; // everything below lives in this one allocation

    double *w_ = nullptr;   // working rows, ld_ doubles each
    std::size_t ld_ = 0;
    double *colid_ = nullptr; // position -> original column (as a double)
    double *rmax_ = nullptr; // per physical row: largest magnitude in the search (-1: none)
    double *pv_ = nullptr;                     // B pivot rows of the open block
    double *f_[2] = {nullptr, nullptr};        // B x n multipliers, two blocks
    double *rs_ = nullptr;                     // reciprocal pivot of each step of the block
    int *tstart_[2] = {nullptr, nullptr};      // first pending step per row, two blocks
    std::size_t *ph_ = nullptr, *lg_ = nullptr; // logical <-> physical row
    std::size_t *colat_ = nullptr, *pos_ = nullptr; // position <-> original column
    std::size_t *prow_ = nullptr;                   // physical pivot row of each step of the block

    std::size_t bsize_ = 32; // steps per block
    std::size_t s_ = 0;      // current step
    std::size_t m_ = 0;      // columns not yet pivoted
    std::size_t irow_ = 0, icol_ = 0;
    outcome out_ = outcome::running;

    // The open block: steps s0.. of the current F buffer.
    std::size_t b_m0_ = 0, b_nb_ = 0;
    int fbuf_ = 0;

    // The job every thread runs between two barriers.
    struct job {
        bool elim = false;
        std::size_t P = 0, q = 0, m = 0, t = 0; // pivot row, its old position, m, step in block
        double *f = nullptr;
        bool flush = false;
        gj_block blk{};
        int *tstart = nullptr;
        bool exit = false;
    } job_;
    std::size_t chunks_ = 1; // pieces every job is cut into

    // ---- steps ------------------------------------------------------------
    bool allocate();
    void release();
    void copy_in();
    void copy_out(bool unscramble);
    std::size_t take_pivot();
    bool prepare_step();
    void run_chunk(std::size_t chunk);
    void after_job();
    gj_block open_block() const;
    void close_block();
    void generic_steps();

};

bool solver::allocate()
{
    const std::size_t n = n_;
    if (!allocate_bookkeeping(n, indxc_, indxr_, ipiv_))
        return false;

    bsize_ = g_tuning.block ? std::min<std::size_t>(g_tuning.block, 256) : 32;
    bsize_ = std::min(bsize_, n);
    ld_ = round_up(n + 1, 8);
    const std::size_t B = bsize_;
    // Doubles first (64-byte aligned pieces), then the index arrays.
    std::size_t doubles = 8 /* alignment slack */ + n * ld_ + ld_ /* colid */ + round_up(n, 8) +
                          B * ld_ + 2 * B * round_up(n, 8) + round_up(B, 8);
    std::size_t sizes = 4 * n + ld_ + B;
    std::size_t ints = 2 * n;
    std::size_t bytes = doubles * sizeof(double) + sizes * sizeof(std::size_t) + ints * sizeof(int);
    if (n > (SIZE_MAX / sizeof(double)) / (ld_ + 16))
        return false;
    block_ = lib_calloc(bytes, 1);
    if (!block_)
        return false;

    auto base = reinterpret_cast<std::uintptr_t>(block_);
    double *d = reinterpret_cast<double *>(round_up(base, 64));
    w_ = d;
    d += n * ld_;
    colid_ = d;
    d += ld_;
    rmax_ = d;
    d += round_up(n, 8);
    pv_ = d;
    d += B * ld_;
    f_[0] = d;
    d += B * round_up(n, 8);
    f_[1] = d;
    d += B * round_up(n, 8);
    rs_ = d;
    d += round_up(B, 8);
    auto *z = reinterpret_cast<std::size_t *>(d);
    ph_ = z;
    z += n;
    lg_ = z;
    z += n;
    pos_ = z;
    z += n;
    colat_ = z;
    z += ld_;
    prow_ = z;
    z += B;
    int *i = reinterpret_cast<int *>(z + n); // (one spare run of n keeps the ints aligned)
    tstart_[0] = i;
    tstart_[1] = i + n;
    return true;
}

void solver::release()
{
    std::free(block_);
    block_ = nullptr;
    release_bookkeeping(indxc_, indxr_, ipiv_);
}

void solver::copy_in()
{
    const std::size_t n = n_;
    for (std::size_t k = 0; k < n; ++k) {
        pos_[k] = k;
        colat_[k] = k;
        colid_[k] = static_cast<double>(k);
    }
    colid_[n] = -1.0;
    for (std::size_t j = 0; j < n; ++j) {
        ph_[j] = lg_[j] = j;
        double *w = w_ + j * ld_;
        std::memcpy(w, a_[j], n * sizeof(double));
        w[n] = b_ ? b_[j] : a_[j][n];
        rmax_[j] = k_.row_max(w, 0, n);
    }
    m_ = n;
}

void solver::copy_out(bool unscramble)
{
    const std::size_t n = n_;
    // Source position of every output column: the unscrambling exchanges
    // columns, which here only changes where each one is read from.
    std::vector<std::size_t> src;
    try {
        src.resize(n);
    } catch (const std::bad_alloc &) {
        src.clear();
    }
    auto source = [&](std::size_t k) { return src.empty() ? pos_[k] : src[k]; };
    if (!src.empty()) {
        for (std::size_t k = 0; k < n; ++k)
            src[k] = k;
        if (unscramble) {
            for (std::size_t l = n; l-- > 0;)
                if (indxr_[l] != indxc_[l])
                    std::swap(src[static_cast<std::size_t>(indxr_[l])],
                              src[static_cast<std::size_t>(indxc_[l])]);
        }
        for (std::size_t k = 0; k < n; ++k)
            src[k] = pos_[src[k]];
    }
    for (std::size_t j = 0; j < n; ++j) {
        const double *w = w_ + ph_[j] * ld_;
        double *out = a_[j];
        for (std::size_t k = 0; k < n; ++k)
            out[k] = w[source(k)];
        if (b_)
            b_[j] = w[n];
        else
            out[n] = w[n];
    }
    if (src.empty() && unscramble) {
        // (only without memory for the index map: exchange in place)
        for (std::size_t l = n; l-- > 0;)
            if (indxr_[l] != indxc_[l])
                for (std::size_t r = 0; r < n; ++r)
                    std::swap(a_[r][indxr_[l]], a_[r][indxc_[l]]);
    }
}

gj_block solver::open_block() const
{
    gj_block blk;
    blk.nb = b_nb_;
    blk.m0 = b_m0_;
    blk.n = n_;
    blk.pv = pv_;
    blk.f = f_[fbuf_];
    blk.rows = round_up(n_, 8);
    blk.ld = ld_;
    return blk;
}

// Brings the pivot rows of the open block up to date in their inverse
// positions, one step at a time, and keeps each one (after its scaling) as
// the row the other rows will take the step from. The other rows are left
// to flush_rows, which the next job runs; the block's buffers then belong to
// that flush while a new block fills the other ones.
void solver::close_block()
{
    const gj_block blk = open_block();
    double fl[256];
    int *ts = tstart_[fbuf_];
    for (std::size_t t = 0; t < blk.nb; ++t) {
        const std::size_t P = prow_[t];
        double *row = w_ + P * ld_;
        for (std::size_t u = 0; u < t; ++u)
            fl[u] = blk.f[u * blk.rows + P];
        k_.apply_steps(row, fl, blk, 0, t);
        const double r = rs_[t];
        double *pvt = pv_ + t * ld_;
        // Positions that have joined the inverse before step t.
        for (std::size_t k = blk.m0 - t; k < n_; ++k) {
            row[k] = row[k] * r;
            pvt[k] = row[k];
        }
        ts[P] = static_cast<int>(t + 1);
    }
    job_.flush = true;
    job_.blk = blk;
    job_.tstart = ts;
    fbuf_ ^= 1;
    b_nb_ = 0;
    b_m0_ = m_;
}

// Step s_ takes the pivot (irow_, icol_): the column's flag goes up, the two
// rows trade places (by relabelling) and the step is recorded. Returns the
// pivot column.
std::size_t solver::take_pivot()
{
    const std::size_t c = icol_;
    ++ipiv_[c];
    if (irow_ != c) {
        std::swap(ph_[irow_], ph_[c]);
        lg_[ph_[irow_]] = irow_;
        lg_[ph_[c]] = c;
    }
    indxr_[s_] = static_cast<std::int32_t>(irow_);
    indxc_[s_] = static_cast<std::int32_t>(c);
    return c;
}

// The pivot of step s_ from the row maxima, the interchange, the singular
// test, the normalisation of the pivot row over the live positions, and the
// position exchange. False when the step cannot go on here (out_ says why).
bool solver::prepare_step()
{
    const std::size_t n = n_;
    bool found = false;
    double big = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        if (ipiv_[j] == 1)
            continue;
        const double r = rmax_[ph_[j]];
        if (r >= big) { // (-1 for a row of NaN alone never passes)
            big = r;
            irow_ = j;
            found = true;
        }
    }
    if (!found) {
        out_ = outcome::generic;
        return false;
    }
    icol_ = static_cast<std::size_t>(k_.row_arg(w_ + ph_[irow_] * ld_, colid_, 0, m_, big));
    const std::size_t c = take_pivot();

    const std::size_t P = ph_[c];
    const std::size_t q = pos_[c];
    const std::size_t m = m_;
    double *row = w_ + P * ld_;
    if (row[q] == 0.0) {
        out_ = outcome::singular;
        return false;
    }
    const double r = 1.0 / row[q];
    row[q] = 1.0;
    for (std::size_t k = 0; k < m; ++k)
        row[k] *= r;
    row[n] *= r;
    const std::size_t last = m - 1;
    if (q != last) {
        std::swap(row[q], row[last]);
        const std::size_t moved = colat_[last];
        colat_[q] = moved;
        colid_[q] = static_cast<double>(moved);
        pos_[moved] = q;
        colat_[last] = c;
        colid_[last] = static_cast<double>(c);
        pos_[c] = last;
    }
    rs_[b_nb_] = r;
    prow_[b_nb_] = P;
    job_.elim = true;
    job_.P = P;
    job_.q = q;
    job_.m = m;
    job_.t = b_nb_;
    job_.f = f_[fbuf_] + b_nb_ * round_up(n, 8);
    return true;
}

void solver::run_chunk(std::size_t chunk)
{
    const std::size_t n = n_;
    const std::size_t r0 = n * chunk / chunks_, r1 = n * (chunk + 1) / chunks_;
    if (job_.flush)
        k_.flush_rows(w_, job_.blk, job_.tstart, r0, r1);
    if (!job_.elim)
        return;
    // Positions 0..last-1 stay in the search, `last` now holds the pivot
    // column (the newest inverse column), n the constants.
    const std::size_t P = job_.P, q = job_.q, last = job_.m - 1;
    const double *prow = w_ + P * ld_;
    double *f = job_.f;
    for (std::size_t l = r0; l < r1; ++l) {
        if (l == P)
            continue;
        double *row = w_ + l * ld_;
        const double fl = row[q];
        f[l] = fl;
        row[q] = row[last];
        row[last] = 0.0;
        rmax_[l] = k_.eliminate_max(row, prow, last, fl, true);
        const double t1 = prow[last] * fl;
        row[last] = row[last] - t1;
        const double t2 = prow[n] * fl;
        row[n] = row[n] - t2;
    }
}

// Runs on one thread while the others wait: books the finished job and sets
// up the next one.
void solver::after_job()
{
    const bool had_elim = job_.elim;
    job_.elim = false;
    job_.flush = false;
    if (had_elim) {
        ++b_nb_;
        ++s_;
        --m_;
    }
    if (out_ != outcome::running) {
        job_.exit = true; // the last flush is done
        return;
    }
    if (had_elim && (b_nb_ == bsize_ || s_ == n_))
        close_block();
    if (s_ == n_) {
        out_ = outcome::solved;
    } else if (prepare_step()) {
        return;
    } else if (b_nb_ > 0) {
        close_block();
    }
    if (!job_.flush)
        job_.exit = true;
}

// The remaining steps as plain loops (after a step that found no candidate):
// the pivot flags may now exceed 1, which the search and the elimination
// here follow to the letter.
void solver::generic_steps()
{
    const std::size_t n = n_;
    for (; s_ < n; ++s_) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (ipiv_[j] == 1)
                continue;
            const double *row = w_ + ph_[j] * ld_;
            for (std::size_t k = 0; k < n; ++k) {
                if (ipiv_[k] == 0 && std::fabs(row[pos_[k]]) >= big) {
                    big = std::fabs(row[pos_[k]]);
                    irow_ = j;
                    icol_ = k;
                }
            }
        }
        const std::size_t c = take_pivot();
        const std::size_t P = ph_[c], q = pos_[c];
        double *prow = w_ + P * ld_;
        if (prow[q] == 0.0) {
            out_ = outcome::singular;
            return;
        }
        const double r = 1.0 / prow[q];
        prow[q] = 1.0;
        for (std::size_t k = 0; k <= n; ++k)
            prow[k] *= r;
        for (std::size_t l = 0; l < n; ++l) {
            if (l == P)
                continue;
            double *row = w_ + l * ld_;
            const double f = row[q];
            row[q] = 0.0;
            k_.eliminate_max(row, prow, n + 1, f, true);
        }
    }
    out_ = outcome::solved;
}

gj_status solver::run()
{
    if (n_ == 0)
        return gj_status::solved;
    if (!allocate())
        return gj_status::no_memory;
    copy_in();
    b_m0_ = n_;
    if (prepare_step()) {
        const std::size_t from = g_tuning.parallel_from ? g_tuning.parallel_from : 256;
        std::size_t want = 1;
        if (n_ >= from) {
            // (asking the system for the processor count takes microseconds:
            // only for matrices where threads may pay)
            want = g_tuning.threads ? g_tuning.threads : std::thread::hardware_concurrency();
            want = std::min<std::size_t>({want ? want : 1, crew::max_threads, n_});
        }
        if (want == 1) {
            chunks_ = 1;
            for (;;) {
                run_chunk(0);
                after_job();
                if (job_.exit)
                    break;
            }
        } else {
            crew team(
                [](void *ctx, std::size_t chunk) { static_cast<solver *>(ctx)->run_chunk(chunk); },
                this);
            const std::size_t helpers = team.start(want - 1);
            chunks_ = team.chunks();
            // On a machine busy with other work the helpers keep being put
            // aside and every step waits for them: then the rest is done alone.
            bool alone = helpers == 0;
            unsigned steps = 0, waits = 0;
            for (;;) {
                if (alone) {
                    for (std::size_t c = 0; c < chunks_; ++c)
                        run_chunk(c);
                } else {
                    waits += team.run() ? 1 : 0;
                    if (++steps == 64) {
                        alone = waits >= 8;
                        steps = waits = 0;
                    }
                }
                after_job();
                if (job_.exit)
                    break;
            }
        }
    }
    if (out_ == outcome::generic)
        generic_steps();
    copy_out(out_ == outcome::solved);
    return out_ == outcome::solved ? gj_status::solved : gj_status::singular;
}

} // namespace

bool gj_tune(const gj_tuning &t)
{
    if (!kernels_for(t.isa))
        return false;
    g_tuning = t;
    return true;
}

const char *gj_kernel_name() { return kernels_for(g_tuning.isa)->name; }

const gj_kernels &gj_kernels_in_use() { return *kernels_for(g_tuning.isa); }

gj_status gj_reduce(double **a, double *b, std::size_t n)
{
    if (n == 0)
        return gj_status::solved;
    if (n < (g_tuning.in_place_below ? g_tuning.in_place_below : 48))
        return reduce_in_place(a, b, n);
    const gj_kernels *k = kernels_for(g_tuning.isa);
    solver s(a, b, n, k ? *k : gj_kernels_portable());
    return s.run();
}

} // namespace mtrx_detail

using namespace mtrx_detail;

namespace {
void report(gj_status st)
{
    if (st == gj_status::singular)
        std::fputs("guassj() error: singular matrix.\n", stderr);
    else if (st == gj_status::no_memory)
        std::fputs("guassj() error: virtual memory exhausted.\n", stderr);
}
} // namespace

extern "C" void guassj(double **a, size_t n) { report(gj_reduce(a, nullptr, n)); }

extern "C" void guassj_vec(double **a, double *b, size_t n) { report(gj_reduce(a, b, n)); }

extern "C" void swap_dbl(double *a, double *b)
{
    double t = *a;
    *a = *b;
    *b = t;
}
