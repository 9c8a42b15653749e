// Exact cofactors of small integer matrices, by Bareiss' fraction-free
// elimination on every minor in 128-bit integers: each value the elimination
// forms is itself a minor of its input (or the product of two before an
// exact division), so nothing is rounded while minors stay below 2^63.
#ifndef QUENDLE_REFERENCE_EXACT_COFACTORS_H
#define QUENDLE_REFERENCE_EXACT_COFACTORS_H

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

} // namespace quendle_ref

#endif
