// Exact cofactors of small integer matrices, by Bareiss' fraction-free
// elimination on every minor in 128-bit integers: each value the elimination
// forms is itself a minor of its input (or the product of two before an
// exact division), so nothing is rounded while minors stay below 2^63.
#ifndef QUENDLE_REFERENCE_EXACT_COFACTORS_H
#define QUENDLE_REFERENCE_EXACT_COFACTORS_H

#include <cstddef>
#include <utility>
#include <vector>

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

// c[i][j] = (-1)^(i+j) det(a without row i and column j).
inline std::vector<std::vector<__int128>> exact_cofactors(const int_matrix &a)
{
    const std::size_t n = a.size();
    std::vector<std::vector<__int128>> c(n, std::vector<__int128>(n));
    if (n == 0)
        return c;
    std::vector<std::vector<__int128>> w(n - 1, std::vector<__int128>(n - 1));
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
            const __int128 d = bareiss_det(w, n - 1);
            c[i][j] = (i + j) % 2 ? -d : d;
        }
    return c;
}

} // namespace quendle_ref

#endif
