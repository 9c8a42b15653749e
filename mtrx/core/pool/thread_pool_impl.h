// The worker pool's state (thread_pool.h says what the pool does), shared by
// its common logic (thread_pool.cpp) and the part each system does its own
// way: starting a thread, what a worker does once the pool is closed, and
// the close at exit (thread_pool_posix.cpp or thread_pool_win32.cpp; CMake
// builds the one for the target). Not installed.
#ifndef MTRX_CORE_THREAD_POOL_IMPL_H
#define MTRX_CORE_THREAD_POOL_IMPL_H

#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "core/pool/thread_pool.h"

namespace mtrx_detail {

// A worker's place in the pool: empty (no thread), idle (asleep, waiting to
// be lent), assigned (lent to a team, not yet there) or serving (running
// the team's jobs).
enum class slot_state { empty, idle, assigned, serving };

struct slot {
    slot_state state = slot_state::empty;
    team *t = nullptr;
    std::size_t member = 0;
    std::condition_variable cv; // signalled when the slot is assigned or the pool closes
};

// The pool's mutex guards everything here; a team's jobs are handed out
// through the team's atomics alone.
class pool {
public:
    // The pool, made on first use and never destroyed.
    static pool &get();

    // Lends up to `helpers` idle workers to t (starting threads for empty
    // slots) and sets its size.
    void enlist(team &t, std::size_t helpers);
    // Takes t's workers back: those that have not arrived at once, the
    // others as they leave (t has told them to).
    void dismiss(team &t);
    pool_counts counts();

    // A worker's life, run by the thread of slot s: wait to be lent, serve
    // the team, come back; end when idle too long or when the pool closes.
    void serve_slot(std::size_t s);
    // Wakes every worker, in a team or idle, to find the pool closed (under
    // the lock).
    void wake_all();

    std::mutex mu;
    std::condition_variable left; // a worker has left its team, or ended
    slot slots[team::max_size];
    std::size_t started = 0, running = 0; // threads started, now alive
    bool closed = false;

private:
    pool() = default;
};

// The part each system does its own way.
namespace pool_system {

// Once, as the pool is made (its close is already set to run at exit).
void arrange(pool &p);
// Starts the thread of slot s, which runs p.serve_slot(s) (under p.mu):
// false when the system gives none.
bool start(pool &p, std::size_t s);
// A worker that has found the pool closed (under p.mu, held by lk) and is
// about to end: returns to let it end, or keeps it asleep.
void when_closed(pool &p, std::unique_lock<std::mutex> &lk, slot &sl);
// At exit (or when a shared build is unloaded), once the flag that stops
// the lending is up: closes the pool, and waits for the workers where it
// can.
void close(pool &p);

} // namespace pool_system

} // namespace mtrx_detail

#endif
