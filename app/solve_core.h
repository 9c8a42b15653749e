// The Solve command's text processing, shared by the window and the console
// tool: find the augmented matrix in a text, solve it, and say what to append.
#ifndef QUENDLE_SOLVE_CORE_H
#define QUENDLE_SOLVE_CORE_H

#include <cstddef>
#include <string>
#include <vector>

#include <mtrx/mtrx.h>

namespace quendle {

struct solve_outcome {
    std::string report;     // what to append to the text, always non-empty
    bool solved;            // a "Solution Vector:" report (else one error line)
    std::vector<double> x;  // the solution, when solved
    mtrx_solve_info info{}; // how far it can be trusted, when solved
};

// Finds where the matrix begins (the first digit, or a sign or point that
// starts a number), reads one row per line from there to the end, and solves
// the n x (n + 1) system by Gauss-Jordan elimination with full pivoting (or
// as `flags` of mtrx_solve_checked ask: refined, or by cofactors).
// The report is "\r\n\r\nSolution Vector:\r\n\r\n" and one line
// " x[%3u] : % 11.7f\r\n" per unknown, followed, when the matrix is close to
// singular (rcond below DBL_EPSILON), by "\r\n WARNING: <warning_text>\r\n";
// or it is "\r\n\r\n ERROR: <why>\r\n".
// Never ends the process and writes on no stream; each error line is the
// library's own sentence for the failure (mtrx_error's message), exhausted
// memory giving "Out of memory.".
// Characters that cannot start a number (bytes of 0x80 and above, '\0')
// are passed over.
// `text` holds `len` bytes (no terminator needed).
solve_outcome solve_text(const char *text, std::size_t len, unsigned flags = 0);
inline solve_outcome solve_text(const std::string &text, unsigned flags = 0)
{
    return solve_text(text.c_str(), text.size(), flags);
}

// "Matrix is close to singular (rcond = 2.6e-17); the solution may be
// inaccurate.", rcond as C's "%.1e" with (at least) two exponent digits
// on every platform.
std::string warning_text(double rcond);

// `v` as C's "%.<digits>e" with at least two exponent digits and no more
// than it needs (the Windows C runtime may write three).
std::string exponent_form(double v, int digits);

} // namespace quendle

#endif
