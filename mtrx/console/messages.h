// Everything the console functions say, and the ways they end the process.
// Diagnostics go to stderr, each "%s() error: " message with the name slot
// filled by "<unknown>"; the cofactor solver's verdicts go to stdout.
#ifndef MTRX_CONSOLE_MESSAGES_H
#define MTRX_CONSOLE_MESSAGES_H

#include <cstddef>

#include "core/base/alloc.h"
#include "core/read/scan.h"

namespace mtrx_console {

// The message of the allocation that failed (nothing for none).
void tell(const mtrx_detail::alloc_fault &fault);
// Calls make(fault), which returns a result and records in `fault` any
// allocation that failed; tells that failure, then returns the result.
template <class Make> auto told(Make make)
{
    mtrx_detail::alloc_fault fault;
    auto made = make(fault);
    tell(fault);
    return made;
}
// Tells the failure as tell() does, then exit(1).
[[noreturn]] void die(const mtrx_detail::alloc_fault &fault);
// perror("realloc(): virtual memory exhausted.") with errno as it is, then
// exit(1): exhausted memory while an array grows.
[[noreturn]] void die_exhausted();

// ---- Storage
void null_record();                     // a null record given to grow
[[noreturn]] void rows_not_grown();     // mtrx_grow could not add rows
[[noreturn]] void row_not_grown(std::size_t row);
void vector_not_made();                 // vect_calloc

// ---- Readers
void bad_number(mtrx_detail::scan_stop stop); // the line parser's stop, if any
[[noreturn]] void no_values(std::size_t row, std::size_t col);
void column_mismatch(std::size_t row);
void failed_conversion(std::size_t row, std::size_t col);

// ---- Gauss-Jordan
void singular();
void elimination_out_of_memory();
void too_narrow();          // a record with cols <= rows to solve
void solution_not_made();   // mtrx_solution's vector

// ---- Arithmetic
void unequal_dimensions(std::size_t ar, std::size_t ac, std::size_t br, std::size_t bc,
                        bool product);

// ---- Cofactor solver
void not_square(std::size_t rows, std::size_t cols);
void constants_not_made(); // the augmented solver's copy of b
void infinite_solutions();
void no_solution();
void trivial_solution();

// ---- Printing
void not_a_system();
void no_square_part();

} // namespace mtrx_console

#endif
