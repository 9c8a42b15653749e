// Threads in the tests: teams of a given size on any machine, and waiting
// for what the library's workers do in their own time.
#ifndef QUENDLE_TESTS_SUPPORT_THREADS_H
#define QUENDLE_TESTS_SUPPORT_THREADS_H

#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <thread>

#include "core/gj/gj.h"
#include "core/pool/thread_pool.h"

// Lets teams of up to `threads` threads form on any machine while it lives.
struct threads_allowed {
    explicit threads_allowed(std::size_t threads) { mtrx_detail::pool_set_threads(threads); }
    ~threads_allowed() { mtrx_detail::pool_set_threads(0); }
    threads_allowed(const threads_allowed &) = delete;
    threads_allowed &operator=(const threads_allowed &) = delete;
};

// Runs f() under every instruction set this processor has and each of the
// thread counts (threads from n = 2 on, every pass shared; tune(t) may set
// more of the tuning t), then puts back the defaults. Returns the number of
// runs.
template <class Tune, class F>
int for_each_isa_and_threads(std::initializer_list<std::size_t> threads, Tune tune, F f)
{
    int runs = 0;
    for (mtrx_detail::gj_isa isa : {mtrx_detail::gj_isa::portable, mtrx_detail::gj_isa::avx2,
                                    mtrx_detail::gj_isa::avx512})
        for (std::size_t n : threads) {
            threads_allowed allow(n);
            mtrx_detail::gj_tuning t;
            t.isa = isa;
            t.threads = n;
            t.parallel_from = 2;
            t.step_alone_below = 1;
            tune(t);
            if (!mtrx_detail::gj_tune(t))
                continue;
            f(n);
            ++runs;
        }
    mtrx_detail::gj_tune({});
    return runs;
}

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
