// The working array of the Gauss-Jordan solver (layout in gj_solver.h): its
// one allocation, the copy in from the caller's rows and the copy back, where
// the inverse's columns are also put back in their own order and
// unscrambled.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "core/gj/gj_solver.h"
#include "core/tuning.h"

namespace mtrx_detail {

bool solver::allocate()
{
    const std::size_t n = n_;
    if (!record_.allocate(n))
        return false;

    block_.capacity = tuning_.block ? std::min(tuning_.block, tuning::gj_block_max)
                                     : tuning::gj_block;
    block_.capacity = std::min(block_.capacity, n);
    if (k_ > SIZE_MAX / 2 - n)
        return false;
    work_.row_stride = round_up(n + k_, 8);
    const std::size_t B = block_.capacity;
    rows_.multiplier_stride = round_up(B, 8);
    const std::size_t ld = work_.row_stride, fs = rows_.multiplier_stride;
    if (n > (SIZE_MAX / sizeof(double) - 4 * ld) / (ld + fs + 64))
        return false;
    // Doubles first (64-byte aligned pieces), then the index arrays.
    const std::size_t nr = round_up(n, 8);
    const std::size_t doubles = 8 /* alignment slack */ + n * ld + ld /* column_id */ + B * ld +
                                n * fs + nr /* bound */ + 2 * fs /* reciprocal, pivots_in_column */;
    const std::size_t sizes = 8 * n + ld + 2 * B;
    const std::size_t bytes = doubles * sizeof(double) + sizes * sizeof(std::size_t) +
                              n * sizeof(int) + n /* pivoted */;
    memory_ = lib_calloc(bytes, 1);
    if (!memory_)
        return false;
#if defined(__linux__)
    // Large pages for a large working array, where the system grants them
    // on request: every pass streams through it, and with 4 kB pages every
    // 4 kB costs a translation (n = 2000: 12% of the run on one thread).
    if (bytes >= (std::size_t(4) << 20)) {
        const std::uintptr_t page = 4096, start = reinterpret_cast<std::uintptr_t>(memory_);
        const std::uintptr_t lo = (start + page - 1) & ~(page - 1);
        const std::uintptr_t hi = (start + bytes) & ~(page - 1);
        madvise(reinterpret_cast<void *>(lo), hi - lo, MADV_HUGEPAGE); // (a hint)
    }
#endif

    auto base = reinterpret_cast<std::uintptr_t>(memory_);
    // Each piece in turn, from the front of what is left.
    auto carve = [](auto *&at, std::size_t count) {
        auto *piece = at;
        at += count;
        return piece;
    };
    double *d = reinterpret_cast<double *>(round_up(base, 64));
    work_.rows = carve(d, n * ld);
    work_.column_id = carve(d, ld);
    block_.pivot_rows = carve(d, B * ld);
    rows_.multipliers = carve(d, n * fs);
    rows_.bound = carve(d, nr);
    block_.reciprocal = carve(d, fs);
    block_.pivots_in_column = carve(d, fs);
    auto *z = reinterpret_cast<std::size_t *>(d);
    work_.physical_of = carve(z, n);
    work_.logical_of = carve(z, n);
    work_.position_of = carve(z, n);
    work_.source_of = carve(z, n);
    rows_.search_from = carve(z, n);
    work_.column_at = carve(z, ld);
    block_.pivot_physical = carve(z, B);
    block_.old_position = carve(z, B);
    cands_.rows = carve(z, n);
    cands_.index_of = carve(z, n);
    rows_.inverse_from = reinterpret_cast<int *>(z);
    rows_.pivoted = reinterpret_cast<unsigned char *>(rows_.inverse_from + n);
    return true;
}

void solver::release()
{
    std::free(memory_);
    memory_ = nullptr;
    record_ = {};
}

void solver::copy_in()
{
    const std::size_t n = n_;
    for (std::size_t k = 0; k < n; ++k) {
        work_.position_of[k] = k;
        work_.column_at[k] = k;
        work_.column_id[k] = static_cast<double>(k);
    }
    for (std::size_t k = n; k < work_.row_stride; ++k)
        work_.column_id[k] = -1.0;
    // The first step's candidate, as a step pass leaves a chunk's: the
    // largest magnitude and the last row that has it (-1, a row of NaN
    // alone, never does).
    chunk_max_[0] = -1.0;
    chunk_row_[0] = none;
    for (std::size_t j = 0; j < n; ++j) {
        work_.physical_of[j] = work_.logical_of[j] = cands_.rows[j] = cands_.index_of[j] = j;
        double *w = row_of(j);
        if (b_) {
            std::memcpy(w, a_[j], n * sizeof(double));
            w[n] = b_[j];
        } else {
            std::memcpy(w, a_[j], (n + k_) * sizeof(double));
        }
        const double r = rows_.bound[j] = kernels_.row_max(w, 0, n);
        if (r >= 0.0 && r >= chunk_max_[0]) {
            chunk_max_[0] = r;
            chunk_row_[0] = j;
        }
    }
    unpivoted_ = n;
    cands_.count = n;
}

void solver::copy_out(bool unscramble)
{
    const std::size_t n = n_;
    if (!inverse_) {
        // The constants alone: the block holds nothing of use.
        for (std::size_t j = 0; j < n; ++j)
            std::memcpy(a_[j] + n, row_of(work_.physical_of[j]) + n, k_ * sizeof(double));
        return;
    }
    // Source position of every output column: the unscrambling exchanges
    // columns, which here only changes where each one is read from. (The map
    // lives in the working allocation, so the copy cannot fail.)
    std::size_t *src = work_.source_of;
    for (std::size_t k = 0; k < n; ++k)
        src[k] = k;
    if (unscramble) {
        for (std::size_t l = n; l-- > 0;)
            if (record_.pivot_row[l] != record_.pivot_col[l])
                std::swap(src[static_cast<std::size_t>(record_.pivot_row[l])],
                          src[static_cast<std::size_t>(record_.pivot_col[l])]);
    }
    for (std::size_t k = 0; k < n; ++k)
        src[k] = work_.position_of[src[k]];
    for (std::size_t j = 0; j < n; ++j) {
        const double *w = row_of(work_.physical_of[j]);
        double *out = a_[j];
        for (std::size_t k = 0; k < n; ++k)
            out[k] = w[src[k]];
        if (b_)
            b_[j] = w[n];
        else
            std::memcpy(out + n, w + n, k_ * sizeof(double));
    }
}

} // namespace mtrx_detail
