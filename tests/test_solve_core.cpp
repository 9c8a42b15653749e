// The Solve command's text processing, shared by the window and the console
// tool: the report, its error lines, the warning, and silence on every stream.
#include <cctype>
#include <cfloat>
#include <cstdio>
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
        if (here && (fault == 2 || fault == 3 || fault == 4 || (fault == 1 && i > 0)))
            line = lines;
        if (i + 1 < n || src.below(2))
            end_line();
    }
    if (fault == 6) // nearly singular: solved, with the warning
        t = "1 1 2" + nl + "1 1.0000000000000002 2" + nl;
    return t;
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
    EXPECT_EQ(report_of(example + error("Singular Matrix - no unique solution.") + "\n\n1 2\n"),
              error("Invalid Format: line 5 holds no number. It looks like part of an earlier "
                    "report: delete that report and solve again."));
}

TEST(SolveCore, ShapeMustBeNRowsOfNPlusOne)
{
    EXPECT_EQ(report_of("1 2 3\n4 5 6\n7 8 9\n"),
              error("Invalid Format: line 1 has 3 values, expected 4."));
    EXPECT_EQ(report_of("2 6\n1 2 3\n"), error("Invalid Format: line 1 has 2 values, expected 3."));
    EXPECT_EQ(report_of("Two:\n\n1 2 3\n\n4 5\n"),
              error("Invalid Format: line 5 has 2 values, expected 3."));
    EXPECT_EQ(report_of("1 2 3 4\n"), error("Invalid Format: line 1 has 4 values, expected 2."));
    EXPECT_EQ(report_of("1 2 3\n4\n"), error("Invalid Format: line 2 has 1 value, expected 3."));
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
    EXPECT_EQ(report_of("1 2 3\n2 4 6\n"), error("Singular Matrix - no unique solution."));
    EXPECT_EQ(report_of("0 0 1\n0 0 2\n"), error("Singular Matrix - no unique solution."));
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
    const std::string texts[] = {example, help_text, "1e999 2 3\n4 5 6\n", "1 2 3\n4 5\n",
                                 "1 1 2\n1 ..5 3\n", "1 2 3\n2 4 6\n", "x"};
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
    for (const std::string &r : reports) {
        const std::string whole = example + r;
        EXPECT_EQ(quendle::report_start(whole.data(), whole.size()), example.size()) << r;
    }
    for (int k = 0; k < 40; ++k) {
        std::size_t line = 0;
        const quendle::solve_outcome o = solve_text(user_text(src, line));
        if (o.solved)
            reports.push_back(o.report + (k % 2 ? quendle::diagnostics_text(o.info) : ""));
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
        example + error("Singular Matrix - no unique solution.") + "x",
    };
    for (const std::string &t : not_reports)
        EXPECT_EQ(quendle::report_start(t.data(), t.size()), t.size()) << t;
    const std::string err = error("Out of memory.");
    EXPECT_EQ(quendle::report_start((example + err + "\n\r").data(), example.size() + err.size() + 2),
              example.size());
    EXPECT_EQ(quendle::report_start(err.data(), err.size()), 0u);
}
