// Inner loops of the Gauss-Jordan kernel, built once per instruction set
// (portable, AVX2, AVX-512) and chosen at run time. Every path performs the
// same IEEE operations on every element in the same order, so all of them
// give the same bits; only the number of elements per instruction differs.
#ifndef MTRX_GJ_KERNELS_H
#define MTRX_GJ_KERNELS_H

#include <cstddef>

#include "core/gj/gj.h"

namespace mtrx_detail {

// The pivot rows of a block of elimination steps are kept in `pv`, one row
// of `ld` doubles per step (after its scaling), and each working row keeps
// its multipliers of those steps in `fl`. Positions are the working layout's
// columns: 0..m-1 the columns not yet pivoted, m..n-1 the inverse, n the
// constants; the column pivoted in step t of a block that began with m0
// columns not yet pivoted sits at position m0-1-t.
struct gj_kernels {
    const char *name;
    std::size_t tile_rows; // rows update_rows takes at once
    // row[k] = row[k] - prow[k] * f for k in [0, len); returns the largest
    // new |row[k]|, NaN left out, or -1 when there is none. With `padded`,
    // both rows may be read, and row written back unchanged, up to the next
    // multiple of 8 elements past len.
    double (*eliminate_max)(double *row, const double *prow, std::size_t len, double f,
                            bool padded);
    // The largest |row[k]| over k in [lo, hi), NaN left out; -1 when none.
    double (*row_max)(const double *row, std::size_t lo, std::size_t hi);
    // The largest col[k] over the k in [lo, hi) with |row[k]| == big.
    double (*row_arg)(const double *row, const double *col, std::size_t lo, std::size_t hi,
                      double big);
    // Steps [t_from, t_to) on row[c0, c1): each element in turn takes
    // x = x - pv[t * ld + k] * fl[t] for t ascending. With `want_max`,
    // returns the largest new |x| over [c0, c1), NaN left out, or -1 when
    // there is none (also when nothing is asked).
    double (*update)(double *row, const double *pv, std::size_t ld, const double *fl,
                     std::size_t t_from, std::size_t t_to, std::size_t c0, std::size_t c1,
                     bool want_max);
    // update() on tile_rows rows at once, each with its own multipliers
    // (fls[i]), over the same steps and columns. With `maxes`, maxes[i]
    // receives row i's largest new magnitude, as update() returns it.
    void (*update_rows)(double *const *rows, const double *const *fls, const double *pv,
                        std::size_t ld, std::size_t t_from, std::size_t t_to, std::size_t c0,
                        std::size_t c1, double *maxes);
    // Steps [t_from, t_to) on the columns pivoted inside the block: the one
    // of step t' (position m0-1-t') takes the steps after t'.
    void (*update_new)(double *row, const double *pv, std::size_t ld, const double *fl,
                       std::size_t t_from, std::size_t t_to, std::size_t m0);
};

// The set of each instruction set (gj_kernels_<set>.cpp).
const gj_kernels &gj_kernels_portable();
#if defined(QUENDLE_X86_DISPATCH)
const gj_kernels &gj_kernels_avx2();
const gj_kernels &gj_kernels_avx512();
#endif

// The set for `isa`, the best this processor has for gj_isa::automatic;
// null when the processor lacks it.
const gj_kernels *gj_kernels_for(gj_isa isa);
// The set gj_reduce uses now: the best this processor has, or the one gj_tune
// chose. The cofactors' factorisation uses the same.
const gj_kernels &gj_kernels_in_use();

} // namespace mtrx_detail

#endif
