// Allocation for the library: the test hook every request passes, and the
// resize that reports exhaustion instead of ending the process.
#include "core/base/alloc.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// (atomic: programs may call the library from several threads at once)
std::atomic<long> fail_at{0};  // request number that fails; 0: none
std::atomic<long> requests{0}; // requests since the hook was last set

bool hook_fails()
{
    const long made = requests.fetch_add(1, std::memory_order_relaxed) + 1;
    const long at = fail_at.load(std::memory_order_relaxed);
    if (at != 0 && made == at) {
        errno = ENOMEM;
        return true;
    }
    return false;
}
} // namespace

extern "C" long mtrx_testing_fail_alloc(long k)
{
    const long made = requests.exchange(0, std::memory_order_relaxed);
    fail_at.store(k, std::memory_order_relaxed);
    return made;
}

namespace mtrx_detail {

void *lib_calloc(std::size_t n, std::size_t size)
{
    if (hook_fails())
        return nullptr;
    return std::calloc(n, size);
}

void *lib_realloc(void *ptr, std::size_t bytes)
{
    if (hook_fails())
        return nullptr;
    // A request for no bytes would free the block on some C libraries and
    // hand back null; keep a live block instead.
    return std::realloc(ptr, bytes ? bytes : 1);
}

void *try_resize(void *ptr, std::size_t psz, std::size_t oldsz, std::size_t newsz)
{
    if (psz != 0 && newsz > SIZE_MAX / psz) {
        errno = ENOMEM;
        return nullptr;
    }
    auto *p = static_cast<unsigned char *>(lib_realloc(ptr, psz * newsz));
    if (p && newsz > oldsz)
        std::memset(p + psz * oldsz, 0, psz * (newsz - oldsz));
    return p;
}

void alloc_fault::set(alloc_site s, std::size_t i)
{
    if (site != alloc_site::none)
        return;
    site = s;
    index = i;
    errnum = errno;
}

} // namespace mtrx_detail
