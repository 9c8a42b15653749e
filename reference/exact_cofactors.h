// Exact cofactors of small integer matrices, by Bareiss' fraction-free
// elimination on every minor in 128-bit integers: each value the elimination
// forms is itself a minor of its input (or the product of two before an
// exact division), so nothing is rounded while minors stay below 2^63. With
// them the exact determinant, and Hadamard's bound on the cofactors.
#ifndef QUENDLE_REFERENCE_EXACT_COFACTORS_H
#define QUENDLE_REFERENCE_EXACT_COFACTORS_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "cofactor_minors_ref.h"

namespace quendle_ref {

using int_matrix = std::vector<std::vector<long long>>;

// The determinant of the k x k matrix m (overwritten); 1 for k = 0.
inline __int128 bareiss_det(std::vector<std::vector<__int128>> &m, std::size_t k)
{
    __int128 prev = 1, sign = 1;
    for (std::size_t c = 0; c + 1 < k; ++c) {
        if (m[c][c] == 0) {
            std::size_t r = c + 1;
            while (r < k && m[r][c] == 0)
                ++r;
            if (r == k)
                return 0;
            std::swap(m[r], m[c]);
            sign = -sign;
        }
        for (std::size_t i = c + 1; i < k; ++i)
            for (std::size_t j = c + 1; j < k; ++j)
                m[i][j] = (m[i][j] * m[c][c] - m[i][c] * m[c][j]) / prev;
        prev = m[c][c];
    }
    return k ? sign * m[k - 1][k - 1] : 1;
}

// c[i][j] = (-1)^(i+j) det(a without row i and column j), exactly.
inline std::vector<std::vector<__int128>> exact_cofactors(const int_matrix &a)
{
    const std::size_t n = a.size();
    std::vector<std::vector<__int128>> c(n, std::vector<__int128>(n));
    std::vector<std::vector<__int128>> w(n ? n - 1 : 0, std::vector<__int128>(n ? n - 1 : 0));
    cofactors_by_minors(a, c, w, n, bareiss_det);
    return c;
}

// det(a), exactly, by expansion along column 0; `c` is exact_cofactors(a).
inline __int128 det_by_expansion(const int_matrix &a, const std::vector<std::vector<__int128>> &c)
{
    __int128 det = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        det += a[i][0] * c[i][0];
    return det;
}

// The largest product of n - 1 row norms of the n x n `a` (its rows' squares
// summed in Acc): Hadamard's bound on every cofactor, and the scale of the
// rounding errors in cofactors that are zero.
template <class Acc, class Rows> double hadamard_bound(const Rows &a, std::size_t n)
{
    double h = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double p = 1;
        for (std::size_t r = 0; r < n; ++r) {
            Acc s = 0;
            for (std::size_t j = 0; j < n; ++j)
                s += static_cast<Acc>(a[r][j]) * a[r][j];
            if (r != i)
                p *= std::sqrt(static_cast<double>(s));
        }
        h = std::max(h, p);
    }
    return h;
}

} // namespace quendle_ref

#endif
