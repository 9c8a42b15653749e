// The working-array Gauss-Jordan solver, shared by the entry points
// (gauss_jordan.cpp), the working array's layout (gj_workspace.cpp) and the
// elimination steps (gj_solver.cpp). Not installed.
//
// The matrix is copied into a private working array with contiguous, padded
// rows. Its columns ("positions") are kept in this order: 0..m-1 the columns
// not yet pivoted, m..n-1 the inverse, n the constants. When a column is
// pivoted it trades places with position m-1, so the columns that still take
// part in the search stay contiguous. Rows are exchanged by relabelling
// (logical row -> physical row).
#ifndef MTRX_GJ_SOLVER_H
#define MTRX_GJ_SOLVER_H

#include <cstddef>
#include <cstdint>

#include "gj_kernels.h"
#include "internal.h"

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
    enum class outcome { running, solved, singular, generic };

    // ---- state ----------------------------------------------------------
    double **a_;
    double *b_;
    std::size_t n_;
    const gj_kernels &k_;
    const gj_tuning tuning_;

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

} // namespace mtrx_detail

#endif
