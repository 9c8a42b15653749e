#include "read_system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>

#include "format.h"

namespace quendle {

namespace {

// A status function's failure for want of memory ends the Solve as one.
mtrx_status checked(mtrx_status st)
{
    if (st == MTRX_ENOMEM)
        throw std::bad_alloc();
    return st;
}

// ---- Lines -------------------------------------------------------------

// The line of `text` that holds byte `at`: [begin, end), without its line end.
struct line_span {
    std::size_t begin, end;
};
line_span line_at(std::string_view text, std::size_t at)
{
    const std::size_t nl = at == 0 ? std::string_view::npos : text.rfind('\n', at - 1);
    const std::size_t begin = nl == std::string_view::npos ? 0 : nl + 1;
    std::size_t end = std::min(text.find('\n', at), text.size());
    return {begin, end};
}

// The first line after `line` that holds more than blanks; false when none.
bool next_filled_line(std::string_view text, line_span &line)
{
    for (std::size_t from = line.end + 1; from < text.size();) {
        line = line_at(text, from);
        const std::string_view s = text.substr(line.begin, line.end - line.begin);
        if (std::any_of(s.begin(), s.end(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); }))
            return true;
        from = line.end + 1;
    }
    return false;
}

// The number of the line (from 1) that holds byte `at`.
std::size_t line_number(std::string_view text, std::size_t at)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
}

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

// ---- Wording the failures --------------------------------------------------

// How a line of the text begins when it is likely part of an earlier report.
constexpr std::string_view report_line_starts[] = {"Solution Vector:", "General Solution:",
                                                   " ERROR:", " WARNING:", "Diagnostics:"};

bool looks_like_a_report(std::string_view text, std::size_t line)
{
    const std::string_view named = line_of(text, line);
    return std::any_of(std::begin(report_line_starts), std::end(report_line_starts),
                       [&](std::string_view start) { return named.substr(0, start.size()) == start; });
}

constexpr const char *earlier_report =
    " It looks like part of an earlier report: delete that report and solve again.";

// The sentence for a row of `count` values where `expected` were due.
std::string shape_sentence(std::size_t line, std::size_t count, const char *expected)
{
    return format("Invalid Format: line %zu has %zu value%s, expected %s.", line, count,
                  count == 1 ? "" : "s", expected);
}

// The error line's sentence for `err`, from reading the text's matrix at
// `at`: places named as an editor's lines of `text`.
std::string failure_sentence(const mtrx_error &err, std::string_view text, std::size_t at)
{
    if (err.line == 0)
        return err.message;
    const std::size_t line = line_number(text, at) - 1 + err.line;
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
        s = shape_sentence(line, err.count, std::to_string(err.expected).c_str());
        break;
    default:
        return err.message;
    }
    return looks_like_a_report(text, line) ? s + earlier_report : s;
}

// Why a text that holds '=' was not read as equations (mtrx_find_equations'
// sentence, and the hint when its line looks like part of a report), to
// follow the matrix reader's sentence; empty for a text without '='.
std::string why_not_equations(std::string_view text, const std::string &sentence)
{
    if (text.find('=') == std::string_view::npos)
        return {};
    std::size_t at = 0;
    mtrx_error err;
    checked(mtrx_find_equations(text.data(), text.size(), &at, &err));
    std::string s = std::string(" ") + err.message;
    if (err.line != 0 && looks_like_a_report(text, err.line) &&
        sentence.find(earlier_report) == std::string::npos)
        s += earlier_report;
    return s;
}

// ---- The matrix --------------------------------------------------------

// Whether a line holds a letter: an ASCII one, or in UTF-8 a character
// from U+00C0 on, but for U+2000 to U+2FFF (punctuation, signs such as
// U+2212 MINUS SIGN, arrows and other symbols) and U+F000 to U+FFFF (the
// byte order mark and the forms for compatibility among them). Below U+00C0
// stand the no-break space and Latin-1's signs.
bool holds_letter(std::string_view line)
{
    return std::any_of(line.begin(), line.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return std::isalpha(c) || (c >= 0xC3 && c != 0xE2 && c != 0xEF && c < 0xF5);
    });
}

// How many numbers a line holds as the matrix reader reads them; false
// when the reader would refuse the line (its own failure will say why).
bool count_numbers(std::string_view line, std::size_t &count)
{
    mtrx_t *m = nullptr;
    const mtrx_status st = checked(mtrx_parse(line.data(), line.size(), &m, nullptr));
    count = m ? m->cols : 0;
    mtrx_free(m);
    return st == MTRX_OK || st == MTRX_EEMPTY;
}

// Where the matrix that mtrx_find_matrix found at `at` begins once the lines
// of its heading are left out: lines from the one holding `at` on, each
// holding a letter, that all hold fewer numbers than the first line after
// them. The first such set of lines is the heading (the fewest lines).
std::size_t after_heading(std::string_view text, std::size_t at)
{
    line_span line = line_at(text, at);
    std::size_t most = 0, count = 0, next_count = 0;
    if (!count_numbers(text.substr(at, line.end - at), count))
        return at;
    for (;;) {
        if (!holds_letter(text.substr(line.begin, line.end - line.begin)))
            return at;
        most = std::max(most, count);
        if (!next_filled_line(text, line) ||
            !count_numbers(text.substr(line.begin, line.end - line.begin), next_count))
            return at;
        if (most < next_count)
            return line.begin;
        count = next_count;
    }
}

system_read matrix_failure(std::string sentence, std::string_view text)
{
    system_read r;
    r.error = sentence + why_not_equations(text, sentence);
    return r;
}

system_read read_matrix(std::string_view text)
{
    mtrx_error err;
    std::size_t at = 0;
    if (checked(mtrx_find_matrix(text.data(), text.size(), &at, &err)) != MTRX_OK)
        return matrix_failure(err.message, text);
    at = after_heading(text, at);
    mtrx_t *raw = nullptr;
    const mtrx_status st = checked(mtrx_parse(text.data() + at, text.size() - at, &raw, &err));
    system_read r;
    r.m.reset(raw);
    // A first row of one value is no equation (it has no unknown): that row
    // is the fault, whatever the rows after it hold.
    if ((st == MTRX_ESHAPE && err.expected == 1) || (st == MTRX_OK && r.m->cols < 2)) {
        const std::size_t line = line_number(text, at);
        r.m.reset();
        return matrix_failure(shape_sentence(line, 1, "2 or more") +
                                  (looks_like_a_report(text, line) ? earlier_report : ""),
                              text);
    }
    if (st != MTRX_OK)
        return matrix_failure(failure_sentence(err, text, at), text);
    return r;
}

} // namespace

system_read read_system(std::string_view text)
{
    std::size_t at = 0;
    if (checked(mtrx_find_equations(text.data(), text.size(), &at, nullptr)) != MTRX_OK)
        return read_matrix(text);
    system_read r;
    mtrx_t *m = nullptr;
    char **names = nullptr;
    mtrx_error err;
    if (checked(mtrx_parse_equations(text.data(), text.size(), &m, &names, &err)) != MTRX_OK)
        r.error = err.message;
    r.m.reset(m);
    r.names.reset(names);
    return r;
}

} // namespace quendle
