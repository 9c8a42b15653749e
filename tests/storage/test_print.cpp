// Printing records, arrays and vectors on stdout: field layouts for several
// widths, the two refusals, empty shapes, number forms that C runtimes are
// known to print differently, and the row-pointer dump.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "support/records.h"
#include "support/streams.h"

namespace {

const std::string not_system = "<unknown>() error - not a linear system matrix, (rows >= cols).\n";
const std::string not_square = "<unknown>() error - square of m->rows not possible, (rows > cols).\n";

MtrxPtr example() { return record_of({{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}}); }

std::vector<std::string> lines_of(const std::string &s)
{
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);)
        v.push_back(line);
    return v;
}

std::string pointer_text(const void *p)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

} // namespace

TEST(MtrxPrint, PlainPrintWidths)
{
    auto m = example();
    EXPECT_EQ(stdout_of([&] { mtrx_print(m.get(), 4); }),
              "    3    2   -4    3\n    2    3    3   15\n    5   -3    1   14\n");
    // Width 0: the space flag shows as a blank where the sign would go.
    EXPECT_EQ(stdout_of([&] { mtrx_print(m.get(), 0); }),
              "  3  2 -4  3\n  2  3  3  15\n  5 -3  1  14\n");
    EXPECT_EQ(stdout_of([&] { mtrx_print(m.get(), -6); }),
              "  3      2     -4      3    \n  2      3      3      15   \n"
              "  5     -3      1      14   \n");
    // Numbers wider than the field are printed whole.
    auto w = record_of({{123456, -0.5}});
    EXPECT_EQ(stdout_of([&] { mtrx_print(w.get(), 2); }), "  123456 -0.5\n");
}

TEST(MtrxPrint, AugmentedPrintAndItsRefusal)
{
    auto m = example();
    EXPECT_EQ(written_by([&] { mtrx_print_aug(m.get(), 4); }),
              (Written{"    3    2   -4  |    3\n    2    3    3  |   15\n    5   -3    1  |   14\n", ""}));
    EXPECT_EQ(stdout_of([&] { mtrx_print_aug(m.get(), 0); }),
              " 3 2 -4  | 3\n 2 3 3  | 15\n 5 -3 1  | 14\n");
    EXPECT_EQ(stdout_of([&] { mtrx_print_aug(m.get(), -3); }),
              " 3   2   -4   | 3  \n 2   3   3    | 15 \n 5   -3  1    | 14 \n");

    auto one = record_of({{2, 6}});
    EXPECT_EQ(stdout_of([&] { mtrx_print_aug(one.get(), 0); }), " 2  | 6\n");
    auto none = record_shaped(0, 1);
    EXPECT_EQ(written_by([&] { mtrx_print_aug(none.get(), 4); }), (Written{"", ""}));

    auto sq = record_of({{1, 2}, {3, 4}});
    EXPECT_EQ(written_by([&] { mtrx_print_aug(sq.get(), 4); }), (Written{"", not_system}));
    auto empty = record_shaped(0, 0);
    EXPECT_EQ(written_by([&] { mtrx_print_aug(empty.get(), 4); }), (Written{"", not_system}));
}

TEST(MtrxPrint, SquarePrintAndItsRefusal)
{
    auto m = example();
    EXPECT_EQ(written_by([&] { mtrx_print_sq(m.get(), 6); }),
              (Written{"  3.000  2.000 -4.000\n  2.000  3.000  3.000\n  5.000 -3.000  1.000\n", ""}));
    EXPECT_EQ(stdout_of([&] { mtrx_print_sq(m.get(), -8); }),
              "  3.000    2.000   -4.000  \n  2.000    3.000    3.000  \n"
              "  5.000   -3.000    1.000  \n");

    auto sq = record_of({{0.0005, -1e-4}, {2.0005, 123.4565}});
    EXPECT_EQ(stdout_of([&] { mtrx_print_sq(sq.get(), 0); }), "  0.001 -0.000\n  2.001  123.457\n");

    auto tall = record_of({{1, 2}, {3, 4}, {5, 6}});
    EXPECT_EQ(written_by([&] { mtrx_print_sq(tall.get(), 6); }), (Written{"", not_square}));
    auto empty = record_shaped(0, 0);
    EXPECT_EQ(written_by([&] { mtrx_print_sq(empty.get(), 6); }), (Written{"", ""}));
}

TEST(MtrxPrint, EmptyShapesArraysAndVectors)
{
    auto none = record_shaped(0, 3);
    EXPECT_EQ(stdout_of([&] { mtrx_print(none.get(), 4); }), "");
    auto no_cols = record_shaped(2, 0);
    EXPECT_EQ(stdout_of([&] { mtrx_print(no_cols.get(), 4); }), "\n\n");
    EXPECT_EQ(stdout_of([] { vect_print(nullptr, 0, 4); }), "\n");

    Rows a({{1.5, -2, 99}, {0, 1e6, 7}});
    EXPECT_EQ(stdout_of([&] { arr2d_print(a.get(), 2, 2, 3); }), "  1.5  -2\n   0  1e+06\n");
    double v[] = {1, -1, 0.25};
    EXPECT_EQ(stdout_of([&] { vect_print(v, 3, 5); }), "     1    -1  0.25\n");
}

TEST(MtrxPrint, NumberFormsMatchAcrossRuntimes)
{
    // Exponents of at least two digits, shortest %g forms, signed zero and
    // infinities, a subnormal; exact decimal expansion in %.3f.
    const double inf = std::numeric_limits<double>::infinity();
    double v[] = {1e-5, 1e100, 123456789, 0.0001, -0.0, 1.5e-300, inf, -inf, 0.1 + 0.2, 5e-324};
    EXPECT_EQ(stdout_of([&] { vect_print(v, 10, 0); }),
              "  1e-05  1e+100  1.23457e+08  0.0001 -0  1.5e-300  inf -inf  0.3  4.94066e-324\n");
    // A NaN prints as "nan" whatever its sign bit.
    const double qnan = std::numeric_limits<double>::quiet_NaN();
    double nans[] = {qnan, std::copysign(qnan, -1.0)};
    EXPECT_EQ(stdout_of([&] { vect_print(nans, 2, 4); }), "  nan  nan\n");
    auto n = record_of({{nans[1], nans[0], nans[1]}});
    EXPECT_EQ(stdout_of([&] { mtrx_print_aug(n.get(), 0); }), " nan nan  | nan\n");
    EXPECT_EQ(stdout_of([&] { mtrx_print_sq(n.get(), 0); }), "  nan\n");
    auto big = record_of({{1e23}});
    EXPECT_EQ(stdout_of([&] { mtrx_print_sq(big.get(), 0); }), "  99999999999999991611392.000\n");
}

TEST(MtrxDumpPtrs, AddressesOfTheRowPointerArray)
{
    MtrxPtr m(mtrx_create_ptrs(4));
    ASSERT_NE(m, nullptr);
    for (size_t i = 0; i < 2; ++i)
        m->mtrx[i] = static_cast<double *>(std::calloc(1, sizeof(double)));
    m->rows = 2;
    std::string out = stdout_of([&] { mtrx_dump_ptrs(m.get()); });

    // Shapes first, whatever form the runtime gives "%p".
    auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 6u) << out;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(m->mtrx: \S+)"))) << lines[0];
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(std::regex_match(lines[i + 1], std::regex("  m->mtrx\\[ " + std::to_string(i) + "\\]: \\S+")))
            << lines[i + 1];
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(out.back(), '\n');
    // Entries past the rows read are null.
    EXPECT_EQ(lines[3], "  m->mtrx[ 2]: " + pointer_text(nullptr));
    EXPECT_EQ(lines[4], "  m->mtrx[ 3]: " + pointer_text(nullptr));

    // And the exact text the runtime gives for these addresses.
    std::string expect = "m->mtrx: " + pointer_text(m->mtrx) + "\n";
    for (size_t i = 0; i < 4; ++i)
        expect += "  m->mtrx[ " + std::to_string(i) + "]: " + pointer_text(m->mtrx[i]) + "\n";
    EXPECT_EQ(out, expect + "\n");
    EXPECT_NE(pointer_text(m->mtrx[0]), pointer_text(nullptr));

    // Two-digit indices fill the field.
    MtrxPtr wide(mtrx_create_ptrs(12));
    lines = lines_of(stdout_of([&] { mtrx_dump_ptrs(wide.get()); }));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[10].substr(0, 15), "  m->mtrx[ 9]: ");
    EXPECT_EQ(lines[11].substr(0, 15), "  m->mtrx[10]: ");
    EXPECT_EQ(lines[12], "  m->mtrx[11]: " + pointer_text(nullptr));
}
