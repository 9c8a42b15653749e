// The Solve command's text processing, shared by the window and the console
// tool: find the system in a text (equations or an augmented matrix), solve
// it, and say what to write after the user's text.
#ifndef QUENDLE_SOLVE_CORE_H
#define QUENDLE_SOLVE_CORE_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <mtrx/mtrx.h>

namespace quendle {

// How a system answered from its reduced row echelon form came out: the
// rank of A and the two tolerances of mtrx_solve_general.
struct reduction {
    std::size_t rank = 0;
    double tolerance = 0;           // A's pivots at most this count as zero
    double constants_tolerance = 0; // and then constants at most this
};

struct solve_outcome {
    std::string report;     // what follows the kept text, always non-empty
    bool solved = false;    // one solution: a "Solution Vector:" report
    bool general = false;   // infinitely many: a "General Solution:" report
                            // (neither: one error line)
    std::vector<double> x;  // the solution when solved; when general, the
                            // particular solution (every free unknown 0)
    mtrx_solve_info info{}; // how far it can be trusted, when solved as a
                            // square regular system
    std::optional<reduction> reduced; // set when the answer came from the
                            // reduced row echelon form instead (a square
                            // system found singular, or m != n)
    std::size_t kept = 0;   // the text's first bytes, which stay: all of them, or
                            // those before the report this program wrote at its
                            // end (report_start), which `report` replaces
};

// Reads the system in the text before any report of this program's at its
// end (report_start): equations such as "2x + 3y = 8", one per line, or else
// an augmented matrix of m rows of n + 1 values, one row per line, below a
// heading (read_system.h). A square system is solved by Gauss-Jordan
// elimination with full pivoting (or as `flags` of mtrx_solve_checked ask:
// refined, or by cofactors); one found singular, and any system with m != n,
// by mtrx_solve_general from the reduced row echelon form of [A b].
// The report is
//  - one solution: solution_report (report_text.h), its unknowns x[i] or the
//    equations' names, followed, when a square system is close to singular
//    (rcond below DBL_EPSILON), by "\r\n WARNING: <warning_text>\r\n";
//  - infinitely many: general_solution_report;
//  - none, or a failure: "\r\n\r\n ERROR: <why>\r\n"; inconsistent
//    equations are "No Solution - the equations are inconsistent (rank R;
//    R + 1 with the constants).". Where `why` names a place it names the line
//    as an editor counts it (line 1 is the text's first line, a heading's
//    included), and says so when that line looks like part of an earlier
//    report; exhausted memory gives "Out of memory.", and a general solution
//    too large to write (more than max_listed_coefficients unknowns times
//    free unknowns, as m < n may bring) an error line that says so.
// Never ends the process and writes on no stream. In a matrix, characters
// that cannot start a number (bytes of 0x80 and above, '\0') are passed over,
// but for U+2212 MINUS SIGN before a digit or a point, which is a '-'.
// `text` holds `len` bytes (no terminator needed).
solve_outcome solve_text(const char *text, std::size_t len, unsigned flags = 0);
inline solve_outcome solve_text(const std::string &text, unsigned flags = 0)
{
    return solve_text(text.c_str(), text.size(), flags);
}

// The most unknowns times free unknowns a general solution is written for:
// 2^24, 128 MiB of null-space vectors.
constexpr std::size_t max_listed_coefficients = std::size_t{1} << 24;

// Where a report this program writes begins at the end of the `len` bytes
// at `text`, or `len` when the text does not end in one. A report is
// recognised only in the exact shape solve_text writes it (a solution, a
// general solution or an error line; after a solution or a general solution
// also the diagnostics quendle-solve --check adds, diagnostics_text or
// reduction_text), followed by nothing but line ends; anything else is the
// user's text.
std::size_t report_start(const char *text, std::size_t len);

// "Matrix is close to singular (rcond = 2.6e-17); the solution may be
// inaccurate.", rcond as C's "%.1e" with (at least) two exponent digits
// on every platform.
std::string warning_text(double rcond);

// How far a solution can be trusted, in the report's style: an empty line,
// "Diagnostics:", an empty line, then rcond, the backward and forward errors
// (exponent_form with 2 digits) and the refinement steps, a line each.
std::string diagnostics_text(const mtrx_solve_info &info);

// The diagnostics of an answer from the reduced row echelon form, in the
// same style: an empty line, "Diagnostics:", an empty line, then the rank
// and the two tolerances (exponent_form with 2 digits), a line each.
std::string reduction_text(const reduction &r);

// `v` as C's "%.<digits>e" with at least two exponent digits and no more
// than it needs (the Windows C runtime may write three).
std::string exponent_form(double v, int digits);

} // namespace quendle

#endif
