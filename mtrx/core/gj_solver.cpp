// The order of the working-array Gauss-Jordan solver's steps (the scheme is
// described in gj_solver.h): the pivot search, the pivot row's scaling and
// the exchange of positions, run by the calling thread between the passes
// over the rows (gj_passes.cpp) that the threads of the library's pool
// share.
//
// The pivot is the element the plain loop's row-major scan picks: the last
// row, in logical row order, whose largest magnitude is the largest (">="),
// and in that row the largest column of that magnitude. Each chunk of a step
// pass reports its own such row; a row that waited cannot hold the pivot
// (its bound is below a magnitude found elsewhere), so the chunks' rows
// decide.
//
// A step whose candidates are all NaN picks nothing new (the pivot indices
// stay); from then on the remaining steps run as plain loops on the working
// array, once every row has been brought up to date.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "gj_solver.h"

namespace mtrx_detail {

namespace {
// From this order on a system is worth the pool's workers. Waking a worker
// costs more under Windows (measured under Wine), where two threads pay only
// from about 320 unknowns; natively they pay from about 256.
#ifdef _WIN32
constexpr std::size_t parallel_from_default = 320;
#else
constexpr std::size_t parallel_from_default = 256;
#endif
} // namespace

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

// The pivot of step s_, the interchange, the singular test, the scaling of
// the pivot row's search part, the exchange of positions in the pivot row
// and in the block's earlier pivot rows, and the step's pass. False when the
// step cannot go on here (out_ says why).
bool solver::prepare_step()
{
    bool found = false;
    double big = 0.0;
    for (std::size_t c = 0; c < chunks_; ++c) {
        const std::size_t j = win_row_[c];
        if (j == none || win_max_[c] < big || (found && win_max_[c] == big && j < irow_))
            continue;
        big = win_max_[c];
        irow_ = j;
        found = true;
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

    if (b_nb_ == 0) {
        b0_ = s_;
        b_m0_ = m;
    }
    const std::size_t t = b_nb_, last = m - 1;
    // The block's earlier pivot rows: their values in the pivot column, for
    // the rows that take this step without their search part, then the
    // exchange of positions that every row makes.
    for (std::size_t u = 0; u < t; ++u) {
        double *pvu = pv_ + u * ld_;
        pvq_[u] = pvu[q];
        std::swap(pvu[q], pvu[last]);
    }
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
    std::memcpy(pv_ + t * ld_, row, m * sizeof(double));
    rs_[t] = r;
    prow_[t] = P;
    bq_[t] = q;
    pivoted_[P] = 1;
    const std::size_t at = cand_at_[P], tail = cand_[--ncand_];
    cand_[at] = tail;
    cand_at_[tail] = at;
    from_[P] = s_ + 1;
    tstart_[P] = static_cast<int>(t + 1);
    best_.store(0, std::memory_order_relaxed);
    job_.kind = pass::step;
    job_.P = P;
    job_.q = q;
    job_.last = last;
    job_.t = t;
    job_.r = r;
    // (NaN in the pivot row turns what it reaches into NaN, which never
    // counts; -1, a row of NaN alone, adds nothing to a bound)
    job_.pmax = std::max(0.0, k_.row_max(row, 0, last));
    return true;
}

// The next step's pass; when there is none (the end, or a step that cannot
// go on), the closing of the open block, or the end of the passes.
void solver::next_step()
{
    if (s_ == n_) {
        out_ = outcome::solved;
    } else if (prepare_step()) {
        return;
    }
    if (b_nb_ > 0)
        begin_close();
    else
        job_.exit = true;
}

// Closes the open block: the calling thread brings the pivot rows up to date
// in the columns pivoted inside the block and keeps their scaled values;
// then a pass does the same in the older columns, by columns, and a last one
// brings every other row up to date, by rows.
void solver::begin_close()
{
    const std::size_t m0 = b_m0_;
    for (std::size_t t = 0; t < b_nb_; ++t) {
        const std::size_t P = prow_[t];
        double *row = w_ + P * ld_;
        k_.update_new(row, pv_, ld_, f_ + P * fs_, 0, t, m0);
        scale_and_keep(t, row, m0 - t, m0);
    }
    job_.kind = pass::close;
}

// Runs on one thread while the others wait: books the finished pass and
// sets up the next one.
void solver::after_job()
{
    switch (job_.kind) {
    case pass::step:
        ++b_nb_;
        ++s_;
        --m_;
        if (b_nb_ == bsize_ || s_ == n_)
            begin_close();
        else
            next_step();
        break;
    case pass::close:
        job_.kind = pass::flush;
        break;
    case pass::flush:
        b_nb_ = 0;
        if (out_ == outcome::running)
            next_step();
        else
            job_.exit = true;
        break;
    }
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
    if (prepare_step()) {
        const std::size_t from = tuning_.parallel_from ? tuning_.parallel_from : parallel_from_default;
        std::size_t want = 1;
        if (n_ >= from)
            want = std::min(tuning_.threads ? tuning_.threads : pool_threads(), n_);
        team crew(want);
        const std::size_t small_step = tuning_.step_alone_below ? tuning_.step_alone_below : 1 << 16;
        chunks_ = crew.size() == 1 ? 1 : std::min(crew.size() * chunks_per_thread, n_);
        // On a machine busy with other work the helpers keep being put
        // aside and every pass waits for them: then the rest is done alone.
        bool alone = crew.size() == 1;
        unsigned passes = 0, waits = 0;
        for (;;) {
            // (a step over a small remaining matrix costs less than handing
            // it out; the blocks' passes keep the whole width)
            if (alone || (job_.kind == pass::step && ncand_ * m_ < small_step)) {
                for (std::size_t c = 0; c < chunks_; ++c)
                    run_chunk(c);
            } else {
                waits += crew.run(
                    [](void *ctx, std::size_t c) { static_cast<solver *>(ctx)->run_chunk(c); },
                    this, chunks_);
                if (++passes == 64) {
                    alone = waits >= 8;
                    passes = waits = 0;
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
