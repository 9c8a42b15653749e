// One LU factorisation with full pivoting of a matrix's transpose, scaled
// by powers of two so that nothing in it leaves the range of a double, and
// the inverses of its triangular factors: what the adjugate and the cofactor
// solver's solutions are formed from (adjugate.cpp). The scaling, the
// factors' storage and the work are described in
// docs/design/scaled-factorisation.md.
#ifndef MTRX_CORE_LU_SCALED_H
#define MTRX_CORE_LU_SCALED_H

#include <cstddef>

#include "core/gj/gj_kernels.h"

namespace mtrx_detail {

class lu_scaled {
public:
    lu_scaled(double *const *a, std::size_t n) : a_(a), n_(n), k_(gj_kernels_in_use()) {}
    ~lu_scaled();
    lu_scaled(const lu_scaled &) = delete;
    lu_scaled &operator=(const lu_scaled &) = delete;

protected:
    // The working storage; false when it cannot be had.
    bool allocate();
    // B into the working copy, non-finite elements of A read as 0.
    void copy_in();
    // P B Q = L U in place; returns the rank, the number of steps before the
    // block left over was exactly zero.
    std::size_t factorise();
    // V^-1 over the strict upper triangle, L^-1 over the strict lower one
    // (the pivots stay on the diagonal).
    void invert_factors();
    // t[j] = t[j] - x[j] * f for j < len, by the Gauss-Jordan kernel's
    // inner loop; returns the largest new |t[j]| (-1 for len = 0).
    double sub(double *t, const double *x, std::size_t len, double f) const
    {
        return k_.eliminate_max(t, x, len, f, false);
    }

    double *const *a_;
    std::size_t n_;
    const gj_kernels &k_; // the Gauss-Jordan inner loops for this processor

    double *w_ = nullptr;       // the working copy, n x n, row-major
    double *b_ = nullptr;       // then L^-1, n x n, after w_ in one block
    std::size_t *rp_ = nullptr; // row k of the factors is row rp_[k] of B
    std::size_t *cp_ = nullptr; // column k is column cp_[k] of B

    static constexpr std::size_t group = 8; // rows of V^-1 or L^-1 formed together
    void *work_ = nullptr;      // (group + 4) n doubles and 3n row pointers:
    double *t_ = nullptr;       // scratch rows
    double *pm_ = nullptr;      // pivot products' mantissas
    double *pe_ = nullptr;      // row maxima, then pivot products' exponents
    double *re_ = nullptr;      // R = diag(2^re_), exponents as doubles
    double *se_ = nullptr;      // S = diag(2^se_)
    double **rows_ = nullptr;   // the rows of a product's three operands

    double sign_ = 1.0; // sign(P) sign(Q)
};

} // namespace mtrx_detail

#endif
