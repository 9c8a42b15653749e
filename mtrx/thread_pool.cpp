// The helper threads of the Gauss-Jordan solver (see thread_pool.h): how a
// job's chunks are handed out, and how helpers wait between jobs (a short
// spin, then asleep until the next job or the end).
#include "thread_pool.h"

namespace mtrx_detail {

std::size_t crew::start(std::size_t helpers)
{
    try {
        pool_.reserve(helpers);
        for (std::size_t i = 0; i < helpers; ++i)
            pool_.emplace_back([this, i] { helper(i + 1); });
    } catch (...) {
        // (fewer helpers, or none: the calling thread does the rest)
    }
    chunks_ = pool_.size() + 1;
    return pool_.size();
}

bool crew::run()
{
    done_.store(0, std::memory_order_relaxed);
    const std::uint64_t gen = gen_.load(std::memory_order_relaxed) + 1;
    gen_.store(gen, std::memory_order_seq_cst);
    if (sleepers_.load(std::memory_order_seq_cst) > 0) {
        std::lock_guard<std::mutex> lk(mu_);
        cv_.notify_all();
    }
    take_chunks(0, gen);
    bool long_wait = false;
    for (unsigned spins = 0; done_.load(std::memory_order_acquire) < chunks_; ++spins) {
        if (spins < 4000) {
            cpu_relax();
        } else {
            long_wait = true;
            std::this_thread::yield();
        }
    }
    return long_wait;
}

crew::~crew()
{
    exit_.store(true, std::memory_order_seq_cst);
    {
        std::lock_guard<std::mutex> lk(mu_);
        cv_.notify_all();
    }
    for (auto &t : pool_)
        t.join();
}

// Own chunk first, then the others in turn; each taken once per job.
void crew::take_chunks(std::size_t self, std::uint64_t gen)
{
    for (std::size_t k = 0; k < chunks_; ++k) {
        const std::size_t i = (self + k) % chunks_;
        std::uint64_t prev = taken_[i].load(std::memory_order_relaxed);
        if (prev >= gen || !taken_[i].compare_exchange_strong(prev, gen, std::memory_order_acq_rel))
            continue;
        work_(ctx_, i);
        done_.fetch_add(1, std::memory_order_release);
    }
}

void crew::helper(std::size_t self)
{
    std::uint64_t seen = 0;
    for (;;) {
        std::uint64_t gen = gen_.load(std::memory_order_acquire);
        for (int spins = 0; gen == seen && spins < 4000; ++spins) {
            if (exit_.load(std::memory_order_relaxed))
                return;
            cpu_relax();
            gen = gen_.load(std::memory_order_acquire);
        }
        if (gen == seen) {
            std::unique_lock<std::mutex> lk(mu_);
            sleepers_.fetch_add(1, std::memory_order_seq_cst);
            cv_.wait(lk, [&] {
                return exit_.load(std::memory_order_seq_cst) ||
                       gen_.load(std::memory_order_seq_cst) != seen;
            });
            sleepers_.fetch_sub(1, std::memory_order_relaxed);
            if (exit_.load(std::memory_order_relaxed))
                return;
            gen = gen_.load(std::memory_order_acquire);
        }
        seen = gen;
        take_chunks(self, gen);
    }
}

} // namespace mtrx_detail
