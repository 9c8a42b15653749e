// The window's text in UTF-16 and the Solve core's in UTF-8: round trips
// over generated texts of every plane, the filler for what encodes no
// character, the places that correspond, and malformed UTF-8.
#include <string>

#include <gtest/gtest.h>

#include "support/generators.h"
#include "utf16.h"

using quendle::units_before;
using quendle::utf16_of;
using quendle::utf8_of;

namespace {

// A text of up to 40 characters: ASCII, Latin-1, the rest of the BMP (U+2212
// among them), beyond it (surrogate pairs), now and then half a pair alone
// or U+0000. `clean` is the same text with those two as the filler.
std::u16string generated(random_source &src, std::u16string &clean)
{
    const char32_t ranges[][2] = {{0x20, 0x7E},   {0x80, 0xFF},       {0x100, 0xD7FF},
                                  {0x2212, 0x2212}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}};
    std::u16string t;
    clean.clear();
    for (std::size_t k = src.below(41); k > 0; --k) {
        if (src.below(7) == 0) {
            const char16_t alone[] = {u'\0', static_cast<char16_t>(0xD800 + src.below(0x400)),
                                      static_cast<char16_t>(0xDC00 + src.below(0x400))};
            const char16_t c = alone[src.below(3)];
            // (A low half after a high one alone would make a pair.)
            if (c < 0xDC00 || t.empty() || t.back() < 0xD800 || t.back() > 0xDBFF) {
                t += c;
                clean += u'?';
            }
            continue;
        }
        const auto &r = ranges[src.below(std::size(ranges))];
        const char32_t c = r[0] + static_cast<char32_t>(src.below(r[1] - r[0] + 1));
        std::u16string units;
        if (c < 0x10000)
            units += static_cast<char16_t>(c);
        else
            units += {static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                      static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
        t += units;
        clean += units;
    }
    return t;
}

} // namespace

TEST(Utf16, RoundTripsAndCorrespondingPlaces)
{
    random_source src(16);
    for (int k = 0; k < 3000; ++k) {
        std::u16string clean;
        const std::u16string t = generated(src, clean);
        const std::string u = utf8_of(t.data(), t.size());
        ASSERT_EQ(utf16_of<char16_t>(u), clean);
        // Each place in the UTF-8 maps to the units before the character it
        // falls in (or ends), and the UTF-8 of those units ends there.
        for (std::size_t b = 0; b <= u.size(); ++b) {
            const std::size_t units = units_before(t.data(), t.size(), b);
            const std::size_t end = utf8_of(t.data(), units).size();
            ASSERT_LE(end, b);
            const bool boundary = b == u.size() || (static_cast<unsigned char>(u[b]) & 0xC0) != 0x80;
            if (boundary) {
                ASSERT_EQ(end, b) << k;
                continue;
            }
            ASSERT_LT(units, t.size());
            const std::size_t next = units + (t[units] >= 0xD800 && t[units] <= 0xDBFF ? 2 : 1);
            ASSERT_GT(utf8_of(t.data(), next).size(), b);
        }
    }
    // The forms themselves.
    const char16_t text[] = u"a\u00e9\u4e2d\u2212 1\xd834\xdd1e.5\xdc00";
    EXPECT_EQ(utf8_of(text, std::size(text) - 1),
              "a\xC3\xA9\xE4\xB8\xAD\xE2\x88\x92 1\xF0\x9D\x84\x9E.5?");
}

TEST(Utf16, MalformedUtf8BecomesReplacementCharacters)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"\xC0\xAF", u"\uFFFD\uFFFD"},               // overlong
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},     // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},     // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {"x\xE2\x88", u"x\uFFFD\uFFFD"},             // cut short
        {"\xE2\x88" "1", u"\uFFFD\uFFFD" "1"},
        {"\xFF", u"\uFFFD"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
    };
    for (const auto &[bytes, units] : cases)
        EXPECT_EQ(utf16_of<char16_t>(bytes), units) << bytes;
}
