// The number scanner every reader shares: where a number starts, how it is
// converted, and the line parser built on the two.
#ifndef MTRX_CORE_SCAN_H
#define MTRX_CORE_SCAN_H

#include <cstddef>

#include "core/base/alloc.h"

namespace mtrx_detail {

// The character classes of numbers, in the "C" locale whatever the process's.
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_sign(char c) { return c == '+' || c == '-'; }

// Two rules for where a number starts. Both accept a decimal digit.
//  loose:  '+', '-' or '.' followed by '.' or a digit (the line parser's rule;
//          a start may then convert nothing, as at "..5");
//  strict: '+', '-' or '.' followed by a digit, or '+'/'-' followed by '.'
//          and a digit (every such start converts).
// Under both, U+2212 MINUS SIGN (its three UTF-8 bytes) is a '-': text
// copied from typeset pages writes negative numbers with it.
enum class start_rule { loose, strict };

// The first number start in [p, end), or `end` when there is none.
const char *next_number(const char *p, const char *end, start_rule rule);

// Whether [p, end) begins with U+2212 in UTF-8.
bool is_unicode_minus(const char *p, const char *end);

struct conversion {
    double value;
    const char *end;  // == the start when nothing was converted
    bool range_error; // strtod set errno (overflow or underflow)
};

// Converts the number at `p` as strtod does in the "C" locale, with errno
// cleared first: the same value, end and errno. U+2212 is read as '-' where
// it begins the number and, given `end`, where it signs the exponent. The text must be terminated
// (by '\0' or any character that cannot continue a number) somewhere after
// `p`. Given `end`, the number is known to stop before `end` and nothing
// past `end` is read; the conversion is then faster.
conversion convert_number(const char *p, const char *end = nullptr);

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

// The numbers of [begin, end) by the loose start rule, in order, in a new
// array sized to fit (its first size *n, 8 for 0, doubling as needed); *n
// becomes their count. Null when the line yields none, or when memory runs
// out (fault: parsed_row for the first array, growth for its resizing; the
// array is then released). A start that converts nothing (no_digits) or a
// value out of range ends the line there, as *stop says; the numbers before
// it are kept, and *stop_at (when given) is where that number starts. No
// number may run past `end`: the byte there, or the last one before it, must
// be one that cannot continue a number.
double *parse_row(const char *begin, const char *end, std::size_t *n, scan_stop &stop,
                  alloc_fault &fault, const char **stop_at = nullptr);

} // namespace mtrx_detail

#endif
