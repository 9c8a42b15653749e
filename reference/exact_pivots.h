// Exact pivot columns of small integer matrices, by Gauss-Jordan
// elimination modulo a prime: the rank and pivots a floating-point reduction
// of such a matrix must find.
#ifndef QUENDLE_REFERENCE_EXACT_PIVOTS_H
#define QUENDLE_REFERENCE_EXACT_PIVOTS_H

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quendle_ref {

// The pivot columns of the reduced row echelon form of the integer matrix
// a's first `cols` columns, found exactly over the integers modulo the prime
// 2^61 - 1 (for these small matrices the same as over the rationals).
inline std::vector<std::size_t> exact_pivots(const std::vector<std::vector<double>> &a,
                                             std::size_t cols)
{
    using u64 = std::uint64_t;
    using u128 = unsigned __int128;
    const u64 p = (u64(1) << 61) - 1;
    auto mul = [&](u64 x, u64 y) { return u64(u128(x) * y % p); };
    auto inverse = [&](u64 x) {
        u64 r = 1;
        for (u64 e = p - 2; e; e >>= 1, x = mul(x, x))
            if (e & 1)
                r = mul(r, x);
        return r;
    };
    std::vector<std::vector<u64>> m;
    for (const auto &row : a) {
        m.emplace_back();
        for (std::size_t j = 0; j < cols; ++j) {
            const auto v = static_cast<std::int64_t>(row[j]);
            m.back().push_back(v < 0 ? p - u64(-v) % p : u64(v) % p);
        }
    }
    std::vector<std::size_t> piv;
    std::size_t r = 0;
    for (std::size_t j = 0; j < cols && r < m.size(); ++j) {
        std::size_t i = r;
        while (i < m.size() && m[i][j] == 0)
            ++i;
        if (i == m.size())
            continue;
        std::swap(m[i], m[r]);
        const u64 inv = inverse(m[r][j]);
        for (u64 &x : m[r])
            x = mul(x, inv);
        for (std::size_t k = 0; k < m.size(); ++k)
            if (k != r && m[k][j] != 0) {
                const u64 f = m[k][j];
                for (std::size_t c = 0; c < cols; ++c)
                    m[k][c] = (m[k][c] + p - mul(f, m[r][c])) % p;
            }
        piv.push_back(j);
        ++r;
    }
    return piv;
}

} // namespace quendle_ref

#endif
