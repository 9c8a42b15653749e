// Allocation for the library: the testing seam, the process-ending resize
// family (xrealloc_*) and the non-ending resize they are built on.
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace {
// (atomic: programs may call the library from several threads at once)
std::atomic<long> fail_at{0};  // request number that fails; 0: none
std::atomic<long> requests{0}; // requests since the seam was last set

bool seam_fails()
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
    if (seam_fails())
        return nullptr;
    return std::calloc(n, size);
}

void *lib_realloc(void *ptr, std::size_t bytes)
{
    if (seam_fails())
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

void die_exhausted()
{
    std::perror("realloc(): virtual memory exhausted.");
    std::exit(1);
}

} // namespace mtrx_detail

using namespace mtrx_detail;

extern "C" void *xrealloc_zero(void *ptr, size_t psz, size_t oldsz, size_t newsz)
{
    void *p = try_resize(ptr, psz, oldsz, newsz);
    if (!p)
        die_exhausted();
    return p;
}

extern "C" void *xrealloc_add(void *ptr, size_t psz, size_t *nelem, size_t inc)
{
    if (inc > SIZE_MAX - *nelem) {
        errno = ENOMEM;
        die_exhausted();
    }
    void *p = xrealloc_zero(ptr, psz, *nelem, *nelem + inc);
    *nelem += inc;
    return p;
}

extern "C" void *xrealloc_double(void *ptr, size_t psz, size_t *nelem)
{
    if (*nelem > SIZE_MAX / 2) {
        errno = ENOMEM;
        die_exhausted();
    }
    void *p = xrealloc_zero(ptr, psz, *nelem, *nelem * 2);
    *nelem *= 2;
    return p;
}
