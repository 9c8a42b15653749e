// The report texts for the systems the Solve core answers beyond the square
// regular one: the solution lines with the unknowns' own names, and the
// general solution of a system with infinitely many solutions. Pure
// formatting of what the library returns; CR LF line ends, as every report.
#ifndef QUENDLE_REPORT_TEXT_H
#define QUENDLE_REPORT_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

#include <mtrx/mtrx.h>

namespace quendle {

// The n unknowns as the reports name them: "x[%3u]" (" x[  0]" in a line),
// or with `names` (n UTF-8 strings, as mtrx_parse_equations gives them) the
// names, each padded with blanks to the longest (counted in characters,
// combining accents taking no room).
std::vector<std::string> unknown_labels(std::size_t n, const char *const *names = nullptr);

// "\r\n\r\nSolution Vector:\r\n\r\n" and one line " <label> : % 11.7f\r\n"
// per unknown; without names the bytes of the Solve core's report.
std::string solution_report(const double *x, std::size_t n, const char *const *names = nullptr);

// "\r\n\r\nGeneral Solution:\r\n\r\n" and one line per unknown, in order:
//   " <label> : % 11.7f" the particular value, then " + %.7f <name>" or
//   " - %.7f <name>" for each free unknown whose coefficient is not zero,
//   "\r\n"; a free unknown as " <label> :        free\r\n" ("free" where
// the value stands). The coefficients are g's null-space vectors: with
// every free unknown t, x = particular + sum of t * vector.
std::string general_solution_report(const mtrx_general_solution &g,
                                    const char *const *names = nullptr);

} // namespace quendle

#endif
