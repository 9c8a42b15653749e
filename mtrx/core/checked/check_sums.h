// The sums the diagnostics of a solution run, each in a fixed order on the
// calling thread (four running sums over the elements taken in turn, added
// pairwise at the end), so that they give the same bits on every processor;
// and magnitudes kept beyond a double's range as a mantissa and an exponent.
#ifndef MTRX_CORE_CHECK_SUMS_H
#define MTRX_CORE_CHECK_SUMS_H

#include <cmath>
#include <cstddef>

#include "core/base/pow2.h"

namespace mtrx_detail {

// Four running sums, element k into sum k mod 4, added pairwise.
struct sum4 {
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    double total() const { return (s[0] + s[1]) + (s[2] + s[3]); }
};

// The largest |v_i|; NaN when some v_i is NaN.
double max_abs(const double *v, std::size_t n);

// col[j] += |row[j]|: row by row, the column sums of |m| whose largest is
// ||m||_1.
void add_magnitudes(const double *row, double *col, std::size_t n);

// Row i of b - A x, in working precision, and of |A| |x| + |b|.
void residual_row(const double *a, double b, const double *x, std::size_t n, double &r, double &w);

// v_i = sum_j m[i][j] y_j (or |m[i][j]| y_j with `magnitudes`, when col
// also gathers the column sums of |m|, as add_magnitudes).
void times(double *const *m, const double *y, double *v, std::size_t n, bool magnitudes,
           double *col = nullptr);

// A magnitude kept as m 2^e, m in [0.5, 1) or 0, for the products of the
// scaling's powers of two with the scaled system's values; a NaN or an
// infinity is kept as m itself.
struct wide {
    double m = 0.0;
    long long e = 0;

    static wide of(double v, long long k)
    {
        if (v == 0.0 || !std::isfinite(v))
            return {v, 0};
        int ex = 0;
        const double m = std::frexp(v, &ex);
        return {m, ex + k};
    }
    // The larger of two non-negative magnitudes (a NaN or an infinity wins).
    static wide larger(const wide &a, const wide &b)
    {
        if (!std::isfinite(a.m) || b.m == 0.0)
            return a;
        if (!std::isfinite(b.m) || a.m == 0.0)
            return b;
        if (a.e != b.e)
            return a.e > b.e ? a : b;
        return a.m >= b.m ? a : b;
    }
    double value() const { return times_pow2(m, e); }
};

// A sum of non-negative v 2^k, kept relative to the largest exponent so far
// (what falls below the normal range relative to it is lost, 2^-1074 of
// the sum at the most).
struct wide_sum {
    double s = 0.0;
    long long e = 0;
    bool any = false;

    void add(double v, long long k)
    {
        if (v == 0.0)
            return;
        if (!std::isfinite(v)) {
            s = s + v;
            any = true;
            return;
        }
        const long long ev = exponent_of(v) + k;
        if (!any || ev > e) {
            s = any ? times_pow2(s, e - ev) : 0.0;
            e = ev;
            any = true;
        }
        s = s + times_pow2(v, k - e);
    }
    wide total() const { return any ? wide::of(s, e) : wide{}; }
};

} // namespace mtrx_detail

#endif
