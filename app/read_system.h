// The system a text holds, as the Solve core reads it: linear equations as
// people type them ("2x + 3y = 8", one per line), or else an augmented
// matrix, one equation per line, below a heading.
#ifndef QUENDLE_READ_SYSTEM_H
#define QUENDLE_READ_SYSTEM_H

#include <memory>
#include <string>
#include <string_view>

#include <mtrx/mtrx.h>

namespace quendle {

struct record_deleter {
    void operator()(mtrx_t *m) const { mtrx_free(m); }
};
struct names_deleter {
    void operator()(char **names) const { mtrx_names_free(names); }
};

struct system_read {
    std::unique_ptr<mtrx_t, record_deleter> m; // m rows of n + 1 values (n >= 1, any m)
    std::unique_ptr<char *, names_deleter> names; // the n unknowns' names, for equations
    std::string error; // why there is no system (the error line's sentence), when m is null
};

// Equations when mtrx_find_equations takes the text, read whole by
// mtrx_parse_equations; otherwise the matrix from its first number on
// (mtrx_find_matrix), one row per line, each row of one length, at least
// two values. Lines at the start of the matrix that hold a letter and fewer
// numbers than the line after them ("System 1:", "order 12") belong to the
// heading above it. Failures name lines as an editor counts them (line 1 is
// the text's first, a heading's included), say when the line looks like part
// of an earlier report, and for a text that holds '=' without being
// equations, why it was not read as equations. Exhausted memory throws
// std::bad_alloc.
system_read read_system(std::string_view text);

} // namespace quendle

#endif
