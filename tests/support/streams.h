// What a call writes on stdout and stderr, and streams holding a text for
// the readers.
#ifndef QUENDLE_TESTS_SUPPORT_STREAMS_H
#define QUENDLE_TESTS_SUPPORT_STREAMS_H

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

// Everything `f` writes to stderr.
template <class F> std::string stderr_of(F &&f)
{
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// Everything `f` writes to stdout.
template <class F> std::string stdout_of(F &&f)
{
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

// What `f` writes on each stream.
struct Written {
    std::string out, err;
    bool operator==(const Written &) const = default;
};

inline void PrintTo(const Written &w, std::ostream *os)
{
    *os << "stdout " << testing::PrintToString(w.out) << ", stderr " << testing::PrintToString(w.err);
}

template <class F> Written written_by(F &&f)
{
    Written w;
    w.err = stderr_of([&] { w.out = stdout_of(f); });
    return w;
}

// Everything `f` writes to stdout, then everything it writes to stderr.
template <class F> std::string output_of(F &&f)
{
    const Written w = written_by(f);
    return w.out + w.err;
}

// A stream holding `text`, read from the start.
inline FILE *stream_of(const std::string &text)
{
    FILE *fp = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), fp);
    std::rewind(fp);
    return fp;
}

#endif
