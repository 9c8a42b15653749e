// A program that returns from main while the library's worker threads are
// alive: idle ("idle"), or serving another thread that is still multiplying
// ("busy"). It must end at once, with status 0, and (under valgrind) with
// nothing of the library's left allocated.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "support/identity_product.h"

using namespace mtrx_detail;

int main(int argc, char **argv)
{
    const bool busy = argc > 1 && std::strcmp(argv[1], "busy") == 0;
    pool_set_threads(3); // workers even on a machine of one processor
    if (!product_by_identity_holds(300) || pool_stats().running == 0) {
        std::fputs("pool_exit: the product did not run on the workers\n", stderr);
        return 1;
    }
    if (busy) {
        std::thread([] {
            for (;;)
                product_by_identity_holds(400);
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}
