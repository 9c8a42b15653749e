// Machinery shared inside the library and with the Solve core; not installed.
#ifndef MTRX_INTERNAL_H
#define MTRX_INTERNAL_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "mtrx.h"
#include "core/adjugate.h"
#include "core/alloc.h"
#include "core/gj.h"
#include "core/product.h"


namespace mtrx_detail {

// perror("realloc(): virtual memory exhausted.") and exit(1).
[[noreturn]] void die_exhausted();

// ---- Messages and statuses ---------------------------------------------------

// Every message of the natural functions goes through say, say_perror (on
// stderr) and say_out (on stdout). While a quiet_scope lives, these drop what
// its own thread says: each status function holds one for its call, so that
// it runs the same code as the natural functions and writes nothing. (Nothing
// outlives the call, and other threads go on speaking.)
class quiet_scope {
public:
    quiet_scope();
    ~quiet_scope();
    quiet_scope(const quiet_scope &) = delete;
    quiet_scope &operator=(const quiet_scope &) = delete;
};

#if defined(__MINGW32__)
#define MTRX_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define MTRX_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#endif
void say(const char *fmt, ...) MTRX_PRINTF_LIKE(1, 2);
void say_perror(const char *label);
void say_out(const char *fmt, ...) MTRX_PRINTF_LIKE(1, 2);

// Fills *err (when err is not null) with `st`, the fields and the library's
// sentence for `st`, and returns `st`.
mtrx_status set_error(mtrx_error *err, mtrx_status st, std::size_t row = 0, std::size_t count = 0,
                      std::size_t expected = 0);
// The same with a sentence of the caller's.
mtrx_status set_error_msg(mtrx_error *err, mtrx_status st, std::size_t row, std::size_t count,
                          std::size_t expected, const char *fmt, ...) MTRX_PRINTF_LIKE(6, 7);
// The solvers' arguments: clears *x (x may be null) and gives MTRX_OK, err
// untouched, when m is an augmented n x (n + 1) system; otherwise
// MTRX_EINVAL with its sentence.
mtrx_status check_system(const mtrx_t *m, double **x, mtrx_error *err);

// ---- Number scanning -------------------------------------------------------

// Two rules for where a number starts. Both accept a decimal digit.
//  loose:  '+', '-' or '.' followed by '.' or a digit (the line parser's rule;
//          a start may then convert nothing, as at "..5");
//  strict: '+', '-' or '.' followed by a digit, or '+'/'-' followed by '.'
//          and a digit (every such start converts).
enum class start_rule { loose, strict };

// The first number start in [p, end), or `end` when there is none.
const char *next_number(const char *p, const char *end, start_rule rule);

struct conversion {
    double value;
    const char *end;  // == the start when nothing was converted
    bool range_error; // strtod set errno (overflow or underflow)
};

// Converts the number at `p` as strtod does in the "C" locale, with errno
// cleared first: the same value, end and errno. The text must be terminated
// (by '\0' or any character that cannot continue a number) somewhere after
// `p`. Given `end`, the number is known to stop before `end` and nothing
// past `end` is read; the conversion is then faster.
conversion convert_number(const char *p, const char *end = nullptr);

// ---- Line parsing and the row-pointer readers ------------------------------

// What a reader does when the input fails it.
enum class on_failure {
    exit,  // the natural readers: message and exit(1), or the documented lenience
    report // the status layer: release everything and say why
};

// Why the line parser (or scan_values) stopped before the end of its line.
enum class scan_stop { none, no_digits, out_of_range, full };

// The numbers of [p, end) by the strict start rule, converted into
// out[0..room): the preallocated stream reader's loop. Stops at the end of
// the text (none); at a number strtod reports out of range (out_of_range,
// `p` at that number); or at a number that has no room left (full: the number
// is in `pending` and `p` past it). A start that converts nothing, possible
// only in a foreign numeric locale, is passed over.
struct scan_result {
    const char *p;
    std::size_t count; // values stored in out
    scan_stop stop;
    double pending;
};
scan_result scan_values(const char *p, const char *end, double *out, std::size_t room);

// row_parse over [begin, end): returns the new array or null; *n as in
// row_parse. In `report` mode exhausted memory (the final shrink included)
// sets *nomem and returns null. When `stop` is given it tells whether a
// failed conversion ended the line. No number may run past `end`: the byte
// there, or the last one before it, must be one that cannot continue a number.
double *parse_row(const char *begin, const char *end, std::size_t *n, on_failure mode,
                  bool *nomem, scan_stop *stop = nullptr);

// What the rows read must make up (the status layer's readers check it).
enum class shape_rule { any, rectangular, system };

// The row-pointer readers. In `exit` mode they are mtrx_read_str (the text
// reader) and mtrx_read_file_ptrs (the stream reader): a bad number ends its
// line with a message, a row of another length is kept with a message, a
// line without a number or exhausted memory ends the process, and only an
// empty input (MTRX_EEMPTY) or a record that cannot be made (MTRX_ENOMEM)
// comes back as a failure. In `report` mode they are the status layer's
// readers: blank lines are passed over wherever they stand, and every one of
// those conditions fails the read, `shape` included. *out is the record on
// MTRX_OK and null otherwise; err may be null.
//
// The text is `len` bytes; when `terminated`, text[len] exists and is a byte
// that cannot continue a number (as '\0').
mtrx_status read_text(const char *text, std::size_t len, bool terminated, on_failure mode,
                      shape_rule shape, mtrx_t **out, mtrx_error *err);
mtrx_status read_stream(FILE *fp, on_failure mode, shape_rule shape, mtrx_t **out,
                        mtrx_error *err);

// ---- Stream input ------------------------------------------------------------

// The lines of a stream, whatever their length. The stream is read in large
// blocks (a line at a time through the C library's small buffer costs a
// system call every few kilobytes), so a reader that stops early leaves the
// stream read beyond the line it stopped at.
class line_reader {
public:
    // `block`: bytes asked of fread at a time (small ones for tests). With
    // `seam`, the buffer comes through lib_realloc, so that the allocation
    // seam reaches it; the natural readers keep theirs outside the seam,
    // whose counts are those of the records alone.
    explicit line_reader(FILE *fp, std::size_t block = 1 << 16, bool seam = false)
        : fp_(fp), block_(block), seam_(seam)
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

private:
    FILE *fp_;
    std::size_t block_;
    bool seam_;
    char *buf_ = nullptr;     // from realloc
    std::size_t cap_ = 0;     // bytes in buf_, one kept for the '\0'
    std::size_t pos_ = 0;     // start of the next line
    std::size_t len_ = 0;     // bytes read into buf_
    std::size_t scanned_ = 0; // [pos_, scanned_) holds no '\n'
    bool done_ = false;       // end of the stream or a read error seen
};

// ---- Bare arrays -------------------------------------------------------------

// A new rows x cols array from arr2d_calloc with element [i][j] set to
// f(i, j), row by row; null when arr2d_calloc fails (it reports why).
template <class F> double **arr2d_filled(std::size_t rows, std::size_t cols, F f)
{
    double **r = arr2d_calloc(rows, cols);
    if (!r)
        return nullptr;
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < cols; ++j)
            r[i][j] = f(i, j);
    return r;
}

} // namespace mtrx_detail

#endif
