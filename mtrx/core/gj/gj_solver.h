// The working-array Gauss-Jordan solver, shared by the entry point
// (gj.cpp), the working array's layout (gj_workspace.cpp), the
// order of the steps (gj_solver.cpp) and the passes over the rows that the
// threads share (gj_passes.cpp). Not installed.
//
// The working array's columns ("positions"): 0..m-1 the columns not yet
// pivoted (the search part), m..n-1 the inverse, n..n+k-1 the constants; a
// pivoted column trades places with position m-1, and rows are exchanged by
// relabelling. How steps are deferred in blocks, and the bound that lets a
// row wait, are explained in docs/design/elimination.md.
#ifndef MTRX_GJ_SOLVER_H
#define MTRX_GJ_SOLVER_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/base/alloc.h"
#include "core/base/owned.h"
#include "core/gj/gj.h"
#include "core/gj/gj_kernels.h"
#include "core/pool/thread_pool.h"
#include "core/tuning.h"

namespace mtrx_detail {

inline std::size_t round_up(std::size_t x, std::size_t to) { return (x + to - 1) / to * to; }

// The record of the steps every Gauss-Jordan run keeps, which the column
// unscrambling at the end goes by.
struct step_record {
    owned<std::int32_t[]> pivot_col;     // per step: its pivot's column
    owned<std::int32_t[]> pivot_row;     // per step: the logical row it was found in
    owned<std::int32_t[]> times_pivoted; // per column: how often it has held the pivot
    // Its three arrays of n zeros, made in this order; false when memory
    // runs out, with nothing kept.
    bool allocate(std::size_t n);
};

class solver {
public:
    // The n x n block of `a` with k columns of constants in columns n..n+k-1
    // of its rows, or with b != nullptr (k = 1) in the vector b.
    solver(double **a, double *b, std::size_t n, std::size_t k, bool inverse,
           const gj_kernels &kernels, const gj_tuning &tuning)
        : a_(a), b_(b), n_(n), k_(k), inverse_(inverse), kernels_(kernels), tuning_(tuning)
    {
    }
    solver(const solver &) = delete;
    solver &operator=(const solver &) = delete;
    ~solver() { release(); }

    gj_status run();

private:
    // No row, or no step.
    static constexpr std::size_t none = SIZE_MAX;
    static constexpr std::size_t chunks_per_thread = tuning::gj_chunks_per_thread;

    enum class outcome { running, solved, singular, generic };
    // What the threads run between two barriers: one elimination step, the
    // closing of a block in the pivot rows (by columns), or in all the
    // others (by rows).
    enum class pass { step, close, flush };

    // ---- state ----------------------------------------------------------
    // The caller's system, and how to run.
    double **a_;
    double *b_;
    std::size_t n_;
    std::size_t k_;     // columns of constants
    bool inverse_;      // whether the n x n block becomes the inverse
    const gj_kernels &kernels_;
    const gj_tuning tuning_;

    // The plain loop's record of the steps, which copy_out unscrambles by.
    step_record record_;

    void *memory_ = nullptr; // everything below that points lives in this one allocation

    // The working array (its layout is described at the top of this file).
    struct working_array {
        double *rows = nullptr;             // n_ rows of row_stride doubles, by physical row
        std::size_t row_stride = 0;         // n_ + k_ rounded up to 8
        double *column_id = nullptr;        // position -> original column (as a double)
        std::size_t *column_at = nullptr;   // position -> original column
        std::size_t *position_of = nullptr; // original column -> position
        std::size_t *physical_of = nullptr; // logical row -> physical row
        std::size_t *logical_of = nullptr;  // physical row -> logical row
        std::size_t *source_of = nullptr;   // output column -> position (copy_out)
    } work_;

    // The open block of steps.
    struct step_block {
        std::size_t capacity = tuning::gj_block; // steps it may hold
        std::size_t first_step = 0;         // the step it began at
        std::size_t unpivoted_at_start = 0; // columns not yet pivoted when it began
        std::size_t steps = 0;              // steps it holds
        // Per step of the block:
        double *pivot_rows = nullptr;          // its pivot row, row_stride doubles each
        double *reciprocal = nullptr;          // its reciprocal pivot
        double *pivots_in_column = nullptr;    // its pivot row in the column now being pivoted
        std::size_t *pivot_physical = nullptr; // its pivot row's physical row
        std::size_t *old_position = nullptr;   // its pivot column's position before the exchange
    } block_;

    // Per physical row.
    struct row_state {
        double *multipliers = nullptr;      // its multipliers of the open block's steps
        std::size_t multiplier_stride = 0;  // (the block's capacity rounded up to 8)
        double *bound = nullptr;            // its search part's bound, steps owed included
        std::size_t *search_from = nullptr; // first step its search part still needs
        int *inverse_from = nullptr;        // first step of the block its inverse still needs
        unsigned char *pivoted = nullptr;   // has been a pivot row
    } rows_;

    // The physical rows that may still hold a pivot, in no order, and where
    // each physical row stands in that list.
    struct candidate_list {
        std::size_t *rows = nullptr;
        std::size_t *index_of = nullptr;
        std::size_t count = 0;
    } cands_;

    std::size_t step_ = 0;      // current step
    std::size_t unpivoted_ = 0; // columns not yet pivoted (the width of the search part)
    std::size_t pivot_row_ = 0, pivot_col_ = 0; // the step's pivot: logical row, original column
    outcome out_ = outcome::running;

    // The pass every thread runs between two barriers.
    struct job {
        pass kind = pass::step;
        std::size_t pivot_physical = 0; // the pivot row's physical row
        std::size_t pivot_position = 0; // the pivot column's position before the exchange
        std::size_t last_position = 0;  // where it goes (unpivoted_ - 1)
        std::size_t block_step = 0;     // the step's place in the block
        double reciprocal = 0;          // the reciprocal pivot
        double pivot_max = 0;           // largest magnitude of the pivot row's search part
        bool exit = false;
    } job_;
    std::size_t chunks_ = 1; // pieces every pass is cut into
    // The largest magnitude found in this step (the bits of a double >= 0,
    // which order as the double does).
    std::atomic<std::uint64_t> step_max_bits_{0};
    // Each chunk's candidate for the next pivot: its largest magnitude and
    // the last logical row that has it (-1: none).
    double chunk_max_[team::max_size * chunks_per_thread] = {};
    std::size_t chunk_row_[team::max_size * chunks_per_thread] = {};

    // Physical row p of the working array, and its multipliers; the kept
    // pivot row of the block's step t.
    double *row_of(std::size_t p) const { return work_.rows + p * work_.row_stride; }
    double *multipliers_of(std::size_t p) const
    {
        return rows_.multipliers + p * rows_.multiplier_stride;
    }
    double *kept_pivot_row(std::size_t t) const { return block_.pivot_rows + t * work_.row_stride; }
    // The first position a closing block brings up to date past the search
    // part: the inverse's (those of columns pivoted before the block began),
    // or the constants' when there is no inverse to make.
    std::size_t tail_from() const { return inverse_ ? block_.unpivoted_at_start : n_; }
    std::size_t width() const { return n_ + k_; }

    // ---- steps (gj_solver.cpp) -------------------------------------------
    std::size_t take_pivot();
    bool prepare_step();
    void next_step();
    void begin_close();
    void after_job();
    void generic_steps();
    // ---- passes (gj_passes.cpp) -------------------------------------------
    void run_chunk(std::size_t chunk);
    void step_rows(std::size_t r0, std::size_t r1, std::size_t chunk);
    void bring_up(std::size_t l, std::size_t chunk);
    void close_columns(std::size_t c0, std::size_t c1);
    void scale_and_keep(std::size_t t, double *row, std::size_t k0, std::size_t k1);
    void flush_rows(std::size_t r0, std::size_t r1);
    void replay_steps(const std::size_t *ls, std::size_t count);
    // ---- the working array (gj_workspace.cpp) -----------------------------
    bool allocate();
    void release();
    void copy_in();
    void copy_out(bool unscramble);
};

} // namespace mtrx_detail

#endif
