// The cofactor solver: x = adj(A) * b / det(A), with the determinant expanded
// along column 0, and the verdicts on systems without a unique solution.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "internal.h"

using namespace mtrx_detail;

namespace {

const char *const unknown = "<unknown>";

// |x| <= zero_band counts as zero in a vector.
constexpr double zero_band = 1e-20;

double *new_vector(size_t n) { return static_cast<double *>(lib_calloc(n ? n : 1, sizeof(double))); }

enum class consistency { consistent, inconsistent, no_memory };

// Whether A x = b has a solution at all, for a singular A: rank [A | b] is
// compared with rank A. The elimination runs with full pivoting over A's
// columns and carries b along; A has rank r when r pivots exceed a tolerance
// relative to A's largest element, and b lies in A's column space when what
// is left of b below those r rows is negligible against the largest value b
// took on the way. The two tolerances keep the answer independent of how A
// and b are scaled.
consistency check_consistency(double **a, const double *b, size_t n)
{
    if (n == 0)
        return consistency::consistent;
    double **w = arr2d_filled(n, n + 1, [=](size_t i, size_t j) { return j < n ? a[i][j] : b[i]; });
    if (!w)
        return consistency::no_memory;
    double amax = 0.0, bmax = 0.0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j)
            amax = std::fmax(amax, std::fabs(a[i][j]));
        bmax = std::fmax(bmax, std::fabs(b[i]));
    }
    const double atol = static_cast<double>(n) * DBL_EPSILON * amax;

    size_t rank = 0;
    for (; rank < n; ++rank) {
        size_t pr = rank, pc = rank;
        double big = 0.0;
        for (size_t i = rank; i < n; ++i)
            for (size_t j = rank; j < n; ++j)
                if (std::fabs(w[i][j]) > big) {
                    big = std::fabs(w[i][j]);
                    pr = i;
                    pc = j;
                }
        if (!(big > atol))
            break;
        std::swap(w[pr], w[rank]);
        if (pc != rank)
            for (size_t i = 0; i < n; ++i)
                std::swap(w[i][pc], w[i][rank]);
        const double *p = w[rank];
        for (size_t i = rank + 1; i < n; ++i) {
            double *row = w[i];
            const double f = row[rank] / p[rank];
            for (size_t j = rank + 1; j <= n; ++j) {
                const double t = f * p[j];
                row[j] = row[j] - t;
            }
            bmax = std::fmax(bmax, std::fabs(row[n]));
        }
    }
    const double btol = static_cast<double>(n + 1) * DBL_EPSILON * bmax;
    consistency verdict = consistency::consistent;
    for (size_t i = rank; i < n; ++i)
        if (std::fabs(w[i][n]) > btol)
            verdict = consistency::inconsistent;
    arr2d_free(w, n);
    return verdict;
}

} // namespace

extern "C" int vect_is_zero(const double *v, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (v[i] < -zero_band || v[i] > zero_band)
            return 0;
    return 1;
}

// Cofactors C[i][j] = (-1)^(i+j) det(A without row i and column j). The 3 x 3
// case uses the cyclic form, whose index rotation carries the signs; from
// 4 x 4 on they come from one factorisation (adjugate.cpp).
extern "C" double **arr2d_cofactor(double **a, size_t n)
{
    double **c = arr2d_calloc(n, n);
    if (!c)
        return nullptr;
    if (n == 1) {
        c[0][0] = 1.0;
    } else if (n == 2) {
        c[0][0] = a[1][1];
        c[0][1] = -a[1][0];
        c[1][0] = -a[0][1];
        c[1][1] = a[0][0];
    } else if (n == 3) {
        for (size_t i = 0; i < 3; ++i) {
            const double *r1 = a[(i + 1) % 3];
            const double *r2 = a[(i + 2) % 3];
            for (size_t j = 0; j < 3; ++j) {
                const size_t j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                const double t1 = r1[j1] * r2[j2];
                const double t2 = r2[j1] * r1[j2];
                c[i][j] = t1 - t2;
            }
        }
    } else if (n >= 4 && !cofactors_by_lu(a, c, n)) {
        say("%s() error: virtual memory exhausted.\n", unknown);
        arr2d_free(c, n);
        return nullptr;
    }
    return c;
}

extern "C" double arr2d_det(double **a, double **c, size_t n)
{
    double det = 0.0;
    for (size_t k = 0; k < n; ++k) {
        const double t = a[k][0] * c[k][0];
        det = det + t;
    }
    return det;
}

extern "C" void arr2d_transpose_inplace(double **m, size_t n)
{
    for (size_t i = 1; i < n; ++i)
        for (size_t j = 0; j < i; ++j)
            std::swap(m[i][j], m[j][i]);
}

extern "C" double *arr2d_mult_vect(double **m, const double *v, size_t n)
{
    double *r = new_vector(n);
    if (!r) {
        say("%s() error: virtual memory exhausted.\n", unknown);
        return nullptr;
    }
    for (size_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (size_t j = 0; j < n; ++j) {
            const double t = m[i][j] * v[j];
            s = s + t;
        }
        r[i] = s;
    }
    return r;
}

extern "C" double **arr2d_div_scalar(double **m, double x, size_t n)
{
    return arr2d_filled(n, n, [=](size_t i, size_t j) { return m[i][j] / x; });
}

namespace {

// The method on the n x n array a and the constants b: the solution, the
// zero one included, in *x (MTRX_OK), or why there is none (MTRX_ENOSOLUTION,
// MTRX_EINFINITE, or MTRX_ENOMEM after the messages of the functions that
// failed). a and b are not changed; everything else made is released.
mtrx_status solve_by_cofactors(double **a, const double *b, size_t n, double **x)
{
    *x = nullptr;
    double *s = new_vector(n);
    if (!s) {
        say("%s() error: memory exhausted 'sol'.\n", unknown);
        return MTRX_ENOMEM;
    }
    double **adj = nullptr; // the cofactors, transposed in place into the adjugate
    double *q = nullptr;    // adj * b
    auto release = [&](mtrx_status st) {
        std::free(q);
        arr2d_free(adj, n);
        std::free(s);
        return st;
    };

    adj = arr2d_cofactor(a, n);
    if (!adj)
        return release(MTRX_ENOMEM);
    const double det = arr2d_det(a, adj, n);
    arr2d_transpose_inplace(adj, n);
    q = arr2d_mult_vect(adj, b, n);
    if (!q)
        return release(MTRX_ENOMEM);

    if (det == 0.0) {
        // A singular A with b outside its column space has no solution, even
        // when adj * b vanishes (as it does whenever rank A < n - 1).
        consistency c = vect_is_zero(q, n) ? check_consistency(a, b, n) : consistency::inconsistent;
        return release(c == consistency::consistent     ? MTRX_EINFINITE
                       : c == consistency::inconsistent ? MTRX_ENOSOLUTION
                                                        : MTRX_ENOMEM);
    }

    double **inv = arr2d_div_scalar(adj, det, n);
    if (!inv)
        return release(MTRX_ENOMEM);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            const double t = inv[i][j] * b[j];
            s[i] = s[i] + t;
        }
    arr2d_free(inv, n);
    arr2d_free(adj, n);
    std::free(q);
    *x = s;
    return MTRX_OK;
}

} // namespace

extern "C" double *mtrx_solve_cofactor(const mtrx_t *m, const double *b)
{
    if (m->rows != m->cols) {
        say("%s() error: maxtix not square (%zu x %zu).\n", unknown, m->rows, m->cols);
        return nullptr;
    }
    double *x;
    switch (solve_by_cofactors(m->mtrx, b, m->rows, &x)) {
    case MTRX_EINFINITE:
        say_out("The system is consistent - infinite solutions.\n");
        break;
    case MTRX_ENOSOLUTION:
        say_out("The system has no solution.\n");
        break;
    case MTRX_OK:
        if (vect_is_zero(x, m->rows)) {
            say_out("The system has a trivial solution.\n");
            std::free(x);
            x = nullptr;
        }
        break;
    default:
        break;
    }
    return x;
}

extern "C" double *mtrx_solve_cofactor_aug(const mtrx_t *m)
{
    // The coefficient block is rows x (cols - 1) and must be square. Checked
    // before anything is copied; a record without columns has no constant
    // column, and its block counts as rows x 0.
    const size_t ncoef = m->cols ? m->cols - 1 : 0;
    if (m->cols == 0 || ncoef != m->rows) {
        say("%s() error: maxtix not square (%zu x %zu).\n", unknown, m->rows, ncoef);
        return nullptr;
    }
    auto *c = static_cast<mtrx_t *>(lib_calloc(1, sizeof(mtrx_t)));
    if (!c)
        return nullptr;
    c->mtrx = arr2d_copy(m->mtrx, m->rows, ncoef);
    if (!c->mtrx) {
        std::free(c);
        return nullptr;
    }
    c->rows = c->maxrows = m->rows;
    c->cols = c->maxcols = ncoef;

    double *v = new_vector(m->rows);
    if (!v) {
        say("%s() error: calloc-v\n", unknown);
        mtrx_free(c);
        return nullptr;
    }
    for (size_t i = 0; i < m->rows; ++i)
        v[i] = m->mtrx[i][ncoef];

    double *r = mtrx_solve_cofactor(c, v);
    mtrx_free(c);
    std::free(v);
    return r;
}

extern "C" mtrx_status mtrx_solve_system_cofactor(const mtrx_t *m, double **x, mtrx_error *err)
{
    quiet_scope quiet;
    if (const mtrx_status bad = check_system(m, x, err); bad != MTRX_OK)
        return bad;
    // The constants as a vector of their own; the coefficients are read in
    // place, as the method reads no column past rows - 1.
    const size_t n = m->rows;
    double *b = new_vector(n);
    if (!b)
        return set_error(err, MTRX_ENOMEM);
    for (size_t i = 0; i < n; ++i)
        b[i] = m->mtrx[i][n];
    const mtrx_status st = solve_by_cofactors(m->mtrx, b, n, x);
    std::free(b);
    return set_error(err, st);
}
