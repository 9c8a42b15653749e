// The lexer of the equations' reader: the tokens of one line (numbers
// through the number scanner, names in ASCII or UTF-8, signs, '*', '/',
// '='), and the line helpers the detection of equations uses.
#ifndef MTRX_CORE_EQUATION_LEXER_H
#define MTRX_CORE_EQUATION_LEXER_H

#include <cstddef>

#include "core/read/lines.h"
#include "core/read/scan.h"

namespace mtrx_detail {

// Whitespace inside a line.
inline bool is_blank(char c) { return c != '\n' && is_c_space(c); }

// One UTF-8 character: its code point and length, length 0 when the bytes
// are not UTF-8 (overlong forms, surrogates and cut sequences included).
struct utf8_char {
    char32_t cp;
    std::size_t len;
};

utf8_char decode(const char *p, const char *e);

enum class tok { end, number, name, plus, minus, star, slash, equals, other };

struct token {
    tok kind;
    const char *b, *e; // its bytes
    double value = 0.0;
    bool range_error = false;
};

// The tokens of [begin, end), a line or a part of `line`. Numbers are
// converted only when `convert` is set (the detection of equations needs
// only their extent).
class lexer {
  public:
    lexer(const char *line, const char *begin, const char *end, bool convert)
        : line_(line), end_(end), p_(begin), convert_(convert)
    {
    }
    const char *pos() const { return p_; }
    void seek(const char *p) { p_ = p; }

    token next();

  private:
    token take(tok kind, std::size_t n)
    {
        const char *p = p_;
        p_ += n;
        return {kind, p, p_};
    }

    // A decimal number: digits and points, then an exponent (its sign may
    // be U+2212). It is converted from a copy ending in '\0', so that no
    // conversion reads past the line, which also keeps out the scanner's
    // hexadecimal forms: "0x1" is 0 and the name x1.
    token number();

    const char *line_, *end_, *p_;
    bool convert_;
};

// Whether the line [b, e) holds a name.
bool names_something(const char *b, const char *e);
// Whether [b, e) holds only blanks.
bool all_blank(const char *b, const char *e);
// The end of the line beginning at b: its '\n', or `end`.
const char *line_end(const char *b, const char *end);
// The first '=' of [b, e), or null.
const char *find_equals(const char *b, const char *e);

} // namespace mtrx_detail

#endif
