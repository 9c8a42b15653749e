// The cofactor solver and its array helpers (cofactor.h).
#include "core/cofactor/cofactor.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "core/cofactor/adjugate.h"
#include "core/base/owned.h"
#include "core/base/storage.h"

namespace mtrx_detail {

namespace {

// |x| <= zero_band counts as zero in a vector.
constexpr double zero_band = 1e-20;

enum class consistency { consistent, inconsistent, no_memory };

// Whether A x = b has a solution at all, for a singular A: rank [A | b] is
// compared with rank A. The elimination runs with full pivoting over A's
// columns and carries b along; A has rank r when r pivots exceed a tolerance
// relative to A's largest element, and b lies in A's column space when what
// is left of b below those r rows is negligible against the largest value b
// took on the way. The two tolerances keep the answer independent of how A
// and b are scaled.
consistency check_consistency(double *const *a, const double *b, std::size_t n, alloc_fault &fault)
{
    if (n == 0)
        return consistency::consistent;
    double **w = filled_array(n, n + 1, fault,
                             [=](std::size_t i, std::size_t j) { return j < n ? a[i][j] : b[i]; });
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
    free_rows(w, n);
    return verdict;
}

bool all_finite(double *const *a, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            if (!std::isfinite(a[i][j]))
                return false;
    return true;
}

} // namespace

// Cofactors C[i][j] = (-1)^(i+j) det(A without row i and column j). The 3 x 3
// case uses the cyclic form, whose index rotation carries the signs; from
// 4 x 4 on they come from one factorisation (adjugate.cpp).
double **cofactor_array(double *const *a, std::size_t n, alloc_fault &fault)
{
    double **c = new_array(n, n, fault);
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
        for (std::size_t i = 0; i < 3; ++i) {
            const double *r1 = a[(i + 1) % 3];
            const double *r2 = a[(i + 2) % 3];
            for (std::size_t j = 0; j < 3; ++j) {
                const std::size_t j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                const double t1 = r1[j1] * r2[j2];
                const double t2 = r2[j1] * r1[j2];
                c[i][j] = t1 - t2;
            }
        }
    } else if (n >= 4 && !cofactors_by_lu(a, c, n)) {
        fault.set(alloc_site::scratch);
        free_rows(c, n);
        return nullptr;
    }
    return c;
}

double *times_vector(double *const *m, const double *v, std::size_t n, alloc_fault &fault)
{
    double *r = new_vector(n);
    if (!r) {
        fault.set(alloc_site::scratch);
        return nullptr;
    }
    for (std::size_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double t = m[i][j] * v[j];
            s = s + t;
        }
        r[i] = s;
    }
    return r;
}

double **divided_array(double *const *m, double x, std::size_t n, alloc_fault &fault)
{
    return filled_array(n, n, fault, [=](std::size_t i, std::size_t j) { return m[i][j] / x; });
}

mtrx_status solve_by_cofactors(double *const *a, const double *b, std::size_t n, double **x,
                               alloc_fault &fault)
{
    *x = nullptr;
    owned<double> s(new_vector(n));
    if (!s) {
        fault.set(alloc_site::solution);
        return MTRX_ENOMEM;
    }
    owned_rows adj = own_rows(nullptr, n); // the cofactors, transposed in place into the adjugate
    owned<double> q;                       // adj * b
    // adj and q, and the determinant (the expansion along column 0) with det.
    auto adjugate_times_b = [&](double *det) {
        adj.reset(cofactor_array(a, n, fault));
        if (!adj)
            return false;
        if (det)
            *det = first_column_det(a, adj.get(), n);
        transpose_square(adj.get(), n);
        q.reset(times_vector(adj.get(), b, n, fault));
        return q != nullptr;
    };
    // A singular A with b outside its column space has no solution, even
    // when adj * b vanishes (as it does whenever rank A < n - 1).
    auto verdict = [&] {
        consistency c = is_zero_vector(q.get(), n) ? check_consistency(a, b, n, fault)
                                                   : consistency::inconsistent;
        return c == consistency::consistent     ? MTRX_EINFINITE
               : c == consistency::inconsistent ? MTRX_ENOSOLUTION
                                                : MTRX_ENOMEM;
    };

    if (n >= 4 && all_finite(a, n)) {
        // The cofactors and the determinant of a large matrix leave the range
        // of a double long before its solution does, and the adjugate over
        // the determinant is no backward stable way to a solution: x comes
        // from the factorisation by substitution, and the cofactors are
        // formed only for the verdict on a singular system.
        const lu_solve found = solve_by_lu(a, b, s.get(), n);
        if (found == lu_solve::no_memory) {
            fault.set(alloc_site::scratch);
            return MTRX_ENOMEM;
        }
        if (found == lu_solve::singular)
            return adjugate_times_b(nullptr) ? verdict() : MTRX_ENOMEM;
    } else {
        double det = 0.0;
        if (!adjugate_times_b(&det))
            return MTRX_ENOMEM;
        if (det == 0.0)
            return verdict();
        const owned_rows inv = own_rows(divided_array(adj.get(), det, n, fault), n); // adj / det
        if (!inv)
            return MTRX_ENOMEM;
        double *const *d = inv.get();
        double *v = s.get();
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                const double t = d[i][j] * b[j];
                v[i] = v[i] + t;
            }
    }
    *x = s.release();
    return MTRX_OK;
}

bool is_zero_vector(const double *v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (v[i] < -zero_band || v[i] > zero_band)
            return false;
    return true;
}

double first_column_det(double *const *a, double *const *c, std::size_t n)
{
    double det = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double t = a[k][0] * c[k][0];
        det = det + t;
    }
    return det;
}

void transpose_square(double **m, std::size_t n)
{
    for (std::size_t i = 1; i < n; ++i)
        for (std::size_t j = 0; j < i; ++j)
            std::swap(m[i][j], m[j][i]);
}

} // namespace mtrx_detail
