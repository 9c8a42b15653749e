// Small helpers shared by the library tests.
#ifndef QUENDLE_TEST_HELPERS_H
#define QUENDLE_TEST_HELPERS_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mtrx/mtrx.h"
#include "core/thread_pool.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUENDLE_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENDLE_LSAN 1
#endif
#endif
#ifdef QUENDLE_LSAN
#include <sanitizer/lsan_interface.h>
#endif

// First statement of a death test whose code ends the process on purpose:
// what is still allocated then is not a leak, so LeakSanitizer (in the
// sanitizer build) is told to look away.
inline void ends_process_on_purpose()
{
#ifdef QUENDLE_LSAN
    __lsan_disable();
#endif
}

struct MtrxDeleter {
    void operator()(mtrx_t *m) const { mtrx_free(m); }
};
using MtrxPtr = std::unique_ptr<mtrx_t, MtrxDeleter>;

// Everything `f` writes to stderr.
template <class F> std::string stderr_of(F &&f)
{
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// Everything `f` writes to stdout.
template <class F> std::string stdout_of(F &&f)
{
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

// Everything `f` writes to stdout, then everything it writes to stderr.
template <class F> std::string output_of(F &&f)
{
    std::string out, err = stderr_of([&] { out = stdout_of(f); });
    return out + err;
}

inline std::vector<double> row_of(const mtrx_t *m, size_t i, size_t n)
{
    return std::vector<double>(m->mtrx[i], m->mtrx[i] + n);
}

// rows, cols, maxrows, maxcols of a record, to compare in one go.
inline std::vector<size_t> shape_of(const mtrx_t *m)
{
    return {m->rows, m->cols, m->maxrows, m->maxcols};
}

// A stream holding `text`, read from the start.
inline FILE *stream_of(const std::string &text)
{
    FILE *fp = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), fp);
    std::rewind(fp);
    return fp;
}

// Row pointers over a vector of rows, for the bare-array functions.
struct Rows {
    std::vector<std::vector<double>> data;
    std::vector<double *> ptrs;
    explicit Rows(std::vector<std::vector<double>> d) : data(std::move(d))
    {
        for (auto &r : data)
            ptrs.push_back(r.data());
    }
    double **get() { return ptrs.data(); }
};

// Row pointers into `a` itself, for the bare-array functions.
inline std::vector<double *> ptrs(std::vector<std::vector<double>> &a)
{
    std::vector<double *> p;
    for (auto &r : a)
        p.push_back(r.data());
    return p;
}

// The first n values at a and b, bit for bit.
inline bool same_bits(const double *a, const double *b, size_t n)
{
    return n == 0 || std::memcmp(a, b, n * sizeof(double)) == 0;
}

// Rows of the same lengths, bit for bit.
inline bool same_bits(const std::vector<std::vector<double>> &x,
                      const std::vector<std::vector<double>> &y)
{
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i].size() != y[i].size() || !same_bits(x[i].data(), y[i].data(), x[i].size()))
            return false;
    return true;
}

// Lets teams of up to `threads` threads form on any machine while it lives.
struct threads_allowed {
    explicit threads_allowed(size_t threads) { mtrx_detail::pool_set_threads(threads); }
    ~threads_allowed() { mtrx_detail::pool_set_threads(0); }
};

#endif
