// The report texts for the systems the Solve core answers beyond the square
// regular one: the solution lines with the unknowns' own names, and the
// general solution of a system with infinitely many solutions; and the
// readers that recognise exactly those texts, so that Solve can replace a
// report it wrote earlier. CR LF line ends, as every report.
#ifndef QUENDLE_REPORT_TEXT_H
#define QUENDLE_REPORT_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <mtrx/mtrx.h>

namespace quendle {

// How the two reports open.
constexpr std::string_view solution_heading = "\r\n\r\nSolution Vector:\r\n\r\n";
constexpr std::string_view general_heading = "\r\n\r\nGeneral Solution:\r\n\r\n";

// The n unknowns as the reports name them: "x[%3u]" (" x[  0]" in a line;
// from x[1000] on the index takes the room it needs), or with `names` (n
// UTF-8 strings, as mtrx_parse_equations gives them) the names, each padded
// with blanks to the longest (counted in characters, combining accents
// taking no room).
std::vector<std::string> unknown_labels(std::size_t n, const char *const *names = nullptr);

// solution_heading and one line " <label> : % 11.7f\r\n" per unknown;
// without names the bytes of the Solve core's report.
std::string solution_report(const double *x, std::size_t n, const char *const *names = nullptr);

// general_heading and one line per unknown, in order:
//   " <label> : % 11.7f" the particular value, then " + %.7f <name>" or
//   " - %.7f <name>" for each free unknown whose coefficient is not zero,
//   "\r\n"; a free unknown as " <label> :        free\r\n" ("free" where
// the value stands). The coefficients are g's null-space vectors: with
// every free unknown t, x = particular + sum of t * vector.
std::string general_solution_report(const mtrx_general_solution &g,
                                    const char *const *names = nullptr);

// Takes a line that holds no line end, and its "\r\n", off the front of
// `rest` into `line`; false, leaving `rest`, where there is none.
bool take_line(std::string_view &rest, std::string_view &line);

// Take the lines that follow solution_heading (take_solution_lines) or
// general_heading (take_general_lines) off the front of `rest`, when they
// stand there exactly as the functions above write them for some values and
// some unknowns (x[i] or names an equation can have); otherwise false, and
// `rest` as it was. The lines are taken as far as they go: what follows
// them is the caller's to judge.
bool take_solution_lines(std::string_view &rest);
bool take_general_lines(std::string_view &rest);

} // namespace quendle

#endif
