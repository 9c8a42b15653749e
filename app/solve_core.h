// The Solve command's text processing, shared by the window and the console
// tool: find the augmented matrix in a text, solve it, and say what to write
// after the user's text.
#ifndef QUENDLE_SOLVE_CORE_H
#define QUENDLE_SOLVE_CORE_H

#include <cstddef>
#include <string>
#include <vector>

#include <mtrx/mtrx.h>

namespace quendle {

struct solve_outcome {
    std::string report;     // what follows the kept text, always non-empty
    bool solved = false;    // a "Solution Vector:" report (else one error line)
    std::vector<double> x;  // the solution, when solved
    mtrx_solve_info info{}; // how far it can be trusted, when solved
    std::size_t kept = 0;   // the text's first bytes, which stay: all of them, or
                            // those before the report this program wrote at its
                            // end (report_start), which `report` replaces
};

// Reads the text before any report of this program's at its end
// (report_start), finds where the matrix begins (the first digit, or a sign
// or point that starts a number), reads one row per line from there, and
// solves the n x (n + 1) system by Gauss-Jordan elimination with full
// pivoting (or as `flags` of mtrx_solve_checked ask: refined, or by
// cofactors).
// The report is "\r\n\r\nSolution Vector:\r\n\r\n" and one line
// " x[%3u] : % 11.7f\r\n" per unknown, followed, when the matrix is close to
// singular (rcond below DBL_EPSILON), by "\r\n WARNING: <warning_text>\r\n";
// or it is "\r\n\r\n ERROR: <why>\r\n". Where `why` names a place it names
// the line as an editor counts it (line 1 is the text's first line, a
// heading's included), and says so when that line looks like part of an
// earlier report; the other failures are the library's sentences, exhausted
// memory giving "Out of memory.".
// Never ends the process and writes on no stream. Characters that cannot
// start a number (bytes of 0x80 and above, '\0') are passed over.
// `text` holds `len` bytes (no terminator needed).
solve_outcome solve_text(const char *text, std::size_t len, unsigned flags = 0);
inline solve_outcome solve_text(const std::string &text, unsigned flags = 0)
{
    return solve_text(text.c_str(), text.size(), flags);
}

// Where a report this program writes begins at the end of the `len` bytes
// at `text`, or `len` when the text does not end in one. A report is
// recognised only in the exact shape solve_text writes it (and a
// "Solution Vector:" block also with diagnostics_text after it), followed by
// nothing but line ends; anything else is the user's text.
std::size_t report_start(const char *text, std::size_t len);

// "Matrix is close to singular (rcond = 2.6e-17); the solution may be
// inaccurate.", rcond as C's "%.1e" with (at least) two exponent digits
// on every platform.
std::string warning_text(double rcond);

// How far a solution can be trusted, in the report's style: an empty line,
// "Diagnostics:", an empty line, then rcond, the backward and forward errors
// (exponent_form with 2 digits) and the refinement steps, a line each.
std::string diagnostics_text(const mtrx_solve_info &info);

// `v` as C's "%.<digits>e" with at least two exponent digits and no more
// than it needs (the Windows C runtime may write three).
std::string exponent_form(double v, int digits);

} // namespace quendle

#endif
