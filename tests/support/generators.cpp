#include "generators.h"

#include <cmath>
#include <limits>

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double qnan = std::numeric_limits<double>::quiet_NaN();

} // namespace

const kind elimination_kinds[9] = {kind::uniform,   kind::small_ints, kind::specials,
                                   kind::rank_deficient, kind::unit_ties, kind::zero_block,
                                   kind::nan_block, kind::graded,     kind::badly_scaled};

// A value in [1, 2) times 2^e, of either sign.
double random_source::scaled(int e)
{
    const double mant = 1.0 + double(g_() >> 12) * 0x1p-52;
    return std::ldexp(g_() & 1 ? -mant : mant, e);
}

double random_source::value(kind k)
{
    switch (k) {
    case kind::small_ints:
        return double(integer(-3, 3));
    case kind::with_ties:
        return g_() % 11 == 0 ? double(int(g_() % 5) - 2) : uniform();
    case kind::unit_ties:
        return g_() % 2 ? 1.0 : -1.0;
    case kind::specials: {
        static const double specials[] = {0.0, -0.0, qnan, inf, -inf, 1e300, -1e-300, 4e-320, 1.0, -1.0};
        return g_() % 6 == 0 ? specials[g_() % 10] : uniform();
    }
    case kind::spread:
    case kind::spread_special: {
        const unsigned pick = g_() % 64;
        if (k == kind::spread_special && pick < 3)
            return pick == 0 ? inf : pick == 1 ? -inf : qnan;
        if (k == kind::spread_special && pick < 5)
            return scaled(600 + int(g_() % 20));
        switch (pick % 16) {
        case 0:
            return 0.0;
        case 1:
            return -0.0;
        case 2:
            return scaled(-1074 + int(g_() % 52)); // subnormal
        case 3:
            return scaled(-560 + int(g_() % 30));
        case 4:
            return scaled(53);
        default:
            return scaled(int(g_() % 61) - 30);
        }
    }
    default:
        return uniform();
    }
}

Matrix random_source::matrix(std::size_t rows, std::size_t cols, kind k)
{
    const std::size_t n = rows;
    std::vector<double> row_scale, col_scale;
    if (k == kind::badly_scaled) {
        for (std::size_t i = 0; i < rows; ++i)
            row_scale.push_back(std::pow(10.0, 8 * uniform()));
        for (std::size_t j = 0; j < cols; ++j)
            col_scale.push_back(std::pow(10.0, 8 * uniform()));
    }
    Matrix a(rows, std::vector<double>(cols));
    for (std::size_t i = 0; i < rows; ++i) {
        for (std::size_t j = 0; j < cols; ++j) {
            double &x = a[i][j];
            switch (k) {
            case kind::rank_deficient:
                x = i > 0 && g_() % 3 == 0 ? -2.0 * a[i - 1][j] : uniform();
                break;
            case kind::zero_block:
                x = (i >= n / 2 && j < n / 2) || g_() % 5 == 0 ? (g_() % 2 ? 0.0 : -0.0) : uniform();
                break;
            case kind::nan_block:
                // Finite pivots first; NaN fills the rest once they spread.
                x = i >= n / 2 && j >= n / 3 && j < n ? qnan : uniform();
                break;
            case kind::graded:
                x = uniform() * std::pow(10.0, -12.0 * double(i) / double(n));
                break;
            case kind::badly_scaled:
                x = uniform() * row_scale[i] * col_scale[j];
                break;
            default:
                x = value(k);
            }
        }
        if (k == kind::rank_deficient && i > 0 && g_() % 4 == 0)
            a[i] = a[i - 1]; // an exact copy
    }
    return a;
}

Matrix random_source::integer_system(std::size_t m, std::size_t n, std::size_t r, bool consistent)
{
    // A unimodular k x k matrix: the identity under random exchanges and
    // additions of a small multiple of one row to another, entries kept
    // within 12 so that every minor stays small.
    auto unimodular = [&](std::size_t k) {
        Matrix u(k, std::vector<double>(k, 0.0));
        for (std::size_t i = 0; i < k; ++i)
            u[i][i] = 1.0;
        for (std::size_t step = 0; k > 1 && step < 2 * k; ++step) {
            const std::size_t i = below(k), j = (i + 1 + below(k - 1)) % k;
            if (below(4) == 0) {
                std::swap(u[i], u[j]);
                continue;
            }
            const double f = double(integer(-2, 2));
            bool small = true;
            for (std::size_t c = 0; c < k; ++c)
                small = small && std::fabs(u[i][c] + f * u[j][c]) <= 12.0;
            if (small)
                for (std::size_t c = 0; c < k; ++c)
                    u[i][c] += f * u[j][c];
        }
        return u;
    };
    const Matrix u = unimodular(m), v = unimodular(n);
    std::vector<double> c(m, 0.0);
    for (std::size_t i = 0; i < m; ++i)
        c[i] = i < r || !consistent ? double(integer(-4, 4)) : 0.0;
    if (!consistent && r < m && c[r] == 0.0)
        c[r] = 1.0;
    Matrix ab(m, std::vector<double>(n + 1, 0.0));
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t k = 0; k < r; ++k)
                ab[i][j] += u[i][k] * v[k][j];
        for (std::size_t k = 0; k < m; ++k)
            ab[i][n] += u[i][k] * c[k];
    }
    return ab;
}
