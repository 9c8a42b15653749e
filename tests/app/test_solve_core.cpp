// The Solve command's text processing, shared by the window and the console
// tool: the report, its error lines, the warning, and silence on every stream.
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "solve_core.h"
#include "support/alloc_sweep.h"
#include "support/generators.h"

using quendle::solve_text;

namespace {

const std::string example = "3,2,-4,3\r\n2,3,3,15\r\n5,-3,1,14";
const std::string example_report = "\r\n\r\nSolution Vector:\r\n\r\n"
                                   " x[  0] :   3.0000000\r\n"
                                   " x[  1] :   1.0000000\r\n"
                                   " x[  2] :   2.0000000\r\n";
const std::string help_text =
    "Click [Clear] and enter Coefficient Matrix with Constant Vector as Last Column\r\n\r\n"
    "Example (3 x 4):\r\n\r\n 3.0  2.0  -4.0   3.0\r\n 2.0  3.0   3.0  15.0\r\n"
    " 5.0 -3.0   1.0  14.0\r\n\r\nor\r\n\r\n3,2,-4,3\r\n2,3,3,15\r\n5,-3,1,14\r\n\r\n"
    "Then click [Solve...]\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   3.0000000\r\n"
    " x[  1] :   1.0000000\r\n x[  2] :   2.0000000\r\n";

std::string error(const std::string &why) { return "\r\n\r\n ERROR: " + why + "\r\n"; }

std::string report_of(const std::string &text, bool *solved = nullptr)
{
    std::string r;
    stderr_of([&] {
        quendle::solve_outcome o = solve_text(text);
        r = o.report;
        if (solved)
            *solved = o.solved;
    });
    return r;
}

// The text as Solve leaves it: what it keeps, then the report.
std::string solved(const std::string &text)
{
    const quendle::solve_outcome o = solve_text(text);
    EXPECT_LE(o.kept, text.size());
    return text.substr(0, o.kept) + o.report;
}

// A text as a user may give it: a heading or none, then a system of 1 to 6
// unknowns with blank lines, either line end and assorted separators; with
// one fault (a line of words, a short or long row, a malformed number, one
// out of range, a singular or nearly singular system) or none. `line` is
// set to the line the fault's message must name, 0 when it names none.
std::string user_text(random_source &src, std::size_t &line)
{
    const std::string nl = src.below(2) ? "\n" : "\r\n";
    std::string t;
    std::size_t lines = 1; // the line the next byte stands on
    auto end_line = [&] {
        t += nl;
        ++lines;
    };
    for (std::size_t h = src.below(3); h > 0; --h) {
        t += src.below(2) ? "My system, no digits:" : "";
        end_line();
    }
    const std::size_t n = 1 + src.below(6), at = src.below(n);
    const std::size_t fault = src.below(12); // 0-6 a fault, else none
    line = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (src.below(4) == 0)
            end_line();
        // (A first row one longer is a system with one more unknown, which
        // the second row, if any, does not fit.)
        if (i == 1 && at == 0 && fault == 2)
            line = lines;
        const bool here = i == at;
        if (here && fault == 0 && i > 0) {
            line = lines;
            t += "words only";
            end_line();
        }
        std::size_t cols = n + 1;
        if (here && fault == 1 && i > 0)
            cols = 1 + src.below(n);
        if (here && fault == 2)
            ++cols;
        for (std::size_t j = 0; j < cols; ++j) {
            const long long v = fault == 5 && i == 1 ? 0 : src.integer(-9, 9) + (i == j ? 40 : 0);
            t += (j ? (src.below(2) ? ", " : "  ") : "") + std::to_string(v);
        }
        if (here && fault == 3)
            t += " ..5";
        if (here && fault == 4)
            t += " -1e999";
        if (here && ((fault == 2 && i > 0) || fault == 3 || fault == 4 || (fault == 1 && i > 0)))
            line = lines;
        if (i + 1 < n || src.below(2))
            end_line();
    }
    if (fault == 6) // nearly singular: solved, with the warning
        t = "1 1 2" + nl + "1 1.0000000000000002 2" + nl;
    return t;
}

// [A b] as an augmented matrix, under a heading one time in three.
std::string matrix_text(const Matrix &ab, random_source &src)
{
    std::string t;
    if (src.below(3) == 0)
        t += src.below(2) ? "System 1:\n" : "order " + std::to_string(ab.size()) + "\r\n";
    for (const auto &row : ab) {
        for (std::size_t j = 0; j < row.size(); ++j)
            t += (j ? " " : "") + std::to_string(static_cast<long long>(row[j]));
        t += "\n";
    }
    return t;
}

// The same system as equations in `names`, every coefficient written out
// (a 1 often left implicit), in order in the first equation and shuffled in
// the others, joined to its name, by '*' or by a blank; U+2212 for some
// minus signs.
std::string equations_text(const Matrix &ab, const std::vector<std::string> &names,
                           random_source &src)
{
    const std::string minus_sign = "\xE2\x88\x92";
    std::string t = src.below(2) ? "Equations:\n" : "";
    for (std::size_t i = 0; i < ab.size(); ++i) {
        const std::size_t n = names.size();
        std::vector<std::size_t> order(n);
        for (std::size_t j = 0; j < n; ++j)
            order[j] = j;
        for (std::size_t j = n; i > 0 && j > 1; --j)
            std::swap(order[j - 1], order[src.below(j)]);
        for (std::size_t k = 0; k < n; ++k) {
            const long long c = static_cast<long long>(ab[i][order[k]]);
            const std::string sign = c >= 0 ? "+" : src.below(2) ? minus_sign : "-";
            t += k == 0 ? (c < 0 ? sign : "") : " " + sign + " ";
            if (std::llabs(c) != 1 || src.below(2))
                t += std::to_string(std::llabs(c)) + (src.below(3) == 0 ? "*" : src.below(2) ? " " : "");
            t += names[order[k]];
        }
        const long long b = static_cast<long long>(ab[i][n]);
        t += " = " + (b < 0 ? (src.below(2) ? minus_sign : "-") : "") + std::to_string(std::llabs(b)) +
             "\n";
    }
    return t;
}

// A report on the unknowns x[i] as it reads with one-character names.
std::string renamed(std::string report, const std::vector<std::string> &names)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        char label[16];
        std::snprintf(label, sizeof label, "x[%3u]", static_cast<unsigned>(i));
        for (std::size_t at; (at = report.find(label)) != std::string::npos;)
            report.replace(at, std::strlen(label), names[i]);
    }
    return report;
}

} // namespace

TEST(SolveCore, ExampleSystem)
{
    bool solved = false;
    EXPECT_EQ(report_of(example, &solved), example_report);
    EXPECT_TRUE(solved);
    // A heading without digits stays above; blanks and tabs separate as well.
    EXPECT_EQ(report_of("My system:\n 3.0  2.0  -4.0   3.0\n 2 3 3 15\n\t5 -3 1 14\n\n"),
              example_report);
}

TEST(SolveCore, WarnsWhenCloseToSingular)
{
    // The warning follows the solution lines when rcond < DBL_EPSILON, and
    // only then; the lines before it are those of any report.
    auto text_of = [](const std::vector<std::vector<double>> &rows) {
        std::string t;
        char buf[32];
        for (const auto &row : rows) {
            for (double v : row) {
                std::snprintf(buf, sizeof buf, "%.17g ", v);
                t += buf;
            }
            t += "\n";
        }
        return t;
    };
    auto hilbert = [](size_t n) {
        std::vector<std::vector<double>> a(n, std::vector<double>(n + 1));
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j) {
                a[i][j] = 1.0 / static_cast<double>(i + j + 1);
                a[i][n] += a[i][j];
            }
        return a;
    };
    const std::string tail = "); the solution may be inaccurate.\r\n";
    const std::string h12 = report_of(text_of(hilbert(12)));
    EXPECT_THAT(h12, testing::EndsWith(" x[ 11] :   1.0055422\r\n\r\n WARNING: Matrix is close to "
                                       "singular (rcond = 2.6e-17" + tail));
    EXPECT_THAT(report_of(text_of(hilbert(13))),
                testing::EndsWith("\r\n\r\n WARNING: Matrix is close to singular (rcond = 1.7e-18" +
                                  tail));
    EXPECT_THAT(report_of(text_of({{1, 0, 1}, {0, 0.99 * DBL_EPSILON, 1}})),
                testing::EndsWith("(rcond = 2.2e-16" + tail));
    // Not for the example, nor for well-conditioned systems up to 1e-14 away.
    EXPECT_EQ(report_of(example), example_report);
    std::vector<std::vector<double>> dominant(30, std::vector<double>(31));
    unsigned seed = 5;
    for (auto &row : dominant)
        for (double &e : row) {
            seed = seed * 1103515245u + 12345u;
            e = static_cast<double>((seed >> 16) % 200) / 10.0 - 10.0;
        }
    for (size_t i = 0; i < 30; ++i)
        dominant[i][i] += 400.0;
    EXPECT_THAT(report_of(text_of(dominant)), testing::Not(testing::HasSubstr("WARNING")));
    EXPECT_THAT(report_of(text_of({{1, 0, 1}, {0, 1.01 * DBL_EPSILON, 1}})),
                testing::Not(testing::HasSubstr("WARNING")));

    // The exponent has two digits at the least, as the Windows C runtime
    // would otherwise write three.
    EXPECT_EQ(quendle::exponent_form(1.5e5, 1), "1.5e+05");
    EXPECT_EQ(quendle::exponent_form(2.55e-17, 2), "2.55e-17");
    EXPECT_EQ(quendle::exponent_form(1e-300, 1), "1.0e-300");
    EXPECT_EQ(quendle::exponent_form(0.0, 2), "0.00e+00");
}

TEST(SolveCore, NoNumberAnywhere)
{
    bool solved = true;
    EXPECT_EQ(report_of("", &solved), error("Invalid Format or Matrix Not Found."));
    EXPECT_FALSE(solved);
    EXPECT_EQ(report_of("letters only"), error("Invalid Format or Matrix Not Found."));
    EXPECT_EQ(report_of("a -b +c .d -.e +.f -. x"), error("Invalid Format or Matrix Not Found."));
}

TEST(SolveCore, MatrixStartsAtPointOrSign)
{
    EXPECT_EQ(report_of("x .5 1\n"), "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   2.0000000\r\n");
    EXPECT_EQ(report_of("x -.5 1\n"), "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :  -2.0000000\r\n");
    EXPECT_EQ(report_of("x +.5 1\n"), "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   2.0000000\r\n");
}

TEST(SolveCore, LinesWithoutNumbersAreReportedNotFatal)
{
    // The help text, whose example report is taken for one: "or" is line 9.
    EXPECT_EQ(report_of(help_text), error("Invalid Format: line 9 holds no number."));
    // An earlier report that does not end the text is read as rows.
    EXPECT_EQ(report_of("Mine:\r\n" + example + example_report + "more\r\n"),
              error("Invalid Format: line 6 holds no number. It looks like part of an earlier "
                    "report: delete that report and solve again."));
    EXPECT_EQ(report_of(example + error("Invalid Format or Matrix Not Found.") + "\n\n1 2\n"),
              error("Invalid Format: line 5 holds no number. It looks like part of an earlier "
                    "report: delete that report and solve again."));
}

TEST(SolveCore, RowsMustBeOfOneLengthAndHoldAnUnknown)
{
    // m rows of n + 1 values are m equations in n unknowns, whatever m; a row
    // of another length than the first is named, and so is a first row of
    // one value (no unknown), whatever follows it.
    EXPECT_EQ(report_of("1 2 3\n4 5 6\n7 8 9\n"),
              "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :  -1.0000000\r\n x[  1] :   2.0000000\r\n");
    EXPECT_EQ(report_of("2 6\n1 2 3\n"), error("Invalid Format: line 2 has 3 values, expected 2."));
    EXPECT_EQ(report_of("Two:\n\n1 2 3\n\n4 5\n"),
              error("Invalid Format: line 5 has 2 values, expected 3."));
    EXPECT_EQ(report_of("1 2 3\n4\n"), error("Invalid Format: line 2 has 1 value, expected 3."));
    EXPECT_EQ(report_of("\n5\n1 2 3\n4 5 6\n"),
              error("Invalid Format: line 2 has 1 value, expected 2 or more."));
    EXPECT_EQ(report_of("5\n6\n"), error("Invalid Format: line 1 has 1 value, expected 2 or more."));
    EXPECT_EQ(report_of("1 2 3 4\n"), "\r\n\r\nGeneral Solution:\r\n\r\n"
                                       " x[  0] :   4.0000000 - 2.0000000 x[  1] - 3.0000000 x[  2]\r\n"
                                       " x[  1] :        free\r\n"
                                       " x[  2] :        free\r\n");
}

TEST(SolveCore, HeadingsAboveTheMatrix)
{
    // Lines at the start that hold a letter and fewer numbers than the line
    // after them are a heading; the first such lines, no more.
    const std::string system = "1 1 3\n1 -1 1\n";
    const std::string answer =
        "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   2.0000000\r\n x[  1] :   1.0000000\r\n";
    for (const std::string heading : {"System 1:\n", "order 2\n\n", "System 1:\norder 2\n",
                                      "\xCE\xA3 1\n", "Solve Ax = b, 2 x 3:\n"})
        EXPECT_EQ(report_of(heading + system), answer) << heading;
    // A letter is wanted: a short first row stays one, and so do lines of
    // signs or a byte order mark; nor is a line of as many numbers a heading.
    EXPECT_EQ(report_of("1 1\n" + system), error("Invalid Format: line 2 has 3 values, expected 2."));
    EXPECT_EQ(report_of("\xE2\x88\x92 2 5\n" + system),
              error("Invalid Format: line 2 has 3 values, expected 2."));
    EXPECT_EQ(report_of("\xEF\xBB\xBF 2 5\n" + system),
              error("Invalid Format: line 2 has 3 values, expected 2."));
    EXPECT_EQ(report_of("row 1 2 3\n" + system),
              error("No Solution - the equations are inconsistent (rank 2; 3 with the constants)."));
    // The help text's example stays a matrix under its "Example (3 x 4):".
    EXPECT_EQ(report_of(help_text.substr(0, help_text.find("\r\nor"))), example_report);
}

TEST(SolveCore, EquationsAndWhyATextWasNotReadAsThem)
{
    // Names beyond ASCII and U+2212 reach the reader; the names are padded
    // to the longest in characters.
    EXPECT_EQ(report_of("2\xCE\xB1 + 3\xCE\xB2\xE2\x82\x81 = 8\n\xCE\xB1 \xE2\x88\x92 "
                        "\xCE\xB2\xE2\x82\x81 = \xE2\x88\x92" "1"),
              "\r\n\r\nSolution Vector:\r\n\r\n \xCE\xB1  :   1.0000000\r\n"
              " \xCE\xB2\xE2\x82\x81 :   2.0000000\r\n");
    // The reader's faults name the editor's line, the heading's counted.
    EXPECT_EQ(report_of("Mine:\n\nx + y = 2\nx^2 = 3\n"),
              error("Invalid Equation: line 4: cannot read 'x^2'."));
    // A text with '=' that is no equations is a matrix; when that fails too,
    // the reason it was not read as equations follows.
    EXPECT_EQ(report_of("Matrix A =\n1 1 3\n1 -1 1\n"),
              "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   2.0000000\r\n x[  1] :   1.0000000\r\n");
    EXPECT_EQ(report_of("2x + 3y = 8\nx - y -1\n"),
              error("Invalid Format: line 2 has 1 value, expected 3. Not read as equations: line 2 "
                    "holds no '='."));
    EXPECT_EQ(report_of("a = b\nc\n"), error("Invalid Format or Matrix Not Found. Not read as "
                                               "equations: line 2 holds no '='."));
    EXPECT_EQ(report_of("x = 1\n1 1 3\n" + example_report + "more\n"),
              error("Invalid Format: line 5 holds no number. It looks like part of an earlier "
                    "report: delete that report and solve again. Not read as equations: line 2 "
                    "holds no '='."));
}

TEST(SolveCore, GeneralSolutionsTooLargeToListAreRefused)
{
    // One equation in 4097 unknowns: 4096 free, 4097 x 4096 coefficients.
    std::string row;
    for (int j = 0; j < 4098; ++j)
        row += "1 ";
    const quendle::solve_outcome o = solve_text(row);
    EXPECT_EQ(o.report, error("Too many free unknowns to list: 4097 unknowns in 1 equation, at "
                              "least 4096 of them free."));
    EXPECT_FALSE(o.solved || o.general);
    // Known only once reduced: rank 1, not 2.
    EXPECT_EQ(report_of(row + "\n" + row),
              error("Too many free unknowns to list: 4097 unknowns in 2 equations, at least 4096 "
                    "of them free."));
}

TEST(SolveCore, NumbersThatCannotBeConvertedAreReported)
{
    // The rest of such a line would otherwise be lost without a word.
    EXPECT_EQ(report_of("2 6 1e999\n"), error("Invalid Format: line 1 holds a number out of range."));
    EXPECT_EQ(report_of("1 1 2\n1 ..5 3\n"),
              error("Invalid Format: line 2 holds a malformed number."));
    // "inf" and "nan" start no number; "-inf" neither.
    EXPECT_EQ(report_of("2 inf 6 nan\n"),
              "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   3.0000000\r\n");
}

TEST(SolveCore, SingularMatrix)
{
    // Found singular, a square system is answered as any other shape is.
    EXPECT_EQ(report_of("1 2 3\n2 4 6\n"), "\r\n\r\nGeneral Solution:\r\n\r\n"
                                           " x[  0] :   3.0000000 - 2.0000000 x[  1]\r\n"
                                           " x[  1] :        free\r\n");
    EXPECT_EQ(report_of("0 0 1\n0 0 2\n"),
              error("No Solution - the equations are inconsistent (rank 0; 1 with the constants)."));
    // So it is when the cofactor solver finds it singular.
    EXPECT_EQ(solve_text(std::string("1 2 3\n2 4 6\n"), MTRX_COFACTOR).report,
              report_of("1 2 3\n2 4 6\n"));
    EXPECT_EQ(solve_text(std::string("1 1 2\n1 1 3\n"), MTRX_COFACTOR).report,
              error("No Solution - the equations are inconsistent (rank 1; 2 with the constants)."));
}

TEST(SolveCore, WideValuesAndManyRowsFit)
{
    EXPECT_EQ(report_of("1 -123456789012.5\n"),
              "\r\n\r\nSolution Vector:\r\n\r\n x[  0] : -123456789012.5000000\r\n");

    // 1100 unknowns: x[i] = i on a diagonal system, index field past 3 digits.
    const size_t n = 1100;
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j)
            text += (i == j ? "1 " : "0 ");
        text += std::to_string(i) + "\n";
    }
    std::string r = report_of(text);
    EXPECT_NE(r.find(" x[999] :  999.0000000\r\n x[1000] :  1000.0000000\r\n"), std::string::npos);
    const std::string last = " x[1099] :  1099.0000000\r\n";
    EXPECT_EQ(r.substr(r.size() - last.size()), last);
}

TEST(SolveCore, HighBytesAndNulStartNoNumber)
{
    std::string t("\xe4\xb8\xad 2\0 6\n", 9);
    EXPECT_EQ(report_of(t), "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   3.0000000\r\n");
}

TEST(SolveCore, ExhaustedMemoryIsAnErrorLine)
{
    // Every allocation the library makes on the way can fail.
    EXPECT_GT(sweep_alloc_failures([] {
                  bool solved = true;
                  const std::string r = report_of(example, &solved);
                  if (r == example_report && solved)
                      return true;
                  EXPECT_EQ(r, error("Out of memory."));
                  EXPECT_FALSE(solved);
                  return false;
              }),
              0);
}

TEST(SolveCore, WritesNothingOnAnyStream)
{
    // Every outcome, and exhausted memory at each allocation on the way: the
    // report is the only output.
    const std::string named = "x + 2 yy = 3\n2x + 4yy = 6\n";
    const std::string texts[] = {example, help_text, "1e999 2 3\n4 5 6\n", "1 2 3\n4 5\n",
                                 "1 1 2\n1 ..5 3\n", "1 2 3\n2 4 6\n", "x", "1 1 2\n1 1 3\n",
                                 "System 1:\n1 2 3\n4 5 6\n7 8 9\n", named,
                                 named + report_of(named), "2x + 3y = 8\nx - y -1\n",
                                 "2x + 3y = 8\nx^2 - y = -1\n"};
    for (const std::string &t : texts) {
        const std::string whole = report_of(t);
        // (A failure after the text's fault was found changes nothing.)
        for_each_failing_request([&](long k) {
            std::string report;
            EXPECT_EQ(output_of([&] { report = solve_text(t).report; }), "") << k << ": " << t;
            EXPECT_TRUE(report == whole || report == error("Out of memory.")) << k << ": " << report;
        });
    }
}

TEST(SolveCore, MessagesNameTheLineAnEditorShows)
{
    // Lines count from the text's first, heading and blank lines included;
    // counts agree with their nouns.
    random_source src(20261209);
    int named = 0;
    for (int k = 0; k < 400; ++k) {
        std::size_t line = 0;
        const std::string text = user_text(src, line);
        SCOPED_TRACE(text);
        const std::string r = report_of(text);
        if (line == 0) {
            EXPECT_THAT(r, testing::Not(testing::HasSubstr(" line ")));
            continue;
        }
        ++named;
        EXPECT_THAT(r, testing::StartsWith("\r\n\r\n ERROR: Invalid Format: line " +
                                           std::to_string(line) + " h"));
        EXPECT_THAT(r, testing::Not(testing::HasSubstr(" 1 values")));
    }
    EXPECT_GT(named, 100);
}

TEST(SolveCore, EverySystemIsAnsweredInBothForms)
{
    // Systems of every shape up to 6 x 6 and every rank, consistent or not,
    // as a matrix and as equations: the answer the construction gives, the
    // same bits and report (under the names) in both forms, and a report
    // that Solve replaces when it solves again, with or without --check's
    // diagnostics after it.
    const std::string pool[] = {"a", "b", "c", "d", "f", "g", "h", "k", "p", "q",
                                "u", "v", "w", "y", "z", "\xCE\xB1", "\xCE\xB2", "\xD0\xB6"};
    random_source src(2312);
    int seen[3] = {0, 0, 0}; // none, one, infinitely many
    for (int k = 0; k < 1000; ++k) {
        const std::size_t m = 1 + src.below(6), n = 1 + src.below(6);
        const std::size_t r = src.below(std::min(m, n) + 1);
        const bool consistent = r == m || src.below(2);
        const Matrix ab = src.integer_system(m, n, r, consistent);
        const std::string text = matrix_text(ab, src);
        SCOPED_TRACE(text);
        const quendle::solve_outcome o = solve_text(text);

        // A square system is answered by the checked solve unless that finds
        // it singular. (Elimination may round a singular one's last pivot
        // to a tiny number instead of zero: a solution then, as ever, with
        // the warning.)
        const bool checked = m == n && !o.reduced;
        if (checked && r < n) {
            EXPECT_TRUE(o.solved && o.info.ill_conditioned) << o.report;
        } else if (!consistent) {
            EXPECT_EQ(o.report, error("No Solution - the equations are inconsistent (rank " +
                                      std::to_string(r) + "; " + std::to_string(r + 1) +
                                      " with the constants)."));
            EXPECT_FALSE(o.solved || o.general);
        } else {
            EXPECT_EQ(o.solved, r == n);
            EXPECT_EQ(o.general, r < n);
            std::size_t free = 0;
            for (std::size_t at = 0; (at = o.report.find(":        free\r\n", at)) != std::string::npos; ++at)
                ++free;
            EXPECT_EQ(free, n - r);
            ASSERT_EQ(o.x.size(), n);
            for (const auto &row : ab) {
                double s = 0, scale = std::fabs(row[n]);
                for (std::size_t j = 0; j < n; ++j) {
                    s += row[j] * o.x[j];
                    scale += std::fabs(row[j] * o.x[j]);
                }
                EXPECT_LE(std::fabs(s - row[n]), 1e-12 * (scale + 1));
            }
        }
        ++seen[o.general ? 2 : o.solved ? 1 : 0];
        EXPECT_TRUE(checked || o.reduced->rank == r);

        const std::string once = text + o.report;
        EXPECT_EQ(solved(once), once);
        if (o.solved || o.general) {
            const std::string check =
                o.reduced ? quendle::reduction_text(*o.reduced) : quendle::diagnostics_text(o.info);
            EXPECT_EQ(solve_text(once + check).kept, text.size());
        }

        std::vector<std::string> names(std::begin(pool), std::end(pool));
        for (std::size_t j = names.size(); j > 1; --j)
            std::swap(names[j - 1], names[src.below(j)]);
        names.resize(n);
        const std::string equations = equations_text(ab, names, src);
        SCOPED_TRACE(equations);
        const quendle::solve_outcome e = solve_text(equations);
        EXPECT_EQ(e.report, renamed(o.report, names));
        EXPECT_EQ(e.solved, o.solved);
        EXPECT_EQ(e.general, o.general);
        EXPECT_EQ(e.x, o.x);
        EXPECT_EQ(solved(equations + e.report), equations + e.report);
    }
    EXPECT_GT(*std::min_element(std::begin(seen), std::end(seen)), 100);
}

TEST(SolveCore, SolveAgainReplacesItsOwnReport)
{
    // Whatever the text and whatever report follows it (of this text, of
    // another, with the diagnostics or line ends after it), Solve reads the
    // text alone and puts its report in the old one's place; any other byte
    // after a report makes it the user's text.
    random_source src(7);
    for (int k = 0; k < 300; ++k) {
        std::size_t line = 0;
        const std::string text = user_text(src, line), other = user_text(src, line);
        SCOPED_TRACE(text);
        const std::string once = solved(text);
        ASSERT_EQ(once.substr(0, text.size()), text);
        EXPECT_EQ(quendle::report_start(once.data(), once.size()), text.size());
        EXPECT_EQ(solved(once), once);
        EXPECT_EQ(solved(once + "\r\n\n\r\n"), once);

        const quendle::solve_outcome o = solve_text(other);
        std::string old = o.report;
        if (o.solved && src.below(2))
            old += quendle::diagnostics_text(o.info);
        EXPECT_EQ(solved(text + old), once);
        EXPECT_EQ(solve_text(text + old + " ").kept, text.size() + old.size() + 1);
    }
}

TEST(SolveCore, OnlyTheReportsShapeIsReplaced)
{
    const std::string report = example_report;
    // A solution report loses its shape by any byte taken out of it, with
    // the warning and the diagnostics too (but for a digit of their numbers,
    // where "1.03e-309" less a digit may be another number's form).
    random_source src(11);
    std::vector<std::string> reports = {report, report_of("1 1 2\n1 1.0000000000000002 2\n")};
    ASSERT_THAT(reports[1], testing::HasSubstr("WARNING"));
    reports.push_back(reports[1] + quendle::diagnostics_text(solve_text(reports[1]).info));
    ASSERT_THAT(reports[2], testing::HasSubstr(" (untrusted)\r\n"));
    // The general solution, the solution lines with names, and the
    // diagnostics of the reduced row echelon form after either.
    for (const std::string text : {"1 2 3\n2 4 6\n", "a + 2 bb - 0.5 d = 3\nbb + 0.25 d = -1\n",
                                   "2x + 3y = 8\nx - y = -1\n", "1 1 3\n1 -1 1\n2 0 4\n",
                                   "p + q = 1\n2p + 2q = 2\n"}) {
        const quendle::solve_outcome o = solve_text(text);
        ASSERT_TRUE(o.solved || o.general) << text;
        reports.push_back(o.report);
        if (o.reduced)
            reports.push_back(o.report + quendle::reduction_text(*o.reduced));
    }
    for (int k = 0; k < 40; ++k) {
        std::size_t line = 0;
        const quendle::solve_outcome o = solve_text(user_text(src, line));
        if (o.solved)
            reports.push_back(o.report + (k % 2 ? quendle::diagnostics_text(o.info) : ""));
    }
    for (const std::string &r : reports) {
        const std::string whole = example + r;
        EXPECT_EQ(quendle::report_start(whole.data(), whole.size()), example.size()) << r;
    }
    for (const std::string &r : reports)
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (i > r.find("Diagnostics:") && std::isdigit(static_cast<unsigned char>(r[i])))
                continue;
            const std::string cut = example + r.substr(0, i) + r.substr(i + 1);
            EXPECT_EQ(quendle::report_start(cut.data(), cut.size()), cut.size()) << i << ": " << r;
        }

    // Nor is anything else this program's report.
    const std::string not_reports[] = {
        example + "\r\n\r\nSolution Vector:\r\n\r\n",
        example + "\r\n\r\nSolution Vector:\r\n\r\n x[  1] :   1.0000000\r\n",
        example + "\r\n\r\nSolution Vector:\r\n\r\n x[  0] :   3.000000\r\n",
        example + "\r\n\r\nSolution Vector:\r\n\r\n x[  0] : 3.0000000\r\n",
        example + "\n\nSolution Vector:\n\n x[  0] :   3.0000000\n",
        example + report + " \r\n",
        example + report + "\r\n WARNING: Matrix is close to singular.\r\n",
        example + error(""),
        example + "\r\n ERROR: Singular Matrix - no unique solution.\r\n",
        example + error("No Solution - the equations are inconsistent (rank 1; 2 with the constants).") + "x",
    };
    for (const std::string &t : not_reports)
        EXPECT_EQ(quendle::report_start(t.data(), t.size()), t.size()) << t;
    const std::string err = error("Out of memory.");
    EXPECT_EQ(quendle::report_start((example + err + "\n\r").data(), example.size() + err.size() + 2),
              example.size());
    EXPECT_EQ(quendle::report_start(err.data(), err.size()), 0u);
}
