// Replaces the global operator new of the window tests, so that a test can
// make large allocations fail (its own translation unit, so that the
// compiler does not pair the malloc below with the callers' deletes).
#include <cstdint>
#include <cstdlib>
#include <new>

#include "driver.h"

namespace {
std::size_t fail_from = SIZE_MAX;
}

void driver::fail_allocations_from(std::size_t bytes) { fail_from = bytes; }

void *operator new(std::size_t n)
{
    if (n >= fail_from)
        throw std::bad_alloc();
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
