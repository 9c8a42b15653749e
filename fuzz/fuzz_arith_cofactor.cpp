// The arithmetic and the cofactor solver on small records of awkward values:
// no fault, operands unchanged, shapes as documented, and a + b - b, a^T^T
// and the product checked against a plain loop (NaN matches NaN). The
// cofactors of a square record: from 4 x 4 on NaN exactly where the minor
// holds a NaN or an infinity, and for records of small multiples of 1/2
// within rounding of the exact ones.
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "fuzz_common.h"
#include "reference/exact_cofactors.h"

namespace {

void check_cofactors(double **a, std::size_t n)
{
    double **c = arr2d_cofactor(a, n);
    if (!c)
        std::abort();
    // 2a as integers when every element is a multiple of 1/2 up to 7.
    quendle_ref::int_matrix twice(n, std::vector<long long>(n));
    bool small = true;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            const double x = 2 * a[i][j];
            small = small && std::fabs(x) <= 14 && x == std::trunc(x);
            twice[i][j] = small ? static_cast<long long>(x) : 0;
        }
    if (n >= 4) {
        std::size_t bad = 0;
        std::vector<std::size_t> in_row(n), in_col(n);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                if (!std::isfinite(a[i][j])) {
                    ++bad;
                    ++in_row[i];
                    ++in_col[j];
                }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                const std::size_t own = std::isfinite(a[i][j]) ? 0 : 1;
                if (std::isnan(c[i][j]) != (in_row[i] + in_col[j] - own != bad))
                    std::abort();
            }
    }
    if (small) {
        // cofactor(a) = cofactor(2a) / 2^(n-1); within rounding of the largest
        // for a regular record, of the rows' scale (Hadamard) for a singular one.
        const auto exact = quendle_ref::exact_cofactors(twice);
        const double unscale = std::ldexp(1.0, -static_cast<int>(n - 1));
        double emax = 0, err = 0;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                const double e = static_cast<double>(exact[i][j]) * unscale;
                emax = std::fmax(emax, std::fabs(e));
                err = std::fmax(err, std::fabs(c[i][j] - e));
            }
        const double eps = static_cast<double>(n) * DBL_EPSILON;
        if (!(err <= (quendle_ref::det_by_expansion(twice, exact) != 0
                          ? 8 * eps * emax
                          : eps * quendle_ref::hadamard_bound<double>(a, n))))
            std::abort();
    }
    arr2d_free(c, n);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The cofactor solver's verdicts go to stdout; nobody reads them here.
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes b(data, size);
    std::size_t r = b.byte() % 6, c = b.byte() % 6, p = b.byte() % 6;
    mtrx_t *a = fuzz::record(b, r, c);
    mtrx_t *a2 = mtrx_copy(a);
    mtrx_t *x = fuzz::record(b, c, p);

    mtrx_t *sum = mtrx_add(a, a2);
    mtrx_t *prod = mtrx_mult(a, x);
    mtrx_t *t = mtrx_transpose(a);
    mtrx_t *tt = mtrx_transpose(t);
    if (!sum || !prod || !t || !tt || prod->rows != r || prod->cols != p || t->rows != c)
        std::abort();
    for (std::size_t i = 0; i < r; ++i) {
        for (std::size_t j = 0; j < c; ++j)
            if (!same_bits(tt->mtrx[i][j], a->mtrx[i][j], nans::any) ||
                !same_bits(sum->mtrx[i][j], a->mtrx[i][j] + a2->mtrx[i][j], nans::any))
                std::abort();
        for (std::size_t j = 0; j < p; ++j) {
            double s = 0.0;
            for (std::size_t k = 0; k < c; ++k) {
                double term = a->mtrx[i][k] * x->mtrx[k][j];
                s = s + term;
            }
            if (!same_bits(prod->mtrx[i][j], s, nans::any))
                std::abort();
        }
    }

    if (r == c && r > 0)
        check_cofactors(a->mtrx, r);

    // The cofactor solver on the square part and on the augmented form.
    std::vector<double> rhs(r ? r : 1);
    for (double &v : rhs)
        v = b.value();
    double *s1 = mtrx_solve_cofactor(a, rhs.data());
    double *s2 = mtrx_solve_cofactor_aug(a);
    if ((s1 && c != r) || (s2 && c != r + 1))
        std::abort();
    std::free(s1);
    std::free(s2);
    mtrx_t *mixed = mtrx_add(a, x); // refused unless the shapes agree
    if ((mixed != nullptr) != (r == c && c == p))
        std::abort();
    mtrx_free(mixed);

    for (std::size_t i = 0; i < r; ++i)
        for (std::size_t j = 0; j < c; ++j)
            if (!same_bits(a->mtrx[i][j], a2->mtrx[i][j]))
                std::abort();
    for (mtrx_t *m : {a, a2, x, sum, prod, t, tt})
        mtrx_free(m);
    return 0;
}
