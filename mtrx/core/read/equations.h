// Linear equations as people type them ("2x + 3y = 8"): where they begin in
// a text, and their reading into an augmented record and the unknowns'
// names. Nothing here says anything: a failure is data (the line, the byte,
// the part quoted), which the status layer words.
//
// The grammar, one equation per line (blank lines passed over):
//   equation := side '=' side
//   side     := [sign] term { sign [sign] term }
//   term     := [number ['/' number]] [['*'] name] ['/' number]   (a number or a name at least)
//   sign     := '+' | '-' | U+2212 | U+2013 between blanks
// Blanks may stand between any two of these. Numbers are decimal forms of
// the number scanner (scan.h) starting at a digit or at '.' before one; a
// name is a letter (ASCII, or a letter of the common scripts in UTF-8)
// followed by letters, digits, '_', combining accents and subscript digits.
#ifndef MTRX_CORE_EQUATIONS_H
#define MTRX_CORE_EQUATIONS_H

#include <cstddef>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"

namespace mtrx_detail {

// Why a text is not read as equations, and where it begins when it is.
enum class not_equations {
    none,          // it is: the equations begin at `offset`, on `line`
    no_equals,     // no line holds '='
    nothing_left,  // the first line holding '=' has nothing before it (`line`)
    nothing_right, // ... nothing after it (`line`)
    no_name,       // ... and no name (`line`)
    later_line     // a later non-blank line holds no '=' (`line`)
};

struct equations_start {
    not_equations why;
    std::size_t offset; // where the first equation's line begins (len when none)
    std::size_t line;   // the line concerned, from 1; 0 for no_equals
};

// A text is read as equations when its first line holding '=' has
// something on both sides of it and a name among them, and every later
// non-blank line holds '=' too. The lines above are its heading.
equations_start find_equations(const char *text, std::size_t len);

// What went wrong in reading an equation.
enum class equation_fault {
    none,
    unreadable,     // a part that no rule reads (`excerpt`)
    second_equals,  // a second '=' (`excerpt` from it)
    zero_division,  // a division by zero (`excerpt`: the term)
    out_of_range,   // a number, or a coefficient made of numbers, beyond a double (`excerpt`)
    nothing_left,   // nothing before the '='
    nothing_right,  // nothing after it
    not_equations,  // the text is not equations (`start.why`)
    no_memory
};

struct equation_failure {
    equation_fault fault = equation_fault::none;
    std::size_t row = 0;    // the equation (from 0)
    std::size_t line = 0;   // its line in the text (from 1)
    std::size_t column = 0; // the byte of that line where the fault starts (from 1)
    const char *excerpt = nullptr; // the part quoted, in the text
    std::size_t excerpt_len = 0;
    equations_start start{};
};

// The equations of the `len` bytes at `text` (a text find_equations takes
// for equations) as a tight m x (n + 1) record, the unknowns in the order
// they first appear, and their names in *names: one block of n + 1
// pointers (the last null) and the names' bytes, '\0'-ended, released with
// one free. Null (nothing left allocated, *names null) on a failure.
mtrx_t *read_equations(const char *text, std::size_t len, char ***names, equation_failure &why);

// The `len` bytes at `p` as they may be quoted in a message: whole UTF-8
// characters, every other byte and every control character as '?', cut
// after `most` bytes with "..." added. `out` holds most + 4 bytes; the
// quote ends in '\0'.
void quote_excerpt(const char *p, std::size_t len, std::size_t most, char *out);

} // namespace mtrx_detail

#endif
