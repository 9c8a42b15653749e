// What a call writes on stdout and stderr, and streams holding a text for
// the readers.
#ifndef QUENDLE_TESTS_SUPPORT_STREAMS_H
#define QUENDLE_TESTS_SUPPORT_STREAMS_H

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#endif

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

// A temporary file open for reading and writing, removed when closed.
// msvcrt's tmpfile() takes a name that another process can take in the
// same millisecond (it creates the file, deletes it, then opens the name
// again), so under parallel tests it may return null; on Windows the name
// holds the process id and a count instead, and is created exclusively.
inline FILE *temporary_file()
{
#ifdef _WIN32
    static std::atomic<unsigned> count = 0;
    const char *tmp = std::getenv("TEMP");
    const std::string dir = tmp && *tmp ? std::string(tmp) + "\\" : std::string(".\\");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = dir + "quendle-test-" + std::to_string(_getpid()) + "-" +
                                 std::to_string(++count) + ".tmp";
        const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY,
                             _S_IREAD | _S_IWRITE);
        if (fd >= 0)
            return _fdopen(fd, "w+b");
    }
    return nullptr;
#else
    return std::tmpfile();
#endif
}

// A stream holding `text`, read from the start.
inline FILE *stream_of(const std::string &text)
{
    FILE *fp = temporary_file();
    if (!fp) {
        ADD_FAILURE() << "no temporary file";
        std::abort();
    }
    std::fwrite(text.data(), 1, text.size(), fp);
    std::rewind(fp);
    return fp;
}

#endif
