// The library's worker threads, shared by every computation that runs on
// several threads (Gauss-Jordan elimination, the matrix product). Not
// installed.
//
// One set of workers for the whole process: started as callers first ask
// for them (up to one less than the processor count, as the caller works
// too), kept between calls, and ended when the process exits or the library
// is unloaded. A caller borrows idle workers as a `team` for the length of
// one computation; a caller that finds them all lent to other threads works
// alone instead of waiting.
#ifndef MTRX_THREAD_POOL_H
#define MTRX_THREAD_POOL_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace mtrx_detail {

// The most threads one computation may use, its caller included: the
// processor count, or the limit the test seam below set.
std::size_t pool_threads();

// Test seam: allows teams of up to `threads` threads whatever the processor
// count (0: back to the processor count).
void pool_set_threads(std::size_t threads);

// What the pool has done since the process started, for tests.
struct pool_counts {
    std::size_t started; // threads started
    std::size_t running; // threads now alive
};
pool_counts pool_stats();

// The caller and the workers it borrowed, for one computation. Jobs are
// cut into chunks; each member takes the chunks of its own share first (the
// same rows stay with the same core from job to job), then any chunk of
// another share not yet begun, so a member the system has put aside holds up
// no more than the chunk it is in. Which thread runs a chunk never matters
// to the result.
class team {
public:
    static constexpr std::size_t max_size = 64;
    static constexpr std::size_t max_chunks = 0xffff;
    using work_fn = void (*)(void *ctx, std::size_t chunk);

    // Up to `want` threads in all, the caller included: as many idle workers
    // as there are (starting them when none has been yet); none when every
    // worker is lent elsewhere.
    explicit team(std::size_t want);
    team(const team &) = delete;
    team &operator=(const team &) = delete;
    // Returns the workers to the pool (after the chunk each is in).
    ~team();

    // Threads in the team, the caller included.
    std::size_t size() const { return size_; }

    // Runs work(ctx, c) once for every c in [0, chunks) on the team and
    // returns when all have run: true when the other members were held up
    // (the caller ran half as many chunks again as its share, and then had
    // to sleep until a chunk another member had begun was done).
    bool run(work_fn work, void *ctx, std::size_t chunks);

private:
    friend class pool;

    // The member side: serves the team's jobs until the team or the pool
    // ends.
    void serve(std::size_t member);
    // The chunks this member ran.
    std::size_t work(std::size_t member, std::uint32_t gen);
    bool claim(std::size_t share, std::uint32_t gen, std::size_t &chunk);
    // Wakes members asleep between jobs.
    void wake();

    std::size_t size_ = 1;
    std::size_t slot_[max_size] = {}; // the pool's slot of member i >= 1
    std::uint32_t jobs_ = 0;          // (the caller's count of jobs)

    // The current job. Its fields are written before the cursors that
    // publish it and read only by a member that has claimed one of its
    // chunks, so never while they change.
    work_fn work_ = nullptr;
    void *ctx_ = nullptr;
    std::size_t chunks_ = 0;
    std::atomic<std::uint32_t> gen_{0}; // the job's number, 0 before the first
    // Per share: the job's number, the share's next chunk and its end,
    // packed so that a claim made for one job never takes a chunk of the next
    // (each on a cache line of its own).
    struct cursor {
        std::atomic<std::uint64_t> v{0};
        char pad[56];
    };
    cursor cur_[max_size];
    std::atomic<std::size_t> done_{0}; // chunks of the job finished
    std::atomic<bool> exit_{false};
    std::atomic<int> sleepers_{0};        // members asleep between jobs
    std::atomic<bool> caller_waits_{false}; // the caller asleep until the job is done
    std::mutex mu_;
    std::condition_variable cv_;      // members: a new job, or the end
    std::condition_variable done_cv_; // the caller: the job is done
};

} // namespace mtrx_detail

#endif
