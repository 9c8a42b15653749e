// Bit-for-bit comparison of doubles, rows, matrices and records. Where NaN
// may come out of an operation, which NaN (payload and sign) depends on the
// order of the operands inside the instruction, which the compiler picks,
// and IEEE 754 leaves it open: `nans::any` lets any NaN match any NaN, every
// other bit still compared. (No GoogleTest here: the fuzz targets use it.)
#ifndef QUENDLE_TESTS_SUPPORT_COMPARE_H
#define QUENDLE_TESTS_SUPPORT_COMPARE_H

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include <mtrx/mtrx.h>

#include "matrix.h"

enum class nans { exact, any };

inline bool same_bits(double a, double b, nans n = nans::exact)
{
    return (n == nans::any && std::isnan(a) && std::isnan(b)) ||
           std::memcmp(&a, &b, sizeof a) == 0;
}

// The first `count` values at a and b.
inline bool same_bits(const double *a, const double *b, std::size_t count, nans n = nans::exact)
{
    for (std::size_t j = 0; j < count; ++j)
        if (!same_bits(a[j], b[j], n))
            return false;
    return true;
}

// Rows of the same lengths.
inline bool same_bits(const std::vector<double> &x, const std::vector<double> &y, nans n = nans::exact)
{
    return x.size() == y.size() && same_bits(x.data(), y.data(), x.size(), n);
}

inline bool same_bits(const Matrix &x, const Matrix &y, nans n = nans::exact)
{
    if (x.size() != y.size())
        return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (!same_bits(x[i], y[i], n))
            return false;
    return true;
}

// Both null, or the same rows, cols, maxrows and maxcols and the same values
// in the part in use.
inline bool same_bits(const mtrx_t *a, const mtrx_t *b, nans n = nans::exact)
{
    if (!a || !b)
        return a == b;
    if (a->rows != b->rows || a->cols != b->cols || a->maxrows != b->maxrows ||
        a->maxcols != b->maxcols)
        return false;
    for (std::size_t i = 0; i < a->rows; ++i)
        if (!same_bits(a->mtrx[i], b->mtrx[i], a->cols, n))
            return false;
    return true;
}

#endif
