// Gauss-Jordan elimination with partial pivoting in binary128 (__float128,
// a 113-bit significand, in software on every platform): the inverse and the
// solution of a system stored in doubles, to about its condition number
// times 1e-34, which tests of double results take for exact while the
// condition number stays below 1e14 or so. Also the 1-norm, and orthogonal
// transformations for making matrices of a chosen condition number.
#ifndef QUENDLE_REFERENCE_WIDE_SOLVE_H
#define QUENDLE_REFERENCE_WIDE_SOLVE_H

#include <cstddef>
#include <utility>
#include <vector>

namespace quendle_ref {

using quad = __float128;
using quad_matrix = std::vector<std::vector<quad>>;

inline quad quad_abs(quad v) { return v < 0 ? -v : v; }

struct wide_solution {
    quad_matrix inverse; // n x n
    std::vector<quad> x; // n
    bool regular = true;
};

// The augmented n x (n + 1) system `aug`, solved and inverted.
inline wide_solution wide_solve(const std::vector<std::vector<double>> &aug)
{
    const std::size_t n = aug.size();
    quad_matrix a(n, std::vector<quad>(2 * n + 1, 0));
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            a[i][j] = aug[i][j];
        a[i][n + i] = 1;
        a[i][2 * n] = aug[i][n];
    }
    wide_solution s;
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (quad_abs(a[r][c]) > quad_abs(a[p][c]))
                p = r;
        if (a[p][c] == 0) {
            s.regular = false;
            return s;
        }
        std::swap(a[p], a[c]);
        const quad inv = 1 / a[c][c];
        for (quad &e : a[c])
            e *= inv;
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c || a[r][c] == 0)
                continue;
            const quad f = a[r][c];
            for (std::size_t k = c; k <= 2 * n; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    s.inverse.assign(n, std::vector<quad>(n));
    s.x.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            s.inverse[i][j] = a[i][n + j];
        s.x[i] = a[i][2 * n];
    }
    return s;
}

// The largest column sum of |m| over its first n columns.
template <class Row> quad one_norm(const std::vector<Row> &m, std::size_t n)
{
    quad best = 0;
    for (std::size_t j = 0; j < n; ++j) {
        quad s = 0;
        for (const Row &row : m)
            s += quad_abs(row[j]);
        if (s > best)
            best = s;
    }
    return best;
}

// m := (I - 2 v v^T / v^T v) m, or m (I - 2 v v^T / v^T v) with `right`.
inline void reflect(quad_matrix &m, const std::vector<quad> &v, bool right)
{
    const std::size_t n = v.size();
    quad vv = 0;
    for (quad e : v)
        vv += e * e;
    for (std::size_t k = 0; k < n; ++k) {
        quad dot = 0;
        for (std::size_t i = 0; i < n; ++i)
            dot += v[i] * (right ? m[k][i] : m[i][k]);
        const quad f = 2 * dot / vv;
        for (std::size_t i = 0; i < n; ++i)
            (right ? m[k][i] : m[i][k]) -= f * v[i];
    }
}

} // namespace quendle_ref

#endif
