// The helper threads the Gauss-Jordan solver runs its passes on. Not
// installed.
#ifndef MTRX_THREAD_POOL_H
#define MTRX_THREAD_POOL_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace mtrx_detail {

inline void cpu_relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The helper threads of one run. Every job is cut into one chunk of rows per
// thread. Each thread first claims its own chunk (so the same rows stay with
// the same core from step to step), then any chunk still unclaimed: a helper
// that the system has put aside before it started holds up nothing, as the
// others take its chunk. Which thread does a chunk does not matter to the
// result: every row is computed alone.
class crew {
public:
    static constexpr std::size_t max_threads = 64;
    // Runs chunk i of the current job.
    using work_fn = void (*)(void *ctx, std::size_t chunk);

    crew(work_fn work, void *ctx) : work_(work), ctx_(ctx) {}
    crew(const crew &) = delete;
    crew &operator=(const crew &) = delete;
    ~crew();

    // Starts up to `helpers` threads; returns how many started.
    std::size_t start(std::size_t helpers);

    std::size_t chunks() const { return chunks_; }

    // Runs every chunk of the job the caller has just set up and returns
    // when all are done: true when the caller had to wait long for a helper
    // (one the system put aside in the middle of its chunk).
    bool run();

private:
    void take_chunks(std::size_t self, std::uint64_t gen);
    void helper(std::size_t self);

    work_fn work_;
    void *ctx_;
    std::vector<std::thread> pool_;
    std::size_t chunks_ = 1;
    std::atomic<std::uint64_t> gen_{0}; // the current job
    std::atomic<std::uint64_t> taken_[max_threads] = {};
    std::atomic<std::size_t> done_{0};
    std::atomic<bool> exit_{false};
    std::atomic<int> sleepers_{0};
    std::mutex mu_;
    std::condition_variable cv_;
};

} // namespace mtrx_detail

#endif
