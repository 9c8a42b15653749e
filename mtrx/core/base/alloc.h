// Allocation for everything the library hands out or works in.
//
// Every request goes through lib_calloc or lib_realloc, so that one test
// hook reaches them all: mtrx_testing_fail_alloc(k) makes the k-th request
// from then on fail as if memory were exhausted. The hook costs one relaxed
// atomic increment per request; it is declared here and nowhere public, and
// a shared build does not export it (the tests link the static library).
#ifndef MTRX_CORE_ALLOC_H
#define MTRX_CORE_ALLOC_H

#include <cstddef>

extern "C" {
// The k-th allocation request the library makes from now on (k >= 1) fails
// as if memory were exhausted; k = 0 turns the hook off. Returns the number
// of requests made since the previous call.
long mtrx_testing_fail_alloc(long k);
}

namespace mtrx_detail {

void *lib_calloc(std::size_t n, std::size_t size);
// realloc, but a request for no bytes keeps a live block of one byte.
void *lib_realloc(void *ptr, std::size_t bytes);

// Resizes `ptr` to `newsz` elements of `psz` bytes, zeroing elements from
// `oldsz` on. Returns null and leaves `ptr` valid when memory is exhausted
// (or the byte count overflows), with errno set.
void *try_resize(void *ptr, std::size_t psz, std::size_t oldsz, std::size_t newsz);

// Where the first allocation that failed was made. The status functions
// report MTRX_ENOMEM whatever it was; the console functions say which it
// was, each site in words of its own (console/messages.cpp).
enum class alloc_site : unsigned char {
    none,
    record,         // an mtrx_t of the storage functions
    record_rows,    // the row-pointer array of a new row-pointer record
    array_rows,     // the row-pointer array of a bare array
    array_row,      // row `index` of a bare array
    result_record,  // the mtrx_t of an arithmetic result
    scratch,        // working storage of a solver step (adjugate, product by a vector)
    solution,       // the cofactor solver's solution vector
    parsed_row,     // the first array of a parsed line
    growth          // an array growing or shrinking to fit what was read
};

struct alloc_fault {
    alloc_site site = alloc_site::none;
    std::size_t index = 0;
    int errnum = 0; // errno as the failing request left it

    explicit operator bool() const { return site != alloc_site::none; }
    // Records the failure (errno now) at `s`; the first one recorded stands.
    void set(alloc_site s, std::size_t i = 0);
};

} // namespace mtrx_detail

#endif
