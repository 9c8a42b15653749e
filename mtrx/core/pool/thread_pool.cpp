// The library's worker threads (see thread_pool.h): the pool that starts,
// lends and ends them, and a team's jobs. What each system does its own way
// is in thread_pool_posix.cpp and thread_pool_win32.cpp (behind
// thread_pool_impl.h).
//
// The pool's mutex guards the workers' slots; a team's jobs are handed out
// through atomics alone. Idle workers end after a second; at exit or unload
// the pool closes and lends no more (on POSIX it waits for its workers, on
// Windows it never does). Its state is static and never destroyed, so a
// late caller finds it closed and works alone. The whole life cycle:
// docs/design/thread-pool.md.
#include "core/pool/thread_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "core/pool/thread_pool_impl.h"
#include "core/tuning.h"

namespace mtrx_detail {

namespace {

void cpu_relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

std::atomic<bool> g_closed{false};
std::atomic<std::size_t> g_threads{0}; // test seam (0: the processor count)

constexpr auto idle_life = tuning::pool_idle_life;
constexpr int spin_rounds = tuning::pool_spin_rounds;

std::uint64_t pack(std::uint32_t gen, std::size_t next, std::size_t end)
{
    return std::uint64_t(gen) << 32 | std::uint64_t(next) << 16 | std::uint64_t(end);
}

} // namespace

pool &pool::get()
{
    alignas(pool) static unsigned char storage[sizeof(pool)];
    static pool *const p = [] {
        pool *q = new (storage) pool();
        std::atexit([] {
            g_closed.store(true, std::memory_order_seq_cst);
            pool_system::close(get());
        });
        pool_system::arrange(*q);
        return q;
    }();
    return *p;
}

void pool::enlist(team &t, std::size_t helpers)
{
    std::lock_guard<std::mutex> lk(mu);
    std::size_t got = 0;
    const std::size_t workers = std::min(pool_threads(), team::max_size) - 1;
    const bool closed_now = closed || g_closed.load(std::memory_order_seq_cst);
    for (std::size_t s = 0; s < workers && got < helpers && !closed_now; ++s) {
        slot &sl = slots[s];
        if (sl.state != slot_state::empty && sl.state != slot_state::idle)
            continue;
        const bool fresh = sl.state == slot_state::empty;
        sl.state = slot_state::assigned;
        sl.t = &t;
        sl.member = got + 1;
        if (fresh) {
            if (!pool_system::start(*this, s)) {
                sl.state = slot_state::empty;
                sl.t = nullptr;
                break; // (no more threads to be had now)
            }
            ++started;
            ++running;
        }
        sl.cv.notify_one();
        t.slot_[++got] = s;
    }
    t.size_ = got + 1;
}

void pool::dismiss(team &t)
{
    std::unique_lock<std::mutex> lk(mu);
    auto serving = [&] {
        for (std::size_t i = 1; i < t.size_; ++i) {
            slot &sl = slots[t.slot_[i]];
            if (sl.t != &t)
                continue;
            if (sl.state == slot_state::assigned) {
                sl.state = slot_state::idle;
                sl.t = nullptr;
            } else if (sl.state == slot_state::serving) {
                return true;
            }
        }
        return false;
    };
    left.wait(lk, [&] { return !serving(); });
}

pool_counts pool::counts()
{
    std::lock_guard<std::mutex> lk(mu);
    return {started, running};
}

void pool::serve_slot(std::size_t s)
{
    slot &sl = slots[s];
    std::unique_lock<std::mutex> lk(mu);
    for (;;) {
        const auto until = std::chrono::steady_clock::now() + idle_life;
        while (sl.state == slot_state::idle && !closed)
            if (sl.cv.wait_until(lk, until) == std::cv_status::timeout)
                break;
        if (closed)
            pool_system::when_closed(*this, lk, sl);
        if (closed || sl.state == slot_state::idle)
            break;
        sl.state = slot_state::serving;
        team *t = sl.t;
        const std::size_t member = sl.member;
        lk.unlock();
        t->serve(member);
        lk.lock();
        sl.state = slot_state::idle;
        sl.t = nullptr;
        left.notify_all();
    }
    sl.state = slot_state::empty; // (an assignment not taken up: the team finds it gone)
    sl.t = nullptr;
    --running;
    left.notify_all();
}

void pool::wake_all()
{
    for (slot &sl : slots) {
        if (sl.state == slot_state::serving)
            sl.t->wake();
        sl.cv.notify_all();
    }
}

std::size_t pool_threads()
{
    const std::size_t set = g_threads.load(std::memory_order_relaxed);
    if (set)
        return std::min(set, team::max_size);
    static const std::size_t hw =
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, team::max_size);
    return hw;
}

void pool_set_threads(std::size_t threads) { g_threads.store(threads, std::memory_order_relaxed); }

pool_counts pool_stats() { return pool::get().counts(); }

// ---- team --------------------------------------------------------------------

team::team(std::size_t want)
{
    want = std::min(want, pool_threads());
    if (want > 1 && !g_closed.load(std::memory_order_relaxed))
        pool::get().enlist(*this, want - 1);
}

team::~team()
{
    if (size_ == 1)
        return;
    exit_.store(true, std::memory_order_seq_cst);
    wake();
    pool::get().dismiss(*this);
}

void team::wake()
{
    std::lock_guard<std::mutex> lk(mu_);
    cv_.notify_all();
}

bool team::run(work_fn work, void *ctx, std::size_t chunks)
{
    if (size_ == 1 || chunks <= 1) {
        for (std::size_t c = 0; c < chunks; ++c)
            work(ctx, c);
        return false;
    }
    chunks = std::min(chunks, max_chunks);
    work_ = work;
    ctx_ = ctx;
    chunks_ = chunks;
    done_.store(0, std::memory_order_relaxed);
    if (++jobs_ == 0)
        jobs_ = 1;
    const std::uint32_t gen = jobs_;
    for (std::size_t s = 0; s < size_; ++s)
        cur_[s].v.store(pack(gen, s * chunks / size_, (s + 1) * chunks / size_),
                        std::memory_order_release);
    gen_.store(gen, std::memory_order_seq_cst);
    if (sleepers_.load(std::memory_order_seq_cst) > 0)
        wake();
    const std::size_t mine = this->work(0, gen);
    // A chunk another member has begun: spin a little, then sleep, so that
    // the system may move that member onto this processor if its own is
    // taken by other work.
    for (int spins = 0; spins < spin_rounds; ++spins) {
        if (done_.load(std::memory_order_acquire) >= chunks)
            return false;
        cpu_relax();
    }
    std::unique_lock<std::mutex> lk(mu_);
    caller_waits_.store(true, std::memory_order_seq_cst);
    done_cv_.wait(lk, [&] { return done_.load(std::memory_order_seq_cst) >= chunks; });
    caller_waits_.store(false, std::memory_order_relaxed);
    // Held up: the others ran so few chunks that the caller took well over
    // its share (half as much again), and it still waited for one of theirs.
    return mine * size_ * 2 >= chunks * 3;
}

bool team::claim(std::size_t share, std::uint32_t gen, std::size_t &chunk)
{
    std::uint64_t v = cur_[share].v.load(std::memory_order_acquire);
    for (;;) {
        const std::size_t next = (v >> 16) & 0xffff, end = v & 0xffff;
        if (static_cast<std::uint32_t>(v >> 32) != gen || next >= end)
            return false;
        if (cur_[share].v.compare_exchange_weak(v, v + (std::uint64_t(1) << 16),
                                                std::memory_order_acq_rel,
                                                std::memory_order_acquire)) {
            chunk = next;
            return true;
        }
    }
}

// Own share first, then the others in turn. A member of the pool stops
// taking chunks when the pool closes; the caller takes what is left.
std::size_t team::work(std::size_t member, std::uint32_t gen)
{
    std::size_t ran = 0;
    for (std::size_t k = 0; k < size_; ++k) {
        const std::size_t share = (member + k) % size_;
        std::size_t c;
        while (claim(share, gen, c)) {
            // (the job's fields are read before its last chunk is counted:
            // the caller may set up the next job from then on)
            const std::size_t chunks = chunks_;
            work_(ctx_, c);
            ++ran;
            const std::size_t now = done_.fetch_add(1, std::memory_order_seq_cst) + 1;
            if (now == chunks && member != 0 && caller_waits_.load(std::memory_order_seq_cst)) {
                std::lock_guard<std::mutex> lk(mu_);
                done_cv_.notify_one();
            }
            if (member != 0 && g_closed.load(std::memory_order_relaxed))
                return ran;
        }
    }
    return ran;
}

void team::serve(std::size_t member)
{
    std::uint32_t seen = 0;
    auto leaving = [&] {
        return exit_.load(std::memory_order_seq_cst) || g_closed.load(std::memory_order_seq_cst);
    };
    for (;;) {
        std::uint32_t gen = gen_.load(std::memory_order_acquire);
        for (int spins = 0; gen == seen && spins < spin_rounds; ++spins) {
            if (leaving())
                return;
            cpu_relax();
            gen = gen_.load(std::memory_order_acquire);
        }
        if (gen == seen) {
            std::unique_lock<std::mutex> lk(mu_);
            sleepers_.fetch_add(1, std::memory_order_seq_cst);
            cv_.wait(lk, [&] { return leaving() || gen_.load(std::memory_order_seq_cst) != seen; });
            sleepers_.fetch_sub(1, std::memory_order_relaxed);
            if (leaving())
                return;
            gen = gen_.load(std::memory_order_acquire);
        }
        seen = gen;
        work(member, gen);
    }
}

} // namespace mtrx_detail
