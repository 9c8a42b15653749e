// The working array of the Gauss-Jordan solver (layout in gj_solver.h): its
// one allocation, the copy in from the caller's rows and the copy back, where
// the columns are also put back in their own order and unscrambled.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "gj_solver.h"

namespace mtrx_detail {

bool solver::allocate()
{
    const std::size_t n = n_;
    if (!allocate_bookkeeping(n, indxc_, indxr_, ipiv_))
        return false;

    bsize_ = tuning_.block ? std::min<std::size_t>(tuning_.block, 256) : 32;
    bsize_ = std::min(bsize_, n);
    ld_ = round_up(n + 1, 8);
    const std::size_t B = bsize_;
    fs_ = round_up(B, 8);
    if (n > (SIZE_MAX / sizeof(double) - 4 * ld_) / (ld_ + fs_ + 64))
        return false;
    // Doubles first (64-byte aligned pieces), then the index arrays.
    const std::size_t nr = round_up(n, 8);
    const std::size_t doubles = 8 /* alignment slack */ + n * ld_ + ld_ /* colid */ + B * ld_ +
                                n * fs_ + nr /* bound */ + 2 * fs_ /* rs, pvq */;
    const std::size_t sizes = 7 * n + ld_ + 2 * B;
    const std::size_t bytes = doubles * sizeof(double) + sizes * sizeof(std::size_t) +
                              n * sizeof(int) + n /* pivoted */;
    block_ = lib_calloc(bytes, 1);
    if (!block_)
        return false;
#if defined(__linux__)
    // Large pages for a large working array, where the system grants them
    // on request: every pass streams through it, and with 4 kB pages every
    // 4 kB costs a translation (n = 2000: 12% of the run on one thread).
    if (bytes >= (std::size_t(4) << 20)) {
        const std::uintptr_t page = 4096, start = reinterpret_cast<std::uintptr_t>(block_);
        const std::uintptr_t lo = (start + page - 1) & ~(page - 1);
        const std::uintptr_t hi = (start + bytes) & ~(page - 1);
        madvise(reinterpret_cast<void *>(lo), hi - lo, MADV_HUGEPAGE); // (a hint)
    }
#endif

    auto base = reinterpret_cast<std::uintptr_t>(block_);
    // Each piece in turn, from the front of what is left.
    auto carve = [](auto *&at, std::size_t count) {
        auto *piece = at;
        at += count;
        return piece;
    };
    double *d = reinterpret_cast<double *>(round_up(base, 64));
    w_ = carve(d, n * ld_);
    colid_ = carve(d, ld_);
    pv_ = carve(d, B * ld_);
    f_ = carve(d, n * fs_);
    bound_ = carve(d, nr);
    rs_ = carve(d, fs_);
    pvq_ = carve(d, fs_);
    auto *z = reinterpret_cast<std::size_t *>(d);
    ph_ = carve(z, n);
    lg_ = carve(z, n);
    pos_ = carve(z, n);
    from_ = carve(z, n);
    colat_ = carve(z, ld_);
    prow_ = carve(z, B);
    bq_ = carve(z, B);
    cand_ = carve(z, n);
    cand_at_ = carve(z, n);
    tstart_ = reinterpret_cast<int *>(z);
    pivoted_ = reinterpret_cast<unsigned char *>(tstart_ + n);
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
    // The first step's candidate, as a step pass leaves a chunk's: the
    // largest magnitude and the last row that has it (-1, a row of NaN
    // alone, never does).
    win_max_[0] = -1.0;
    win_row_[0] = none;
    for (std::size_t j = 0; j < n; ++j) {
        ph_[j] = lg_[j] = cand_[j] = cand_at_[j] = j;
        double *w = w_ + j * ld_;
        std::memcpy(w, a_[j], n * sizeof(double));
        w[n] = b_ ? b_[j] : a_[j][n];
        const double r = bound_[j] = k_.row_max(w, 0, n);
        if (r >= 0.0 && r >= win_max_[0]) {
            win_max_[0] = r;
            win_row_[0] = j;
        }
    }
    m_ = n;
    ncand_ = n;
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

} // namespace mtrx_detail
