// The lines of a stream and of a text, for the readers.
#ifndef MTRX_CORE_LINES_H
#define MTRX_CORE_LINES_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace mtrx_detail {

// The lines of a stream, whatever their length. The stream is read in large
// blocks (a line at a time through the C library's small buffer costs a
// system call every few kilobytes), so a reader that stops early leaves the
// stream read beyond the line it stopped at.
class line_reader {
public:
    // `block`: bytes asked of fread at a time (small ones for tests). With
    // `hooked`, the buffer comes through lib_realloc, so that the allocation
    // hook reaches it (the status readers); the natural readers keep theirs
    // outside it, so that their allocations are those of the record alone.
    explicit line_reader(FILE *fp, std::size_t block = 1 << 16, bool hooked = false)
        : fp_(fp), block_(block), hooked_(hooked)
    {
    }
    ~line_reader() { std::free(buf_); }
    line_reader(const line_reader &) = delete;
    line_reader &operator=(const line_reader &) = delete;

    // The next line in [begin, end), its '\n' included; a last line without
    // one is followed by '\0', so no number runs past a line. False at the end of the
    // stream (or on a read error) when nothing is left. Throws std::bad_alloc
    // when a line outgrows memory.
    bool next(const char *&begin, const char *&end);
    // The line next() gave last, counting from 1.
    std::size_t line() const { return line_; }

private:
    FILE *fp_;
    std::size_t block_;
    bool hooked_;
    char *buf_ = nullptr;     // from realloc
    std::size_t cap_ = 0;     // bytes in buf_, one kept for the '\0'
    std::size_t pos_ = 0;     // start of the next line
    std::size_t len_ = 0;     // bytes read into buf_
    std::size_t scanned_ = 0; // [pos_, scanned_) holds no '\n'
    bool done_ = false;       // end of the stream or a read error seen
    std::size_t line_ = 0;    // lines given so far
};

// Whitespace as the "C" locale's isspace sees it, whatever locale a caller set.
inline bool is_c_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The lines of the `len` bytes at `text`, each with the blank lines and
// whitespace after it: the text readers take a line, then pass over every
// blank that follows, and end at the text's end or at a line that begins
// with '\n' (which only the first can, and only when leading whitespace is
// not passed over). When `terminated`, text[len] exists and is a byte that
// cannot continue a number (as '\0'); otherwise a last line that could
// continue past the text's end is read from a copy that ends in '\0'.
class text_lines {
public:
    text_lines(const char *text, std::size_t len, bool terminated, bool skip_leading_space);
    ~text_lines() { std::free(copy_); }
    text_lines(const text_lines &) = delete;
    text_lines &operator=(const text_lines &) = delete;

    // The next line as [begin, end); false at the end, or when the copy of
    // the last line cannot be made (then out_of_memory() is true).
    bool next(const char *&begin, const char *&end);
    bool out_of_memory() const { return nomem_; }
    // The position of the line the last next() returned: line() is its
    // line number (from 1, blank lines counted), indent() how many bytes of
    // leading whitespace were passed over before its begin (0 when none).
    std::size_t line() const { return line_; }
    std::size_t indent() const { return indent_; }

private:
    // Passes over the whitespace at at_, counting the lines it ends.
    void pass_space();

    const char *text_;
    std::size_t len_;
    bool terminated_;
    std::size_t at_ = 0;
    std::size_t line_ = 0, indent_ = 0;
    std::size_t newlines_ = 0;   // '\n' bytes before at_
    std::size_t line_start_ = 0; // the start of the line at_ is in
    char *copy_ = nullptr; // the last line's copy, through lib_calloc
    bool nomem_ = false;
};

} // namespace mtrx_detail

#endif
