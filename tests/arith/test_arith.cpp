// Sum, difference, product, transpose and copy of arrays and records, and
// the row comparison.
#include <cmath>
#include <cstdlib>
#include <limits>

#include <gmock/gmock.h>

#include "support/alloc_sweep.h"
#include "support/records.h"

using testing::ElementsAre;

namespace {

const double qnan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

void expect_tight(const mtrx_t *m, size_t rows, size_t cols)
{
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->rows, rows);
    EXPECT_EQ(m->cols, cols);
    EXPECT_EQ(m->maxrows, rows);
    EXPECT_EQ(m->maxcols, cols);
}

Matrix used_part(const mtrx_t *m) { return rows_of(m->mtrx, m->rows, m->cols); }

} // namespace

TEST(MtrxArith, DimensionMismatchesAreReportedAndAllocateNothing)
{
    auto a = record_of({{1, 2, 3}, {4, 5, 6}});
    auto b = record_of({{1, 2}, {3, 4}, {5, 6}});
    auto c = record_of({{1, 2}, {3, 4}});
    const std::string msg232 = "<unknown>() error: unequal dimensions, (2 x 3) != (3 x 2)\n";
    mtrx_t *r = nullptr;

    // (No run of the sweep meets a failure: not one request is made.)
    EXPECT_EQ(sweep_alloc_failures([&] {
                  EXPECT_EQ(stderr_of([&] { r = mtrx_add(a.get(), b.get()); }), msg232);
                  EXPECT_EQ(r, nullptr);
                  EXPECT_EQ(stderr_of([&] { r = mtrx_sub(a.get(), c.get()); }),
                            "<unknown>() error: unequal dimensions, (2 x 3) != (2 x 2)\n");
                  EXPECT_EQ(r, nullptr);
                  EXPECT_EQ(stderr_of([&] { r = mtrx_mult(a.get(), a.get()); }),
                            "<unknown>() error: unequal dimensions, (2 x 3) != (2 x 3)\n"
                            " [not (m x n) * (n x p) => (m x p)]\n");
                  EXPECT_EQ(r, nullptr);
                  return true;
              }),
              0);

    // Only a.cols and b.rows have to agree for a product.
    auto col = record_of({{1}, {1}, {1}});
    MtrxPtr p(mtrx_mult(a.get(), col.get()));
    expect_tight(p.get(), 2, 1);
    EXPECT_EQ(used_part(p.get()), (Matrix{{6}, {15}}));
}

TEST(MtrxArith, ProductSumsEachElementFromZeroInAscendingK)
{
    // Values whose sums tell the orders apart: [0][0] and [0][2] come out
    // differently when summed in descending k, [1][1] when a product is not
    // rounded before it is added (a fused multiply-add gives 0.14), and
    // [0][3] is 0 + (-0) + ... = +0.
    auto a = record_of({{1, 1e16, -1e16}, {-0.01, 0.1, 0.2}});
    auto b = record_of({{1, 1, 2, -0.0}, {1, 0.1, 3, -0.0}, {1, 0.7, 4, -0.0}});
    MtrxPtr p(mtrx_mult(a.get(), b.get()));
    expect_tight(p.get(), 2, 4);
    EXPECT_THAT(row_of(p.get(), 0, 4),
                ElementsAre(0.0, -0x1.550f7dca6ffffp+52, -0x1.1c37937e08000p+53, 0.0));
    EXPECT_THAT(row_of(p.get(), 1, 4),
                ElementsAre(0x1.28f5c28f5c290p-2, 0x1.1eb851eb851ebp-3, 0x1.147ae147ae148p+0, 0.0));
    EXPECT_FALSE(std::signbit(p->mtrx[0][3]));
    // The operands are untouched.
    EXPECT_THAT(row_of(a.get(), 0, 3), ElementsAre(1, 1e16, -1e16));
    EXPECT_THAT(row_of(b.get(), 2, 4), ElementsAre(1, 0.7, 4, -0.0));
}

TEST(MtrxArith, EmptyInnerDimensionAndTransposeShapes)
{
    auto a = record_shaped(3, 0);
    auto b = record_shaped(0, 2);
    MtrxPtr p(mtrx_mult(a.get(), b.get()));
    expect_tight(p.get(), 3, 2);
    EXPECT_EQ(used_part(p.get()), (Matrix{{0, 0}, {0, 0}, {0, 0}}));

    auto m = record_of({{1, 2, 3}, {4, 5, 6}});
    MtrxPtr t(mtrx_transpose(m.get()));
    expect_tight(t.get(), 3, 2);
    EXPECT_EQ(used_part(t.get()), (Matrix{{1, 4}, {2, 5}, {3, 6}}));

    auto row = record_of({{7, 8, 9, 10}});
    MtrxPtr col(mtrx_transpose(row.get()));
    expect_tight(col.get(), 4, 1);
    EXPECT_EQ(used_part(col.get()), (Matrix{{7}, {8}, {9}, {10}}));

    MtrxPtr none(mtrx_transpose(a.get()));
    expect_tight(none.get(), 0, 3);
}

TEST(MtrxArith, GrownOperandsActByTheirUsedPart)
{
    Matrix av = {{1, -2, 3}, {0.5, 4, -1}};
    Matrix bv = {{2, 2, 2}, {-1, 0, 1}};
    auto a = record_of(av), b = record_of(bv), bt = record_of({{1, 2}, {3, 4}, {5, 6}});
    auto ga = record_of(av, 6, 13, 99), gb = record_of(bv, 2, 5, -7), gbt = record_of({{1, 2}, {3, 4}, {5, 6}}, 1, 1, 5);

    MtrxPtr s1(mtrx_add(a.get(), b.get())), s2(mtrx_add(ga.get(), gb.get()));
    expect_tight(s2.get(), 2, 3);
    EXPECT_EQ(used_part(s1.get()), used_part(s2.get()));
    EXPECT_EQ(used_part(s2.get()), (Matrix{{3, 0, 5}, {-0.5, 4, 0}}));

    MtrxPtr d1(mtrx_sub(a.get(), b.get())), d2(mtrx_sub(ga.get(), gb.get()));
    expect_tight(d2.get(), 2, 3);
    EXPECT_EQ(used_part(d2.get()), (Matrix{{-1, -4, 1}, {1.5, 4, -2}}));
    EXPECT_EQ(used_part(d1.get()), used_part(d2.get()));

    MtrxPtr p1(mtrx_mult(a.get(), bt.get())), p2(mtrx_mult(ga.get(), gbt.get()));
    expect_tight(p2.get(), 2, 2);
    EXPECT_EQ(used_part(p2.get()), (Matrix{{10, 12}, {7.5, 11}}));
    EXPECT_EQ(used_part(p1.get()), used_part(p2.get()));

    MtrxPtr t2(mtrx_transpose(ga.get()));
    expect_tight(t2.get(), 3, 2);
    EXPECT_EQ(used_part(t2.get()), (Matrix{{1, 0.5}, {-2, 4}, {3, -1}}));
}

TEST(MtrxArith, SameRecordOnBothSidesLeavesItUnchanged)
{
    Matrix v = {{1.5, -2, inf}, {qnan, 0, 1e308}};
    auto a = record_of(v);
    MtrxPtr sum(mtrx_add(a.get(), a.get()));
    MtrxPtr diff(mtrx_sub(a.get(), a.get()));
    expect_tight(sum.get(), 2, 3);
    expect_tight(diff.get(), 2, 3);
    EXPECT_THAT(row_of(sum.get(), 0, 3), ElementsAre(3, -4, inf));
    EXPECT_TRUE(std::isnan(sum->mtrx[1][0]));
    EXPECT_EQ(sum->mtrx[1][2], inf); // 2e308 overflows
    EXPECT_THAT(row_of(diff.get(), 0, 2), ElementsAre(0, 0));
    EXPECT_TRUE(std::isnan(diff->mtrx[0][2])); // inf - inf
    EXPECT_TRUE(std::isnan(diff->mtrx[1][0]));
    EXPECT_THAT(row_of(diff.get(), 1, 3), ElementsAre(testing::IsNan(), 0, 0));
    // The operand is untouched and the results own their storage.
    EXPECT_THAT(row_of(a.get(), 0, 3), ElementsAre(1.5, -2, inf));
    EXPECT_NE(sum->mtrx, a->mtrx);
    EXPECT_NE(sum->mtrx[0], a->mtrx[0]);
}

TEST(Arr2dArith, CopyTakesLeadingColumnsAndResultsAreIndependent)
{
    Rows src({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
    double **c = arr2d_copy(src.get(), 3, 3);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(rows_of(c, 3, 3), (Matrix{{1, 2, 3}, {5, 6, 7}, {9, 10, 11}}));
    src.data[0][0] = -1;
    EXPECT_EQ(c[0][0], 1);
    arr2d_free(c, 3);

    Rows a({{1, 2}, {3, 4}}), b({{10, 20}, {30, 40}});
    double **s = arr2d_sub(a.get(), b.get(), 2, 2);
    double **t = arr2d_transpose(a.get(), 1, 2); // only row 0 is read
    double **p = arr2d_mult(a.get(), b.get(), 2, 2, 2);
    ASSERT_TRUE(s && t && p);
    EXPECT_EQ(rows_of(s, 2, 2), (Matrix{{-9, -18}, {-27, -36}}));
    EXPECT_EQ(rows_of(t, 2, 1), (Matrix{{1}, {2}}));
    EXPECT_EQ(rows_of(p, 2, 2), (Matrix{{70, 100}, {150, 220}}));
    arr2d_free(s, 2);
    arr2d_free(t, 2);
    arr2d_free(p, 2);
}

TEST(MtrxArith, FailedAllocationsLeaveNothingBehind)
{
    const Matrix av = {{1, 2, 3}, {4, 5, 6}}, bv = {{1, 2}, {3, 4}, {5, 6}};
    auto a = record_of(av), b = record_of(bv);
    // The result's record, then its array.
    auto words = [](size_t rows) {
        std::vector<std::string> w = site_words::array(rows);
        w.insert(w.begin(), site_words::result_record());
        return w;
    };
    expect_failures_told([&] { return mtrx_add(a.get(), a.get()); }, mtrx_free, words(2));
    expect_failures_told([&] { return mtrx_sub(a.get(), a.get()); }, mtrx_free, words(2));
    expect_failures_told([&] { return mtrx_mult(a.get(), b.get()); }, mtrx_free, words(2));
    expect_failures_told([&] { return mtrx_transpose(a.get()); }, mtrx_free, words(3));
    EXPECT_EQ(used_part(a.get()), av);
    EXPECT_EQ(used_part(b.get()), bv);
}

TEST(RowCmp, ComparesFirstElementsOnly)
{
    double r1[] = {1.0, 9}, r2[] = {2.0, 0}, r3[] = {2.0, 5}, rn[] = {qnan, 0};
    double *p1 = r1, *p2 = r2, *p3 = r3, *pn = rn;
    EXPECT_EQ(row_cmp(&p1, &p2), -1);
    EXPECT_EQ(row_cmp(&p2, &p1), 1);
    EXPECT_EQ(row_cmp(&p2, &p3), 0);
    EXPECT_EQ(row_cmp(&pn, &p1), 0);
    EXPECT_EQ(row_cmp(&p1, &pn), 0);

    auto m = record_of({{3, 30}, {-1, -10}, {2, 20}, {-inf, 0}, {0.5, 5}});
    std::qsort(m->mtrx, m->rows, sizeof(double *), row_cmp);
    EXPECT_EQ(used_part(m.get()), (Matrix{{-inf, 0}, {-1, -10}, {0.5, 5}, {2, 20}, {3, 30}}));
}
