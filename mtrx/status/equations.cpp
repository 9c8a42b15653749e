// Equations as statuses: mtrx_find_equations (whether a text is equations,
// and why not) and mtrx_parse_equations, with the line, the byte and the
// part quoted of a line that does not read.
#include <mtrx/mtrx.h>

#include "core/read/equations.h"
#include "status.h"

using namespace mtrx_detail;

namespace {

// The most bytes of a line a message quotes.
constexpr std::size_t quote_most = 24;

// What the line that decided against equations does wrong.
const char *not_equations_reason(not_equations why)
{
    if (why == not_equations::nothing_left)
        return "has nothing before its '='";
    if (why == not_equations::nothing_right)
        return "has nothing after its '='";
    if (why == not_equations::no_name)
        return "names no unknown";
    return "holds no '='"; // a later line, or none
}

mtrx_status not_equations_error(const equations_start &s, mtrx_error *err)
{
    if (s.why == not_equations::no_equals)
        return set_error_msg(err, MTRX_EEMPTY, 0, 0, 0,
                             "Not read as equations: no line holds '='.");
    set_error_msg(err, MTRX_EEMPTY, 0, 0, 0, "Not read as equations: line %zu %s.", s.line,
                  not_equations_reason(s.why));
    if (err)
        err->line = s.line;
    return MTRX_EEMPTY;
}

mtrx_status equation_error(const equation_failure &f, mtrx_error *err)
{
    char quote[quote_most + 4];
    quote_excerpt(f.excerpt, f.excerpt_len, quote_most, quote);
    mtrx_status st = MTRX_ESYNTAX;
    const char *why = "";
    switch (f.fault) {
    case equation_fault::no_memory:
        return set_error(err, MTRX_ENOMEM);
    case equation_fault::not_equations:
        return not_equations_error(f.start, err);
    case equation_fault::nothing_left:
    case equation_fault::nothing_right:
        set_error_msg(err, st, f.row, 0, 0, "Invalid Equation: line %zu: nothing on the %s of '='.",
                      f.line, f.fault == equation_fault::nothing_left ? "left" : "right");
        break;
    case equation_fault::second_equals:
        why = " (a second '=')";
        break;
    case equation_fault::zero_division:
        why = " (a division by zero)";
        break;
    case equation_fault::out_of_range:
        st = MTRX_ERANGE;
        why = " (out of range)";
        break;
    case equation_fault::unreadable:
    case equation_fault::none:
        break;
    }
    if (f.fault != equation_fault::nothing_left && f.fault != equation_fault::nothing_right)
        set_error_msg(err, st, f.row, 0, 0, "Invalid Equation: line %zu: cannot read '%s'%s.",
                      f.line, quote, why);
    if (err) {
        err->line = f.line;
        err->column = f.column;
    }
    return st;
}

} // namespace

extern "C" mtrx_status mtrx_find_equations(const char *text, size_t len, size_t *offset,
                                           mtrx_error *err)
{
    if (const mtrx_status bad = check_text(text, len, offset, err); bad != MTRX_OK) {
        if (offset)
            *offset = 0;
        return bad;
    }
    const equations_start s = find_equations(text ? text : "", len);
    *offset = s.offset;
    if (s.why != not_equations::none)
        return not_equations_error(s, err);
    return set_error(err, MTRX_OK);
}

extern "C" mtrx_status mtrx_parse_equations(const char *text, size_t len, mtrx_t **out,
                                            char ***names, mtrx_error *err)
{
    if (out)
        *out = nullptr;
    if (names)
        *names = nullptr;
    if (const mtrx_status bad = check_text(text, len, out && names ? out : nullptr, err);
        bad != MTRX_OK)
        return bad;
    equation_failure why;
    *out = read_equations(text ? text : "", len, names, why);
    if (!*out)
        return equation_error(why, err);
    return set_error(err, MTRX_OK);
}
