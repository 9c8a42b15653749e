// The validated Gauss-Jordan solve on a copy, and the solution column.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include <gmock/gmock.h>

#include "support/alloc_sweep.h"
#include "support/records.h"

using testing::ElementsAre;

namespace {

const std::string size_msg = "<unknown>() error: invalid mtrx_t size (cols <= rows)\n";

std::vector<double> solution_of(const mtrx_t *m)
{
    double *x = mtrx_solution(m);
    std::vector<double> v(x, x + m->rows);
    std::free(x);
    return v;
}

} // namespace

TEST(SolveGj, TooNarrowAllocatesNothing)
{
    MtrxPtr m = record_of({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
    EXPECT_EQ(sweep_alloc_failures([&] {
                  std::string err = stderr_of([&] {
                      EXPECT_EQ(mtrx_solve_gj(m.get()), nullptr);
                      EXPECT_EQ(mtrx_solution(m.get()), nullptr);
                  });
                  EXPECT_EQ(err, size_msg + size_msg);
                  return true;
              }),
              0);
}

TEST(SolveGj, ExampleSystemOnACopy)
{
    const Matrix orig = {{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}};
    MtrxPtr m = record_of(orig);
    MtrxPtr s;
    EXPECT_EQ(stderr_of([&] { s.reset(mtrx_solve_gj(m.get())); }), "");
    ASSERT_TRUE(s);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(row_of(m.get(), i, 4), orig[i]);
    EXPECT_THAT(shape_of(s.get()), ElementsAre(3, 4, 3, 4));
    const double tol = 1e-14;
    EXPECT_NEAR(s->mtrx[0][3], 3, tol);
    EXPECT_NEAR(s->mtrx[1][3], 1, tol);
    EXPECT_NEAR(s->mtrx[2][3], 2, tol);

    // The same bits as guassj on the rows themselves.
    Rows a(orig);
    guassj(a.get(), 3);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(row_of(s.get(), i, 4), a.data[i]);
    EXPECT_THAT(solution_of(s.get()), ElementsAre(a.data[0][3], a.data[1][3], a.data[2][3]));
}

TEST(SolveGj, ColumnsBeyondTheConstantsAreKept)
{
    MtrxPtr m = record_of({{2, 1, 5, 7}, {1, 3, 10, -9}});
    MtrxPtr s(mtrx_solve_gj(m.get()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->mtrx[0][3], 7);
    EXPECT_EQ(s->mtrx[1][3], -9);
    EXPECT_NEAR(s->mtrx[0][2], 1, 1e-15);
    EXPECT_NEAR(s->mtrx[1][2], 3, 1e-15);
}

TEST(SolveGj, SolutionInOrderAndUnreducedConstants)
{
    MtrxPtr m = record_of({{2, 1, 5}, {1, 3, 10}});
    MtrxPtr s(mtrx_solve_gj(m.get()));
    ASSERT_TRUE(s);
    std::vector<double> x = solution_of(s.get());
    ASSERT_EQ(x.size(), 2u);
    EXPECT_NEAR(x[0], 1, 1e-15);
    EXPECT_NEAR(x[1], 3, 1e-15);
    EXPECT_THAT(solution_of(m.get()), ElementsAre(5, 10));
}

TEST(SolveGj, SingularMatrixStillGivesTheCopy)
{
    MtrxPtr m = record_of({{1, 2, 3}, {2, 4, 6}});
    MtrxPtr s;
    std::string err = stderr_of([&] { s.reset(mtrx_solve_gj(m.get())); });
    EXPECT_EQ(err, "guassj() error: singular matrix.\n");
    ASSERT_TRUE(s);
    EXPECT_THAT(row_of(s.get(), 0, 3), ElementsAre(0, -0.5, 0));
    EXPECT_THAT(row_of(s.get(), 1, 3), ElementsAre(0.5, 0.25, 1.5));
    EXPECT_THAT(row_of(m.get(), 1, 3), ElementsAre(2, 4, 6));
}

TEST(SolveGj, ExhaustedMemoryGivesNull)
{
    const Matrix sys = {{2, 1, 5}, {1, 3, 10}};
    MtrxPtr m = record_of(sys);
    // The copy cannot be made, or the elimination has no memory for its
    // bookkeeping: null, with the message of the allocation that failed (an
    // unreduced copy would read as a solution).
    std::vector<std::string> words = site_words::preallocated_record(2);
    words.push_back("guassj() error: virtual memory exhausted.\n");
    documented_messages told(words);
    EXPECT_GT(sweep_alloc_failures([&] {
                  MtrxPtr s;
                  const std::string said = stderr_of([&] { s.reset(mtrx_solve_gj(m.get())); });
                  EXPECT_EQ(rows_of(m->mtrx, 2, 3), sys);
                  if (s && said.empty()) {
                      EXPECT_NEAR(s->mtrx[1][2], 3, 1e-15);
                      return true;
                  }
                  EXPECT_FALSE(s);
                  told.said(said);
                  return false;
              }),
              0);
    told.expect_all_met();

    expect_failures_told([&] { return mtrx_solution(m.get()); }, [](double *x) { std::free(x); },
                         {"<unknown>() error: memory exhausted calloc-sol.\n"});
}
