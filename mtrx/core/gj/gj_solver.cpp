// The order of the working-array Gauss-Jordan solver's steps: the pivot
// search, the pivot row's scaling and the exchange of positions, run by the
// calling thread between the passes over the rows (gj_passes.cpp) that the
// threads of the library's pool share. The pivot is the one the plain
// loop's row-major scan picks; a step whose candidates are all NaN picks
// nothing new. The scheme: docs/design/elimination.md.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/gj/gj_solver.h"
#include "core/tuning.h"

namespace mtrx_detail {

// The current step takes the pivot (pivot_row_, pivot_col_): the column's
// flag goes up, the two rows trade places (by relabelling) and the step is
// recorded. Returns the pivot column.
std::size_t solver::take_pivot()
{
    const std::size_t c = pivot_col_;
    ++record_.times_pivoted[c];
    if (pivot_row_ != c) {
        std::swap(work_.physical_of[pivot_row_], work_.physical_of[c]);
        work_.logical_of[work_.physical_of[pivot_row_]] = pivot_row_;
        work_.logical_of[work_.physical_of[c]] = c;
    }
    record_.pivot_row[step_] = static_cast<std::int32_t>(pivot_row_);
    record_.pivot_col[step_] = static_cast<std::int32_t>(c);
    return c;
}

// The current step's pivot, the interchange, the singular test, the scaling
// of the pivot row's search part, the exchange of positions in the pivot row
// and in the block's earlier pivot rows, and the step's pass. False when the
// step cannot go on here (out_ says why).
bool solver::prepare_step()
{
    bool found = false;
    double big = 0.0;
    for (std::size_t c = 0; c < chunks_; ++c) {
        const std::size_t j = chunk_row_[c];
        if (j == none || chunk_max_[c] < big || (found && chunk_max_[c] == big && j < pivot_row_))
            continue;
        big = chunk_max_[c];
        pivot_row_ = j;
        found = true;
    }
    if (!found) {
        out_ = outcome::generic;
        return false;
    }
    pivot_col_ = static_cast<std::size_t>(kernels_.row_arg(row_of(work_.physical_of[pivot_row_]),
                                                           work_.column_id, 0, unpivoted_, big));
    const std::size_t c = take_pivot();

    const std::size_t pivot_phys = work_.physical_of[c];
    const std::size_t q = work_.position_of[c];
    const std::size_t m = unpivoted_;
    double *row = row_of(pivot_phys);
    if (row[q] == 0.0) {
        out_ = outcome::singular;
        return false;
    }
    const double r = 1.0 / row[q];
    row[q] = 1.0;
    for (std::size_t k = 0; k < m; ++k)
        row[k] *= r;

    if (block_.steps == 0) {
        block_.first_step = step_;
        block_.unpivoted_at_start = m;
    }
    const std::size_t t = block_.steps, last = m - 1;
    // The block's earlier pivot rows: their values in the pivot column, for
    // the rows that take this step without their search part, then the
    // exchange of positions that every row makes.
    for (std::size_t u = 0; u < t; ++u) {
        double *pvu = kept_pivot_row(u);
        block_.pivots_in_column[u] = pvu[q];
        std::swap(pvu[q], pvu[last]);
    }
    if (q != last) {
        std::swap(row[q], row[last]);
        const std::size_t moved = work_.column_at[last];
        work_.column_at[q] = moved;
        work_.column_id[q] = static_cast<double>(moved);
        work_.position_of[moved] = q;
        work_.column_at[last] = c;
        work_.column_id[last] = static_cast<double>(c);
        work_.position_of[c] = last;
    }
    std::memcpy(kept_pivot_row(t), row, m * sizeof(double));
    block_.reciprocal[t] = r;
    block_.pivot_physical[t] = pivot_phys;
    block_.old_position[t] = q;
    rows_.pivoted[pivot_phys] = 1;
    const std::size_t at = cands_.index_of[pivot_phys], tail = cands_.rows[--cands_.count];
    cands_.rows[at] = tail;
    cands_.index_of[tail] = at;
    rows_.search_from[pivot_phys] = step_ + 1;
    rows_.inverse_from[pivot_phys] = static_cast<int>(t + 1);
    step_max_bits_.store(0, std::memory_order_relaxed);
    job_.kind = pass::step;
    job_.pivot_physical = pivot_phys;
    job_.pivot_position = q;
    job_.last_position = last;
    job_.block_step = t;
    job_.reciprocal = r;
    // (NaN in the pivot row turns what it reaches into NaN, which never
    // counts; -1, a row of NaN alone, adds nothing to a bound)
    job_.pivot_max = std::max(0.0, kernels_.row_max(row, 0, last));
    return true;
}

// The next step's pass; when there is none (the end, or a step that cannot
// go on), the closing of the open block, or the end of the passes.
void solver::next_step()
{
    if (step_ == n_) {
        out_ = outcome::solved;
    } else if (prepare_step()) {
        return;
    }
    if (block_.steps > 0)
        begin_close();
    else
        job_.exit = true;
}

// Closes the open block: the calling thread brings the pivot rows up to date
// in the columns pivoted inside the block and keeps their scaled values
// (which only the inverse needs: replay_steps reads none of them);
// then a pass does the same in the older columns, by columns, and a last one
// brings every other row up to date, by rows.
void solver::begin_close()
{
    const std::size_t m0 = block_.unpivoted_at_start;
    for (std::size_t t = 0; inverse_ && t < block_.steps; ++t) {
        const std::size_t pivot_phys = block_.pivot_physical[t];
        double *row = row_of(pivot_phys);
        kernels_.update_new(row, block_.pivot_rows, work_.row_stride, multipliers_of(pivot_phys), 0,
                            t, m0);
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
        ++block_.steps;
        ++step_;
        --unpivoted_;
        if (block_.steps == block_.capacity || step_ == n_)
            begin_close();
        else
            next_step();
        break;
    case pass::close:
        job_.kind = pass::flush;
        break;
    case pass::flush:
        block_.steps = 0;
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
    for (; step_ < n; ++step_) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (record_.times_pivoted[j] == 1)
                continue;
            const double *row = row_of(work_.physical_of[j]);
            for (std::size_t k = 0; k < n; ++k) {
                if (record_.times_pivoted[k] == 0 && std::fabs(row[work_.position_of[k]]) >= big) {
                    big = std::fabs(row[work_.position_of[k]]);
                    pivot_row_ = j;
                    pivot_col_ = k;
                }
            }
        }
        const std::size_t c = take_pivot();
        const std::size_t pivot_phys = work_.physical_of[c], q = work_.position_of[c];
        double *prow = row_of(pivot_phys);
        if (prow[q] == 0.0) {
            out_ = outcome::singular;
            return;
        }
        const double r = 1.0 / prow[q];
        prow[q] = 1.0;
        const std::size_t w = width();
        for (std::size_t k = 0; k < w; ++k)
            prow[k] *= r;
        for (std::size_t l = 0; l < n; ++l) {
            if (l == pivot_phys)
                continue;
            double *row = row_of(l);
            const double f = row[q];
            row[q] = 0.0;
            kernels_.eliminate_max(row, prow, w, f, true);
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
        const std::size_t from =
            tuning_.parallel_from ? tuning_.parallel_from : tuning::gj_parallel_from;
        std::size_t want = 1;
        if (n_ >= from)
            want = std::min(tuning_.threads ? tuning_.threads : pool_threads(), n_);
        team crew(want);
        const std::size_t small_step =
            tuning_.step_alone_below ? tuning_.step_alone_below : tuning::gj_step_alone_below;
        chunks_ = crew.size() == 1 ? 1 : std::min(crew.size() * chunks_per_thread, n_);
        // On a machine busy with other work the helpers keep being put
        // aside and every pass waits for them: then the rest is done alone
        // (the rule in core/tuning.h).
        bool alone = crew.size() == 1;
        unsigned passes = 0, waits = 0;
        for (;;) {
            // (a step over a small remaining matrix costs less than handing
            // it out; the blocks' passes keep the whole width)
            if (alone || (job_.kind == pass::step && cands_.count * unpivoted_ < small_step)) {
                for (std::size_t c = 0; c < chunks_; ++c)
                    run_chunk(c);
            } else {
                waits += crew.run(
                    [](void *ctx, std::size_t c) { static_cast<solver *>(ctx)->run_chunk(c); },
                    this, chunks_);
                if (++passes == tuning::gj_busy_passes) {
                    alone = waits >= tuning::gj_busy_waits;
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
