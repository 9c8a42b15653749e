// mtrx_solve_general and mtrx_rref on small systems decoded from the fuzz
// bytes (NaN, infinities, -0.0, extremes, subnormals): nothing written; a
// NaN or an infinity is MTRX_EINVAL and nothing else is; the general
// solution is the one the reduced row echelon form of [A b] reads (the same
// rank, case and bits when both tolerances coincide); the free unknowns and
// the basis have their unit pattern; and scaling [A b] by a power of two
// changes no bit of the answer.
#include <cfloat>
#include <cmath>

#include "fuzz_common.h"

namespace {

struct General {
    mtrx_status st;
    mtrx_general_solution g;
    ~General() { mtrx_general_free(&g); }
};

void solve(const mtrx_t *m, General &r) { r.st = mtrx_solve_general(m, &r.g, nullptr); }

bool same(const General &a, const General &b, std::size_t n)
{
    if (a.st != b.st || a.g.rank != b.g.rank || a.g.nfree != b.g.nfree)
        return false;
    if (a.st != MTRX_OK)
        return true;
    return same_bits(a.g.particular, b.g.particular, n) &&
           same_bits(a.g.null_space, b.g.null_space, n * a.g.nfree) &&
           std::memcmp(a.g.free_unknowns, b.g.free_unknowns, a.g.nfree * sizeof(size_t)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using fuzz::require;
    fuzz::Bytes b(data, size);
    const std::size_t m = b.byte() % 7, n = 1 + b.byte() % 6;
    const int shift = static_cast<int>(b.byte() % 7) - 3;
    mtrx_t *rec = fuzz::record(b, m, n + 1);
    bool finite = true, scalable = true;
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j <= n; ++j) {
            const double v = std::fabs(rec->mtrx[i][j]);
            finite = finite && std::isfinite(v);
            scalable = scalable && (v == 0 || (v >= 0x1p-10 && v <= 0x1p10));
        }

    General r;
    mtrx_t *red = nullptr;
    size_t *piv = nullptr, rank = 0;
    mtrx_status rst = MTRX_OK;
    require(fuzz::written(1, [&] {
                require(fuzz::written(2, [&] {
                            solve(rec, r);
                            rst = mtrx_rref(rec, -1, &red, &piv, &rank, nullptr);
                        }).empty());
            }).empty());
    require((r.st == MTRX_EINVAL) == !finite && (rst == MTRX_EINVAL) == !finite);
    const mtrx_general_solution &g = r.g;
    if (r.st == MTRX_OK || r.st == MTRX_ENOSOLUTION) {
        require(g.unknowns == n && g.rank <= std::min(m, n) && g.consistent == (r.st == MTRX_OK));
        require(g.tolerance >= 0 && g.constants_tolerance >= 0);
    }
    if (r.st == MTRX_OK) {
        require(g.nfree == n - g.rank);
        std::vector<bool> is_free(n, false);
        for (std::size_t k = 0; k < g.nfree; ++k) {
            require(g.free_unknowns[k] < n && (k == 0 || g.free_unknowns[k] > g.free_unknowns[k - 1]));
            is_free[g.free_unknowns[k]] = true;
        }
        for (std::size_t j = 0; j < n; ++j)
            require(std::isfinite(g.particular[j]) && (!is_free[j] || g.particular[j] == 0.0));
        for (std::size_t k = 0; k < g.nfree; ++k)
            for (std::size_t j = 0; j < n; ++j) {
                const double v = g.null_space[k * n + j];
                require(std::isfinite(v));
                if (is_free[j])
                    require(v == (j == g.free_unknowns[k] ? 1.0 : 0.0));
            }
    } else {
        require(!g.particular && !g.null_space && !g.free_unknowns);
    }

    // Where A's tolerance is that of [A b] (b adds nothing to the norm, and
    // max(m, n) = max(m, n + 1)), the answer is what mtrx_rref of [A b] reads.
    if (r.st != MTRX_EINVAL && rst == MTRX_OK && g.tolerance == g.constants_tolerance &&
        r.st != MTRX_ERANGE) {
        const bool none = rank > 0 && piv[rank - 1] == n;
        require((r.st == MTRX_ENOSOLUTION) == none && g.rank == rank - none);
        if (r.st == MTRX_OK)
            for (std::size_t k = 0; k < rank; ++k)
                require(same_bits(g.particular[piv[k]], red->mtrx[k][n]));
    }
    mtrx_free(red);
    std::free(piv);

    // A power-of-two scale of [A b]: the same answer. (For values within
    // 2^-10 to 2^10 no step of the elimination on six unknowns comes near
    // the subnormal range, where a scale would change the rounding.)
    if (finite && scalable && r.st != MTRX_ERANGE) {
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j <= n; ++j)
                rec->mtrx[i][j] = std::ldexp(rec->mtrx[i][j], shift);
        General s;
        solve(rec, s);
        require(same(r, s, n));
    }
    mtrx_free(rec);
    return 0;
}
