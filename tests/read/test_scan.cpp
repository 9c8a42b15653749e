// Number conversion: the scanner's values, end positions and range errors
// against strtod's, on tricky and on many generated number texts.
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/read/scan.h"
#include "support/compare.h"

using namespace mtrx_detail;

namespace {

// What strtod makes of the text, and what the scanner makes of it, must be
// the same bits, the same end and the same errno.
testing::AssertionResult same_as_strtod(const std::string &text)
{
    char *e = nullptr;
    errno = 0;
    const double want = std::strtod(text.c_str(), &e);
    const int want_errno = errno;
    errno = EDOM; // the scanner must clear it itself
    const conversion got = convert_number(text.c_str());
    const int got_errno = errno;
    // Told where the text ends, it reads digits eight at a time.
    errno = EDOM;
    const conversion bounded = convert_number(text.c_str(), text.c_str() + text.size());
    if (!same_bits(bounded.value, got.value) || bounded.end != got.end ||
        errno != got_errno)
        return testing::AssertionFailure() << "\"" << text << "\": the bounded form differs";
    const std::size_t want_end = static_cast<std::size_t>(e - text.c_str());
    const std::size_t got_end = static_cast<std::size_t>(got.end - text.c_str());
    if (!same_bits(want, got.value) || want_end != got_end ||
        want_errno != got_errno || got.range_error != (want_errno != 0)) {
        char w[64], g[64];
        std::snprintf(w, sizeof w, "%a", want);
        std::snprintf(g, sizeof g, "%a", got.value);
        return testing::AssertionFailure()
               << "\"" << text << "\": strtod " << w << " end " << want_end << " errno "
               << want_errno << ", scanner " << g << " end " << got_end << " errno " << got_errno;
    }
    return testing::AssertionSuccess();
}

} // namespace

TEST(ConvertNumber, TrickyDecimalForms)
{
    const char *texts[] = {
        // plain forms, signs, points, exponents and where they stop
        "0", "-0", "+0", "0.0", "-0.0", "00012", "1.", "-1.", ".5", "+.5", "-.5", "5e", "5e+", "5e-x",
        "1.e5", "1e5", "1E5", "1e+5", "1e-5", "1.2.3", "1-2", "+-5", "-+5", "--5", ".", "-.", "+.",
        "..5", "-.x", "1e0005", "123456789012345678", "1234567890123456789",
        "12345678901234567890", "0.000000000000000000000000000001",
        // exactness at the edges of the quick paths
        "9007199254740992", "9007199254740993", "9007199254740995", "18014398509481985",
        "1e22", "1e23", "9007199254740993e22", "9007199254740991e-22", "9007199254740993e-22",
        "123456789e-22", "1e-23", "0.1", "0.2", "0.3", "2.675", "1.0000000000000002",
        "1.00000000000000011102230246251565404236316680908203125",
        "1.00000000000000011102230246251565404236316680908203124",
        "1.00000000000000011102230246251565404236316680908203126",
        // range: the largest, overflow, the smallest normal, subnormals, underflow
        "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
        "-1.7976931348623159e308", "1e309", "1e999", "-1e999", "1e100000000000",
        "2.2250738585072014e-308", "2.2250738585072011e-308", "2.2250738585072009e-308",
        "4.9406564584124654e-324", "5e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
        "1e-320", "-1e-320", "1e-400", "1e-100000000000", "0e999", "0.000e-999", "-0e-400",
        "0.00000000000000000000000000000000000000000000000000000000000000000000000000000001e-300",
        // hexadecimal forms
        "0x1p-1074", "0x1.8p1", "0X10", "-0x1p3", "+0x1p3", "0x", "0x.", "0xg", "0x1p99999",
        "0x1.fffffffffffffp1023", "0x1p-1080",
        // words strtod knows (not number starts for the line parser)
        "inf", "-infinity", "nan", "nan(123)",
    };
    for (const char *t : texts) {
        EXPECT_TRUE(same_as_strtod(t));
        EXPECT_TRUE(same_as_strtod(std::string(t) + " 7"));
        EXPECT_TRUE(same_as_strtod(std::string(t) + ",x"));
    }
    // Long digit strings: 800 digits, and the halfway point between the two
    // smallest subnormals written out in full.
    std::string longnum(800, '7');
    EXPECT_TRUE(same_as_strtod(longnum));
    EXPECT_TRUE(same_as_strtod("0." + longnum));
    EXPECT_TRUE(same_as_strtod("1" + std::string(400, '0') + "e-700"));
    char half[1200];
    std::snprintf(half, sizeof half, "%.1100e", std::ldexp(1.5, -1074));
    EXPECT_TRUE(same_as_strtod(half));
}

TEST(ConvertNumber, GeneratedDecimalTexts)
{
    std::mt19937_64 g(99);
    auto digits = [&](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<char>('0' + g() % 10);
        return s;
    };
    const char *signs[] = {"", "", "-", "+"};
    // (the characters either side of the digits, and a byte above ASCII)
    const char *tails[] = {"", " ", ",", "x", ".", "e", "-", "e+", "\n", "/", ":", "\xc2\xa0"};
    for (int i = 0; i < 40000; ++i) {
        std::string t = signs[g() % 4];
        const std::size_t ip = g() % 4 == 0 ? g() % 25 : g() % 8;
        t += digits(ip);
        if (g() % 3)
            t += "." + digits(g() % 4 == 0 ? g() % 25 : g() % 8);
        if (g() % 3 == 0) {
            t += g() % 2 ? "e" : "E";
            t += signs[g() % 4];
            const int big = static_cast<int>(g() % 4);
            t += std::to_string(big == 0 ? g() % 10 : big == 1 ? g() % 30 : g() % 400);
        }
        t += tails[g() % 12];
        ASSERT_TRUE(same_as_strtod(t));
    }
}

TEST(ConvertNumber, PrintedDoublesRoundTrip)
{
    std::mt19937_64 g(7);
    const char *formats[] = {"%.17g", "%.16g", "%.15g", "%.6f", "%.3e", "%a", "%.20e", "%g"};
    char buf[512];
    for (int i = 0; i < 20000; ++i) {
        double v;
        switch (g() % 4) {
        case 0: {
            std::uint64_t bits = g();
            std::memcpy(&v, &bits, sizeof v); // any double, subnormals included
            break;
        }
        case 1:
            v = std::ldexp(static_cast<double>(g() >> 11), -static_cast<int>(g() % 1200));
            break;
        case 2:
            v = static_cast<double>(static_cast<std::int64_t>(g() % 2000001) - 1000000) / 1000.0;
            break;
        default:
            v = std::uniform_real_distribution<double>(-1e6, 1e6)(g);
        }
        if (!std::isfinite(v))
            continue;
        std::snprintf(buf, sizeof buf, formats[g() % 8], v);
        ASSERT_TRUE(same_as_strtod(buf));
    }
}

// Mantissas of 17 digits or more take another way through the scanner than
// shorter ones; where it stops, with what value and errno, must not depend on
// that: signs (U+2212 included, before the number and before its exponent),
// points, exponents that overflow or reach the subnormals, and whatever
// follows, against strtod of the same text written with '-'.
TEST(ConvertNumber, LongMantissasAsStrtodReadsThem)
{
    std::mt19937_64 g(17);
    const std::string minus = "\xE2\x88\x92";
    const char *signs[] = {"", "-", "+", "\xE2\x88\x92"};
    const char *tails[] = {"", " 7", "e", "e+", "/5", "..5", ",", "e5", "e-330", "e290", "x"};
    for (int i = 0; i < 20000; ++i) {
        std::string digits;
        for (std::size_t k = 17 + g() % 9; k; --k)
            digits += static_cast<char>('0' + (g() % 5 ? g() % 10 : 0));
        const std::size_t point = g() % (digits.size() + 1);
        if (point < digits.size() || g() % 2)
            digits.insert(point, ".");
        std::string text = signs[g() % 4] + digits + tails[g() % std::size(tails)];
        const std::size_t exp_minus = text.find("e-");
        if (exp_minus != std::string::npos && g() % 2)
            text.replace(exp_minus + 1, 1, minus);
        SCOPED_TRACE(text);
        if (text.find(minus) == std::string::npos) {
            ASSERT_TRUE(same_as_strtod(text));
            continue;
        }
        // The twin with '-', and where each of its bytes stands in the text.
        std::string twin;
        std::vector<std::size_t> at;
        for (std::size_t k = 0; k <= text.size(); k += text.compare(k, 3, minus) ? 1 : 3) {
            at.push_back(k);
            if (k < text.size())
                twin += text.compare(k, 3, minus) ? text[k] : '-';
        }
        char *e = nullptr;
        errno = 0;
        const double want = std::strtod(twin.c_str(), &e);
        const int want_errno = errno;
        const conversion got = convert_number(text.data(), text.data() + text.size());
        ASSERT_TRUE(same_bits(want, got.value));
        ASSERT_EQ(got.range_error, want_errno != 0);
        ASSERT_EQ(static_cast<std::size_t>(got.end - text.data()), at[e - twin.c_str()]);
    }
}
