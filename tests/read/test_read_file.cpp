// The stream reader of the preallocated form: growth in both dimensions, the
// trim at the end, rows of other lengths, failed conversions and long lines.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/read/lines.h"
#include <gmock/gmock.h>

#include "support/alloc_sweep.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/records.h"

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

const std::string example = "3,2,-4,3\n2,3,3,15\n5,-3,1,14\n";
const Matrix example_rows = {{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}};

} // namespace

TEST(ReadFile, ExampleGrowsBothDimensionsAndIsTrimmed)
{
    Read r = read(example, 2, 2);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(shape_of(r.m.get()), ElementsAre(3, 4, 3, 4));
    EXPECT_EQ(rows_of(r.m->mtrx, 3, 4), example_rows);
}

TEST(ReadFile, FirstLineSetsTheWidthFromAnyStartingCapacity)
{
    for (size_t cap : {0, 1, 8})
        for (const char *text : {"1 2 3\r\n4 5 6\r\n", "1 2 3\n4 5 6\n"}) {
            Read r = read(text, cap, cap);
            ASSERT_TRUE(r.m) << cap;
            EXPECT_EQ(r.err, "");
            EXPECT_THAT(shape_of(r.m.get()), ElementsAre(2, 3, 2, 3)) << cap;
            EXPECT_EQ(rows_of(r.m->mtrx, 2, 3), (Matrix{{1, 2, 3}, {4, 5, 6}})) << cap;
        }
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

// Lines longer than a block of the stream readers (and than 8191
// characters, an old limit), with numbers across every 8192-byte boundary,
// the last line ended or not: every reader takes each line whole, as one
// row, and cuts no number.
TEST(Readers, LongLinesAreReadWholeByEveryReader)
{
    std::string spaced(8190, ' ');
    MtrxPtr m(mtrx_read_str(("1" + spaced + "7").c_str()));
    ASSERT_TRUE(m);
    EXPECT_THAT(row_of(m.get(), 0, 2), ElementsAre(1, 7));

    for (const std::string number : {"123456.5 ", "98765.25,"}) {
        std::string line;
        while (line.size() < 20000)
            line += number;
        const size_t count = line.size() / number.size();
        const double value = std::strtod(number.c_str(), nullptr);
        for (const std::string &text : {line + "\n" + line, line + "\n" + line + "\n"}) {
            MtrxPtr str, ptrs;
            FILE *fp = stream_of(text);
            EXPECT_EQ(stderr_of([&] {
                          str.reset(mtrx_read_str(text.c_str()));
                          ptrs.reset(mtrx_read_file_ptrs(fp));
                      }),
                      "");
            std::fclose(fp);
            Read pre = read(text, 1, 1);
            EXPECT_EQ(pre.err, "");
            for (const mtrx_t *got : {str.get(), ptrs.get(), pre.m.get()}) {
                ASSERT_TRUE(got);
                EXPECT_EQ(got->rows, 2u);
                ASSERT_EQ(got->cols, count);
                for (size_t i = 0; i < 2; ++i)
                    for (size_t j = 0; j < count; ++j)
                        ASSERT_EQ(got->mtrx[i][j], value) << i << " " << j;
            }
        }
    }
}

// U+2212 MINUS SIGN before a digit or a point, as a number's sign or its
// exponent's, reads as '-' in every reader: generated texts read the same
// bits as their twins with '-' in its place; where it stands before no
// number it is passed over like the blanks in the twin; nothing is said.
TEST(Readers, UnicodeMinusReadsAsAMinusSign)
{
    const std::string minus = "\xE2\x88\x92";
    random_source src(2212);
    for (int k = 0; k < 300; ++k) {
        std::string text, twin;
        auto both = [&](const std::string &t, const std::string &w) {
            text += t;
            twin += w;
        };
        auto same = [&](const std::string &t) { both(t, t); };
        auto sign = [&] {
            const std::size_t s = src.below(3);
            if (s)
                both(s == 1 ? "-" : minus, "-");
        };
        const std::size_t rows = 1 + src.below(4), cols = 1 + src.below(5);
        for (std::size_t i = 0; i < rows; ++i) {
            for (std::size_t j = 0; j < cols; ++j) {
                const char *const seps[] = {" ", ", ", "\t", " x "};
                if (j)
                    src.below(5) ? same(seps[src.below(4)]) : both(" " + minus + " ", "   ");
                sign();
                std::string number = src.below(4) ? std::to_string(src.integer(0, 999)) : "";
                if (number.empty() || src.below(2))
                    number += "." + std::to_string(1 + src.below(99));
                same(number);
                if (src.below(3) == 0) {
                    same(src.below(2) ? "e" : "E");
                    sign();
                    same(std::to_string(src.below(40)));
                }
            }
            same(src.below(2) ? "\n" : "\r\n");
        }
        SCOPED_TRACE(text);
        std::vector<MtrxPtr> got[2];
        for (int t = 0; t < 2; ++t) {
            const std::string &s = t ? twin : text;
            mtrx_t *parsed = nullptr, *streamed = nullptr;
            EXPECT_EQ(mtrx_parse(s.data(), s.size(), &parsed, nullptr), MTRX_OK);
            FILE *fp = stream_of(s);
            EXPECT_EQ(mtrx_parse_stream(fp, &streamed, nullptr), MTRX_OK);
            got[t].emplace_back(parsed);
            got[t].emplace_back(streamed);
            EXPECT_EQ(stderr_of([&] {
                          got[t].emplace_back(mtrx_read_str(s.c_str()));
                          std::rewind(fp);
                          got[t].emplace_back(mtrx_read_file_ptrs(fp));
                      }),
                      "");
            std::fclose(fp);
            Read pre = read(s, 1, 1);
            EXPECT_EQ(pre.err, "");
            got[t].push_back(std::move(pre.m));
        }
        for (std::size_t r = 0; r < got[0].size(); ++r) {
            ASSERT_TRUE(got[1][r]);
            EXPECT_TRUE(same_bits(got[0][r].get(), got[1][r].get())) << "reader " << r;
            EXPECT_EQ(got[1][r]->rows, rows);
        }
    }
    // The system copied from a typeset page; a heading whose minus signs
    // stand before no number.
    MtrxPtr m(mtrx_read_str("3 2 \xE2\x88\x92" "4 3"));
    EXPECT_THAT(row_of(m.get(), 0, 4), ElementsAre(3, 2, -4, 3));
    size_t at = 0;
    const std::string heading = "a \xE2\x88\x92 b \xE2\x88\x92\xE2\x88\x92.5";
    EXPECT_EQ(mtrx_find_matrix(heading.data(), heading.size(), &at, nullptr), MTRX_OK);
    EXPECT_EQ(at, heading.size() - 5);
}

// The line reader on every small block size: lines that fill, straddle and
// span blocks, empty lines, '\r', NUL bytes and a last line without '\n'.
TEST(LineReader, SplitsAtEveryLineEndWhateverTheBlockSize)
{
    random_source src(5);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const std::size_t lines = src.below(12);
        for (std::size_t i = 0; i < lines; ++i) {
            const std::size_t len = src.below(4) == 0 ? src.below(60) : src.below(6);
            for (std::size_t j = 0; j < len; ++j)
                text += "12 .x\r\0-"[src.below(9)];
            if (i + 1 < lines || src.below(2))
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
    random_source src(99);
    const char *forms[] = {"%.17g", "%.6f", "%.0f", "%.3e"};
    std::string text;
    char num[40];
    const size_t lines = 150;
    for (size_t line = 0; line < lines; ++line) {
        if (line % 37 == 5)
            text.append(70000 + src.below(70000), line % 2 ? ' ' : ','); // longer than a block
        for (int j = 0; j < 300; ++j) {
            const double v = std::ldexp(double(src.below(1000000)) - 500000.0, int(src.below(40)) - 20);
            std::snprintf(num, sizeof num, forms[src.below(4)], v);
            text += num;
            text += j + 1 < 300 ? (src.below(3) ? " " : " ,\t") : "";
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
            ASSERT_TRUE(same_bits(got->mtrx[i], want->mtrx[i], 300)) << "row " << i;
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

// A text that fits the starting capacity: only the record is made, and a
// failure there gives null, with its message.
TEST(ReadFile, CreateFailureGivesNull)
{
    documented_messages told(site_words::preallocated_record(1));
    EXPECT_GT(sweep_alloc_failures([&] {
                  Read r = read("1 2\n", 1, 2);
                  if (!r.m) {
                      told.said(r.err);
                      return false;
                  }
                  EXPECT_EQ(r.err, "");
                  EXPECT_THAT(shape_of(r.m.get()), ElementsAre(1, 2, 1, 2));
                  EXPECT_THAT(row_of(r.m.get(), 0, 2), ElementsAre(1, 2));
                  return true;
              }),
              0);
    told.expect_all_met();
}

// Every request of a read that grows the record both ways, and of one that
// cuts row 0 and trims the pointers at the end: a failure while the record
// is made gives null, with its message; one while it grows, is cut or
// trimmed ends the process, with its own.
TEST(ReadFileDeathTest, ExhaustedMemoryGivesNullOrEndsTheProcess)
{
    using site_words::row_not_grown;
    const std::string rows_not_grown = site_words::rows_not_grown();
    struct Case {
        std::string text;
        size_t rows, cols;
        Matrix want;
        std::vector<std::string> ending; // each said by some run
    };
    const Case cases[] = {
        {example, 2, 2, example_rows, {site_words::growth(), rows_not_grown, row_not_grown(0), row_not_grown(1)}},
        {"1 2\n", 2, 8, {{1, 2}}, {site_words::growth()}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> ending = {site_words::growth(), rows_not_grown};
        for (size_t i = 0; i < 4; ++i)
            ending.push_back(row_not_grown(i));
        documented_messages made(site_words::preallocated_record(c.rows)), grown(ending);
        EXPECT_GT(sweep_alloc_failures_in_children(
                      [&](long k) {
                          FILE *fp = stream_of(c.text);
                          mtrx_testing_fail_alloc(k);
                          MtrxPtr m(mtrx_read_file(fp, c.rows, c.cols));
                          const size_t n = c.want.size(), w = c.want[0].size();
                          if (m && !(shape_of(m.get()) == std::vector<size_t>{n, w, n, w} &&
                                     rows_of(m->mtrx, n, w) == c.want))
                              std::abort(); // a record, but not the one read
                          return m != nullptr;
                      },
                      [&](long, child_end end, const std::string &said) {
                          (end == child_end::returned ? made : grown).said(said);
                      }),
                  0);
        made.expect_all_met();
        for (const std::string &words : c.ending)
            grown.expect_met(words);
    }
}
