// A C++ program that finds the installed library with find_package(mtrx).
#include <mtrx/mtrx.h>

#include <cstdio>
#include <memory>

int main()
{
    std::unique_ptr<mtrx_t, decltype(&mtrx_free)> m(mtrx_read_str("2 6\n"), &mtrx_free);
    if (!m)
        return 1;
    guassj(m->mtrx, m->rows);
    std::printf("%.6f\n", m->mtrx[0][1]);
    return 0;
}
