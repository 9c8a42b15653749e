// The elimination steps of the working-array Gauss-Jordan solver (layout in
// gj_solver.h), and how they are spread over threads.
//
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
#include <cmath>
#include <cstdint>

#include "gj_solver.h"
#include "thread_pool.h"

namespace mtrx_detail {

namespace {
constexpr std::size_t chunks_per_thread = 4;
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
        const std::size_t from = tuning_.parallel_from ? tuning_.parallel_from : 256;
        std::size_t want = 1;
        if (n_ >= from)
            want = std::min(tuning_.threads ? tuning_.threads : pool_threads(), n_);
        team crew(want);
        // Several chunks a thread, so that a thread the system puts aside in
        // the middle of a pass holds up no more than one chunk.
        chunks_ = crew.size() == 1 ? 1 : std::min(crew.size() * chunks_per_thread, n_);
        // On a machine busy with other work the helpers keep being put
        // aside and every step waits for them: then the rest is done alone.
        bool alone = crew.size() == 1;
        unsigned steps = 0, waits = 0;
        for (;;) {
            if (alone) {
                for (std::size_t c = 0; c < chunks_; ++c)
                    run_chunk(c);
            } else {
                waits += crew.run(
                    [](void *ctx, std::size_t c) { static_cast<solver *>(ctx)->run_chunk(c); },
                    this, chunks_);
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
    if (out_ == outcome::generic)
        generic_steps();
    copy_out(out_ == outcome::solved);
    return out_ == outcome::solved ? gj_status::solved : gj_status::singular;
}

} // namespace mtrx_detail
