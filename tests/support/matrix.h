// Matrices as rows of doubles, and the row-pointer views the library's
// bare-array functions take.
#ifndef QUENDLE_TESTS_SUPPORT_MATRIX_H
#define QUENDLE_TESTS_SUPPORT_MATRIX_H

#include <utility>
#include <vector>

using Matrix = std::vector<std::vector<double>>;

// Row pointers into `a` itself.
inline std::vector<double *> ptrs(Matrix &a)
{
    std::vector<double *> p;
    for (auto &r : a)
        p.push_back(r.data());
    return p;
}

// A matrix that owns its rows, with row pointers over them.
struct Rows {
    Matrix data;
    std::vector<double *> ptrs;
    explicit Rows(Matrix d) : data(std::move(d)), ptrs(::ptrs(data)) {}
    double **get() { return ptrs.data(); }
};

#endif
