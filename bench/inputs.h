// What several benchmark families share: inputs made once per size, the
// random systems every Gauss-Jordan contender solves, the same as rows behind
// row pointers, temporary files, and the contenders gj/ and gj-small/ both
// time.
#ifndef QUENDLE_BENCH_INPUTS_H
#define QUENDLE_BENCH_INPUTS_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quendle_bench {

// The input of size n that T(n) makes, made the first time it is asked for
// and kept for the rest of the run: every contender of one size times the
// same values, and none pays for making them.
template <class T> const T &made_once(std::size_t n)
{
    static std::map<std::size_t, T> made;
    return made.try_emplace(n, n).first->second;
}

// A random n x (n + 1) system (uniform in [-1, 1]), the same for every
// contender of one size.
struct system_data {
    std::size_t n;
    std::vector<double> rows; // row-major, n + 1 per row
    explicit system_data(std::size_t n_);
};
const system_data &system_of(std::size_t n);

// The system as separate rows behind row pointers, as the library takes it.
struct row_matrix {
    std::vector<std::vector<double>> rows;
    std::vector<double *> ptrs;
    explicit row_matrix(const system_data &s) : rows(s.n, std::vector<double>(s.n + 1))
    {
        reset(s);
        for (auto &r : rows)
            ptrs.push_back(r.data());
    }
    void reset(const system_data &s)
    {
        for (std::size_t i = 0; i < s.n; ++i)
            std::copy_n(&s.rows[i * (s.n + 1)], s.n + 1, rows[i].data());
    }
};

// A file that holds `text`, removed when the program ends.
struct temp_file {
    std::string path;
    explicit temp_file(const std::string &text);
    ~temp_file();
    temp_file(const temp_file &) = delete;
    temp_file &operator=(const temp_file &) = delete;
};

// ---- Gauss-Jordan contenders (families/gj.cpp) -------------------------------

// guassj on the system of order n. `threads` and `in_place_below` as
// mtrx_detail::gj_tuning takes them (0 for the library's defaults; 1 to run
// even small systems through the working array).
void bm_guassj(benchmark::State &st, std::size_t n, std::size_t threads,
               std::size_t in_place_below);
// The plain Gauss-Jordan loop on the same system.
void bm_plain_loop(benchmark::State &st, std::size_t n);

} // namespace quendle_bench

#endif
