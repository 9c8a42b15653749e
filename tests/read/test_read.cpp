// The line parser, the text reader (against the plain strtod loop too) and
// the row-pointer stream reader.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gmock/gmock.h>

#include "reference/strtod_reader.h"
#include "support/alloc_sweep.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/records.h"

using testing::ElementsAre;

namespace {

std::vector<double> parse(const char *line, size_t cap = 0, std::string *err = nullptr)
{
    size_t n = cap;
    double *row = nullptr;
    std::string e = stderr_of([&] { row = row_parse(line, &n); });
    if (err)
        *err = e;
    std::vector<double> v;
    if (row)
        v.assign(row, row + n);
    std::free(row);
    return v;
}

} // namespace

TEST(RowParse, SeparatorsAndNumberStarts)
{
    EXPECT_THAT(parse("1,5"), ElementsAre(1, 5));
    EXPECT_THAT(parse("x5"), ElementsAre(5));
    EXPECT_THAT(parse("- 5"), ElementsAre(5));
    EXPECT_THAT(parse("-.5"), ElementsAre(-0.5));
    EXPECT_THAT(parse("+.5"), ElementsAre(0.5));
    EXPECT_THAT(parse(".5"), ElementsAre(0.5));
    EXPECT_THAT(parse("1.2.3"), ElementsAre(1.2, 0.3));
    EXPECT_THAT(parse("1e3"), ElementsAre(1000));
    EXPECT_THAT(parse("1-2"), ElementsAre(1, -2));
    EXPECT_THAT(parse("2.5.5"), ElementsAre(2.5, 0.5));
    EXPECT_THAT(parse("[3; 2]\t(-4)\r"), ElementsAre(3, 2, -4));
    EXPECT_THAT(parse("\xb5" "7\xff" "8"), ElementsAre(7, 8));
}

TEST(RowParse, ConversionFailureEndsTheLine)
{
    std::string err;
    EXPECT_THAT(parse("1 ..5 2", 0, &err), ElementsAre(1));
    EXPECT_EQ(err, "error: no digits converted.\n");
    EXPECT_THAT(parse("1 -.x 2", 0, &err), ElementsAre(1));
    EXPECT_EQ(err, "error: no digits converted.\n");
    EXPECT_THAT(parse("1 2 1e999 4", 0, &err), ElementsAre(1, 2));
    EXPECT_EQ(err, "error: in conversion.\n");
    EXPECT_TRUE(parse(".. 1", 0, &err).empty());
    EXPECT_EQ(err, "error: no digits converted.\n");
}

TEST(RowParse, CountIsCapacityInAndValuesOut)
{
    size_t n = 5;
    double *row = row_parse("1 2 3", &n);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(n, 3u);
    std::free(row);

    n = 0;
    EXPECT_EQ(row_parse("abc", &n), nullptr);
    EXPECT_EQ(n, 8u);
    n = 3;
    EXPECT_EQ(row_parse("", &n), nullptr);
    EXPECT_EQ(n, 3u);

    // Nine values outgrow the first capacity of 8 and come back exact.
    n = 0;
    row = row_parse("1 2 3 4 5 6 7 8 9", &n);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(n, 9u);
    EXPECT_EQ(row[8], 9.0);
    std::free(row);
}

TEST(ReadStr, ExampleSystem)
{
    MtrxPtr m(mtrx_read_str("3,2,-4,3\r\n2,3,3,15\r\n5,-3,1,14"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 3u);
    EXPECT_EQ(m->cols, 4u);
    EXPECT_EQ(m->maxrows, 3u);
    EXPECT_EQ(m->maxcols, 4u);
    EXPECT_THAT(row_of(m.get(), 0, 4), ElementsAre(3, 2, -4, 3));
    EXPECT_THAT(row_of(m.get(), 2, 4), ElementsAre(5, -3, 1, 14));
}

TEST(ReadStr, EmptyTextsGiveNullSilently)
{
    std::string err = stderr_of([] {
        EXPECT_EQ(mtrx_read_str(""), nullptr);
        EXPECT_EQ(mtrx_read_str("\n1 2\n"), nullptr);
    });
    EXPECT_EQ(err, "");
}

TEST(ReadStr, BlankLinesAndWhitespaceArePassedOver)
{
    MtrxPtr m(mtrx_read_str("1 2\n\n  \n3 4\n\n"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 2u);
    EXPECT_THAT(row_of(m.get(), 1, 2), ElementsAre(3, 4));
}

TEST(ReadStr, NineLinesGrowAndTrimTheRowArray)
{
    std::string text;
    for (int i = 1; i <= 9; ++i)
        text += std::to_string(i) + " " + std::to_string(-i) + "\n";
    MtrxPtr m(mtrx_read_str(text.c_str()));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 9u);
    EXPECT_EQ(m->maxrows, 9u);
    EXPECT_THAT(row_of(m.get(), 8, 2), ElementsAre(9, -9));
}

TEST(ReadStr, ColumnMismatchIsReportedAndShortRowsArePadded)
{
    mtrx_t *raw = nullptr;
    std::string err = stderr_of([&] { raw = mtrx_read_str("1 2 3\n4 5\n6 7 8 9\n"); });
    MtrxPtr m(raw);
    EXPECT_EQ(err, "<unknown>() error: column mismatch row[1]\n"
                   "<unknown>() error: column mismatch row[2]\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 3u);
    EXPECT_EQ(m->cols, 3u);
    EXPECT_EQ(m->maxcols, 4u); // the last row's count
    EXPECT_THAT(row_of(m.get(), 1, 3), ElementsAre(4, 5, 0));
    EXPECT_THAT(row_of(m.get(), 2, 4), ElementsAre(6, 7, 8, 9));
}

TEST(ReadStrDeathTest, LineWithoutNumberEndsTheProcess)
{
    EXPECT_EXIT((ends_process_on_purpose(), mtrx_read_str("1 2\n3 4\nSolution Vector:\n")),
                testing::ExitedWithCode(1),
                "<unknown>\\(\\) error: no values for mtrx\\[2\\]\\[2\\]\\.");
    EXPECT_EXIT((ends_process_on_purpose(), mtrx_read_str("   \n1 2\n")), testing::ExitedWithCode(1),
                "no values for mtrx\\[0\\]\\[0\\]");
    EXPECT_EXIT((ends_process_on_purpose(), mtrx_read_str("1\n.. 1\n")), testing::ExitedWithCode(1),
                "error: no digits converted\\.\n.*no values for mtrx\\[1\\]\\[1\\]");
}

TEST(ReadFilePtrs, EveryLineIsARow)
{
    FILE *fp = stream_of("3,2,-4,3\n2,3,3,15\n5,-3,1,14");
    MtrxPtr m(mtrx_read_file_ptrs(fp));
    std::fclose(fp);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 3u);
    EXPECT_EQ(m->cols, 4u);
    EXPECT_EQ(m->maxrows, 3u);
    EXPECT_THAT(row_of(m.get(), 2, 4), ElementsAre(5, -3, 1, 14));

    fp = stream_of("");
    EXPECT_EQ(mtrx_read_file_ptrs(fp), nullptr);
    std::fclose(fp);
}

TEST(ReadFilePtrsDeathTest, BlankLineEndsTheProcess)
{
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            FILE *fp = stream_of("1 2\n3 4\n\n");
            mtrx_read_file_ptrs(fp);
        },
        testing::ExitedWithCode(1), "no values for mtrx\\[2\\]\\[2\\]");
}

TEST(RowParseDeathTest, ExhaustedMemoryEndsTheProcess)
{
    // The first array, then its trim to the values read.
    EXPECT_GT(expect_failures_end_the_process(
                  [](long k) {
                      size_t n = 0;
                      mtrx_testing_fail_alloc(k);
                      double *row = row_parse("1 2", &n);
                      const bool done = row && n == 2 && row[1] == 2.0;
                      std::free(row);
                      return done;
                  },
                  {site_words::parsed_row(), site_words::growth()}),
              0);
}

// The whole reader against the plain loop over the same text.
TEST(ReadStr, SameValuesAsTheStrtodLoop)
{
    random_source src(3);
    std::string text;
    char buf[64];
    const std::size_t rows = 40, cols = 60;
    for (std::size_t i = 0; i < rows; ++i) {
        for (std::size_t j = 0; j < cols; ++j) {
            const double v = src.uniform(-1e3, 1e3);
            std::snprintf(buf, sizeof buf, src.below(2) ? "%.17g" : "%.4f", v);
            text += buf;
            text += j + 1 < cols ? ", " : "\r\n";
        }
    }
    MtrxPtr m(mtrx_read_str(text.c_str()));
    std::vector<double> want = quendle_ref::strtod_numbers(text.c_str());
    ASSERT_TRUE(m);
    ASSERT_EQ(m->rows, rows);
    ASSERT_EQ(m->cols, cols);
    for (std::size_t i = 0; i < rows; ++i)
        EXPECT_TRUE(same_bits(m->mtrx[i], &want[i * cols], cols)) << i;
}
