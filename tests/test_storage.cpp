// Vectors, bare arrays and the preallocated record: allocation and its
// failures, growth in both dimensions, copying and full release.
#include <cstdlib>
#include <string>

#include "core/alloc.h"
#include "test_helpers.h"

using testing::ElementsAre;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

// A preallocated rows x cols record holding `values` row by row in its
// first part, with room for `maxrows` x `maxcols`.
MtrxPtr record_of(const std::vector<std::vector<double>> &values, size_t maxrows, size_t maxcols)
{
    MtrxPtr m(mtrx_create(maxrows, maxcols));
    m->rows = values.size();
    m->cols = values.empty() ? 0 : values[0].size();
    for (size_t i = 0; i < values.size(); ++i)
        for (size_t j = 0; j < values[i].size(); ++j)
            m->mtrx[i][j] = values[i][j];
    return m;
}

// Runs `f` with the k-th allocation failing; returns its stderr.
template <class F> std::string failing_at(long k, F &&f)
{
    return stderr_of([&] {
        mtrx_testing_fail_alloc(k);
        f();
        mtrx_testing_fail_alloc(0);
    });
}

} // namespace

TEST(Arrays, ShapesAreZeroFilled)
{
    double **a = arr2d_calloc(3, 4);
    ASSERT_NE(a, nullptr);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_THAT(std::vector<double>(a[i], a[i] + 4), ElementsAre(0, 0, 0, 0));
    arr2d_free(a, 3);

    a = arr2d_calloc(0, 4); // no rows, but an array to release
    ASSERT_NE(a, nullptr);
    arr2d_free(a, 0);

    double *v = vect_calloc(5);
    ASSERT_NE(v, nullptr);
    EXPECT_THAT(std::vector<double>(v, v + 5), ElementsAre(0, 0, 0, 0, 0));
    std::free(v);
}

TEST(Arrays, FailedAllocationsAreReportedAndUndone)
{
    std::string err = failing_at(1, [] { EXPECT_EQ(vect_calloc(5), nullptr); });
    EXPECT_THAT(err, StartsWith("calloc-vector: "));
    EXPECT_THAT(err, EndsWith("\n<unknown>() error: calloc-vect failed.\n"));

    err = failing_at(1, [] { EXPECT_EQ(arr2d_calloc(5, 4), nullptr); });
    EXPECT_THAT(err, StartsWith("calloc-pointers: "));
    EXPECT_THAT(err, EndsWith("\n<unknown>() error: calloc mtrx failed.\n"));

    // Request 4 is row 2 (after the pointer array and rows 0 and 1): rows 1
    // and 0 and the array go back, and nothing more is asked for.
    long made = 0;
    err = failing_at(4, [&] {
        EXPECT_EQ(arr2d_calloc(5, 4), nullptr);
        made = mtrx_testing_fail_alloc(4);
    });
    EXPECT_EQ(made, 4);
    EXPECT_THAT(err, StartsWith("calloc-mtrx[i]: "));
    EXPECT_THAT(err, EndsWith("\n<unknown>() error: calloc-mtrx[2] failed.\n"));
}

TEST(Create, FullCapacityAllocated)
{
    MtrxPtr m(mtrx_create(4, 3));
    ASSERT_TRUE(m);
    EXPECT_THAT(shape_of(m.get()), ElementsAre(0, 0, 4, 3));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_THAT(row_of(m.get(), i, 3), ElementsAre(0, 0, 0));
    // One row in use of four: mtrx_free still releases all four.
    m->rows = 1;
    m->cols = 2;
}

TEST(Create, FailuresReleaseTheRecord)
{
    std::string err = failing_at(1, [] { EXPECT_EQ(mtrx_create(4, 3), nullptr); });
    EXPECT_EQ(err, "<unknown>() error: calloc-m.\n");

    err = failing_at(2, [] { EXPECT_EQ(mtrx_create(4, 3), nullptr); });
    EXPECT_THAT(err, StartsWith("calloc-pointers: "));
    EXPECT_THAT(err, EndsWith("\n<unknown>() error: calloc mtrx failed.\n"));

    err = failing_at(5, [] { EXPECT_EQ(mtrx_create(4, 3), nullptr); });
    EXPECT_THAT(err, EndsWith("\n<unknown>() error: calloc-mtrx[2] failed.\n"));
    EXPECT_THAT(err, testing::Not(HasSubstr("calloc-m.")));
}

TEST(Grow, RowsAndColumnsDouble)
{
    MtrxPtr m = record_of({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}, 4, 3);

    double **rows = mtrx_grow(m.get(), 0);
    EXPECT_EQ(rows, m->mtrx);
    EXPECT_THAT(shape_of(m.get()), ElementsAre(4, 3, 8, 3));
    EXPECT_THAT(row_of(m.get(), 0, 3), ElementsAre(1, 2, 3));
    EXPECT_THAT(row_of(m.get(), 3, 3), ElementsAre(10, 11, 12));
    for (size_t i = 4; i < 8; ++i)
        EXPECT_THAT(row_of(m.get(), i, 3), ElementsAre(0, 0, 0));

    // Any non-zero mode grows the columns of every row, in use or not.
    EXPECT_EQ(mtrx_grow(m.get(), 1), m->mtrx);
    EXPECT_EQ(m->maxcols, 6u);
    EXPECT_EQ(mtrx_grow(m.get(), -7), m->mtrx);
    EXPECT_THAT(shape_of(m.get()), ElementsAre(4, 3, 8, 12));
    EXPECT_THAT(row_of(m.get(), 1, 12), ElementsAre(4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    for (size_t i = 4; i < 8; ++i)
        EXPECT_EQ(row_of(m.get(), i, 12), std::vector<double>(12, 0.0));

    std::string err = stderr_of([] { EXPECT_EQ(mtrx_grow(nullptr, 0), nullptr); });
    EXPECT_EQ(err, "<unknown>() error: struct parameter NULL.\n");
}

TEST(Grow, EmptyCapacityGrowsToOne)
{
    MtrxPtr m(mtrx_create(0, 0));
    ASSERT_TRUE(m);
    mtrx_grow(m.get(), 1);
    EXPECT_EQ(m->maxcols, 1u);
    mtrx_grow(m.get(), 0);
    EXPECT_EQ(m->maxrows, 1u);
    m->mtrx[0][0] = 5;
    mtrx_grow(m.get(), 0);
    mtrx_grow(m.get(), 1);
    EXPECT_THAT(shape_of(m.get()), ElementsAre(0, 0, 2, 2));
    EXPECT_THAT(row_of(m.get(), 0, 2), ElementsAre(5, 0));
    EXPECT_THAT(row_of(m.get(), 1, 2), ElementsAre(0, 0));
}

TEST(GrowDeathTest, ExhaustedMemoryEndsTheProcess)
{
    // Requests: 1 the record, 2 the pointers, 3 and 4 the rows; then the grow.
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            mtrx_t *m = mtrx_create(2, 2);
            mtrx_testing_fail_alloc(1);
            mtrx_grow(m, 0);
        },
        testing::ExitedWithCode(1), "<unknown>\\(\\) error: ptr realloc failed\\.");
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            mtrx_t *m = mtrx_create(2, 2);
            mtrx_testing_fail_alloc(3); // the second new row
            mtrx_grow(m, 0);
        },
        testing::ExitedWithCode(1), "<unknown>\\(\\) error: ptr realloc failed\\.");
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            mtrx_t *m = mtrx_create(4, 2);
            mtrx_testing_fail_alloc(3); // row 2
            mtrx_grow(m, 1);
        },
        testing::ExitedWithCode(1), "<unknown>\\(\\) error: realloc failed row\\[2\\]\\.");
}

TEST(Copy, ExactSizeAndIndependent)
{
    MtrxPtr src = record_of({{1, 2, 3}, {4, 5, 6}}, 8, 16);
    src->mtrx[0][3] = 99; // outside the part in use
    MtrxPtr c(mtrx_copy(src.get()));
    ASSERT_TRUE(c);
    EXPECT_THAT(shape_of(c.get()), ElementsAre(2, 3, 2, 3));
    EXPECT_THAT(row_of(c.get(), 0, 3), ElementsAre(1, 2, 3));
    EXPECT_THAT(row_of(c.get(), 1, 3), ElementsAre(4, 5, 6));
    c->mtrx[1][1] = -1;
    EXPECT_EQ(src->mtrx[1][1], 5);

    // A fresh record copies to an empty one.
    MtrxPtr empty(mtrx_create(3, 3));
    c.reset(mtrx_copy(empty.get()));
    ASSERT_TRUE(c);
    EXPECT_THAT(shape_of(c.get()), ElementsAre(0, 0, 0, 0));
}

TEST(Copy, RowPointerRecordWithShortRow)
{
    mtrx_t *raw = nullptr;
    stderr_of([&] { raw = mtrx_read_str("1 2 3\n4 5\n6 7 8 9\n"); });
    MtrxPtr src(raw);
    ASSERT_TRUE(src);
    MtrxPtr c(mtrx_copy(src.get()));
    ASSERT_TRUE(c);
    EXPECT_THAT(shape_of(c.get()), ElementsAre(3, 3, 3, 3));
    EXPECT_THAT(row_of(c.get(), 1, 3), ElementsAre(4, 5, 0));
    EXPECT_THAT(row_of(c.get(), 2, 3), ElementsAre(6, 7, 8));
}

TEST(Copy, FailureGivesNull)
{
    MtrxPtr src = record_of({{1, 2}, {3, 4}}, 2, 2);
    std::string err = failing_at(1, [&] { EXPECT_EQ(mtrx_copy(src.get()), nullptr); });
    EXPECT_EQ(err, "<unknown>() error: calloc-m.\n");
    err = failing_at(4, [&] { EXPECT_EQ(mtrx_copy(src.get()), nullptr); });
    EXPECT_THAT(err, EndsWith("\n<unknown>() error: calloc-mtrx[1] failed.\n"));
}
