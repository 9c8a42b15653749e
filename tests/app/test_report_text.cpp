// The report texts beyond the square regular system: the solution lines
// (the Solve core's bytes without names, aligned names with them) and the
// general solution, read back and checked against the system it describes.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "report_text.h"
#include "solve_core.h"
#include "support/generators.h"
#include "support/records.h"

using quendle::general_solution_report;
using quendle::solution_report;

namespace {

std::string general_of(const Matrix &ab, const char *const *names = nullptr)
{
    MtrxPtr m = record_of(ab);
    mtrx_general_solution g;
    EXPECT_EQ(mtrx_solve_general(m.get(), &g, nullptr), MTRX_OK);
    std::string r = general_solution_report(g, names);
    mtrx_general_free(&g);
    return r;
}

} // namespace

TEST(ReportText, SolutionLinesAreTheSolveCoresBytes)
{
    random_source src(31);
    for (int k = 0; k < 60; ++k) {
        const std::size_t n = 1 + src.below(12);
        std::string text;
        char buf[40];
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= n; ++j) {
                std::snprintf(buf, sizeof buf, "%.17g%s", src.uniform(-1e4, 1e4), j < n ? " " : "\n");
                text += buf;
            }
        const quendle::solve_outcome o = quendle::solve_text(text);
        ASSERT_TRUE(o.solved);
        const std::string lines = solution_report(o.x.data(), n);
        EXPECT_EQ(o.report.substr(0, lines.size()), lines);
        EXPECT_TRUE(o.report.size() == lines.size() || o.info.ill_conditioned);
    }
    // Names, left-aligned to the longest (a combining accent takes no room).
    const char *const names[] = {"x", "alpha", "e\xCC\x81t\xC3\xA9", nullptr};
    const double x[] = {1, -2.5, 1e-9};
    EXPECT_EQ(solution_report(x, 3, names), "\r\n\r\nSolution Vector:\r\n\r\n"
                                             " x     :   1.0000000\r\n"
                                             " alpha :  -2.5000000\r\n"
                                             " e\xCC\x81t\xC3\xA9   :   0.0000000\r\n");
}

TEST(ReportText, GeneralSolutionLines)
{
    // x + y = 2, 2x + 2y = 4.
    EXPECT_EQ(general_of({{1, 1, 2}, {2, 2, 4}}), "\r\n\r\nGeneral Solution:\r\n\r\n"
                                                  " x[  0] :   2.0000000 - 1.0000000 x[  1]\r\n"
                                                  " x[  1] :        free\r\n");
    // Two free unknowns, a coefficient of 0 left out, names.
    const char *const names[] = {"a", "bb", "c", "d", nullptr};
    EXPECT_EQ(general_of({{1, 0, 2, -0.5, 3}, {0, 1, 0, 0.25, -1}}, names),
              "\r\n\r\nGeneral Solution:\r\n\r\n"
              " a  :   3.0000000 - 2.0000000 c + 0.5000000 d\r\n"
              " bb :  -1.0000000 - 0.2500000 d\r\n"
              " c  :        free\r\n"
              " d  :        free\r\n");
}

// The general solution read back from its text, with the free unknowns set
// to 0, 1 or -2, solves the system to the report's seven decimals.
TEST(ReportText, GeneralSolutionReadBackSolvesTheSystem)
{
    random_source src(5);
    int read = 0;
    for (int k = 0; k < 300; ++k) {
        const std::size_t m = 1 + src.below(5), n = 2 + src.below(5);
        const std::size_t r = src.below(std::min(m, n)); // (r < n: something is free)
        const Matrix ab = src.integer_system(m, n, r, true);
        const std::string text = general_of(ab);
        SCOPED_TRACE(text);
        // " x[  i] : v + c x[  j] ..." or " x[  i] :        free"
        std::istringstream in(text.substr(std::string("\r\n\r\nGeneral Solution:\r\n\r\n").size()));
        std::vector<double> value(n, 0.0);
        std::vector<std::map<std::size_t, double>> terms(n);
        std::vector<bool> is_free(n, false);
        std::string line;
        std::size_t i = 0;
        for (; std::getline(in, line) && i < n; ++i) {
            ASSERT_EQ(line.back(), '\r');
            std::size_t label = n;
            ASSERT_EQ(std::sscanf(line.c_str(), " x[%zu] :", &label), 1);
            ASSERT_EQ(label, i);
            const std::string rest = line.substr(line.find(':') + 1, line.size() - line.find(':') - 2);
            if (rest == "        free") {
                is_free[i] = true;
                continue;
            }
            const char *p = rest.c_str();
            char *e;
            value[i] = std::strtod(p, &e);
            for (p = e; *p;) {
                char sign;
                double c;
                unsigned j;
                int used = 0;
                ASSERT_EQ(std::sscanf(p, " %c %lf x[%u]%n", &sign, &c, &j, &used), 3) << p;
                ASSERT_TRUE(sign == '+' || sign == '-');
                terms[i][j] = sign == '-' ? -c : c;
                p += used;
            }
        }
        ASSERT_EQ(i, n);
        const double t[] = {0.0, 1.0, -2.0};
        for (double tv : t) {
            std::vector<double> x(n);
            for (std::size_t q = 0; q < n; ++q) {
                x[q] = is_free[q] ? tv : value[q];
                for (auto [j, c] : terms[q]) {
                    ASSERT_TRUE(is_free[j]);
                    x[q] += c * tv;
                }
            }
            for (const auto &row : ab) {
                double s = 0, scale = std::fabs(row[n]);
                for (std::size_t q = 0; q < n; ++q) {
                    s += row[q] * x[q];
                    scale += std::fabs(row[q]);
                }
                EXPECT_LE(std::fabs(s - row[n]), 1e-6 * scale * (1 + std::fabs(tv)));
            }
        }
        ++read;
    }
    EXPECT_EQ(read, 300);
}
