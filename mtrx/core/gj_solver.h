// The working-array Gauss-Jordan solver, shared by the entry points
// (gauss_jordan.cpp), the working array's layout (gj_workspace.cpp), the
// order of the steps (gj_solver.cpp) and the passes over the rows that the
// threads share (gj_passes.cpp). Not installed.
//
// The matrix is copied into a private working array with contiguous, padded
// rows. Its columns ("positions") are kept in this order: 0..m-1 the columns
// not yet pivoted (the "search part" of a row), m..n-1 the inverse, n the
// constants. When a column is pivoted it trades places with position m-1, in
// every row, so the columns that still take part in the search stay
// contiguous. Rows are exchanged by relabelling (logical row -> physical row).
//
// Every element still takes the plain loop's operations in the plain loop's
// order; what changes is when. The steps are grouped in blocks (32 by
// default), and within a block:
//  - the inverse and the constants feed no choice: each row's multipliers
//    and each step's pivot row are kept, and the block's steps reach those
//    columns together when it closes;
//  - a row's search part is brought up to date only when the row may hold
//    the next pivot. Each candidate row keeps a bound on its magnitudes: its
//    largest magnitude when last brought up to date, plus |multiplier| times
//    the largest magnitude of the pivot row for every step since (both sums
//    rounded as computed, which can only round up past the true values). A
//    row whose bound is below the largest magnitude already found in another
//    row cannot hold the pivot and waits; rows already pivoted always wait;
//  - a row that waits still takes each step's multiplier, computed from its
//    element in the pivot column brought up to date alone;
//  - when the block closes, every row takes the steps it is owed.
#ifndef MTRX_GJ_SOLVER_H
#define MTRX_GJ_SOLVER_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "alloc.h"
#include "gj.h"
#include "gj_kernels.h"
#include "thread_pool.h"

namespace mtrx_detail {

inline std::size_t round_up(std::size_t x, std::size_t to) { return (x + to - 1) / to * to; }

// The bookkeeping of every Gauss-Jordan run: pivot columns, pivot rows,
// pivot flags (allocated in this order, released in the reverse one).
bool allocate_bookkeeping(std::size_t n, std::int32_t *&indxc, std::int32_t *&indxr,
                          std::int32_t *&ipiv);
void release_bookkeeping(std::int32_t *&indxc, std::int32_t *&indxr, std::int32_t *&ipiv);

class solver {
public:
    solver(double **a, double *b, std::size_t n, const gj_kernels &k, const gj_tuning &tuning)
        : a_(a), b_(b), n_(n), k_(k), tuning_(tuning)
    {
    }
    solver(const solver &) = delete;
    solver &operator=(const solver &) = delete;
    ~solver() { release(); }

    gj_status run();

private:
    // No row, or no step.
    static constexpr std::size_t none = SIZE_MAX;
    // Chunks of a pass per thread: a thread the system puts aside in the
    // middle of a pass then holds up no more than one chunk.
    static constexpr std::size_t chunks_per_thread = 4;

    enum class outcome { running, solved, singular, generic };
    // What the threads run between two barriers: one elimination step, the
    // closing of a block in the pivot rows (by columns), or in all the
    // others (by rows).
    enum class pass { step, close, flush };

    // ---- state ----------------------------------------------------------
    double **a_;
    double *b_;
    std::size_t n_;
    const gj_kernels &k_;
    const gj_tuning tuning_;

    std::int32_t *indxc_ = nullptr, *indxr_ = nullptr, *ipiv_ = nullptr;
    void *block_ = nullptr; // everything below lives in this one allocation

    double *w_ = nullptr; // working rows, ld_ doubles each
    std::size_t ld_ = 0;
    double *colid_ = nullptr; // position -> original column (as a double)
    double *pv_ = nullptr;    // pivot row of each step of the block, ld_ doubles each
    double *f_ = nullptr;     // per physical row: its multipliers of the block's steps
    std::size_t fs_ = 0;      // stride of f_
    double *rs_ = nullptr;    // reciprocal pivot of each step of the block
    double *pvq_ = nullptr;   // the block's pivot rows in the column being pivoted
    // Per physical row:
    double *bound_ = nullptr; // bound on the magnitudes of its search part, steps owed included
    std::size_t *from_ = nullptr;    // first step its search part still needs
    int *tstart_ = nullptr;          // first step of the block its inverse still needs
    unsigned char *pivoted_ = nullptr; // has been a pivot row
    std::size_t *ph_ = nullptr, *lg_ = nullptr;     // logical <-> physical row
    std::size_t *colat_ = nullptr, *pos_ = nullptr; // position <-> original column
    std::size_t *prow_ = nullptr; // physical pivot row of each step of the block
    std::size_t *bq_ = nullptr;   // old position of the pivot column in each step of the block
    // The physical rows that may still hold a pivot, in no order, and where
    // each physical row stands in that list.
    std::size_t *cand_ = nullptr, *cand_at_ = nullptr;
    std::size_t ncand_ = 0;

    std::size_t bsize_ = 32; // steps per block
    std::size_t s_ = 0;      // current step
    std::size_t m_ = 0;      // columns not yet pivoted
    std::size_t irow_ = 0, icol_ = 0;
    outcome out_ = outcome::running;

    // The open block: it began at step b0_ with b_m0_ columns not yet
    // pivoted, and holds b_nb_ steps.
    std::size_t b0_ = 0, b_m0_ = 0, b_nb_ = 0;

    // The pass every thread runs between two barriers.
    struct job {
        pass kind = pass::step;
        std::size_t P = 0, q = 0, last = 0, t = 0; // pivot row, its old position, m - 1, step in block
        double r = 0, pmax = 0; // reciprocal pivot, largest magnitude of the pivot row's search part
        bool exit = false;
    } job_;
    std::size_t chunks_ = 1; // pieces every pass is cut into
    // The largest magnitude found in this step (the bits of a double >= 0,
    // which order as the double does).
    std::atomic<std::uint64_t> best_{0};
    // Each chunk's candidate for the next pivot: its largest magnitude and
    // the last logical row that has it (-1: none).
    double win_max_[team::max_size * chunks_per_thread] = {};
    std::size_t win_row_[team::max_size * chunks_per_thread] = {};

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
