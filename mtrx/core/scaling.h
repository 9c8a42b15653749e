// Exact scaling of a linear system by powers of two, for systems whose
// elements approach the ends of the double range, and the search for a NaN
// or an infinity in a system. Says nothing.
//
// A x = b becomes S y = c with
//
//     S = 2^row_i A 2^col_j,   c_i = 2^(row_i - rhs) b_i,   x_j = 2^(col_j + rhs) y_j,
//
// every factor a power of two, so that nothing is rounded but what falls
// below the normal range. Three kinds (scaling_band says when each is used):
//  - none: the system is solved as it stands, so its bits are the unscaled
//    ones;
//  - uniform: one power of two for all of A and one for b. Scaling all of A,
//    or all of b, changes no pivot and no rounding while the arithmetic
//    stays in the normal range: the solution has the bits the system has at
//    any scale where elimination stays there;
//  - full: the rows and then the columns each brought to a largest
//    magnitude in [1, 2) (row_i from the row's largest element, col_j from
//    the column's after that), and b to a largest magnitude in [1, 2), as
//    LAPACK's dgeequb scales them: for elements more than a double's
//    exponent range can carry apart.
#ifndef MTRX_CORE_SCALING_H
#define MTRX_CORE_SCALING_H

#include <cstddef>

#include "alloc.h"
#include "pow2.h"

namespace mtrx_detail {

// The first NaN or infinity of the n x (n + 1) augmented system `a`, or of
// the n x n matrix `a` with its constants in `b` (taken as column n), in row
// order.
struct element_place {
    bool found = false;
    std::size_t row = 0, column = 0;
};
element_place first_non_finite(double *const *a, const double *b, std::size_t n);

// What one pass over an augmented n x (n + 1) system finds: the largest and
// the smallest nonzero magnitude of A, the largest of b, and whether every
// element is finite.
struct system_survey {
    double amax = 0.0, amin = 0.0, bmax = 0.0;
    bool finite = true;
};
system_survey survey(double *const *aug, std::size_t n);

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

    // Decides the scaling of the finite augmented n x (n + 1) system `aug`,
    // of which `sv` is the survey, as above. False when the full scaling's
    // scratch cannot be had.
    bool plan(double *const *aug, std::size_t n, const system_survey &sv, const scaling_band &band);
    // The full scaling, whatever the magnitudes. False as plan().
    bool plan_full(double *const *aug, std::size_t n);

    kind how() const { return how_; }
    long long row(std::size_t i) const { return how_ == kind::full ? exps_[i] : uniform_; }
    long long column(std::size_t j) const { return how_ == kind::full ? exps_[n_ + j] : 0; }
    long long rhs() const { return rhs_; }

    // S and c as a new n x (n + 1) array (fault: its sites).
    double **scaled(double *const *aug, alloc_fault &fault) const;
    // x_j from y_j, and back (exact when x_j is a normal number).
    double solution(double y, std::size_t j) const { return times_pow2(y, column(j) + rhs_); }
    double scaled_solution(double x, std::size_t j) const
    {
        return times_pow2(x, -(column(j) + rhs_));
    }

private:
    bool allocate(std::size_t n);

    kind how_ = kind::none;
    std::size_t n_ = 0;
    long long uniform_ = 0; // row_i of the uniform kind
    long long rhs_ = 0;
    long long *exps_ = nullptr; // full: row_i, then col_j
    std::size_t cap_ = 0;       // the systems exps_ has room for
};

} // namespace mtrx_detail

#endif
