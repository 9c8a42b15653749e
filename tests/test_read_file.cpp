// The stream reader of the preallocated form: growth in both dimensions, the
// trim at the end, rows of other lengths, failed conversions and long lines.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/lines.h"
#include "test_helpers.h"

using testing::ElementsAre;

namespace {

struct Read {
    MtrxPtr m;
    std::string err;
};

Read read(const std::string &text, size_t rows, size_t cols)
{
    Read r;
    FILE *fp = stream_of(text);
    r.err = stderr_of([&] { r.m.reset(mtrx_read_file(fp, rows, cols)); });
    std::fclose(fp);
    return r;
}

} // namespace

TEST(ReadFile, ExampleGrowsBothDimensionsAndIsTrimmed)
{
    FILE *fp = stream_of("3,2,-4,3\n2,3,3,15\n5,-3,1,14\n");
    mtrx_testing_fail_alloc(0);
    MtrxPtr m(mtrx_read_file(fp, 2, 2));
    long requests = mtrx_testing_fail_alloc(0);
    std::fclose(fp);
    ASSERT_TRUE(m);
    EXPECT_THAT(shape_of(m.get()), ElementsAre(3, 4, 3, 4));
    EXPECT_THAT(row_of(m.get(), 0, 4), ElementsAre(3, 2, -4, 3));
    EXPECT_THAT(row_of(m.get(), 1, 4), ElementsAre(2, 3, 3, 15));
    EXPECT_THAT(row_of(m.get(), 2, 4), ElementsAre(5, -3, 1, 14));
    // The record, its pointers and 2 rows; 2 rows widened; the pointers and 2
    // new rows; the pointers trimmed. Numbers go straight into their places.
    EXPECT_EQ(requests, 10);
}

TEST(ReadFile, FirstLineSetsTheWidth)
{
    Read r = read("1 2 3\r\n4 5 6\r\n", 8, 8);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(2, 3, 2, 3));
    EXPECT_THAT(row_of(r.m.get(), 1, 3), ElementsAre(4, 5, 6));
}

TEST(ReadFile, NoStartingCapacityGrowsFromOne)
{
    Read r = read("1 2 3\n4 5 6\n", 0, 0);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(2, 3, 2, 3));
    EXPECT_THAT(row_of(r.m.get(), 0, 3), ElementsAre(1, 2, 3));
    EXPECT_THAT(row_of(r.m.get(), 1, 3), ElementsAre(4, 5, 6));
}

TEST(ReadFile, NumberStarts)
{
    // ".." and "-.x" start no number; "..5" holds 0.5.
    Read r = read("-.5 +.5 .5 -.x 1-2 ..5 x7\n", 1, 1);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.m->cols, 7u);
    EXPECT_THAT(row_of(r.m.get(), 0, 7), ElementsAre(-0.5, 0.5, 0.5, 1, -2, 0.5, 7));
}

TEST(ReadFile, ShortAndBlankRowsHoldZeros)
{
    Read r = read("1 2 3\n\n4\n\n", 4, 4);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "<unknown>() error: column mismatch row[1]\n"
                     "<unknown>() error: column mismatch row[2]\n"
                     "<unknown>() error: column mismatch row[3]\n");
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(4, 3, 4, 3));
    EXPECT_THAT(row_of(r.m.get(), 1, 3), ElementsAre(0, 0, 0));
    EXPECT_THAT(row_of(r.m.get(), 2, 3), ElementsAre(4, 0, 0));
    EXPECT_THAT(row_of(r.m.get(), 3, 3), ElementsAre(0, 0, 0));
}

TEST(ReadFile, LongerRowDoublesEveryRow)
{
    Read r = read("1 2\n1 2 3 4 5\n6 7\n", 4, 8);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "<unknown>() error: column mismatch row[1]\n");
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(3, 2, 3, 8)); // maxcols 2, 4, then 8
    EXPECT_THAT(row_of(r.m.get(), 0, 8), ElementsAre(1, 2, 0, 0, 0, 0, 0, 0));
    EXPECT_THAT(row_of(r.m.get(), 1, 8), ElementsAre(1, 2, 3, 4, 5, 0, 0, 0));
    EXPECT_THAT(row_of(r.m.get(), 2, 8), ElementsAre(6, 7, 0, 0, 0, 0, 0, 0));
}

TEST(ReadFile, FailedConversionReturnsTheRecordAsItStands)
{
    Read r = read("1 2\n1 2 1e999 4\n5 6\n", 4, 2);
    EXPECT_EQ(r.err, "<unknown>() error: failed conversion mtrx[1][2].\n");
    ASSERT_TRUE(r.m);
    // Not trimmed: four rows allocated, and mtrx_free releases them all.
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(1, 2, 4, 2));
    EXPECT_THAT(row_of(r.m.get(), 1, 2), ElementsAre(1, 2));

    r = read("3 1e999\n", 2, 2);
    EXPECT_EQ(r.err, "<unknown>() error: failed conversion mtrx[0][0].\n");
    ASSERT_TRUE(r.m);
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(0, 0, 2, 2));
    EXPECT_EQ(r.m->mtrx[0][0], 3);
}

TEST(ReadFile, EmptyStreamGivesNullSilently)
{
    Read r = read("", 4, 4);
    EXPECT_FALSE(r.m);
    EXPECT_EQ(r.err, "");
}

TEST(ReadFile, FirstLineWithoutNumber)
{
    Read r = read("x y\n1 2\n", 2, 4);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "<unknown>() error: column mismatch row[1]\n");
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(2, 0, 2, 4));
    EXPECT_THAT(row_of(r.m.get(), 0, 4), ElementsAre(0, 0, 0, 0));
    EXPECT_THAT(row_of(r.m.get(), 1, 4), ElementsAre(1, 2, 0, 0));

    r = read("\n", 3, 3);
    ASSERT_TRUE(r.m);
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(1, 0, 1, 3));
}

TEST(ReadFile, LongLineIsOneRowWithNoNumberCut)
{
    std::string line;
    while (line.size() < 20000)
        line += "98765.25,";
    size_t count = line.size() / 9;
    Read r = read(line + "\n" + line, 1, 1);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.m->rows, 2u);
    EXPECT_EQ(r.m->cols, count);
    for (size_t j = 0; j < count; ++j) {
        ASSERT_EQ(r.m->mtrx[0][j], 98765.25);
        ASSERT_EQ(r.m->mtrx[1][j], 98765.25);
    }
}

// The line reader on every small block size: lines that fill, straddle and
// span blocks, empty lines, '\r', NUL bytes and a last line without '\n'.
TEST(LineReader, SplitsAtEveryLineEndWhateverTheBlockSize)
{
    std::mt19937_64 g(5);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const std::size_t lines = g() % 12;
        for (std::size_t i = 0; i < lines; ++i) {
            const std::size_t len = g() % 4 == 0 ? g() % 60 : g() % 6;
            for (std::size_t j = 0; j < len; ++j)
                text += "12 .x\r\0-"[g() % 9];
            if (i + 1 < lines || g() % 2)
                text += '\n';
        }
        std::vector<std::string> want;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t nl = text.find('\n', at);
            const std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
            want.push_back(text.substr(at, end - at));
            at = end;
        }
        const std::size_t block = 1 + round % 17;
        FILE *fp = stream_of(text);
        mtrx_detail::line_reader reader(fp, block);
        std::vector<std::string> got;
        const char *b, *e;
        while (reader.next(b, e)) {
            got.emplace_back(b, e);
            ASSERT_EQ(*e == '\0' || e[-1] == '\n', true);
        }
        EXPECT_FALSE(reader.next(b, e)); // and it stays at the end
        std::fclose(fp);
        ASSERT_EQ(got, want) << "block " << block << ", round " << round;
    }
}

// The streams are read in large blocks: numbers and line ends fall on every
// kind of block boundary, lines run longer than the blocks, and the last line
// has no '\n'. Both stream readers must read what the text reader reads.
TEST(ReadFile, StreamReadersMatchTheTextReaderAcrossBlocks)
{
    std::mt19937_64 g(99);
    const char *forms[] = {"%.17g", "%.6f", "%.0f", "%.3e"};
    std::string text;
    char num[40];
    const size_t lines = 150;
    for (size_t line = 0; line < lines; ++line) {
        if (line % 37 == 5)
            text.append(70000 + g() % 70000, line % 2 ? ' ' : ','); // longer than a block
        for (int j = 0; j < 300; ++j) {
            const double v = std::ldexp(double(g() % 1000000) - 500000.0, int(g() % 40) - 20);
            std::snprintf(num, sizeof num, forms[g() % 4], v);
            text += num;
            text += j + 1 < 300 ? (g() % 3 ? " " : " ,\t") : "";
        }
        if (line + 1 < lines)
            text += line % 5 ? "\n" : "\r\n";
    }

    MtrxPtr want(mtrx_read_str(text.c_str()));
    ASSERT_TRUE(want);
    ASSERT_EQ(want->rows, lines);
    ASSERT_EQ(want->cols, 300u);
    Read pre = read(text, 1, 1);
    FILE *fp = stream_of(text);
    MtrxPtr ptrs(mtrx_read_file_ptrs(fp));
    std::fclose(fp);
    EXPECT_EQ(pre.err, "");
    for (mtrx_t *got : {pre.m.get(), ptrs.get()}) {
        ASSERT_TRUE(got);
        ASSERT_EQ(got->rows, lines);
        ASSERT_EQ(got->cols, 300u);
        for (size_t i = 0; i < lines; ++i)
            ASSERT_EQ(std::memcmp(got->mtrx[i], want->mtrx[i], 300 * sizeof(double)), 0)
                << "row " << i;
    }
}

// A file opened in text mode ("r"), as most programs open one: CRLF line
// ends, lines longer than a block, and no final line end.
TEST(ReadFile, TextModeFileIsReadWhole)
{
    std::string text, line;
    for (int j = 0; j < 12000; ++j)
        line += std::to_string(j % 97) + (j % 5 ? " " : ",\t");
    for (int i = 0; i < 7; ++i)
        text += std::to_string(i) + " " + line + (i < 6 ? "\r\n" : "");
    // (a name of its own: the same test may run twice at once, under memcheck)
    const std::string name = "quendle_text_mode_" + std::to_string(std::random_device{}()) + ".txt";
    const char *path = name.c_str();
    FILE *w = std::fopen(path, "wb");
    ASSERT_TRUE(w);
    std::fwrite(text.data(), 1, text.size(), w);
    std::fclose(w);
    FILE *fp = std::fopen(path, "r");
    ASSERT_TRUE(fp);
    Read r;
    r.err = stderr_of([&] { r.m.reset(mtrx_read_file(fp, 1, 1)); });
    std::fclose(fp);
    std::remove(path);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.m->rows, 7u);
    ASSERT_EQ(r.m->cols, 12001u);
    for (size_t i = 0; i < 7; ++i) {
        ASSERT_EQ(r.m->mtrx[i][0], double(i));
        for (size_t j = 0; j < 12000; ++j)
            ASSERT_EQ(r.m->mtrx[i][j + 1], double(j % 97)) << i << " " << j;
    }
}

TEST(ReadFile, CreateFailureGivesNull)
{
    FILE *fp = stream_of("1 2\n");
    std::string err = stderr_of([&] {
        mtrx_testing_fail_alloc(1);
        EXPECT_EQ(mtrx_read_file(fp, 2, 2), nullptr);
        mtrx_testing_fail_alloc(0);
    });
    std::fclose(fp);
    EXPECT_EQ(err, "<unknown>() error: calloc-m.\n");
}

TEST(ReadFileDeathTest, FailedTrimEndsTheProcess)
{
    // Requests: the record, the pointers, rows 0 and 1, then the cut of row 0
    // (5) and the trim of the pointers to one row (6).
    for (long k : {5L, 6L}) {
        EXPECT_EXIT(
            {
                ends_process_on_purpose();
                FILE *fp = stream_of("1 2\n");
                mtrx_testing_fail_alloc(k);
                mtrx_read_file(fp, 2, 8);
            },
            testing::ExitedWithCode(1), "realloc\\(\\): virtual memory exhausted\\.: ");
    }
}
