// The passes of the working-array Gauss-Jordan solver that the threads
// share (the scheme is described in gj_solver.h): one elimination step over
// a range of rows, the closing of a block in the pivot rows over a range of
// columns, and the bringing up to date of a range of rows when a block
// closes. Each row, and each column of the pivot rows, is computed by one
// thread alone, so which thread runs a chunk never changes a bit.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "gj_solver.h"

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
        step_rows(ncand_ * chunk / chunks_, ncand_ * (chunk + 1) / chunks_, chunk);
        break;
    case pass::close: {
        const std::size_t width = n + 1 - b_m0_;
        close_columns(b_m0_ + width * chunk / chunks_, b_m0_ + width * (chunk + 1) / chunks_);
        break;
    }
    case pass::flush:
        flush_rows(n * chunk / chunks_, n * (chunk + 1) / chunks_);
        break;
    }
}

// One step over the candidate rows cand_[i0, i1): first every row's
// multiplier, exchange of positions and new bound; then the row with the
// largest bound is brought up to date (its largest magnitude is the bar the
// others' bounds must reach), then every other row whose bound reaches the
// bar as it stands. Rows already pivoted take the step when the block
// closes (replay_steps).
void solver::step_rows(std::size_t i0, std::size_t i1, std::size_t chunk)
{
    const std::size_t q = job_.q, last = job_.last, t = job_.t;
    const double r = job_.r, pmax = job_.pmax;
    std::size_t seed = none;
    for (std::size_t i = i0; i < i1; ++i) {
        const std::size_t l = cand_[i];
        double *row = w_ + l * ld_;
        double *fl = f_ + l * fs_;
        double x = row[q];
        for (std::size_t u = from_[l] - b0_; u < t; ++u) {
            const double p = pvq_[u] * fl[u];
            x = x - p;
        }
        fl[t] = x;
        row[q] = row[last];
        const double p = r * x;
        row[last] = 0.0 - p;
        bound_[l] = bound_[l] + pmax * std::fabs(x);
        if (seed == none || !(bound_[l] <= bound_[seed])) // (a NaN bound first)
            seed = l;
    }
    win_max_[chunk] = -1.0;
    win_row_[chunk] = none;
    if (seed == none)
        return;
    bring_up(seed, chunk);
    for (std::size_t i = i0; i < i1; ++i) {
        const std::size_t l = cand_[i];
        if (l == seed)
            continue;
        // (a row whose bound falls short waits; a NaN bound never does)
        if (!(bound_[l] < double_of(best_.load(std::memory_order_relaxed))))
            bring_up(l, chunk);
    }
}

// The search part of candidate row l brought up to date through step s_:
// its largest magnitude becomes its bound, raises the step's bar, and may
// make it the chunk's candidate for the next pivot.
void solver::bring_up(std::size_t l, std::size_t chunk)
{
    const double mx = k_.update(w_ + l * ld_, pv_, ld_, f_ + l * fs_, from_[l] - b0_, job_.t + 1,
                                0, job_.last, true);
    from_[l] = s_ + 1;
    bound_[l] = mx;
    if (mx < 0)
        return;
    for (std::uint64_t b = best_.load(std::memory_order_relaxed), mb = bits_of(mx);
         mb > b && !best_.compare_exchange_weak(b, mb, std::memory_order_relaxed);)
        ;
    const std::size_t j = lg_[l];
    if (mx > win_max_[chunk] || (mx == win_max_[chunk] && j > win_row_[chunk])) {
        win_max_[chunk] = mx;
        win_row_[chunk] = j;
    }
}

// The block's pivot rows over columns [c0, c1) of the older inverse and the
// constants: each takes the block's earlier steps and its scaling, and is
// kept as the row the others take its step from.
void solver::close_columns(std::size_t c0, std::size_t c1)
{
    for (std::size_t t = 0; t < b_nb_; ++t) {
        const std::size_t P = prow_[t];
        double *row = w_ + P * ld_;
        k_.update(row, pv_, ld_, f_ + P * fs_, 0, t, c0, c1, false);
        scale_and_keep(t, row, c0, c1);
    }
}

// Pivot row t of the block over columns [k0, k1): scaled by its reciprocal
// pivot, and kept as the row the others take step t from.
void solver::scale_and_keep(std::size_t t, double *row, std::size_t k0, std::size_t k1)
{
    const double r = rs_[t];
    double *pvt = pv_ + t * ld_;
    for (std::size_t k = k0; k < k1; ++k) {
        row[k] = row[k] * r;
        pvt[k] = row[k];
    }
}

// Rows [r0, r1) take every step of the closing block they are owed: the
// search part from its first step owed, the inverse and the constants from
// the block's start (a pivot row of the block from the step after its own).
// Rows owed the same steps go through the inner loops a tile at a time.
void solver::flush_rows(std::size_t r0, std::size_t r1)
{
    const std::size_t nb = b_nb_, m0 = b_m0_, m_end = m0 - nb, T = k_.tile_rows;
    // Rows already pivoted, four at a time where they are owed the same steps
    // (their chains of operations then overlap).
    std::size_t group[4], grouped = 0;
    for (std::size_t l = r0; l < r1; ++l) {
        if (!pivoted_[l])
            continue;
        if (tstart_[l] != 0) {
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
            k_.update_rows(rows, fls, pv_, ld_, start, nb, c0, c1, search ? maxes : nullptr);
        else
            for (std::size_t i = 0; i < count; ++i)
                maxes[i] = k_.update(rows[i], pv_, ld_, fls[i], start, nb, c0, c1, search);
        if (search)
            for (std::size_t i = 0; i < count; ++i)
                if (!pivoted_[ids[i]])
                    bound_[ids[i]] = maxes[i];
    };
    auto gather = [&](std::size_t &count, std::size_t l) {
        rows[count] = w_ + l * ld_;
        fls[count] = f_ + l * fs_;
        ids[count] = l;
        return ++count == T;
    };
    for (std::size_t start = 0; start < nb; ++start) {
        std::size_t count = 0;
        for (std::size_t l = r0; l < r1; ++l)
            if (from_[l] - b0_ == start && gather(count, l)) {
                run(count, start, 0, m_end, true);
                count = 0;
            }
        run(count, start, 0, m_end, true);
    }
    std::size_t count = 0;
    for (std::size_t l = r0; l < r1; ++l) {
        if (tstart_[l] != 0) {
            double *row = w_ + l * ld_;
            k_.update(row, pv_, ld_, f_ + l * fs_, static_cast<std::size_t>(tstart_[l]), nb, m0,
                      n_ + 1, false);
        } else if (gather(count, l)) {
            run(count, 0, m0, n_ + 1, false);
            count = 0;
        }
    }
    run(count, 0, m0, n_ + 1, false);
    for (std::size_t l = r0; l < r1; ++l) {
        k_.update_new(w_ + l * ld_, pv_, ld_, f_ + l * fs_, static_cast<std::size_t>(tstart_[l]),
                      nb, m0);
        from_[l] = b0_ + nb;
        tstart_[l] = 0;
    }
}

// What the steps of the block did in rows already pivoted, owed the same
// steps (from the step after its own, for a row pivoted in this block): each
// step's multiplier, its element in the pivot column brought up to date
// alone, and the exchange of positions with the new inverse element. The
// block's pivot rows already stand in the block's last layout, where the
// column pivoted in step t sits at position m0-1-t.
void solver::replay_steps(const std::size_t *ls, std::size_t count)
{
    if (count == 0)
        return;
    const std::size_t nb = b_nb_, m0 = b_m0_;
    double *row[4], *fl[4];
    for (std::size_t i = 0; i < count; ++i) {
        row[i] = w_ + ls[i] * ld_;
        fl[i] = f_ + ls[i] * fs_;
    }
    const std::size_t from = static_cast<std::size_t>(tstart_[ls[0]]);
    for (std::size_t t = from; t < nb; ++t) {
        const std::size_t q = bq_[t], last = m0 - 1 - t;
        double x[4];
        for (std::size_t i = 0; i < count; ++i)
            x[i] = row[i][q];
        for (std::size_t u = from; u < t; ++u) {
            const double pu = pv_[u * ld_ + last];
            for (std::size_t i = 0; i < count; ++i) {
                const double p = pu * fl[i][u];
                x[i] = x[i] - p;
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            fl[i][t] = x[i];
            row[i][q] = row[i][last];
            const double p = rs_[t] * x[i];
            row[i][last] = 0.0 - p;
        }
    }
}

} // namespace mtrx_detail
