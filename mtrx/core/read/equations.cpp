// Linear equations as people type them (equations.h): the rule that tells
// equations from a matrix, and the reader that turns the lines (through the
// lexer, equation_lexer.h) into an augmented record and the unknowns' names.
#include "core/read/equations.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/read/equation_lexer.h"
#include "core/read/lines.h"
#include "core/read/scan.h"
#include "core/base/storage.h"

namespace mtrx_detail {

namespace {

// The hash of a name. (A type of this file's own, so that the table's code
// is this file's too: a shared library exports no instance of it.)
struct name_hash {
    std::size_t operator()(std::string_view v) const { return std::hash<std::string_view>{}(v); }
};

// Reads the equations one line at a time into sparse rows, then builds the
// record and the names.
class equation_reader {
  public:
    equation_reader(const char *text, std::size_t len) : text_(text), end_(text + len) {}

    bool read(const equations_start &s)
    {
        std::size_t line = s.line;
        for (const char *b = text_ + s.offset; b < end_; ++line) {
            const char *e = line_end(b, end_);
            if (!all_blank(b, e) && !read_line(b, e, line))
                return false;
            b = e < end_ ? e + 1 : e;
        }
        return true;
    }

    mtrx_t *build(char ***names, equation_failure &why)
    {
        const std::size_t m = rows_.size(), n = names_.size();
        alloc_fault fault;
        mtrx_t *r = new_preallocated_record(m, n + 1, fault);
        if (!r) {
            why.fault = equation_fault::no_memory;
            return nullptr;
        }
        r->rows = m;
        r->cols = n + 1;
        for (std::size_t i = 0; i < m; ++i) {
            for (const auto &[j, c] : rows_[i].coefficients)
                r->mtrx[i][j] = c;
            r->mtrx[i][n] = rows_[i].constant;
        }
        std::size_t bytes = (n + 1) * sizeof(char *);
        for (std::string_view v : names_)
            bytes += v.size() + 1;
        auto **block = static_cast<char **>(lib_calloc(1, bytes));
        if (!block) {
            free_record(r);
            why.fault = equation_fault::no_memory;
            return nullptr;
        }
        char *at = reinterpret_cast<char *>(block + n + 1);
        for (std::size_t j = 0; j < n; ++j) {
            block[j] = at;
            std::memcpy(at, names_[j].data(), names_[j].size());
            at += names_[j].size() + 1;
        }
        *names = block;
        return r;
    }

    equation_failure failure;

  private:
    struct row {
        std::vector<std::pair<std::size_t, double>> coefficients; // by first appearance
        double constant = 0.0;
    };

    bool read_line(const char *b, const char *e, std::size_t line)
    {
        line_ = b;
        line_end_ = e;
        failure.line = line;
        failure.row = rows_.size();
        rows_.emplace_back();
        const char *eq = find_equals(b, e);
        if (!eq) // (the detection saw '=' on every line)
            return fail(equation_fault::unreadable, b, b, b);
        if (all_blank(b, eq))
            return fail(equation_fault::nothing_left, eq, nullptr, nullptr);
        if (all_blank(eq + 1, e))
            return fail(equation_fault::nothing_right, eq, nullptr, nullptr);
        if (!read_side(b, eq, false) || !read_side(eq + 1, e, true))
            return false;
        // The row's sums, in the order the unknowns first appeared in it.
        row &r = rows_.back();
        for (std::size_t j : touched_) {
            r.coefficients.emplace_back(j, sums_[j]);
            sums_[j] = 0.0;
        }
        touched_.clear();
        return true;
    }

    // One side of '=': terms on the right count with the opposite sign.
    bool read_side(const char *b, const char *e, bool right)
    {
        lexer lx(line_, b, e, true);
        token t = lx.next();
        const char *previous = nullptr; // where the term before began
        for (bool first = true;; first = false) {
            bool negative = false;
            const char *sign = t.b;
            if (!first) {
                if (t.kind != tok::plus && t.kind != tok::minus)
                    return unreadable(t, t.kind == tok::other || t.kind == tok::number ||
                                                 t.kind == tok::name || t.kind == tok::star ||
                                                 t.kind == tok::slash
                                             ? previous
                                             : t.b);
                negative = t.kind == tok::minus;
                t = lx.next();
            }
            if (t.kind == tok::plus || t.kind == tok::minus) {
                negative = negative != (t.kind == tok::minus);
                t = lx.next();
            }
            if (t.kind == tok::end)
                return fail(equation_fault::unreadable, sign, sign, lx.pos());
            const char *start = t.b;
            double coefficient = 1.0;
            bool number = false;
            std::string_view name;
            if (t.kind == tok::number) {
                if (!value_of(t, start, coefficient))
                    return false;
                number = true;
                t = lx.next();
                if (t.kind == tok::slash && !divide(lx, t, start, coefficient))
                    return false;
            }
            if (t.kind == tok::star) {
                const token star = t;
                if (!number)
                    return unreadable(t, start);
                t = lx.next();
                if (t.kind != tok::name)
                    return unreadable(t.kind == tok::end ? star : t, start);
            }
            if (t.kind == tok::name) {
                name = std::string_view(t.b, static_cast<std::size_t>(t.e - t.b));
                t = lx.next();
            }
            if (!number && name.empty())
                return unreadable(t, start);
            if (t.kind == tok::slash && !divide(lx, t, start, coefficient))
                return false;
            if (!std::isfinite(coefficient))
                return fail(equation_fault::out_of_range, start, start, lx.pos());
            if (negative)
                coefficient = -coefficient;
            if (!add(name, right ? -coefficient : coefficient, start, t.b))
                return false;
            previous = start;
            if (t.kind == tok::end)
                return true;
        }
    }

    // The number token t's value, or the failure it makes.
    bool value_of(const token &t, const char *start, double &v)
    {
        if (t.range_error)
            return fail(equation_fault::out_of_range, t.b, start, t.e);
        v = t.value;
        return true;
    }

    // At '/' (t): the coefficient divided by the number after it; t becomes
    // the token after that.
    bool divide(lexer &lx, token &t, const char *start, double &coefficient)
    {
        const token slash = t;
        t = lx.next();
        if (t.kind != tok::number)
            return unreadable(t.kind == tok::end ? slash : t, start);
        double d = 0.0;
        if (!value_of(t, start, d))
            return false;
        if (d == 0.0)
            return fail(equation_fault::zero_division, t.b, start, t.e);
        coefficient = coefficient / d;
        t = lx.next();
        return true;
    }

    // Adds a term: to its unknown's sum, or (no name) to the constant, which
    // stands on the right.
    bool add(std::string_view name, double v, const char *start, const char *stop)
    {
        double *sum;
        if (name.empty()) {
            sum = &rows_.back().constant;
            v = -v;
        } else {
            auto [it, added] = index_.try_emplace(name, names_.size());
            if (added) {
                names_.push_back(name);
                sums_.push_back(0.0);
                named_in_.push_back(0);
            }
            const std::size_t j = it->second;
            if (named_in_[j] != rows_.size()) {
                named_in_[j] = rows_.size();
                touched_.push_back(j);
            }
            sum = &sums_[j];
        }
        *sum = *sum + v;
        if (!std::isfinite(*sum))
            return fail(equation_fault::out_of_range, start, start, stop);
        return true;
    }

    // A token no rule takes where it stands: the quote begins at `from`.
    bool unreadable(const token &t, const char *from)
    {
        if (t.kind == tok::equals)
            return fail(equation_fault::second_equals, t.b, t.b, line_end_);
        return fail(equation_fault::unreadable, t.b, from ? from : t.b, t.e);
    }

    // Records the fault at `at`, quoting from `from` to at least `to`: on to
    // the next blank, sign or '=', and on to the ')' that closes a '(' in it.
    bool fail(equation_fault f, const char *at, const char *from, const char *to)
    {
        failure.fault = f;
        failure.column = static_cast<std::size_t>(at - line_) + 1;
        if (!from)
            return false;
        const char *x = to > at ? to : at + 1;
        if (f != equation_fault::second_equals)
            while (x < line_end_ && !is_blank(*x) && *x != '=' && *x != '+' && *x != '-')
                ++x;
        long open = 0;
        for (const char *p = from; p < x; ++p)
            open += *p == '(' ? 1 : *p == ')' ? -1 : 0;
        for (; open > 0 && x < line_end_; ++x)
            open -= *x == ')' ? 1 : *x == '(' ? -1 : 0;
        while (x > from && is_blank(x[-1]))
            --x;
        failure.excerpt = from;
        failure.excerpt_len = static_cast<std::size_t>(x - from);
        return false;
    }

    const char *text_, *end_;
    const char *line_ = nullptr, *line_end_ = nullptr;
    std::vector<row> rows_;
    std::vector<std::string_view> names_; // the unknowns, by first appearance
    std::unordered_map<std::string_view, std::size_t, name_hash> index_;
    std::vector<double> sums_;            // the current row's sum per unknown
    std::vector<std::size_t> named_in_;   // per unknown: the last row naming it (from 1)
    std::vector<std::size_t> touched_;    // the unknowns the current row names
};

} // namespace

equations_start find_equations(const char *text, std::size_t len)
{
    const char *end = text + len;
    std::size_t line = 1;
    const char *b = text;
    for (; b < end; ++line) {
        const char *e = line_end(b, end);
        if (const char *eq = find_equals(b, e)) {
            if (all_blank(b, eq))
                return {not_equations::nothing_left, len, line};
            if (all_blank(eq + 1, e))
                return {not_equations::nothing_right, len, line};
            if (!names_something(b, e))
                return {not_equations::no_name, len, line};
            break;
        }
        b = e < end ? e + 1 : e;
    }
    if (b >= end)
        return {not_equations::no_equals, len, 0};
    const equations_start found{not_equations::none, static_cast<std::size_t>(b - text), line};
    for (;;) {
        const char *e = line_end(b, end);
        if (!all_blank(b, e) && !find_equals(b, e))
            return {not_equations::later_line, len, line};
        if (e == end)
            return found;
        b = e + 1;
        ++line;
    }
}

mtrx_t *read_equations(const char *text, std::size_t len, char ***names, equation_failure &why)
{
    *names = nullptr;
    why = {};
    const equations_start s = find_equations(text, len);
    if (s.why != not_equations::none) {
        why.fault = equation_fault::not_equations;
        why.start = s;
        why.line = s.line;
        return nullptr;
    }
    try {
        equation_reader r(text, len);
        if (!r.read(s)) {
            why = r.failure;
            why.start = s;
            return nullptr;
        }
        mtrx_t *m = r.build(names, why);
        why.start = s;
        return m;
    } catch (const std::bad_alloc &) {
        why = {};
        why.fault = equation_fault::no_memory;
        return nullptr;
    }
}

void quote_excerpt(const char *p, std::size_t len, std::size_t most, char *out)
{
    const char *e = p + len;
    std::size_t n = 0;
    while (p < e) {
        const utf8_char ch = decode(p, e);
        const bool shown =
            ch.len && ch.cp >= 0x20 && ch.cp != 0x7F && !(ch.cp >= 0x80 && ch.cp < 0xA0);
        const std::size_t w = shown ? ch.len : 1; // the bytes it takes in the quote
        if (n + w > most) {
            std::memcpy(out + n, "...", 3);
            n += 3;
            break;
        }
        if (shown)
            std::memcpy(out + n, p, w);
        else
            out[n] = '?';
        n += w;
        p += ch.len ? ch.len : 1;
    }
    out[n] = '\0';
}

} // namespace mtrx_detail
