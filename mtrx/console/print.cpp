// The printing functions: records, bare arrays and vectors on stdout. The width
// is printf's '*' width, passed on unchanged: a minimum, left-aligning when
// negative.
#include <cmath>
#include <cstdio>

#include <mtrx/mtrx.h>

#include "messages.h"

namespace {

// C runtimes disagree on the sign of a NaN ("-nan" or "nan"); a NaN is
// printed without its sign bit so that every build prints "nan".
double shown(double x) { return std::isnan(x) ? std::fabs(x) : x; }

void print_rows(double **a, size_t rows, size_t cols, int width)
{
    for (size_t i = 0; i < rows; ++i) {
        for (size_t j = 0; j < cols; ++j)
            std::printf(" % *g", width, shown(a[i][j]));
        std::putchar('\n');
    }
}

} // namespace

extern "C" void mtrx_print(const mtrx_t *m, int width) { print_rows(m->mtrx, m->rows, m->cols, width); }

extern "C" void arr2d_print(double **a, size_t rows, size_t cols, int width)
{
    print_rows(a, rows, cols, width);
}

extern "C" void vect_print(const double *v, size_t n, int width)
{
    for (size_t i = 0; i < n; ++i)
        std::printf(" % *g", width, shown(v[i]));
    std::putchar('\n');
}

extern "C" void mtrx_print_aug(const mtrx_t *m, int width)
{
    if (m->rows >= m->cols) {
        mtrx_console::not_a_system();
        return;
    }
    const size_t last = m->cols - 1;
    for (size_t i = 0; i < m->rows; ++i) {
        const double *row = m->mtrx[i];
        for (size_t j = 0; j < last; ++j)
            std::printf(" %*g", width, shown(row[j]));
        std::printf("  | %*g\n", width, shown(row[last]));
    }
}

extern "C" void mtrx_print_sq(const mtrx_t *m, int width)
{
    if (m->rows > m->cols) {
        mtrx_console::no_square_part();
        return;
    }
    for (size_t i = 0; i < m->rows; ++i) {
        for (size_t j = 0; j < m->rows; ++j)
            std::printf(" % *.3f", width, shown(m->mtrx[i][j]));
        std::putchar('\n');
    }
}

extern "C" void mtrx_dump_ptrs(const mtrx_t *m)
{
    std::printf("m->mtrx: %p\n", static_cast<void *>(m->mtrx));
    for (size_t i = 0; i < m->maxrows; ++i)
        std::printf("  m->mtrx[%2zu]: %p\n", i, static_cast<void *>(m->mtrx[i]));
    std::putchar('\n');
}
