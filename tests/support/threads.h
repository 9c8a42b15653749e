// Threads in the tests: teams of a given size on any machine, and waiting
// for what the library's workers do in their own time.
#ifndef QUENDLE_TESTS_SUPPORT_THREADS_H
#define QUENDLE_TESTS_SUPPORT_THREADS_H

#include <chrono>
#include <cstddef>
#include <thread>

#include "core/thread_pool.h"

// Lets teams of up to `threads` threads form on any machine while it lives.
struct threads_allowed {
    explicit threads_allowed(std::size_t threads) { mtrx_detail::pool_set_threads(threads); }
    ~threads_allowed() { mtrx_detail::pool_set_threads(0); }
    threads_allowed(const threads_allowed &) = delete;
    threads_allowed &operator=(const threads_allowed &) = delete;
};

// Whether done() comes true within half a minute.
template <class P> bool eventually(P done)
{
    for (int i = 0; i < 600; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

#endif
