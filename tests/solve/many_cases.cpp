// The many-column solve's systems; see many_cases.h.
#include "solve/many_cases.h"

#include <cmath>
#include <cstdint>

#include "core/gj/gj.h"
#include "core/checked/scaling.h"
#include "support/generators.h"
#include "support/records.h"

checked solve_alone(const Matrix &a, const Matrix &b, size_t c, bool checked_solve, unsigned flags)
{
    Matrix aug = a;
    for (size_t i = 0; i < a.size(); ++i)
        aug[i].push_back(b[i][c]);
    if (checked_solve)
        return solve_checked(aug, flags);
    MtrxPtr m = record_of(aug);
    checked r;
    double *x = nullptr;
    r.st = mtrx_solve_system(m.get(), &x, nullptr);
    if (x)
        r.x.assign(x, x + a.size());
    mtrx_free_vector(x);
    return r;
}

namespace {

// Whether [A | b_c] is solved (MTRX_OK) only once its first elimination,
// planned as scaling.h plans it, has given a solution that is not finite.
bool found_again(const Matrix &a, const Matrix &b, size_t c)
{
    const size_t n = a.size();
    Matrix aug = a;
    for (size_t i = 0; i < n; ++i)
        aug[i].push_back(b[i][c]);
    Rows r(aug);
    mtrx_detail::system_scaling sc;
    if (!sc.plan(r.get(), n, mtrx_detail::survey(r.get(), n), mtrx_detail::elimination_band) ||
        sc.how() == mtrx_detail::system_scaling::kind::full)
        return false;
    mtrx_detail::alloc_fault fault;
    double **scaled = sc.scaled(r.get(), fault);
    Rows s(rows_of(scaled, n, n + 1));
    arr2d_free(scaled, n);
    bool finite = mtrx_detail::gj_reduce(s.get(), nullptr, n) != mtrx_detail::gj_status::solved;
    for (size_t i = 0; i < n; ++i)
        finite = finite || std::isfinite(sc.solution(s.data[i][n], i));
    return !finite && solve_alone(a, b, c, false, 0).st == MTRX_OK;
}

// A x 2^e, each element.
Matrix times2(Matrix m, int e)
{
    for (auto &row : m)
        for (double &v : row)
            v = std::ldexp(v, e);
    return m;
}

// Columns of B at scales apart: ordinary, zero, far below and far above
// the range elimination takes as it stands, near its top, where some
// solutions overflow (MTRX_ERANGE) and some are found only under the full
// scaling, and near its bottom (taken as it stands, beside a column that is
// scaled); the scale of column c is picked by `scale(c)`.
Matrix columns(random_source &g, size_t n, size_t k, int (*scale)(size_t, random_source &))
{
    Matrix b(n, std::vector<double>(k));
    for (size_t c = 0; c < k; ++c) {
        const int e = scale(c, g);
        for (size_t i = 0; i < n; ++i)
            b[i][c] = e == INT32_MIN ? 0.0 : std::ldexp(g.uniform(), e);
    }
    return b;
}

int ordinary(size_t, random_source &g) { return static_cast<int>(g.integer(-3, 3)); }
int mixed(size_t c, random_source &g)
{
    const int scales[] = {0,     INT32_MIN, -1000, 1000, -1070, static_cast<int>(g.integer(900, 960)),
                          -955};
    return scales[c % 7];
}

} // namespace

std::vector<many_case> generated_cases()
{
    random_source g(25);
    std::vector<many_case> cases;
    size_t k = 0;
    auto next_k = [&] { return k = k % 17 + 1; }; // 1, 2, .., 17, 1, ..
    // Every kind of A of modest size and larger, with ordinary columns and
    // with columns at every scale (kinds with NaN or infinity are refused).
    for (size_t n : {1u, 2u, 3u, 5u, 8u, 30u, 61u})
        for (kind kd : elimination_kinds) {
            Matrix a = g.matrix(n, n, kd);
            cases.push_back({"kind " + std::to_string(static_cast<int>(kd)), a,
                             columns(g, n, next_k(), ordinary)});
            cases.push_back({"kind " + std::to_string(static_cast<int>(kd)) + ", mixed columns", a,
                             columns(g, n, next_k(), mixed)});
        }
    // A itself near the ends of the range (one power of two for all of it),
    // and graded by rows and columns 2^+-500 apart (the full scaling).
    for (size_t n : {2u, 4u, 7u, 50u}) {
        Matrix a = g.matrix(n, n, kind::uniform);
        for (size_t i = 0; i < n; ++i)
            a[i][i] += 4.0;
        for (int e : {-1060, -990, 990, 1020})
            cases.push_back({"A * 2^" + std::to_string(e), times2(a, e),
                             columns(g, n, next_k(), mixed)});
        Matrix graded = a;
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j)
                graded[i][j] = std::ldexp(a[i][j], static_cast<int>((i * 7 + j * 3) % 11) * 100 - 500);
        cases.push_back({"graded", graded, columns(g, n, next_k(), mixed)});
    }
    // Elements 2^+-450 around a scale and constants near 2^960: some
    // solutions overflow for good, and some overflow the first elimination
    // and are found under the full scaling. Of the latter, two columns for
    // each of five matrices, beside ordinary ones and those that overflow.
    for (int found = 0, tries = 0; found < 5; ++tries) {
        const size_t n = 2 + g.below(3);
        const int base = static_cast<int>(g.integer(-100, 100));
        Matrix a(n, std::vector<double>(n));
        for (auto &row : a)
            for (double &v : row)
                v = std::ldexp(g.uniform(), base + static_cast<int>(g.integer(-450, 450)));
        Matrix b = columns(g, n, 200, [](size_t, random_source &r) {
            return static_cast<int>(r.integer(900, 960));
        });
        Matrix kept = columns(g, n, 2, ordinary);
        for (size_t c = 0; c < 200; ++c)
            if (found_again(a, b, c) && kept[0].size() < 4)
                for (size_t i = 0; i < n; ++i)
                    kept[i].push_back(b[i][c]);
        if (tries < 8) {
            Matrix some = b;
            for (auto &row : some)
                row.resize(6);
            cases.push_back({"wide elements, base " + std::to_string(base), a, some});
        }
        if (kept[0].size() == 4) {
            cases.push_back({"wide elements, found again", a, kept});
            ++found;
        }
    }
    // Singular, the identity (the inverse), a NaN and an infinity in B, and
    // nothing to solve.
    cases.push_back({"singular", {{1, 2}, {2, 4}}, {{1, 0}, {2, 1}}});
    Matrix hilbert(6, std::vector<double>(6)), identity(6, std::vector<double>(6, 0.0));
    for (size_t i = 0; i < 6; ++i)
        for (size_t j = 0; j < 6; ++j)
            hilbert[i][j] = 1.0 / static_cast<double>(i + j + 1);
    for (size_t i = 0; i < 6; ++i)
        identity[i][i] = 1.0;
    cases.push_back({"inverse", hilbert, identity});
    cases.push_back({"NaN in B", {{2, 0}, {0, 2}}, {{1, 1, 1}, {1, 1, NAN}}});
    cases.push_back({"infinity in B", {{2, 0}, {0, 2}}, {{1, INFINITY}, {1, 1}}});
    cases.push_back({"no unknowns", {}, {}});
    return cases;
}
