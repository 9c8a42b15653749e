// The arithmetic and the cofactor solver on small records of awkward values:
// no fault, operands unchanged, shapes as documented, and a + b - b, a^T^T
// and the product checked against a plain loop (NaN matches NaN).
#include <cmath>
#include <cstdio>

#include "fuzz_common.h"

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
            if (!fuzz::same_value(tt->mtrx[i][j], a->mtrx[i][j]) ||
                !fuzz::same_value(sum->mtrx[i][j], a->mtrx[i][j] + a2->mtrx[i][j]))
                std::abort();
        for (std::size_t j = 0; j < p; ++j) {
            double s = 0.0;
            for (std::size_t k = 0; k < c; ++k) {
                double term = a->mtrx[i][k] * x->mtrx[k][j];
                s = s + term;
            }
            if (!fuzz::same_value(prod->mtrx[i][j], s))
                std::abort();
        }
    }

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
            if (std::memcmp(&a->mtrx[i][j], &a2->mtrx[i][j], sizeof(double)) != 0)
                std::abort();
    for (mtrx_t *m : {a, a2, x, sum, prod, t, tt})
        mtrx_free(m);
    return 0;
}
