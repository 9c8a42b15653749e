// Cofactors the obvious way: every one the signed determinant of its minor,
// found by elimination with partial pivoting on a scratch copy. n^2
// eliminations of order n - 1, so n^5 work; the library's factorisation
// method is checked and timed against it.
#ifndef QUENDLE_REFERENCE_COFACTOR_MINORS_REF_H
#define QUENDLE_REFERENCE_COFACTOR_MINORS_REF_H

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace quendle_ref {

// The determinant of the k x k array w by elimination with partial pivoting;
// w is overwritten (its rows exchanged and reduced). A column without a
// usable pivot gives 0, or NaN when it holds a NaN.
inline double det_by_elimination(std::vector<std::vector<double>> &w, std::size_t k)
{
    double det = 1.0;
    for (std::size_t c = 0; c < k; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < k; ++r)
            if (std::fabs(w[r][c]) > std::fabs(w[p][c]))
                p = r;
        if (w[p][c] == 0.0) {
            for (std::size_t r = c; r < k; ++r)
                if (std::isnan(w[r][c]))
                    return w[r][c];
            return 0.0;
        }
        if (p != c) {
            std::swap(w[p], w[c]);
            det = -det;
        }
        const std::vector<double> &pr = w[c];
        det = det * pr[c];
        for (std::size_t r = c + 1; r < k; ++r) {
            std::vector<double> &row = w[r];
            const double f = row[c] / pr[c];
            for (std::size_t j = c + 1; j < k; ++j) {
                const double t = f * pr[j];
                row[j] = row[j] - t;
            }
        }
    }
    return det;
}

// c[i][j] = (-1)^(i+j) det(a without row i and column j): each minor copied
// into w ((n - 1) x (n - 1), of any element type), then det(w, n - 1).
template <class A, class C, class W, class Det>
void cofactors_by_minors(const A &a, C &c, W &w, std::size_t n, Det det)
{
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t r = 0, wr = 0; r < n; ++r) {
                if (r == i)
                    continue;
                for (std::size_t s = 0, ws = 0; s < n; ++s)
                    if (s != j)
                        w[wr][ws++] = a[r][s];
                ++wr;
            }
            const auto d = det(w, n - 1);
            c[i][j] = (i + j) % 2 ? -d : d;
        }
}

// The cofactors of the n x n array a into c (n >= 1).
inline void minor_cofactors(double *const *a, double **c, std::size_t n)
{
    std::vector<std::vector<double>> w(n - 1, std::vector<double>(n - 1));
    cofactors_by_minors(a, c, w, n, det_by_elimination);
}

} // namespace quendle_ref

#endif
