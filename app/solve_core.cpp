#include "solve_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <new>
#include <string_view>

namespace quendle {

namespace {

struct mtrx_deleter {
    void operator()(mtrx_t *m) const { mtrx_free(m); }
};

template <class... Args> std::string format(const char *fmt, Args... args)
{
    int len = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

// The pieces of a report, written by solve_text and recognised by
// report_start.
constexpr std::string_view solution_opening = "\r\n\r\nSolution Vector:\r\n\r\n";
constexpr std::string_view error_opening = "\r\n\r\n ERROR: ";
constexpr std::string_view warning_opening = "\r\n WARNING: ";
constexpr std::string_view line_end = "\r\n";
constexpr const char *solution_line = " x[%3u] : % 11.7f\r\n";
constexpr std::string_view diagnostics_opening = "\r\nDiagnostics:\r\n\r\n";
constexpr std::string_view diagnostics_labels[] = {" rcond            : ",
                                                   " backward error   : ",
                                                   " forward error    : ",
                                                   " refinement steps : "};
// After the forward error where it bounds nothing (the matrix too
// ill-conditioned for a bound).
constexpr std::string_view untrusted_mark = " (untrusted)";

// How a line of the text begins when it is likely part of an earlier report.
constexpr std::string_view report_line_starts[] = {"Solution Vector:", " ERROR:", " WARNING:",
                                                   "Diagnostics:"};

// ---- Recognising a report --------------------------------------------------

// Takes `s` off the front of `rest` when it stands there.
bool take(std::string_view &rest, std::string_view s)
{
    if (rest.substr(0, s.size()) != s)
        return false;
    rest.remove_prefix(s.size());
    return true;
}

// Takes a line that holds no line end, and its "\r\n", off the front of
// `rest` into `line`.
bool take_line(std::string_view &rest, std::string_view &line)
{
    const std::size_t end = rest.find_first_of("\r\n");
    if (end == std::string_view::npos || rest.substr(end, 2) != line_end)
        return false;
    line = rest.substr(0, end);
    rest.remove_prefix(end + 2);
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

// The solution lines from x[0] on, then the warning and the diagnostics
// when they are there.
bool solution_body(std::string_view &rest)
{
    std::string_view line;
    unsigned i = 0;
    for (std::string_view r = rest; take_line(r, line); rest = r, ++i) {
        const std::string head = format(" x[%3u] : ", i);
        if (line.substr(0, head.size()) != head ||
            !written_as(line.substr(head.size()), [](double v) { return format("% 11.7f", v); }))
            break;
    }
    if (i == 0)
        return false;

    std::string_view r = rest;
    if (take(r, warning_opening) && take_line(r, line) && warning_line(line))
        rest = r;

    r = rest;
    if (!take(r, diagnostics_opening))
        return true;
    for (std::size_t k = 0; k < std::size(diagnostics_labels); ++k) {
        const bool steps = k + 1 == std::size(diagnostics_labels);
        if (!take(r, diagnostics_labels[k]) || !take_line(r, line))
            return true;
        if (k == 2 && line.ends_with(untrusted_mark)) // (the forward error)
            line.remove_suffix(untrusted_mark.size());
        if (!written_as(line, [&](double v) {
                if (!steps)
                    return exponent_form(v, 2);
                return v >= 0 && v <= 1000 ? std::to_string(static_cast<int>(v)) : std::string();
            }))
            return true;
    }
    rest = r;
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
    {solution_opening, solution_body},
    {error_opening, error_body},
};

// ---- Wording the failures --------------------------------------------------

// Line `number` (from 1) of the text, without its line end.
std::string_view line_of(std::string_view text, std::size_t number)
{
    std::size_t b = 0;
    while (--number > 0) {
        const std::size_t nl = text.find('\n', b);
        if (nl == std::string_view::npos)
            return {};
        b = nl + 1;
    }
    std::string_view line = text.substr(b, text.find('\n', b) - b);
    while (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// The error line's sentence for `err`, from reading the text's matrix at
// `at`: places named as an editor's lines of `text`.
std::string failure_sentence(const mtrx_error &err, std::string_view text, std::size_t at)
{
    if (err.line == 0)
        return err.message;
    const std::size_t line =
        static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n')) + err.line;
    std::string s;
    switch (err.status) {
    case MTRX_ENONUMBER:
        s = format("Invalid Format: line %zu holds no number.", line);
        break;
    case MTRX_EMALFORMED:
        s = format("Invalid Format: line %zu holds a malformed number.", line);
        break;
    case MTRX_ERANGE:
        s = format("Invalid Format: line %zu holds a number out of range.", line);
        break;
    case MTRX_ESHAPE:
        s = format("Invalid Format: line %zu has %zu value%s, expected %zu.", line, err.count,
                   err.count == 1 ? "" : "s", err.expected);
        break;
    default:
        return err.message;
    }
    const std::string_view named = line_of(text, line);
    for (std::string_view start : report_line_starts)
        if (named.substr(0, start.size()) == start)
            return s + " It looks like part of an earlier report: delete that report and solve "
                       "again.";
    return s;
}

solve_outcome error_line(const std::string &why)
{
    solve_outcome out;
    out.report = std::string(error_opening) + why + std::string(line_end);
    return out;
}

// Finds where the matrix begins, reads the system from there through the
// status interface and solves it.
solve_outcome solve(std::string_view text, unsigned flags)
{
    mtrx_error err;
    std::size_t at = 0;
    if (mtrx_find_matrix(text.data(), text.size(), &at, &err) != MTRX_OK)
        return error_line(err.message);
    mtrx_t *raw = nullptr;
    if (mtrx_parse_system(text.data() + at, text.size() - at, &raw, &err) != MTRX_OK)
        return error_line(failure_sentence(err, text, at));
    std::unique_ptr<mtrx_t, mtrx_deleter> m(raw);
    double *x = nullptr;
    mtrx_solve_info info;
    if (mtrx_solve_checked(m.get(), flags, &x, &info, &err) != MTRX_OK)
        return error_line(err.message);
    const std::size_t n = m->rows;
    solve_outcome out;
    out.solved = true;
    out.info = info;
    out.x.assign(x, x + n);
    std::free(x);

    out.report = solution_opening;
    for (std::size_t i = 0; i < n; ++i)
        out.report += format(solution_line, static_cast<unsigned>(i), out.x[i]);
    if (info.ill_conditioned)
        out.report += std::string(warning_opening) + warning_text(info.rcond) +
                      std::string(line_end);
    return out;
}

} // namespace

std::size_t report_start(const char *text, std::size_t len)
{
    const std::string_view all(text, len);
    for (const report_shape &shape : report_shapes) {
        const std::size_t at = all.rfind(shape.opening);
        if (at == std::string_view::npos)
            continue;
        std::string_view rest = all.substr(at + shape.opening.size());
        if (shape.body(rest) && rest.find_first_not_of("\r\n") == std::string_view::npos)
            return at;
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
