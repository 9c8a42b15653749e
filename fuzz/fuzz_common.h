// Helpers for the fuzz targets: decoding small matrices from fuzz bytes, the
// filter that keeps inputs the readers would end the process on out of the
// targets that call the process-ending library entries, and what a call
// writes on stdout or stderr. (The comparisons are the tests' own,
// support/compare.h: any NaN matches any NaN there, as the processor picks
// which payload an operation passes on.)
#ifndef QUENDLE_FUZZ_COMMON_H
#define QUENDLE_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include <mtrx/mtrx.h>

#include "core/read/scan.h"
#include "support/compare.h"

namespace fuzz {

// A property that failed ends the run as a crash libFuzzer keeps.
inline void require(bool ok)
{
    if (!ok)
        std::abort();
}

// Reads the fuzz bytes front to back; past the end it yields zeros.
class Bytes {
  public:
    Bytes(const std::uint8_t *d, std::size_t n) : d_(d), n_(n) {}
    std::uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
    bool empty() const { return i_ >= n_; }

    // A double that is often one of the awkward values: NaN, infinities,
    // -0.0, the extremes, subnormals, and small integers that make ties.
    double value()
    {
        static const double palette[] = {0.0,
                                         -0.0,
                                         1.0,
                                         -1.0,
                                         2.0,
                                         0.5,
                                         3.0,
                                         -7.0,
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         std::numeric_limits<double>::max(),
                                         std::numeric_limits<double>::min(),
                                         std::numeric_limits<double>::denorm_min(),
                                         1e300,
                                         1e-300};
        std::uint8_t tag = byte();
        if (tag < 0xC0)
            return palette[tag % (sizeof palette / sizeof palette[0])];
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k)
            bits = bits << 8 | byte();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

  private:
    const std::uint8_t *d_;
    std::size_t n_;
    std::size_t i_ = 0;
};

// rows x cols values, each row its own malloc'd array (as the library's own
// arrays are), released with release().
struct Matrix {
    std::size_t rows = 0, cols = 0;
    std::vector<double *> p;
    Matrix(Bytes &b, std::size_t r, std::size_t c) : rows(r), cols(c), p(r)
    {
        for (auto &row : p) {
            row = static_cast<double *>(std::malloc((c ? c : 1) * sizeof(double)));
            for (std::size_t j = 0; j < c; ++j)
                row[j] = b.value();
        }
    }
    ~Matrix()
    {
        for (double *row : p)
            std::free(row);
    }
    Matrix(const Matrix &) = delete;
    Matrix &operator=(const Matrix &) = delete;
    double **get() { return p.data(); }
};

// True when every piece of `text` split at '\n' (the piece after the last
// '\n' only when it is not empty) carries a number the line parser reads:
// the input the stream readers take without ending the process.
// The numbers of [b, e) as the line parser reads them, without a word
// (null when there are none); n becomes their count.
inline double *parsed_row(const char *b, const char *e, std::size_t &n)
{
    mtrx_detail::scan_stop stop;
    mtrx_detail::alloc_fault fault;
    return mtrx_detail::parse_row(b, e, &n, stop, fault);
}

inline bool every_line_has_a_number(const std::string &text, bool strict)
{
    std::size_t o = 0;
    while (o < text.size()) {
        std::size_t nl = text.find('\n', o);
        std::size_t e = nl == std::string::npos ? text.size() : nl + 1;
        const char *b = text.data() + o;
        const char *end = text.data() + e;
        if (strict) {
            if (mtrx_detail::next_number(b, end, mtrx_detail::start_rule::strict) == end)
                return false;
        } else {
            std::size_t n = 0;
            double *row = parsed_row(b, end, n);
            if (!row)
                return false;
            std::free(row);
        }
        o = e;
    }
    return true;
}

// A rows x cols record in the preallocated form filled from the bytes.
inline mtrx_t *record(Bytes &b, std::size_t rows, std::size_t cols)
{
    mtrx_t *m = mtrx_create(rows, cols);
    if (!m)
        std::abort();
    m->rows = rows;
    m->cols = cols;
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < cols; ++j)
            m->mtrx[i][j] = b.value();
    return m;
}

// Everything written on file descriptor `fd` (1 or 2) while `f` runs.
template <class F> std::string written(int fd, F f)
{
    static FILE *files[3] = {nullptr, nullptr, nullptr};
    FILE *&tmp = files[fd];
    if (!tmp)
        tmp = std::tmpfile();
    FILE *stream = fd == 1 ? stdout : stderr;
    std::fflush(stream);
    const int saved = dup(fd);
    if (ftruncate(fileno(tmp), 0) != 0 || saved < 0 || dup2(fileno(tmp), fd) < 0)
        std::abort();
    f();
    std::fflush(stream);
    dup2(saved, fd);
    close(saved);
    const off_t size = lseek(fileno(tmp), 0, SEEK_END);
    std::string s(static_cast<std::size_t>(size), '\0');
    if (size > 0 && pread(fileno(tmp), s.data(), s.size(), 0) != size)
        std::abort();
    lseek(fileno(tmp), 0, SEEK_SET);
    return s;
}

} // namespace fuzz

#endif
