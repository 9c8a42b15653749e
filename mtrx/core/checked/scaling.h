// Exact scaling of a linear system by powers of two, for systems whose
// elements approach the ends of the double range, and the search for a NaN
// or an infinity in a system. Says nothing.
//
// A x = b becomes S y = c with S = 2^row_i A 2^col_j, c_i = 2^(row_i - rhs)
// b_i and x_j = 2^(col_j + rhs) y_j, so nothing is rounded but what falls
// below the normal range. Three kinds: none, uniform (one power of two for
// A, one for b: the unscaled bits) and full (rows, then columns, brought to
// [1, 2)). Why each is safe where it is used: docs/design/scaling.md.
#ifndef MTRX_CORE_SCALING_H
#define MTRX_CORE_SCALING_H

#include <cstddef>

#include "core/base/alloc.h"
#include "core/base/pow2.h"

namespace mtrx_detail {

// A X = B with k right-hand sides: A the n x n block of the rows `a`, column
// c of B in column `b_at + c` of the rows `b` (or in column `b_at +
// picked[c]`, for some of their columns).
struct system_ref {
    double *const *a;
    double *const *b;
    std::size_t b_at, n, k;
    const std::size_t *picked = nullptr;

    double rhs(std::size_t i, std::size_t c) const { return b[i][b_at + (picked ? picked[c] : c)]; }
};
// The augmented n x (n + 1) system `aug`: its constants in column n.
inline system_ref augmented(double *const *aug, std::size_t n) { return {aug, aug, n, n, 1}; }

// The first NaN or infinity of the n x (n + 1) augmented system `a`, or of
// the n x n matrix `a` with its constants in `b` (taken as column n), in row
// order.
struct element_place {
    bool found = false;
    std::size_t row = 0, column = 0;
};
element_place first_non_finite(double *const *a, const double *b, std::size_t n);
// The same in [A B] (B's column c as column n + c).
element_place first_non_finite(const system_ref &s);

// What one pass over a system finds: the largest and the smallest nonzero
// magnitude of A, the largest of B, and whether every element is finite.
struct system_survey {
    double amax = 0.0, amin = 0.0, bmax = 0.0;
    bool finite = true;
};
system_survey survey(const system_ref &s);
inline system_survey survey(double *const *aug, std::size_t n) { return survey(augmented(aug, n)); }

// When a system is solved as it stands: every nonzero element of A within
// 2^-reach .. 2^reach and at most 2^spread apart, and b's largest within
// the same reach. Beyond, one power of two for A (and one for b) where
// `uniform` allows and A's elements lie at most 2^spread apart; otherwise
// the full scaling.
struct scaling_band {
    int reach;  // 0: the system is always solved as it stands
    int spread;
    bool uniform;
};

// Elimination: within 2^+-960 a subnormal's last place is at most 2^-114 of
// the smallest element, and sums and the pivots' growth stay far from
// overflow; elements more than 2^960 apart meet below the normal range
// (a pivot row's quotient times a small multiplier). Its pivots depend on
// the magnitudes, so that only one power of two for all of A keeps them.
constexpr scaling_band elimination_band{960, 960, true};
// The cofactor solver up to 3 x 3: its determinant multiplies n elements,
// so that the reach shrinks to 960 / n; it has no pivots, and every product
// and quotient it forms scales by the same power of two under any scaling
// of rows and columns, so that the full scaling keeps its bits too where it
// stays in the normal range. Larger systems are scaled inside the solver.
constexpr scaling_band cofactor_band(std::size_t n)
{
    return n <= 3 ? scaling_band{960 / static_cast<int>(n ? n : 1), 1920, false}
                  : scaling_band{0, 0, false};
}

class system_scaling {
public:
    enum class kind { none, uniform, full };

    system_scaling() = default;
    ~system_scaling();
    system_scaling(const system_scaling &) = delete;
    system_scaling &operator=(const system_scaling &) = delete;

    // Decides the scaling of the finite system `s`, of which `sv` is the
    // survey, as above: the kind from A and every column, each column's
    // rhs as if it stood alone. Where A lies within the band and a column
    // does too, that column's rhs is 0, its bits those of no scaling: a
    // band without `uniform` is for a single column. False when scratch
    // memory cannot be had.
    bool plan(const system_ref &s, const system_survey &sv, const scaling_band &band);
    bool plan(double *const *aug, std::size_t n, const system_survey &sv, const scaling_band &band)
    {
        return plan(augmented(aug, n), sv, band);
    }
    // The full scaling, whatever the magnitudes. False as plan().
    bool plan_full(const system_ref &s);
    bool plan_full(double *const *aug, std::size_t n) { return plan_full(augmented(aug, n)); }

    kind how() const { return how_; }
    long long row(std::size_t i) const { return how_ == kind::full ? exps_[i] : uniform_; }
    long long column(std::size_t j) const { return how_ == kind::full ? exps_[n_ + j] : 0; }
    long long rhs(std::size_t c = 0) const { return rhs_[c]; }

    // [S C] as a new n x (n + k) array (fault: its sites).
    double **scaled(const system_ref &s, alloc_fault &fault) const;
    double **scaled(double *const *aug, alloc_fault &fault) const
    {
        return scaled(augmented(aug, n_), fault);
    }
    // x_j of column c from y_j, and back (exact when x_j is a normal number).
    double solution(double y, std::size_t j, std::size_t c = 0) const
    {
        return times_pow2(y, column(j) + rhs_[c]);
    }
    double scaled_solution(double x, std::size_t j, std::size_t c = 0) const
    {
        return times_pow2(x, -(column(j) + rhs_[c]));
    }

private:
    // Room for k columns' rhs (0 each) and, when full, the 2n exponents.
    bool reserve(std::size_t n, std::size_t k, bool full);

    kind how_ = kind::none;
    std::size_t n_ = 0;
    long long uniform_ = 0;      // row_i of the uniform kind
    long long one_rhs_ = 0;      // a single column's rhs
    long long *rhs_ = &one_rhs_; // each column's rhs (in block_ for several)
    long long *exps_ = nullptr;  // full: row_i, then col_j (in block_)
    long long *block_ = nullptr;
    std::size_t cap_ = 0; // the values block_ has room for
};

} // namespace mtrx_detail

#endif
