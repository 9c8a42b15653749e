// The report texts of the systems beyond the square regular one, and their
// readers (report_text.h).
#include "report_text.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "format.h"

namespace quendle {

namespace {

// The pieces of a line: " <label> : <field>\r\n", the field a value
// (value_field) with its terms, or free_field.
constexpr std::string_view label_end = " : ";
constexpr std::string_view free_field = "       free";
constexpr std::string_view line_end = "\r\n";

std::string value_field(double v) { return format("% 11.7f", v); }

// " + c name" or " - c name" for a coefficient c of a free unknown.
void append_term(std::string &r, double c, std::string_view name)
{
    r += format(" %c %.7f ", c < 0 ? '-' : '+', c < 0 ? -c : c);
    r += name;
}

// The characters of a UTF-8 name, leaving out the combining accents
// (U+0300 to U+036F: CC 80 to CD AF), which stand on the letter before.
std::size_t width_of(const std::string &s)
{
    std::size_t w = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) == 0x80)
            continue;
        const auto d = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0u;
        if (c == 0xCC || (c == 0xCD && d <= 0xAF))
            continue;
        ++w;
    }
    return w;
}

std::string indexed_name(std::size_t i) { return format("x[%3u]", static_cast<unsigned>(i)); }

std::string name_of(std::size_t i, const char *const *names)
{
    return names ? std::string(names[i]) : indexed_name(i);
}

// ---- Reading the lines back ------------------------------------------------

// " <label> : <field>": neither part empty, the label without " : ".
bool split_line(std::string_view line, std::string_view &label, std::string_view &field)
{
    if (line.empty() || line[0] != ' ')
        return false;
    const std::size_t at = line.find(label_end, 1);
    if (at == std::string_view::npos || at == 1 || at + label_end.size() == line.size())
        return false;
    label = line.substr(1, at - 1);
    field = line.substr(at + label_end.size());
    return true;
}

// The number `form` writes at the front of `s` (blanks it writes first
// included, then up to the next blank): its length, 0 when `s` does not
// begin with what `form` writes for the number it reads as.
template <class Form> std::size_t written_number(std::string_view s, Form form)
{
    const std::size_t digits = std::min(s.find_first_not_of(' '), s.size());
    const std::string token(s.substr(0, std::min(s.find(' ', digits), s.size())));
    char *end = nullptr;
    const double v = std::strtod(token.c_str(), &end);
    return digits < token.size() && *end == '\0' && form(v) == token ? token.size() : 0;
}

// Whether every one of `names` is a name an equation can have, all of them
// different: read back from "a + b + ... = 0" they must come out the same.
bool names_of_unknowns(const std::vector<std::string> &names)
{
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : " + ") + name;
    text += " = 0";
    mtrx_t *m = nullptr;
    char **read = nullptr;
    const mtrx_status st = mtrx_parse_equations(text.data(), text.size(), &m, &read, nullptr);
    if (st == MTRX_ENOMEM)
        throw std::bad_alloc();
    bool same = st == MTRX_OK && m->cols == names.size() + 1;
    for (std::size_t i = 0; same && i < names.size(); ++i)
        same = names[i] == read[i];
    mtrx_free(m);
    mtrx_names_free(read);
    return same;
}

// The unknowns that `labels` (taken from consecutive lines) name, as
// name_of gives them: x[0], x[1], ... in order, or names as unknown_labels
// pads them.
bool unknowns_of(const std::vector<std::string_view> &labels, std::vector<std::string> &names)
{
    names.clear();
    if (labels.empty())
        return false;
    if (labels[0] == indexed_name(0)) {
        for (std::size_t i = 0; i < labels.size(); ++i) {
            names.push_back(indexed_name(i));
            if (labels[i] != names.back())
                return false;
        }
        return true;
    }
    for (std::string_view l : labels)
        names.emplace_back(l.substr(0, l.find_last_not_of(' ') + 1));
    std::vector<const char *> pointers;
    for (const std::string &name : names)
        pointers.push_back(name.c_str());
    const std::vector<std::string> padded = unknown_labels(names.size(), pointers.data());
    return std::equal(padded.begin(), padded.end(), labels.begin()) && names_of_unknowns(names);
}

// The lines " <label> : <field>" at the front of `rest`, as far as they go.
void take_labelled_lines(std::string_view &rest, std::vector<std::string_view> &labels,
                         std::vector<std::string_view> &fields)
{
    std::string_view line, label, field;
    for (std::string_view r = rest; take_line(r, line) && split_line(line, label, field); rest = r) {
        labels.push_back(label);
        fields.push_back(field);
    }
}

// Whether `field` is a general solution's line for a basic unknown: its
// value, then terms of the free unknowns (`free_names`, in their order),
// each at most once and in that order, every piece as the writer writes it.
bool basic_field(std::string_view field, const std::vector<std::string> &free_names)
{
    std::size_t at = written_number(field, value_field);
    if (at == 0)
        return false;
    std::size_t next = 0; // the first free unknown a term may still name
    while (at < field.size()) {
        // " + 1.0000000 name"
        const std::string_view term = field.substr(at);
        if (term.size() < 4 || term[0] != ' ' || (term[1] != '+' && term[1] != '-') ||
            term[2] != ' ')
            return false;
        const std::size_t digits =
            written_number(term.substr(3), [](double c) { return format("%.7f", c); });
        if (digits == 0 || term.substr(3 + digits, 1) != " ")
            return false;
        const std::string_view named = term.substr(4 + digits);
        std::size_t k = next;
        auto names_it = [&](const std::string &name) {
            return named.substr(0, name.size()) == name &&
                   (named.size() == name.size() || named[name.size()] == ' ');
        };
        while (k < free_names.size() && !names_it(free_names[k]))
            ++k;
        if (k == free_names.size())
            return false;
        // (A coefficient written as 0.0000000 was not zero, only small.)
        double c = std::strtod(std::string(term.substr(3, digits)).c_str(), nullptr);
        c = (term[1] == '-' ? -1 : 1) * (c == 0 ? DBL_MIN : c);
        std::string written;
        append_term(written, c, free_names[k]);
        if (term.substr(0, written.size()) != written)
            return false;
        at += written.size();
        next = k + 1;
    }
    return true;
}

} // namespace

bool take_line(std::string_view &rest, std::string_view &line)
{
    const std::size_t end = rest.find_first_of(line_end);
    if (end == std::string_view::npos || rest.substr(end, 2) != line_end)
        return false;
    line = rest.substr(0, end);
    rest.remove_prefix(end + 2);
    return true;
}

std::vector<std::string> unknown_labels(std::size_t n, const char *const *names)
{
    std::vector<std::string> labels;
    std::size_t widest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        labels.push_back(name_of(i, names));
        widest = std::max(widest, width_of(labels.back()));
    }
    if (names)
        for (std::string &l : labels)
            l.append(widest - width_of(l), ' ');
    return labels;
}

std::string solution_report(const double *x, std::size_t n, const char *const *names)
{
    std::string r(solution_heading);
    const std::vector<std::string> labels = unknown_labels(n, names);
    for (std::size_t i = 0; i < n; ++i)
        r += " " + labels[i] + std::string(label_end) + value_field(x[i]) + std::string(line_end);
    return r;
}

std::string general_solution_report(const mtrx_general_solution &g, const char *const *names)
{
    const std::size_t n = g.unknowns;
    std::string r(general_heading);
    const std::vector<std::string> labels = unknown_labels(n, names);
    std::vector<bool> is_free(n, false);
    std::vector<std::string> free_names;
    for (std::size_t k = 0; k < g.nfree; ++k) {
        is_free[g.free_unknowns[k]] = true;
        free_names.push_back(name_of(g.free_unknowns[k], names));
    }
    for (std::size_t i = 0; i < n; ++i) {
        r += " " + labels[i] + std::string(label_end);
        if (is_free[i]) {
            r += free_field;
        } else {
            r += value_field(g.particular[i]);
            for (std::size_t k = 0; k < g.nfree; ++k) {
                const double c = g.null_space[k * n + i];
                if (c != 0.0)
                    append_term(r, c, free_names[k]);
            }
        }
        r += line_end;
    }
    return r;
}

bool take_solution_lines(std::string_view &rest)
{
    std::string_view r = rest;
    std::vector<std::string_view> labels, fields;
    take_labelled_lines(r, labels, fields);
    std::vector<std::string> names;
    if (!unknowns_of(labels, names))
        return false;
    for (std::string_view field : fields)
        if (written_number(field, value_field) != field.size())
            return false;
    rest = r;
    return true;
}

bool take_general_lines(std::string_view &rest)
{
    std::string_view r = rest;
    std::vector<std::string_view> labels, fields;
    take_labelled_lines(r, labels, fields);
    std::vector<std::string> names, free_names;
    if (!unknowns_of(labels, names))
        return false;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (fields[i] == free_field)
            free_names.push_back(names[i]);
    if (free_names.empty())
        return false;
    for (std::string_view field : fields)
        if (field != free_field && !basic_field(field, free_names))
            return false;
    rest = r;
    return true;
}

} // namespace quendle
