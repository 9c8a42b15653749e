// The equations reader: generated systems written as equations in many ways
// (shuffled terms, both sides, implicit and fractional coefficients,
// repeated names, U+2212 and en dashes, names beyond ASCII, headings)
// against the same systems written as matrices; the rule that tells
// equations from a matrix; and the line, byte and quote of what does not read.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "support/alloc_sweep.h"
#include "support/generators.h"
#include "support/records.h"

namespace {

const char *const minus_sign = "\xE2\x88\x92"; // U+2212
const char *const en_dash = "\xE2\x80\x93";    // U+2013

struct Parsed {
    mtrx_status st;
    mtrx_error err;
    MtrxPtr m;
    std::vector<std::string> names;
};

Parsed parse(const std::string &text)
{
    std::vector<char> exact(text.begin(), text.end()); // (a read past the end shows)
    mtrx_t *m = nullptr;
    char **names = nullptr;
    Parsed p{};
    p.st = mtrx_parse_equations(exact.data(), exact.size(), &m, &names, &p.err);
    p.m.reset(m);
    for (char **n = names; n && *n; ++n)
        p.names.emplace_back(*n);
    mtrx_names_free(names);
    return p;
}

// A system written as equations, with what the reader must make of it.
struct TwoWays {
    std::string text, matrix_text;
    Matrix want;                      // in the order the unknowns first appear
    std::vector<std::string> names;   // that order
    std::vector<std::size_t> columns; // and their columns in the matrix
};

// Writes the m x (n + 1) system `ab` (integers and halves, quarters,
// eighths) as equations and as a matrix, each in one of many ways.
TwoWays write(random_source &src, const Matrix &ab)
{
    const std::size_t m = ab.size(), n = ab[0].size() - 1;
    static const char *const pool[] = {"x", "y", "z", "w", "x1", "x_2", "alpha", "Beta",
                                       "\xCE\xB1",          // α
                                       "\xCE\x94t",         // Δt
                                       "x\xE2\x82\x81",     // x₁
                                       "e\xCC\x81",         // e and a combining acute accent
                                       "\xD0\xB6",          // ж
                                       "\xF0\x9D\x91\xA5"}; // mathematical italic x
    std::vector<std::string> name(n);
    std::vector<std::size_t> picks;
    while (picks.size() < n) {
        const std::size_t k = src.below(std::size(pool));
        if (std::find(picks.begin(), picks.end(), k) == picks.end())
            picks.push_back(k);
    }
    for (std::size_t j = 0; j < n; ++j)
        name[j] = pool[picks[j]];

    TwoWays w;
    auto pick = [&](std::size_t k) { return src.below(k); };
    // |v| as a number text, whole or (for a fraction) "p/q" or a decimal.
    auto number = [&](double v) {
        v = std::fabs(v);
        char buf[64];
        if (v == std::floor(v))
            std::snprintf(buf, sizeof buf, pick(5) ? "%.0f" : "%.1f", v);
        else if (pick(2))
            std::snprintf(buf, sizeof buf, "%.0f/8", v * 8);
        else
            std::snprintf(buf, sizeof buf, "%.17g", v);
        return std::string(buf);
    };
    const char *const heads[] = {"", "System 1:\n", "Solve for the unknowns\r\n\r\n", "\n \n"};
    w.text = heads[pick(4)];
    std::vector<std::size_t> first_seen;
    for (std::size_t i = 0; i < m; ++i) {
        // Terms as (side, value, unknown or n for the constant); the
        // constant and any coefficient may stand on either side, split in two.
        struct term {
            bool right;
            double v;
            std::size_t j;
        };
        std::vector<term> terms;
        for (std::size_t j = 0; j <= n; ++j) {
            double v = ab[i][j];
            if (v == 0.0 && (j == n || pick(6)))
                continue;
            const bool constant = j == n;
            if (v == std::floor(v) && std::fabs(v) > 1 && pick(4) == 0) { // split in two
                const double a = std::floor(v / 2);
                terms.push_back({constant != (pick(2) == 0), a, j});
                v -= a;
            }
            const bool right = constant != (pick(3) == 0);
            terms.push_back({right, v, j});
        }
        for (std::size_t k = terms.size(); k > 1; --k)
            std::swap(terms[k - 1], terms[pick(k)]);
        std::string side[2];
        std::vector<std::size_t> seen[2]; // the unknowns in each side's order
        for (const term &t : terms) {
            const bool constant = t.j == n;
            // On the side opposite its home, a term changes sign.
            const double v = t.right != constant ? -t.v : t.v;
            std::string &s = side[t.right];
            const bool neg = v < 0 || (v == 0 && pick(2));
            if (s.empty()) {
                s += neg ? (pick(3) == 0 ? minus_sign : pick(2) ? "-" : "- ") : "";
            } else {
                const char *const minuses[] = {" - ", " -", " - ", minus_sign};
                s += neg ? (pick(6) == 0 ? std::string(" ") + en_dash + " "
                                         : std::string(minuses[pick(4)]))
                         : (pick(2) ? " + " : "+");
            }
            if (constant) {
                s += number(v);
                continue;
            }
            seen[t.right].push_back(t.j);
            const double a = std::fabs(v);
            if (a == 1 && pick(2)) {
                s += name[t.j];
            } else if (a != std::floor(a) && pick(2)) { // x/8 form: p x/8
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.0f", a * 8);
                s += std::string(buf) + (pick(2) ? " " : "") + name[t.j] + "/8";
            } else {
                const char *const joins[] = {"", "*", " ", " * "};
                s += number(a) + joins[pick(4)] + name[t.j];
            }
        }
        for (std::string &s : side)
            if (s.empty())
                s = "0";
        for (const auto &order : seen)
            for (std::size_t j : order)
                if (std::find(first_seen.begin(), first_seen.end(), j) == first_seen.end())
                    first_seen.push_back(j);
        w.text += side[0] + (pick(2) ? " = " : "=") + side[1] + (pick(3) ? "\n" : "\r\n");
        if (pick(5) == 0)
            w.text += "\n";

        // The matrix form: '-', or U+2212 before a digit.
        for (std::size_t j = 0; j <= n; ++j) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.17g", std::fabs(ab[i][j]));
            w.matrix_text += std::string(j ? " " : "") +
                             (std::signbit(ab[i][j]) ? (pick(2) ? "-" : minus_sign) : "") + buf;
        }
        w.matrix_text += "\n";
    }
    for (std::size_t j : first_seen)
        w.names.push_back(name[j]);
    w.columns = first_seen;
    for (const auto &row : ab) {
        w.want.emplace_back();
        for (std::size_t j : first_seen)
            w.want.back().push_back(row[j]);
        w.want.back().push_back(row[n]);
    }
    return w;
}

// A system of small integers and eighths, every unknown named somewhere.
Matrix random_system(random_source &src, std::size_t m, std::size_t n)
{
    Matrix ab(m, std::vector<double>(n + 1));
    for (auto &row : ab)
        for (double &v : row)
            v = src.below(4) == 0 ? double(src.integer(-20, 20)) / 8.0
                                  : double(src.integer(-9, 9)) * (src.below(3) == 0);
    for (std::size_t j = 0; j < n; ++j)
        if (ab[src.below(m)][j] == 0)
            ab[src.below(m)][j] = 1.0;
    ab[0][0] = ab[0][0] == 0 ? 2.0 : ab[0][0]; // (the first line names something)
    return ab;
}

} // namespace

TEST(Equations, GeneratedSystemsReadAsTheirMatrices)
{
    random_source src(2323);
    for (int k = 0; k < 1500; ++k) {
        const std::size_t m = 1 + src.below(6), n = 1 + src.below(6);
        const TwoWays w = write(src, random_system(src, m, n));
        SCOPED_TRACE(testing::Message() << "case " << k << ":\n" << w.text);
        const Parsed p = parse(w.text);
        ASSERT_EQ(p.st, MTRX_OK) << p.err.message;
        EXPECT_EQ(p.names, w.names);
        ASSERT_EQ(p.m->rows, m);
        ASSERT_EQ(p.m->cols, w.names.size() + 1);
        EXPECT_EQ(p.m->maxrows, m);
        EXPECT_EQ(rows_of(p.m->mtrx, m, p.m->cols), w.want);

        // The same system as a matrix, its minus signs '-' or U+2212.
        mtrx_t *raw = nullptr;
        ASSERT_EQ(mtrx_parse(w.matrix_text.data(), w.matrix_text.size(), &raw, nullptr), MTRX_OK)
            << w.matrix_text;
        MtrxPtr matrix(raw);
        ASSERT_EQ(w.columns.size(), n);
        for (std::size_t i = 0; i < m; ++i) {
            std::vector<double> row;
            for (std::size_t j : w.columns)
                row.push_back(matrix->mtrx[i][j]);
            row.push_back(matrix->mtrx[i][n]);
            EXPECT_EQ(row, w.want[i]) << w.matrix_text;
        }

        // Whether it is equations, and where they begin: after the heading.
        size_t at = 0;
        EXPECT_EQ(mtrx_find_equations(w.text.data(), w.text.size(), &at, nullptr), MTRX_OK);
        EXPECT_EQ(w.text.find_first_not_of(" \r\n", w.text.rfind('\n', w.text.find('=')) + 1),
                  w.text.find_first_not_of(" \r\n", at));
    }
    // An exponent signed with U+2212 belongs to its number; "0x1" is no
    // hexadecimal number but 0 times x1.
    const Parsed p = parse("0x1 + y = 2.5e\xE2\x88\x92" "1");
    ASSERT_EQ(p.st, MTRX_OK);
    EXPECT_EQ(p.names, (std::vector<std::string>{"x1", "y"}));
    EXPECT_EQ(row_of(p.m.get(), 0, 3), (std::vector<double>{0, 1, 0.25}));
}

// Only a text whose first line holding '=' has something on both sides and
// a name, every later non-blank line holding '=' too, is equations.
TEST(Equations, WhichTextsAreEquations)
{
    // (offset npos: the text's length)
    struct Case {
        const char *text;
        mtrx_status st;
        size_t offset, line;
        const char *message;
    };
    const size_t len = std::string::npos;
    const Case cases[] = {
        {"2x + 3y = 8\nx - y = -1", MTRX_OK, 0, 0, "No error."},
        {"My system:\n\n2x + 3y = 8\n\r\nx - y = -1\n\n", MTRX_OK, 12, 0, "No error."},
        {"Matrix A =\n1 2 3\n", MTRX_EEMPTY, len, 1,
         "Not read as equations: line 1 has nothing after its '='."},
        {"= x\n", MTRX_EEMPTY, len, 1, "Not read as equations: line 1 has nothing before its '='."},
        {"Solve Ax = b\n3 2 -4 3\n2 3 3 15\n", MTRX_EEMPTY, len, 2,
         "Not read as equations: line 2 holds no '='."},
        {"heading\n1 2 = 3 1e5\n4 5 = 6 7\n", MTRX_EEMPTY, len, 2,
         "Not read as equations: line 2 names no unknown."},
        {"3 2 -4 3\n2 3 3 15\n", MTRX_EEMPTY, len, 0, "Not read as equations: no line holds '='."},
        {"", MTRX_EEMPTY, len, 0, "Not read as equations: no line holds '='."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = c.text;
        size_t at = 99;
        mtrx_error err;
        EXPECT_EQ(mtrx_find_equations(text.data(), text.size(), &at, &err), c.st);
        EXPECT_EQ(at, c.offset == len ? text.size() : c.offset);
        EXPECT_EQ(err.line, c.line);
        EXPECT_STREQ(err.message, c.message);
        // The reader takes what the rule takes, and says the same otherwise.
        const Parsed p = parse(text);
        EXPECT_EQ(p.st, c.st);
        if (c.st != MTRX_OK) {
            EXPECT_STREQ(p.err.message, c.message);
        }
    }
    size_t at;
    EXPECT_EQ(mtrx_find_equations(nullptr, 2, &at, nullptr), MTRX_EINVAL);
    EXPECT_EQ(mtrx_parse_equations("x=1", 3, nullptr, nullptr, nullptr), MTRX_EINVAL);
}

// What does not read: the line (from 1, heading and blank lines counted),
// the byte in it, the equation's row, and the part quoted.
TEST(Equations, FaultsNameTheLineAndQuoteThePart)
{
    struct Case {
        const char *text;
        mtrx_status st;
        size_t row, line, column;
        const char *message;
    };
    const Case cases[] = {
        {"x^2 + y = 3\n", MTRX_ESYNTAX, 0, 1, 2, "Invalid Equation: line 1: cannot read 'x^2'."},
        {"Heading\n\nx + y = 1\n\n2(x + 1) = y\n", MTRX_ESYNTAX, 1, 5, 2,
         "Invalid Equation: line 5: cannot read '2(x + 1)'."},
        {"x + y = 1\nx y = 2\n", MTRX_ESYNTAX, 1, 2, 3,
         "Invalid Equation: line 2: cannot read 'x y'."},
        {"x + y = 1\nx*y = 2\n", MTRX_ESYNTAX, 1, 2, 2,
         "Invalid Equation: line 2: cannot read 'x*y'."},
        {"x = y = 2\n", MTRX_ESYNTAX, 0, 1, 7,
         "Invalid Equation: line 1: cannot read '= 2' (a second '=')."},
        {"x + y = 1\r\n3 x/0 = 1\r\n", MTRX_ESYNTAX, 1, 2, 5,
         "Invalid Equation: line 2: cannot read '3 x/0' (a division by zero)."},
        {"x = 1\ny = 1e999\n", MTRX_ERANGE, 1, 2, 5,
         "Invalid Equation: line 2: cannot read '1e999' (out of range)."},
        {"x = 1e300/1e-300\n", MTRX_ERANGE, 0, 1, 5,
         "Invalid Equation: line 1: cannot read '1e300/1e-300' (out of range)."},
        {"x = 1\n  = 2\n", MTRX_ESYNTAX, 1, 2, 3,
         "Invalid Equation: line 2: nothing on the left of '='."},
        {"x = 1\nx + y =\n", MTRX_ESYNTAX, 1, 2, 7,
         "Invalid Equation: line 2: nothing on the right of '='."},
        {"x + = 1\n", MTRX_ESYNTAX, 0, 1, 3, "Invalid Equation: line 1: cannot read '+'."},
        {"2* = x\n", MTRX_ESYNTAX, 0, 1, 2, "Invalid Equation: line 1: cannot read '2*'."},
        {"x = 1 + + + 2\n", MTRX_ESYNTAX, 0, 1, 11, "Invalid Equation: line 1: cannot read '+'."},
        // An en dash only between blanks; other dashes and symbols are no sign.
        {"x \xE2\x80\x93 y = 1\nx\xE2\x80\x93y = 1\n", MTRX_ESYNTAX, 1, 2, 2,
         "Invalid Equation: line 2: cannot read 'x\xE2\x80\x93y'."},
        {"x\xC2\xB2 = 4\n", MTRX_ESYNTAX, 0, 1, 2,
         "Invalid Equation: line 1: cannot read 'x\xC2\xB2'."},
        // Control bytes and bytes that are not UTF-8 are quoted as '?'; a long
        // part is cut.
        {"x = 1\ny = \x01\xff\n", MTRX_ESYNTAX, 1, 2, 5, "Invalid Equation: line 2: cannot read '?" "?'."},
        {"x = (aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa)\n", MTRX_ESYNTAX, 0, 1, 5,
         "Invalid Equation: line 1: cannot read '(aaaaaaaaaaaaaaaaaaaaaaa...'."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed p = parse(c.text);
        EXPECT_EQ(p.st, c.st);
        EXPECT_EQ(p.err.status, c.st);
        EXPECT_EQ(p.m, nullptr);
        EXPECT_TRUE(p.names.empty());
        EXPECT_EQ(p.err.row, c.row);
        EXPECT_EQ(p.err.line, c.line);
        EXPECT_EQ(p.err.column, c.column);
        EXPECT_STREQ(p.err.message, c.message);
    }
    EXPECT_EQ(mtrx_strerror(MTRX_ESYNTAX), std::string("An equation that does not read"));
}

// A fault put into one line of a generated system is found on that line, at
// its byte, whatever comes before it.
TEST(Equations, FaultsInGeneratedSystemsAreFoundWhereTheyStand)
{
    struct Fault {
        const char *text; // appended to a line's right side
        std::size_t at;   // where in it the fault starts
        mtrx_status st;
    };
    const Fault faults[] = {{" + q^2", 4, MTRX_ESYNTAX},   {" + 3(q - 1)", 4, MTRX_ESYNTAX},
                            {" = 4", 1, MTRX_ESYNTAX},     {" - q/0", 5, MTRX_ESYNTAX},
                            {" + 2e999 q", 3, MTRX_ERANGE}, {" + q r", 5, MTRX_ESYNTAX},
                            {" + #", 3, MTRX_ESYNTAX},     {" +", 1, MTRX_ESYNTAX}};
    random_source src(77);
    for (int k = 0; k < 400; ++k) {
        const std::size_t m = 1 + src.below(5), n = 1 + src.below(5);
        std::string text = write(src, random_system(src, m, n)).text;
        std::vector<std::size_t> ends; // every equation's '\n' (or '\r' before it)
        for (std::size_t e = text.find('='); e != std::string::npos; e = text.find('=', e + 1))
            ends.push_back(text.find_first_of("\r\n", e));
        const std::size_t row = src.below(ends.size());
        const Fault &f = faults[src.below(std::size(faults))];
        text.insert(ends[row], f.text);
        SCOPED_TRACE(testing::Message() << "case " << k << ":\n" << text);
        const std::size_t line_start = text.rfind('\n', ends[row]) + 1;
        const Parsed p = parse(text);
        EXPECT_EQ(p.st, f.st) << p.err.message;
        EXPECT_EQ(p.err.row, row);
        EXPECT_EQ(p.err.line, 1 + std::count(text.begin(), text.begin() + ends[row], '\n'));
        EXPECT_EQ(p.err.column, ends[row] - line_start + f.at + 1);
        EXPECT_THAT(p.err.message,
                    testing::StartsWith("Invalid Equation: line " + std::to_string(p.err.line)));
    }
}

TEST(Equations, EveryFailedAllocationIsNoMemoryAndLeavesNothing)
{
    for (const char *text : {"x + 2y = 3\n\nalpha - x = 1/2", "x = y = 1", "1 2 3"}) {
        const std::string t = text;
        const mtrx_status last = parse(t).st;
        EXPECT_GT(sweep_alloc_failures([&] {
                      mtrx_t *m = nullptr;
                      char **names = nullptr;
                      const mtrx_status st =
                          mtrx_parse_equations(t.data(), t.size(), &m, &names, nullptr);
                      EXPECT_TRUE(st == MTRX_ENOMEM ? !m && !names : st == last);
                      mtrx_free(m);
                      mtrx_names_free(names);
                      return st != MTRX_ENOMEM;
                  }),
                  last == MTRX_OK ? 0 : -1);
    }
}
