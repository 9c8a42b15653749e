// The window's text, UTF-16, and the Solve core's, UTF-8: the conversions
// both ways and the places that correspond. Templates over the 16-bit unit
// (wchar_t in the Windows program, char16_t elsewhere).
#ifndef QUENDLE_UTF16_H
#define QUENDLE_UTF16_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quendle {

// Stands in the UTF-8 text for a unit that encodes no character (half of a
// surrogate pair alone) and for U+0000: it starts no number and is neither
// a blank nor a line end nor part of a name, so it separates like any sign.
constexpr char utf8_filler = '?';

namespace utf16_detail {

// The character that begins at unit i of `text` and how many units it
// takes (1 or 2); U+0000 and half a pair alone give 0 (the filler).
template <class Unit>
char32_t character_at(const Unit *text, std::size_t len, std::size_t i, std::size_t &units)
{
    const char32_t u = static_cast<std::uint16_t>(text[i]);
    units = 1;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < len) {
        const char32_t v = static_cast<std::uint16_t>(text[i + 1]);
        if (v >= 0xDC00 && v <= 0xDFFF) {
            units = 2;
            return 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
        }
    }
    return u >= 0xD800 && u <= 0xDFFF ? 0 : u;
}

// The bytes of `c` in UTF-8 (1 for the filler).
inline std::size_t utf8_length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

} // namespace utf16_detail

// The `len` units at `text` in UTF-8.
template <class Unit> std::string utf8_of(const Unit *text, std::size_t len)
{
    std::string s;
    s.reserve(len);
    for (std::size_t i = 0, units = 0; i < len; i += units) {
        const char32_t c = utf16_detail::character_at(text, len, i, units);
        if (c == 0) {
            s += utf8_filler;
            continue;
        }
        const std::size_t n = utf16_detail::utf8_length(c);
        if (n == 1) {
            s += static_cast<char>(c);
            continue;
        }
        static constexpr unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        s += static_cast<char>(lead[n] | (c >> (6 * (n - 1))));
        for (std::size_t k = n - 1; k-- > 0;)
            s += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return s;
}

// How many units of `text` hold the first `bytes` bytes of its UTF-8
// (utf8_of): the units of every character whose bytes end there or before.
template <class Unit>
std::size_t units_before(const Unit *text, std::size_t len, std::size_t bytes)
{
    std::size_t i = 0, units = 0;
    for (std::size_t at = 0; i < len; i += units) {
        const char32_t c = utf16_detail::character_at(text, len, i, units);
        at += utf16_detail::utf8_length(c);
        if (at > bytes)
            break;
    }
    return i;
}

// UTF-8 `s` in UTF-16; a byte that begins no well-formed character (RFC
// 3629: no overlong form, no surrogate, nothing beyond U+10FFFF) becomes
// U+FFFD.
template <class Unit> std::basic_string<Unit> utf16_of(std::string_view s)
{
    std::basic_string<Unit> w;
    w.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                                          : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        bool ok = n > 0;
        for (std::size_t k = 1; ok && k < n; ++k) {
            const auto t = i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
            ok = (t & 0xC0) == 0x80;
            c = c << 6 | (t & 0x3F);
        }
        ok = ok && utf16_detail::utf8_length(c) == n && (c < 0xD800 || c > 0xDFFF) && c <= 0x10FFFF;
        if (!ok) {
            w += static_cast<Unit>(0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            w += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
            w += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            w += static_cast<Unit>(c);
        }
        i += n;
    }
    return w;
}

} // namespace quendle

#endif
