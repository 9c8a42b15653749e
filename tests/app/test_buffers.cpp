// The programs' buffer helpers (app/buf.h): resizing copies what fits and
// zero-fills the rest, doubling keeps the contents, and exhausted memory
// throws.
#include <cstdint>
#include <cstring>
#include <new>

#include <gtest/gtest.h>

#include "buf.h"

TEST(Buffers, ResizeCopiesAndZeroFills)
{
    auto *p = static_cast<char *>(quendle::buf_resize(nullptr, 1, 0, 4));
    EXPECT_EQ(std::memcmp(p, "\0\0\0\0", 4), 0);
    std::memcpy(p, "abcd", 4);
    p = static_cast<char *>(quendle::buf_resize(p, 1, 4, 6));
    EXPECT_EQ(std::memcmp(p, "abcd\0\0", 6), 0);
    p = static_cast<char *>(quendle::buf_resize(p, 1, 6, 2));
    EXPECT_EQ(std::memcmp(p, "ab", 2), 0);

    auto *w = static_cast<wchar_t *>(quendle::buf_resize(p, 2, 1, 3)); // 2-byte elements
    EXPECT_EQ(std::memcmp(w, "ab\0\0\0\0", 6), 0);
    size_t n = 3;
    w = static_cast<wchar_t *>(quendle::buf_double(w, 2, &n));
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::memcmp(w, "ab\0\0\0\0\0\0\0\0\0\0", 12), 0);
    quendle::buf_free(w);

    size_t huge = SIZE_MAX / 2 + 1;
    EXPECT_THROW(quendle::buf_double(nullptr, 1, &huge), std::bad_alloc);
}
