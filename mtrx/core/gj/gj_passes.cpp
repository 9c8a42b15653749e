// The passes of the working-array Gauss-Jordan solver that the threads
// share (the scheme: docs/design/elimination.md): one elimination step over
// a range of rows, the closing of a block in the pivot rows over a range of
// columns, and the bringing up to date of a range of rows when a block
// closes. Each row, and each column of the pivot rows, is computed by one
// thread alone, so which thread runs a chunk never changes a bit.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/gj/gj_solver.h"

namespace mtrx_detail {

namespace {

// Magnitudes as the bits of a double >= 0, which order as the double does.
std::uint64_t bits_of(double x)
{
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

double double_of(std::uint64_t b)
{
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

} // namespace

void solver::run_chunk(std::size_t chunk)
{
    const std::size_t n = n_;
    switch (job_.kind) {
    case pass::step:
        step_rows(cands_.count * chunk / chunks_, cands_.count * (chunk + 1) / chunks_, chunk);
        break;
    case pass::close: {
        const std::size_t from = tail_from(), w = width() - from;
        close_columns(from + w * chunk / chunks_, from + w * (chunk + 1) / chunks_);
        break;
    }
    case pass::flush:
        flush_rows(n * chunk / chunks_, n * (chunk + 1) / chunks_);
        break;
    }
}

// One step over the candidate rows cands_.rows[i0, i1): first every row's
// multiplier, exchange of positions and new bound; then the row with the
// largest bound is brought up to date (its largest magnitude is the bar the
// others' bounds must reach), then every other row whose bound reaches the
// bar as it stands. Rows already pivoted take the step when the block
// closes (replay_steps).
void solver::step_rows(std::size_t i0, std::size_t i1, std::size_t chunk)
{
    const std::size_t q = job_.pivot_position, last = job_.last_position, t = job_.block_step;
    const double r = job_.reciprocal, pmax = job_.pivot_max;
    std::size_t seed = none;
    for (std::size_t i = i0; i < i1; ++i) {
        const std::size_t l = cands_.rows[i];
        double *row = row_of(l);
        double *fl = multipliers_of(l);
        double x = row[q];
        for (std::size_t u = rows_.search_from[l] - block_.first_step; u < t; ++u) {
            const double p = block_.pivots_in_column[u] * fl[u];
            x = x - p;
        }
        fl[t] = x;
        row[q] = row[last];
        const double p = r * x;
        row[last] = 0.0 - p;
        rows_.bound[l] = rows_.bound[l] + pmax * std::fabs(x);
        if (seed == none || !(rows_.bound[l] <= rows_.bound[seed])) // (a NaN bound first)
            seed = l;
    }
    chunk_max_[chunk] = -1.0;
    chunk_row_[chunk] = none;
    if (seed == none)
        return;
    bring_up(seed, chunk);
    for (std::size_t i = i0; i < i1; ++i) {
        const std::size_t l = cands_.rows[i];
        if (l == seed)
            continue;
        // (a row whose bound falls short waits; a NaN bound never does)
        if (!(rows_.bound[l] < double_of(step_max_bits_.load(std::memory_order_relaxed))))
            bring_up(l, chunk);
    }
}

// The search part of candidate row l brought up to date through the current
// step: its largest magnitude becomes its bound, raises the step's bar, and
// may make it the chunk's candidate for the next pivot.
void solver::bring_up(std::size_t l, std::size_t chunk)
{
    const double mx = kernels_.update(row_of(l), block_.pivot_rows, work_.row_stride,
                                      multipliers_of(l), rows_.search_from[l] - block_.first_step,
                                      job_.block_step + 1, 0, job_.last_position, true);
    rows_.search_from[l] = step_ + 1;
    rows_.bound[l] = mx;
    if (mx < 0)
        return;
    for (std::uint64_t b = step_max_bits_.load(std::memory_order_relaxed), mb = bits_of(mx);
         mb > b && !step_max_bits_.compare_exchange_weak(b, mb, std::memory_order_relaxed);)
        ;
    const std::size_t j = work_.logical_of[l];
    if (mx > chunk_max_[chunk] || (mx == chunk_max_[chunk] && j > chunk_row_[chunk])) {
        chunk_max_[chunk] = mx;
        chunk_row_[chunk] = j;
    }
}

// The block's pivot rows over columns [c0, c1) of the older inverse (when
// there is one) and the constants: each takes the block's earlier steps and its scaling, and is
// kept as the row the others take its step from.
void solver::close_columns(std::size_t c0, std::size_t c1)
{
    for (std::size_t t = 0; t < block_.steps; ++t) {
        const std::size_t pivot_phys = block_.pivot_physical[t];
        double *row = row_of(pivot_phys);
        kernels_.update(row, block_.pivot_rows, work_.row_stride, multipliers_of(pivot_phys), 0, t,
                        c0, c1, false);
        scale_and_keep(t, row, c0, c1);
    }
}

// Pivot row t of the block over columns [k0, k1): scaled by its reciprocal
// pivot, and kept as the row the others take step t from.
void solver::scale_and_keep(std::size_t t, double *row, std::size_t k0, std::size_t k1)
{
    const double r = block_.reciprocal[t];
    double *pvt = kept_pivot_row(t);
    for (std::size_t k = k0; k < k1; ++k) {
        row[k] = row[k] * r;
        pvt[k] = row[k];
    }
}

// Rows [r0, r1) take every step of the closing block they are owed: the
// search part from its first step owed, the inverse (when there is one) and
// the constants from the block's start (a pivot row of the block from the
// step after its own).
// Rows owed the same steps go through the inner loops a tile at a time.
void solver::flush_rows(std::size_t r0, std::size_t r1)
{
    const std::size_t nb = block_.steps, m0 = block_.unpivoted_at_start, m_end = m0 - nb,
                      T = kernels_.tile_rows;
    // Rows already pivoted, four at a time where they are owed the same steps
    // (their chains of operations then overlap).
    std::size_t group[4], grouped = 0;
    for (std::size_t l = r0; l < r1; ++l) {
        if (!rows_.pivoted[l])
            continue;
        if (rows_.inverse_from[l] != 0) {
            replay_steps(&l, 1);
        } else if ((group[grouped++] = l, grouped == 4)) {
            replay_steps(group, 4);
            grouped = 0;
        }
    }
    replay_steps(group, grouped);
    double *rows[8];
    const double *fls[8];
    std::size_t ids[8];
    double maxes[8];
    // The gathered rows over columns [c0, c1) from step `start`; candidates
    // keep their new largest magnitude as their bound.
    auto run = [&](std::size_t count, std::size_t start, std::size_t c0, std::size_t c1,
                   bool search) {
        if (count == T)
            kernels_.update_rows(rows, fls, block_.pivot_rows, work_.row_stride, start, nb, c0, c1,
                                 search ? maxes : nullptr);
        else
            for (std::size_t i = 0; i < count; ++i)
                maxes[i] = kernels_.update(rows[i], block_.pivot_rows, work_.row_stride, fls[i],
                                           start, nb, c0, c1, search);
        if (search)
            for (std::size_t i = 0; i < count; ++i)
                if (!rows_.pivoted[ids[i]])
                    rows_.bound[ids[i]] = maxes[i];
    };
    auto gather = [&](std::size_t &count, std::size_t l) {
        rows[count] = row_of(l);
        fls[count] = multipliers_of(l);
        ids[count] = l;
        return ++count == T;
    };
    for (std::size_t start = 0; start < nb; ++start) {
        std::size_t count = 0;
        for (std::size_t l = r0; l < r1; ++l)
            if (rows_.search_from[l] - block_.first_step == start && gather(count, l)) {
                run(count, start, 0, m_end, true);
                count = 0;
            }
        run(count, start, 0, m_end, true);
    }
    const std::size_t tail = tail_from(), end = width();
    std::size_t count = 0;
    for (std::size_t l = r0; l < r1; ++l) {
        if (rows_.inverse_from[l] != 0) {
            double *row = row_of(l);
            kernels_.update(row, block_.pivot_rows, work_.row_stride, multipliers_of(l),
                            static_cast<std::size_t>(rows_.inverse_from[l]), nb, tail, end, false);
        } else if (gather(count, l)) {
            run(count, 0, tail, end, false);
            count = 0;
        }
    }
    run(count, 0, tail, end, false);
    for (std::size_t l = r0; l < r1; ++l) {
        if (inverse_)
            kernels_.update_new(row_of(l), block_.pivot_rows, work_.row_stride, multipliers_of(l),
                                static_cast<std::size_t>(rows_.inverse_from[l]), nb, m0);
        rows_.search_from[l] = block_.first_step + nb;
        rows_.inverse_from[l] = 0;
    }
}

// Gives the rows already pivoted the block's steps they are owed (a row
// pivoted in this block is owed those after its own): for each step, the
// row's multiplier, from its element in the pivot column brought up to date
// alone, and the exchange of positions with the new inverse element. The
// block's pivot rows already stand in the block's last layout, where the
// column pivoted in step t sits at position m0-1-t.
void solver::replay_steps(const std::size_t *ls, std::size_t count)
{
    if (count == 0)
        return;
    const std::size_t nb = block_.steps, m0 = block_.unpivoted_at_start;
    double *row[4], *fl[4];
    for (std::size_t i = 0; i < count; ++i) {
        row[i] = row_of(ls[i]);
        fl[i] = multipliers_of(ls[i]);
    }
    const std::size_t from = static_cast<std::size_t>(rows_.inverse_from[ls[0]]);
    for (std::size_t t = from; t < nb; ++t) {
        const std::size_t q = block_.old_position[t], last = m0 - 1 - t;
        double x[4];
        for (std::size_t i = 0; i < count; ++i)
            x[i] = row[i][q];
        for (std::size_t u = from; u < t; ++u) {
            const double pu = kept_pivot_row(u)[last];
            for (std::size_t i = 0; i < count; ++i) {
                const double p = pu * fl[i][u];
                x[i] = x[i] - p;
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            fl[i][t] = x[i];
            row[i][q] = row[i][last];
            const double p = block_.reciprocal[t] * x[i];
            row[i][last] = 0.0 - p;
        }
    }
}

} // namespace mtrx_detail
