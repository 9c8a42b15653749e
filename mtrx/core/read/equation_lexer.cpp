// The lexer of the equations' reader (equation_lexer.h): UTF-8 characters,
// the letters a name may hold, and the tokens of a line.
#include "core/read/equation_lexer.h"

#include <cstring>
#include <string>

namespace mtrx_detail {

namespace {

// The letters beyond ASCII a name may hold: Latin (with its extensions and
// the phonetic letters), Greek, Cyrillic, Armenian, Hebrew, Arabic, the kana,
// the CJK ideographs, Hangul and the mathematical alphanumeric letters (as a
// formula editor writes x). Symbols, punctuation, digits and spaces of those
// blocks are left out.
const char32_t letter_ranges[][2] = {
    {0x00AA, 0x00AA},   {0x00B5, 0x00B5},   {0x00BA, 0x00BA},   {0x00C0, 0x00D6},
    {0x00D8, 0x00F6},   {0x00F8, 0x02AF},   {0x0370, 0x0373},   {0x0376, 0x0377},
    {0x037B, 0x037D},   {0x037F, 0x037F},   {0x0386, 0x0386},   {0x0388, 0x03F5},
    {0x03F7, 0x0481},   {0x048A, 0x052F},   {0x0531, 0x0556},   {0x0561, 0x0587},
    {0x05D0, 0x05EA},   {0x0620, 0x064A},   {0x1E00, 0x1FBC},   {0x1FC2, 0x1FCC},
    {0x1FD0, 0x1FDB},   {0x1FE0, 0x1FEC},   {0x1FF2, 0x1FFC},   {0x3041, 0x3096},
    {0x30A1, 0x30FA},   {0x4E00, 0x9FFF},   {0xAC00, 0xD7A3},   {0x1D400, 0x1D7CB},
};

bool is_letter(char32_t cp)
{
    if (cp < 0x80)
        return (cp | 0x20) >= 'a' && (cp | 0x20) <= 'z';
    for (const auto &r : letter_ranges)
        if (cp >= r[0] && cp <= r[1])
            return true;
    return false;
}

// After a name's first letter: letters, digits, '_', combining accents
// (U+0300 to U+036F) and subscript digits (x₁).
bool continues_name(char32_t cp)
{
    return is_letter(cp) || (cp >= '0' && cp <= '9') || cp == '_' ||
           (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x2080 && cp <= 0x2089);
}

bool is_en_dash(const char *p, const char *e)
{
    return e - p >= 3 && p[0] == '\xE2' && p[1] == '\x80' && p[2] == '\x93';
}

} // namespace

utf8_char decode(const char *p, const char *e)
{
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80)
        return {c, 1};
    std::size_t n;
    char32_t cp, least;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1F, least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0F, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (static_cast<std::size_t>(e - p) < n)
        return {0, 0};
    for (std::size_t i = 1; i < n; ++i) {
        const auto d = static_cast<unsigned char>(p[i]);
        if ((d & 0xC0) != 0x80)
            return {0, 0};
        cp = cp << 6 | (d & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {0, 0};
    return {cp, n};
}

token lexer::next()
{
    while (p_ < end_ && is_blank(*p_))
        ++p_;
    const char *p = p_;
    if (p == end_)
        return {tok::end, p, p};
    const char c = *p;
    if (is_digit(c) || (c == '.' && p + 1 < end_ && is_digit(p[1])))
        return number();
    switch (c) {
    case '+':
        return take(tok::plus, 1);
    case '-':
        return take(tok::minus, 1);
    case '*':
        return take(tok::star, 1);
    case '/':
        return take(tok::slash, 1);
    case '=':
        return take(tok::equals, 1);
    default:
        break;
    }
    if (is_unicode_minus(p, end_))
        return take(tok::minus, 3);
    // An en dash is a minus only as a word of its own, between blanks.
    if (is_en_dash(p, end_) && (p == line_ || is_blank(p[-1])) && p + 3 < end_ &&
        is_blank(p[3]))
        return take(tok::minus, 3);
    const utf8_char ch = decode(p, end_);
    if (ch.len && is_letter(ch.cp)) {
        const char *q = p + ch.len;
        for (utf8_char k; q < end_ && (k = decode(q, end_)).len && continues_name(k.cp);)
            q += k.len;
        p_ = q;
        return {tok::name, p, q};
    }
    return take(tok::other, ch.len ? ch.len : 1);
}

token lexer::number()
{
    const char *p = p_, *q = p;
    while (q < end_ && (is_digit(*q) || *q == '.'))
        ++q;
    if (q < end_ && (*q == 'e' || *q == 'E')) {
        const char *r = q + 1;
        if (r < end_ && (*r == '+' || *r == '-'))
            ++r;
        else if (is_unicode_minus(r, end_))
            r += 3;
        if (r < end_ && is_digit(*r))
            for (q = r; q < end_ && is_digit(*q);)
                ++q;
    }
    token t{tok::number, p, q};
    if (!convert_)
        return p_ = q, t;
    const std::string copy(p, q);
    const conversion c = convert_number(copy.c_str(), copy.c_str() + copy.size());
    p_ = t.e = p + (c.end - copy.c_str());
    t.value = c.value;
    t.range_error = c.range_error;
    return t;
}

// Whether the line [b, e) holds a name.
bool names_something(const char *b, const char *e)
{
    lexer lx(b, b, e, false);
    for (token t = lx.next(); t.kind != tok::end; t = lx.next())
        if (t.kind == tok::name)
            return true;
    return false;
}

bool all_blank(const char *b, const char *e)
{
    for (; b < e; ++b)
        if (!is_blank(*b))
            return false;
    return true;
}

const char *line_end(const char *b, const char *end)
{
    const void *nl = std::memchr(b, '\n', static_cast<std::size_t>(end - b));
    return nl ? static_cast<const char *>(nl) : end;
}

const char *find_equals(const char *b, const char *e)
{
    const void *eq = std::memchr(b, '=', static_cast<std::size_t>(e - b));
    return static_cast<const char *>(eq);
}

} // namespace mtrx_detail
