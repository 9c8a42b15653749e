// The worker pool's Windows half (thread_pool_impl.h). Each worker holds a
// reference on the module the library lives in and gives it back as its
// last act (FreeLibraryAndExitThread), so a DLL build is never unmapped
// under a worker and unloading it waits for none. The pool never waits for
// its threads here: a thread that ends needs the loader lock, which an
// unloading or exiting thread holds. Workers that find the pool closed
// (only as the process exits) sleep until the exit ends them.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "core/pool/thread_pool_impl.h"

namespace mtrx_detail {

namespace {

DWORD WINAPI entry(void *arg)
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&entry), &self);
    pool::get().serve_slot(reinterpret_cast<std::size_t>(arg));
    FreeLibraryAndExitThread(self, 0);
}

} // namespace

namespace pool_system {

void arrange(pool &) {}

bool start(pool &, std::size_t s)
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&entry), &self))
        return false;
    HANDLE h = CreateThread(nullptr, 0, &entry, reinterpret_cast<void *>(s), 0, nullptr);
    if (!h) {
        FreeLibrary(self);
        return false;
    }
    CloseHandle(h);
    return true;
}

// Closed only as the process exits (a DLL build closes when the last worker
// has let it go): a thread ending now would race the exit for the loader
// lock, so it sleeps until the exit ends it.
void when_closed(pool &p, std::unique_lock<std::mutex> &lk, slot &sl)
{
    while (p.closed)
        sl.cv.wait(lk);
}

// (A DLL closes as the process exits, when its other threads are gone,
// perhaps in the middle of holding the lock: it is taken only if free; the
// flag that stops the lending is already up.)
void close(pool &p)
{
    if (p.mu.try_lock()) {
        p.closed = true;
        p.mu.unlock();
    }
}

} // namespace pool_system

} // namespace mtrx_detail
