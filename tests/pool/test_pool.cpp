// The library's worker threads: every chunk of every job runs exactly once
// whatever the team and the timing; workers are kept between calls, end when
// idle and come back; callers on several threads share them without waiting
// for one another; a forked child exits without waiting for its parent's
// workers. Then several caller threads solving and multiplying at once, every
// result bit for bit the plain loops' one.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "core/gj/gj.h"
#include "core/product/product.h"
#include "core/pool/thread_pool.h"
#include "reference/gauss_jordan_ref.h"
#include "reference/product_ref.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/threads.h"

using namespace mtrx_detail;

namespace {

// A job that records how often each chunk ran; some chunks dawdle (so that
// other members take over the rest of their share) and the count goes up
// only at a chunk's end, so a run that returned early shows.
struct counting_job {
    std::vector<std::atomic<int>> runs;
    unsigned seed;
    explicit counting_job(std::size_t chunks, unsigned seed) : runs(chunks), seed(seed) {}

    static void chunk(void *ctx, std::size_t c)
    {
        auto &j = *static_cast<counting_job *>(ctx);
        if ((c * 2654435761u + j.seed) % 7 == 0)
            std::this_thread::yield();
        if ((c + j.seed) % 97 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        j.runs[c].fetch_add(1, std::memory_order_relaxed);
    }

    // Runs on t and says which chunk did not run exactly once, if any.
    testing::AssertionResult run_on(team &t)
    {
        t.run(&chunk, this, runs.size());
        for (std::size_t c = 0; c < runs.size(); ++c)
            if (runs[c].load(std::memory_order_relaxed) != 1)
                return testing::AssertionFailure()
                       << "chunk " << c << " of " << runs.size() << " ran " << runs[c] << " times";
        return testing::AssertionSuccess();
    }
};

} // namespace

TEST(Pool, EveryChunkOfEveryJobRunsOnce)
{
    threads_allowed allow(4);
    random_source src(1);
    for (int round = 0; round < 16; ++round) {
        const std::size_t want = 1 + src.below(5);
        team t(want);
        ASSERT_GE(t.size(), 1u);
        ASSERT_LE(t.size(), std::min<std::size_t>(want, 4));
        for (int job = 0; job < 30; ++job) {
            counting_job j(src.below(5) == 0 ? src.below(3) : src.below(300), unsigned(src.bits()));
            ASSERT_TRUE(j.run_on(t)) << "team of " << t.size() << ", job " << job;
        }
    }
}

TEST(Pool, WorkersAreKeptBetweenCallsEndWhenIdleAndComeBack)
{
    threads_allowed allow(3);
    {
        team t(3);
        EXPECT_EQ(t.size(), 3u);
        EXPECT_TRUE(counting_job(50, 1).run_on(t));
    }
    const pool_counts first = pool_stats();
    {
        team t(3);
        EXPECT_EQ(t.size(), 3u);
        EXPECT_TRUE(counting_job(50, 2).run_on(t));
    }
    EXPECT_EQ(pool_stats().started, first.started) << "a second call started threads";
    EXPECT_TRUE(eventually([] { return pool_stats().running == 0; })) << "idle workers stay";
    team t(3);
    EXPECT_EQ(t.size(), 3u);
    EXPECT_TRUE(counting_job(50, 3).run_on(t));
    EXPECT_GT(pool_stats().started, first.started);
}

// run() reports a team as held up only when the caller had to take over
// the other member's chunks and then wait for the one it was in: a member
// that merely finishes its own share later than the caller is not held up.
TEST(Pool, HeldUpOnlyWhenTheCallerTookOverTheOthersShare)
{
    threads_allowed allow(2);
    team t(2);
    if (t.size() < 2)
        GTEST_SKIP() << "no worker to lend";
    struct job {
        std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> helper_in{false};
        static void chunk(void *ctx, std::size_t)
        {
            auto &j = *static_cast<job *>(ctx);
            if (std::this_thread::get_id() != j.caller) {
                j.helper_in.store(true);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            } else {
                while (!j.helper_in.load())
                    std::this_thread::yield();
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        job even; // one chunk each: the caller waits for the helper's, its share
        EXPECT_FALSE(t.run(&job::chunk, &even, 2)) << "round " << round;
        job late; // the helper stays in its first chunk; the caller runs the other seven
        EXPECT_TRUE(t.run(&job::chunk, &late, 8)) << "round " << round;
    }
}

// Eight callers at once, each asking for three threads where the pool has
// two workers: every job completes, and no more workers are lent at any time
// than there are.
TEST(Pool, CallersShareTheWorkersWithoutWaiting)
{
    threads_allowed allow(3);
    std::atomic<int> lent{0}, most{0};
    std::atomic<bool> failed{false};
    std::vector<std::thread> callers;
    for (unsigned c = 0; c < 8; ++c)
        callers.emplace_back([&, c] {
            for (unsigned i = 0; i < 30; ++i) {
                team t(3);
                const int now = lent += int(t.size()) - 1;
                for (int m = most.load(); now > m && !most.compare_exchange_weak(m, now);)
                    ;
                if (!counting_job(20 + i, c * 100 + i).run_on(t))
                    failed = true;
                lent -= int(t.size()) - 1;
            }
        });
    for (auto &c : callers)
        c.join();
    EXPECT_FALSE(failed);
    EXPECT_LE(most.load(), 2);
}

#if !defined(_WIN32)
TEST(Pool, ForkedChildExitsWithoutWaitingForTheParentsWorkers)
{
    threads_allowed allow(3);
    {
        team t(3);
        ASSERT_TRUE(counting_job(30, 4).run_on(t));
    }
    ASSERT_GT(pool_stats().running, 0u);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Workers of its own, then exit() with its exit handlers.
        bool ok;
        {
            team t(3);
            ok = t.size() == 3 && counting_job(30, 5).run_on(t);
        }
        std::exit(ok ? 0 : 3);
    }
    int status = 0;
    const bool ended = eventually([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "the child hangs in exit";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

namespace {

// One caller's work: a system and a product, with the plain loops' results.
struct caller_case {
    Matrix system, solved, a, b, product;
    std::size_t n, m, k, p;
};

} // namespace

// Four callers at once, each solving and multiplying on up to four threads
// (more than the machine has, so that teams compete for the workers and
// some callers work alone): every result is the plain loops' one.
TEST(ConcurrentCallers, SolveAndMultiplyAtOnceWithThePlainLoopsBits)
{
    threads_allowed allow(4);
    random_source src(12);
    std::vector<caller_case> cases(4);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        caller_case &cc = cases[c];
        cc.n = 90 + 37 * c;
        cc.system = src.matrix(cc.n, cc.n + 1, kind::with_ties);
        cc.solved = cc.system;
        auto ps = ptrs(cc.solved);
        ASSERT_EQ(quendle_ref::gauss_jordan(ps.data(), nullptr, cc.n),
                  quendle_ref::gj_result::solved);
        cc.m = 130 + 11 * c, cc.k = 100 + 23 * c, cc.p = 150 - 9 * c;
        cc.a = src.matrix(cc.m, cc.k, kind::with_ties);
        cc.b = src.matrix(cc.k, cc.p, kind::with_ties);
        cc.product = Matrix(cc.m, std::vector<double>(cc.p));
        auto pr = ptrs(cc.product), pa = ptrs(cc.a), pb = ptrs(cc.b);
        quendle_ref::product_ijk(pr.data(), pa.data(), pb.data(), cc.m, cc.k, cc.p);
    }
    gj_tuning t;
    t.threads = 4;
    t.parallel_from = 2;
    t.step_alone_below = 1;
    ASSERT_TRUE(gj_tune(t));
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (std::size_t c = 0; c < cases.size(); ++c)
        callers.emplace_back([&, c] {
            const caller_case &cc = cases[c];
            for (int round = 0; round < 3; ++round) {
                Matrix x = cc.system;
                auto px = ptrs(x);
                if (gj_reduce(px.data(), nullptr, cc.n) != gj_status::solved ||
                    !same_bits(x, cc.solved))
                    ++wrong;
                Matrix r(cc.m, std::vector<double>(cc.p));
                auto pr = ptrs(r);
                Matrix a = cc.a, b = cc.b;
                auto pa = ptrs(a), pb = ptrs(b);
                product_into(pr.data(), pa.data(), pb.data(), cc.m, cc.k, cc.p,
                             best_product_kernel(), 4);
                if (!same_bits(r, cc.product))
                    ++wrong;
            }
        });
    for (auto &c : callers)
        c.join();
    gj_tune(gj_tuning{});
    EXPECT_EQ(wrong.load(), 0);
}
