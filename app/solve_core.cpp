#include "solve_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <new>
#include <span>
#include <string_view>

#include "format.h"
#include "read_system.h"
#include "report_text.h"

namespace quendle {

namespace {

// The pieces of a report, written by solve_text and recognised by
// report_start (the solution lines and the general solution's are
// report_text's).
constexpr std::string_view error_opening = "\r\n\r\n ERROR: ";
constexpr std::string_view warning_opening = "\r\n WARNING: ";
constexpr std::string_view line_end = "\r\n";
constexpr std::string_view diagnostics_opening = "\r\nDiagnostics:\r\n\r\n";
constexpr std::string_view diagnostics_labels[] = {" rcond            : ",
                                                   " backward error   : ",
                                                   " forward error    : ",
                                                   " refinement steps : "};
constexpr std::string_view reduction_labels[] = {" rank             : ",
                                                 " tolerance        : ",
                                                 " tolerance [A b]  : "};
// After the forward error where it bounds nothing (the matrix too
// ill-conditioned for a bound).
constexpr std::string_view untrusted_mark = " (untrusted)";

// ---- Recognising a report --------------------------------------------------

// Takes `s` off the front of `rest` when it stands there.
bool take(std::string_view &rest, std::string_view s)
{
    if (rest.substr(0, s.size()) != s)
        return false;
    rest.remove_prefix(s.size());
    return true;
}

// Whether `field` is exactly what `form` writes for the number it reads as.
template <class Form> bool written_as(std::string_view field, Form form)
{
    const std::string copy(field);
    char *end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    return !copy.empty() && *end == '\0' && form(v) == field;
}

// Whether `line` is the warning as warning_text words it for some rcond.
bool warning_line(std::string_view line)
{
    constexpr std::string_view key = "(rcond = ";
    const std::size_t from = line.find(key);
    if (from == std::string_view::npos)
        return false;
    const std::size_t b = from + key.size(), e = line.find(')', b);
    if (e == std::string_view::npos)
        return false;
    const std::string field(line.substr(b, e - b));
    char *end = nullptr;
    const double rcond = std::strtod(field.c_str(), &end);
    return !field.empty() && *end == '\0' && warning_text(rcond) == line;
}

// Takes `labels`, each followed by its value as the report writes it: the
// value at `count` a whole number below `count_end`, every other one in
// exponent_form; the value at `marked` may end in untrusted_mark.
bool take_values(std::string_view &rest, std::span<const std::string_view> labels,
                 std::size_t count, double count_end, std::size_t marked)
{
    std::string_view line;
    for (std::size_t k = 0; k < labels.size(); ++k) {
        if (!take(rest, labels[k]) || !take_line(rest, line))
            return false;
        if (k == marked && line.ends_with(untrusted_mark))
            line.remove_suffix(untrusted_mark.size());
        if (!written_as(line, [&](double v) {
                if (k != count)
                    return exponent_form(v, 2);
                return v >= 0 && v < count_end ? std::to_string(static_cast<std::size_t>(v))
                                               : std::string();
            }))
            return false;
    }
    return true;
}

// The diagnostics of an answer from the reduced row echelon form
// (reduction_text): the rank, then the two tolerances.
bool reduction_body(std::string_view &rest)
{
    std::string_view r = rest;
    if (!take(r, diagnostics_opening) ||
        !take_values(r, reduction_labels, 0, 1e15, std::size(reduction_labels)))
        return false;
    rest = r;
    return true;
}

// The solution lines, then the warning and the diagnostics when they are
// there (the refinement steps a count up to 1000, the forward error perhaps
// untrusted); or the diagnostics of the reduced row echelon form.
bool solution_body(std::string_view &rest)
{
    if (!take_solution_lines(rest))
        return false;
    if (reduction_body(rest))
        return true;

    std::string_view line;
    std::string_view r = rest;
    if (take(r, warning_opening) && take_line(r, line) && warning_line(line))
        rest = r;

    r = rest;
    if (take(r, diagnostics_opening) && take_values(r, diagnostics_labels, 3, 1001, 2))
        rest = r;
    return true;
}

// The general solution's lines, and the diagnostics when they are there.
bool general_body(std::string_view &rest)
{
    if (!take_general_lines(rest))
        return false;
    reduction_body(rest);
    return true;
}

// One error line.
bool error_body(std::string_view &rest)
{
    std::string_view line;
    return take_line(rest, line) && !line.empty();
}

// The shapes of a report: the bytes it opens with and its body, which
// `body` takes off the front of what follows them (false when that is not
// such a body). An opening never occurs inside its body, so only its last
// occurrence in a text can begin a report that runs to the end.
struct report_shape {
    std::string_view opening;
    bool (*body)(std::string_view &rest);
};
constexpr report_shape report_shapes[] = {
    {solution_heading, solution_body},
    {general_heading, general_body},
    {error_opening, error_body},
};

// ---- Solving ---------------------------------------------------------------

solve_outcome error_line(const std::string &why)
{
    solve_outcome out;
    out.report = std::string(error_opening) + why + std::string(line_end);
    return out;
}

// A system of any shape from the reduced row echelon form of [A b]: one
// solution, none, or the general solution (when it is not too large to
// write: max_listed_coefficients).
solve_outcome solve_general(const mtrx_t &m, const char *const *names)
{
    const std::size_t n = m.cols - 1;
    auto too_many = [&](std::size_t free) {
        return error_line(format("Too many free unknowns to list: %zu unknowns in %zu equation%s, "
                                 "at least %zu of them free.",
                                 n, m.rows, m.rows == 1 ? "" : "s", free));
    };
    // (With fewer equations than unknowns n - m of them are free at least.)
    if (m.rows < n && n - m.rows > max_listed_coefficients / n)
        return too_many(n - m.rows);

    mtrx_general_solution g;
    mtrx_error err;
    const mtrx_status st = mtrx_solve_general(&m, &g, &err);
    std::unique_ptr<mtrx_general_solution, void (*)(mtrx_general_solution *)> held(
        &g, mtrx_general_free);
    solve_outcome out = error_line(err.message);
    if (st == MTRX_OK || st == MTRX_ENOSOLUTION)
        out.reduced = reduction{g.rank, g.tolerance, g.constants_tolerance};
    if (st != MTRX_OK)
        return out;
    if (g.nfree > max_listed_coefficients / n)
        return too_many(g.nfree);
    out.x.assign(g.particular, g.particular + n);
    out.solved = g.nfree == 0;
    out.general = !out.solved;
    out.report = out.solved ? solution_report(g.particular, n, names)
                            : general_solution_report(g, names);
    return out;
}

// Reads the system from the text and solves it: a square one as
// mtrx_solve_checked does with `flags`, unless it is singular.
solve_outcome solve(std::string_view text, unsigned flags)
{
    const system_read system = read_system(text);
    if (!system.m)
        return error_line(system.error);
    const mtrx_t &m = *system.m;
    const char *const *names = system.names.get();
    const std::size_t n = m.cols - 1;
    if (m.rows != n)
        return solve_general(m, names);

    double *x = nullptr;
    mtrx_solve_info info;
    mtrx_error err;
    const mtrx_status st = mtrx_solve_checked(&m, flags, &x, &info, &err);
    if (st == MTRX_ESINGULAR || st == MTRX_ENOSOLUTION || st == MTRX_EINFINITE)
        return solve_general(m, names);
    if (st != MTRX_OK)
        return error_line(err.message);
    solve_outcome out;
    out.solved = true;
    out.info = info;
    out.x.assign(x, x + n);
    std::free(x);

    out.report = solution_report(out.x.data(), n, names);
    if (info.ill_conditioned)
        out.report += std::string(warning_opening) + warning_text(info.rcond) +
                      std::string(line_end);
    return out;
}

} // namespace

std::size_t report_start(const char *text, std::size_t len)
{
    const std::string_view all(text, len);
    // The last place of each opening, from one pass back over the text's
    // CRs (every opening begins with one): a text of any length is read
    // once, not once per shape.
    constexpr std::size_t shapes = std::size(report_shapes);
    std::size_t last[shapes], missing = shapes;
    std::fill(std::begin(last), std::end(last), std::string_view::npos);
    for (std::size_t at = len; missing > 0 && at > 0;) {
        at = all.rfind('\r', at - 1);
        if (at == std::string_view::npos)
            break;
        for (std::size_t k = 0; k < shapes; ++k)
            if (last[k] == std::string_view::npos &&
                all.substr(at, report_shapes[k].opening.size()) == report_shapes[k].opening) {
                last[k] = at;
                --missing;
            }
    }
    for (std::size_t k = 0; k < shapes; ++k) {
        if (last[k] == std::string_view::npos)
            continue;
        std::string_view rest = all.substr(last[k] + report_shapes[k].opening.size());
        if (report_shapes[k].body(rest) && rest.find_first_not_of("\r\n") == std::string_view::npos)
            return last[k];
    }
    return len;
}

std::string exponent_form(double v, int digits)
{
    std::string s = format("%.*e", digits, v);
    // "1.5e+005" -> "1.5e+05"; infinities and NaN have no exponent.
    const std::size_t e = s.find_first_of("eE");
    if (e != std::string::npos && e + 2 < s.size()) {
        std::size_t first = e + 2; // after the sign
        while (s.size() - first > 2 && s[first] == '0')
            s.erase(first, 1);
    }
    return s;
}

std::string warning_text(double rcond)
{
    return "Matrix is close to singular (rcond = " + exponent_form(rcond, 1) +
           "); the solution may be inaccurate.";
}

std::string diagnostics_text(const mtrx_solve_info &info)
{
    const std::string values[] = {exponent_form(info.rcond, 2),
                                  exponent_form(info.backward_error, 2),
                                  exponent_form(info.forward_error, 2) +
                                      std::string(info.bound_trusted ? "" : untrusted_mark),
                                  std::to_string(info.refinement_steps)};
    std::string s(diagnostics_opening);
    for (std::size_t k = 0; k < std::size(values); ++k)
        s += std::string(diagnostics_labels[k]) + values[k] + std::string(line_end);
    return s;
}

std::string reduction_text(const reduction &r)
{
    const std::string values[] = {std::to_string(r.rank), exponent_form(r.tolerance, 2),
                                  exponent_form(r.constants_tolerance, 2)};
    std::string s(diagnostics_opening);
    for (std::size_t k = 0; k < std::size(values); ++k)
        s += std::string(reduction_labels[k]) + values[k] + std::string(line_end);
    return s;
}

solve_outcome solve_text(const char *text, std::size_t len, unsigned flags)
{
    // (Without the memory to recognise an earlier report, the text is kept
    // whole.)
    std::size_t kept = len;
    solve_outcome out;
    try {
        kept = report_start(text, len);
        out = solve(std::string_view(text, kept), flags);
    } catch (const std::bad_alloc &) {
        out = error_line("Out of memory.");
    }
    out.kept = kept;
    return out;
}

} // namespace quendle
