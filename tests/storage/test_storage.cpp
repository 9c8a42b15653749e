// Vectors, bare arrays, the preallocated and the row-pointer record:
// allocation and its failures, growth in both dimensions, copying, full
// release, and the resizing that ends the process when memory runs out.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/alloc_sweep.h"
#include "support/records.h"

using testing::ElementsAre;

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
    expect_failures_told([] { return vect_calloc(5); }, [](double *v) { std::free(v); },
                         {perror_line("calloc-vector") + "<unknown>() error: calloc-vect failed.\n"});
    // The pointers, then each row: a failure gives back what was made and
    // asks for nothing more.
    expect_failures_told([] { return arr2d_calloc(5, 4); }, [](double **a) { arr2d_free(a, 5); },
                         site_words::array(5), after_failure::asks_no_more);
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
    expect_failures_told([] { return mtrx_create(4, 3); }, mtrx_free,
                         site_words::preallocated_record(4));
}

TEST(Grow, RowsAndColumnsDouble)
{
    MtrxPtr m = record_of({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}});

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
    // mtrx_grow(m, mode) on a new rows x 2 record, with request k failing.
    auto grow = [](size_t rows, int mode) {
        return [=](long k) {
            mtrx_t *m = mtrx_create(rows, 2);
            mtrx_testing_fail_alloc(k);
            mtrx_grow(m, mode);
            const size_t r = mode ? rows : 2 * rows, c = mode ? 4 : 2;
            const bool done = shape_of(m) == std::vector<size_t>{0, 0, r, c} &&
                              row_of(m, r - 1, c) == std::vector<double>(c, 0.0);
            mtrx_free(m);
            return done;
        };
    };
    // New rows (the pointers, then each new row): any failure says the same.
    EXPECT_GT(expect_failures_end_the_process(grow(2, 0), {site_words::rows_not_grown()}), 0);
    // Wider rows, every one of them in use or not: the row that failed.
    std::vector<std::string> rows;
    for (size_t i = 0; i < 4; ++i)
        rows.push_back(site_words::row_not_grown(i));
    EXPECT_GT(expect_failures_end_the_process(grow(4, 1), rows), 0);
}

TEST(Copy, ExactSizeAndIndependent)
{
    MtrxPtr src = record_of({{1, 2, 3}, {4, 5, 6}}, 6, 13);
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
    MtrxPtr src = record_of({{1, 2}, {3, 4}});
    expect_failures_told([&] { return mtrx_copy(src.get()); }, mtrx_free,
                         site_words::preallocated_record(2));
    EXPECT_EQ(rows_of(src->mtrx, 2, 2), (Matrix{{1, 2}, {3, 4}}));
}

// The row-pointer record: its rows are allocated one by one as they are read.
TEST(PointerRecord, CreateGrowAndFree)
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

TEST(PointerRecord, CreateReportsEachFailedAllocation)
{
    expect_failures_told([] { return mtrx_create_ptrs(8); }, mtrx_free,
                         {site_words::record(), site_words::record_rows()});
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
    EXPECT_GT(expect_failures_end_the_process(
                  [](long k) {
                      size_t n = 4;
                      auto *p = static_cast<double *>(std::calloc(4, sizeof(double)));
                      mtrx_testing_fail_alloc(k);
                      p = static_cast<double *>(xrealloc_double(p, sizeof(double), &n));
                      const bool done = n == 8 && p[7] == 0.0;
                      std::free(p);
                      return done;
                  },
                  {site_words::growth()}),
              0);
    EXPECT_EXIT(
        {
            ends_process_on_purpose();
            size_t n = SIZE_MAX / 2 + 1;
            xrealloc_double(std::malloc(8), 1, &n);
        },
        testing::ExitedWithCode(1), "virtual memory exhausted");
}
