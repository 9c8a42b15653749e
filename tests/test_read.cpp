// The row-pointer record, the line parser and the two row-pointer readers.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/alloc.h"
#include "test_helpers.h"

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

TEST(ReadStr, LongLinesAreReadWhole)
{
    // 8191 characters, the old line limit, and 20000 with a number across
    // every 8192-byte boundary.
    std::string line(8190, ' ');
    line += "7";
    MtrxPtr m(mtrx_read_str(("1" + line).c_str()));
    ASSERT_TRUE(m);
    EXPECT_THAT(row_of(m.get(), 0, 2), ElementsAre(1, 7));

    std::string big;
    size_t count = 0;
    while (big.size() < 20000) {
        big += "123456.5 ";
        ++count;
    }
    m.reset(mtrx_read_str((big + "\n" + big).c_str()));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 2u);
    EXPECT_EQ(m->cols, count);
    for (size_t j = 0; j < count; ++j)
        ASSERT_EQ(m->mtrx[1][j], 123456.5);
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

TEST(ReadFilePtrs, LongLineIsOneRowWithNoNumberCut)
{
    std::string line;
    while (line.size() < 20000)
        line += "98765.25,";
    size_t count = line.size() / 9;
    FILE *fp = stream_of(line + "\n" + line + "\n");
    MtrxPtr m(mtrx_read_file_ptrs(fp));
    std::fclose(fp);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 2u);
    EXPECT_EQ(m->cols, count);
    for (size_t j = 0; j < count; ++j)
        ASSERT_EQ(m->mtrx[1][j], 98765.25);
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

TEST(Storage, CreateGrowAndFree)
{
    MtrxPtr m(mtrx_create_ptrs(4));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->rows, 0u);
    EXPECT_EQ(m->cols, 0u);
    EXPECT_EQ(m->maxrows, 4u);
    EXPECT_EQ(m->maxcols, 8u);
    m->mtrx[0] = static_cast<double *>(std::calloc(2, sizeof(double)));
    m->rows = 1;
    double **grown = mtrx_grow_ptrs(m.get());
    EXPECT_EQ(grown, m->mtrx);
    EXPECT_EQ(m->maxrows, 8u);
    for (size_t i = 1; i < 8; ++i)
        EXPECT_EQ(m->mtrx[i], nullptr);

    // Rows the record owns beyond `rows` are released as well.
    m->mtrx[5] = static_cast<double *>(std::calloc(2, sizeof(double)));

    std::string err = stderr_of([] { EXPECT_EQ(mtrx_grow_ptrs(nullptr), nullptr); });
    EXPECT_EQ(err, "<unknown>() error: struct parameter NULL.\n");
}

TEST(Storage, CreateReportsEachFailedAllocation)
{
    std::string err = stderr_of([] {
        mtrx_testing_fail_alloc(1);
        EXPECT_EQ(mtrx_create_ptrs(8), nullptr);
        mtrx_testing_fail_alloc(2);
        EXPECT_EQ(mtrx_create_ptrs(8), nullptr);
        mtrx_testing_fail_alloc(0);
    });
    EXPECT_EQ(err, "<unknown>() error: calloc-m.\n"
                   "<unknown>() error: malloc m->mtrx failed.\n");
}

TEST(Resize, ZeroFillsWhatIsAdded)
{
    auto *p = static_cast<int *>(std::malloc(2 * sizeof(int)));
    p[0] = 7;
    p[1] = 8;
    p = static_cast<int *>(xrealloc_zero(p, sizeof(int), 2, 5));
    EXPECT_EQ(p[1], 8);
    EXPECT_EQ(p[4], 0);
    size_t n = 5;
    p = static_cast<int *>(xrealloc_add(p, sizeof(int), &n, 3));
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(p[7], 0);
    p = static_cast<int *>(xrealloc_double(p, sizeof(int), &n));
    EXPECT_EQ(n, 16u);
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ(p[15], 0);
    p = static_cast<int *>(xrealloc_zero(p, sizeof(int), 16, 1));
    EXPECT_EQ(p[0], 7);
    std::free(p);
}

TEST(ResizeDeathTest, ExhaustedMemoryEndsTheProcess)
{
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            size_t n = 4;
            void *p = std::malloc(4 * sizeof(double));
            mtrx_testing_fail_alloc(1);
            xrealloc_double(p, sizeof(double), &n);
        },
        testing::ExitedWithCode(1), "^realloc\\(\\): virtual memory exhausted\\.: ");
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            size_t n = SIZE_MAX / 2 + 1;
            xrealloc_double(std::malloc(8), 1, &n);
        },
        testing::ExitedWithCode(1), "virtual memory exhausted");
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            mtrx_testing_fail_alloc(1);
            size_t n = 0;
            row_parse("1 2", &n);
        },
        testing::ExitedWithCode(1), "^calloc-array: ");
}
