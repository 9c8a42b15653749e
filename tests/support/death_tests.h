// For death tests, whose code ends the process on purpose.
#ifndef QUENDLE_TESTS_SUPPORT_DEATH_TESTS_H
#define QUENDLE_TESTS_SUPPORT_DEATH_TESTS_H

#if defined(__SANITIZE_ADDRESS__)
#define QUENDLE_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENDLE_LSAN 1
#endif
#endif
#ifdef QUENDLE_LSAN
#include <sanitizer/lsan_interface.h>
#endif

// First statement of a death test: what is still allocated when the process
// ends is not a leak, so LeakSanitizer (in the sanitizer build) is told to
// look away.
inline void ends_process_on_purpose()
{
#ifdef QUENDLE_LSAN
    __lsan_disable();
#endif
}

#endif
