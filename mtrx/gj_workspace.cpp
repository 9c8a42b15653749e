// The working array of the Gauss-Jordan solver (layout in gj_solver.h): its
// one allocation, the copy in from the caller's rows and the copy back, where
// the columns are also put back in their own order and unscrambled.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

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

} // namespace mtrx_detail
