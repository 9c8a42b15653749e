// The worker pool's POSIX half (thread_pool_impl.h): workers are pthreads,
// the close at exit waits for every one of them to end, and the child of a
// fork starts from an empty pool.
#include <new>

#include <pthread.h>

#include "core/pool/thread_pool_impl.h"

namespace mtrx_detail {

namespace {

// Per slot, under the pool's mutex: its thread, and whether one was started
// there and not yet joined.
pthread_t g_thread[team::max_size];
bool g_joinable[team::max_size];

void *entry(void *arg)
{
    pool::get().serve_slot(reinterpret_cast<std::size_t>(arg));
    return nullptr;
}

// In the child of a fork (the parent's pool mutex held across it): the
// workers were not copied, so the child starts from an empty pool, with
// condition variables that no vanished thread waits on, and its exit waits
// for none of them.
void forget_threads(pool &p)
{
    for (std::size_t s = 0; s < team::max_size; ++s) {
        slot &sl = p.slots[s];
        sl.state = slot_state::empty;
        sl.t = nullptr;
        g_joinable[s] = false;
        new (&sl.cv) std::condition_variable();
    }
    new (&p.left) std::condition_variable();
    p.running = 0;
    p.mu.unlock();
}

} // namespace

namespace pool_system {

void arrange(pool &)
{
    pthread_atfork([] { pool::get().mu.lock(); }, [] { pool::get().mu.unlock(); },
                   [] { forget_threads(pool::get()); });
}

bool start(pool &, std::size_t s)
{
    if (g_joinable[s])
        pthread_join(g_thread[s], nullptr); // (a worker that ended idle: it needs the lock no more)
    g_joinable[s] = false;
    if (pthread_create(&g_thread[s], nullptr, &entry, reinterpret_cast<void *>(s)) != 0)
        return false;
    g_joinable[s] = true;
    return true;
}

// A worker of a closed pool simply ends: the close joins it.
void when_closed(pool &, std::unique_lock<std::mutex> &, slot &) {}

// Wakes every worker to find the pool closed, then waits for each to end.
void close(pool &p)
{
    std::unique_lock<std::mutex> lk(p.mu);
    p.closed = true;
    p.wake_all();
    pthread_t ending[team::max_size];
    std::size_t count = 0;
    for (std::size_t s = 0; s < team::max_size; ++s)
        if (g_joinable[s]) {
            ending[count++] = g_thread[s];
            g_joinable[s] = false;
        }
    lk.unlock();
    for (std::size_t i = 0; i < count; ++i)
        pthread_join(ending[i], nullptr);
}

} // namespace pool_system

} // namespace mtrx_detail
