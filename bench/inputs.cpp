// The shared inputs (inputs.h).
#include "inputs.h"
#include "eigen_native.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace quendle_bench {

system_data::system_data(std::size_t n_) : n(n_), rows(n_ * (n_ + 1))
{
    std::mt19937_64 g(20261208 + n);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double &x : rows)
        x = u(g);
}

const system_data &system_of(std::size_t n) { return made_once<system_data>(n); }

const std::vector<double> &system_rows(std::size_t n) { return system_of(n).rows; }

temp_file::temp_file(const std::string &text)
{
    char name[] = "/tmp/quendle-bench-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror("quendle-bench: temporary file");
        std::exit(1);
    }
    close(fd);
    path = name;
}

temp_file::~temp_file() { std::remove(path.c_str()); }

} // namespace quendle_bench
