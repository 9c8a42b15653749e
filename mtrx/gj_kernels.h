// Inner loops of the Gauss-Jordan kernel, built once per instruction set
// (portable, AVX2, AVX-512) and chosen at run time. Every path performs the
// same IEEE operations on every element in the same order, so all of them
// give the same bits; only the number of elements per instruction differs.
#ifndef MTRX_GJ_KERNELS_H
#define MTRX_GJ_KERNELS_H

#include <cstddef>

namespace mtrx_detail {

// The pending (deferred) updates of one block of elimination steps, as the
// columns of the growing inverse still have to receive them. Positions are
// the working layout's columns: 0..m-1 the columns not yet pivoted, m..n-1
// the inverse, n the constants.
struct gj_block {
    std::size_t nb;     // steps in the block (t = 0 .. nb-1)
    std::size_t m0;     // columns not yet pivoted when the block began
    std::size_t n;      // position of the constants
    const double *pv;   // pv[t * ld + k]: pivot row of step t at position k, after its scaling
    const double *f;    // f[t * rows + l]: multiplier of physical row l in step t
    std::size_t rows;   // stride of f
    std::size_t ld;     // stride of pv and of the working rows
};

struct gj_kernels {
    const char *name;
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
    // Applies steps [t_from, t_to) of the block to the inverse positions of
    // `row`, whose multipliers are fl[t]: m0..n-1 from step 0 on, and the
    // column pivoted in step t' (position m0-1-t') from step t'+1 on.
    void (*apply_steps)(double *row, const double *fl, const gj_block &blk, std::size_t t_from,
                        std::size_t t_to);
    // apply_steps over the whole block for physical rows [r0, r1) of `w`;
    // tstart[l] is the first step row l still needs (0, or one past the step
    // in which it was the pivot row); it is reset to 0 for the rows done.
    void (*flush_rows)(double *w, const gj_block &blk, int *tstart, std::size_t r0,
                       std::size_t r1);
};

const gj_kernels &gj_kernels_portable();
// The set gj_reduce uses now: the best this processor has, or the one gj_tune
// chose. The cofactors' factorisation uses the same.
const gj_kernels &gj_kernels_in_use();
#if defined(QUENDLE_GJ_X86_DISPATCH)
const gj_kernels &gj_kernels_avx2();
const gj_kernels &gj_kernels_avx512();
#endif

} // namespace mtrx_detail

#endif
