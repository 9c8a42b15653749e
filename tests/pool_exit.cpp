// A program that returns from main while the library's worker threads are
// alive: idle ("idle"), or serving another thread that is still multiplying
// ("busy"). It must end at once, with status 0, and (under valgrind) with
// nothing of the library's left allocated.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "internal.h"
#include "thread_pool.h"

using namespace mtrx_detail;

namespace {

// A product large enough to be spread over the workers.
bool multiply(std::size_t n)
{
    double **a = arr2d_calloc(n, n), **b = arr2d_calloc(n, n), **r = arr2d_calloc(n, n);
    bool ok = a && b && r;
    if (ok) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                a[i][j] = double((i + j) % 7);
                b[i][j] = i == j ? 1.0 : 0.0;
            }
        product_into(r, a, b, n, n, n, best_product_kernel(), 3);
        for (std::size_t i = 0; i < n && ok; ++i)
            ok = r[i][n - 1] == a[i][n - 1];
    }
    arr2d_free(r, r ? n : 0);
    arr2d_free(b, b ? n : 0);
    arr2d_free(a, a ? n : 0);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    const bool busy = argc > 1 && std::strcmp(argv[1], "busy") == 0;
    pool_set_threads(3); // workers even on a machine of one processor
    if (!multiply(300) || pool_stats().running == 0) {
        std::fputs("pool_exit: the product did not run on the workers\n", stderr);
        return 1;
    }
    if (busy) {
        std::thread([] {
            for (;;)
                multiply(400);
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}
