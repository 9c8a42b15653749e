// The status interface: generated texts with one known fault through its
// readers and the natural one, the arguments it refuses, every allocation
// failing in turn, and quiet on its own thread only.
// (The solvers and arithmetic meet their natural forms in fuzz_status_solve.)
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <set>
#include <thread>

#include <gmock/gmock.h>

#include "support/alloc_sweep.h"
#include "support/compare.h"
#include "support/generators.h"
#include "support/reader_texts.h"
#include "support/records.h"

namespace {

// The same text with no byte after it, so that a read past its end shows.
mtrx_status parse_exact(const std::string &text, mtrx_t **out, mtrx_error *err, bool system = false)
{
    std::vector<char> exact(text.begin(), text.end());
    return system ? mtrx_parse_system(exact.data(), exact.size(), out, err)
                  : mtrx_parse(exact.data(), exact.size(), out, err);
}

} // namespace

TEST(StatusReaders, GeneratedTextsAgreeWithTheNaturalReader)
{
    random_source src(20240611);
    for (int k = 0; k < 400; ++k) {
        reader_text c = make_reader_text(src);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << c.text);
        mtrx_t *raw = nullptr, *sraw = nullptr, *yraw = nullptr;
        mtrx_error err, serr, yerr;
        mtrx_status st, sst, yst;
        const std::string noise = output_of([&] {
            st = parse_exact(c.text, &raw, &err);
            FILE *fp = stream_of(c.text);
            sst = mtrx_parse_stream(fp, &sraw, &serr);
            std::fclose(fp);
            yst = parse_exact(c.text, &yraw, &yerr, true);
        });
        MtrxPtr m(raw), s(sraw), y(yraw);
        EXPECT_EQ(noise, "");

        // What was written; the stream reader says the same, and a system
        // is the rectangular read of n rows of n + 1.
        ASSERT_EQ(st, c.want) << err.message;
        EXPECT_EQ(std::vector<size_t>({err.row, err.count, err.expected, err.line, err.column}),
                  std::vector<size_t>({c.row, c.count, c.expected, c.line, c.column}));
        EXPECT_EQ(err.status, st);
        EXPECT_EQ(sst, st);
        EXPECT_STREQ(serr.message, err.message);
        EXPECT_EQ(std::vector<size_t>({serr.line, serr.column}),
                  std::vector<size_t>({err.line, err.column}));
        const size_t n = c.rows.size();
        const bool system = st == MTRX_OK && m->cols == n + 1;
        EXPECT_EQ(yst, st == MTRX_OK && !system ? MTRX_ESHAPE : st);
        // A system whose row 0 has the wrong width is named there; otherwise
        // at the same place.
        const bool narrow = yst == MTRX_ESHAPE && c.rows[0].size() != n + 1;
        EXPECT_EQ(yerr.line, narrow ? c.row_lines[0] : st == MTRX_OK ? 0 : err.line);
        if (m) {
            EXPECT_TRUE(same_bits(m.get(), s.get()));
            EXPECT_TRUE(!system || same_bits(m.get(), y.get()));
            ASSERT_EQ(m->rows, n);
            for (size_t i = 0; i < n; ++i)
                EXPECT_TRUE(same_bits(m->mtrx[i], c.rows[i].data(), m->cols)) << i;
        }

        // The natural reader (from the first row: it would take a blank
        // first line for a row) reads without a message exactly when the
        // status reader succeeds, and reads the same.
        if (c.natural_ends)
            continue;
        mtrx_t *nat = nullptr;
        std::string said = stderr_of(
            [&] { nat = mtrx_read_str(c.text.c_str() + c.text.find_first_not_of(" \t\r\n")); });
        MtrxPtr natural(nat);
        EXPECT_EQ(said.empty(), st == MTRX_OK) << said;
        EXPECT_TRUE(st != MTRX_OK || same_bits(natural.get(), m.get()));
        if (st == MTRX_ESHAPE) {
            EXPECT_THAT(said, testing::StartsWith("<unknown>() error: column mismatch row[" +
                                                  std::to_string(c.row) + "]\n"));
        } else if (st != MTRX_OK) {
            EXPECT_THAT(said, testing::HasSubstr(st == MTRX_ERANGE
                                                     ? "error: in conversion.\n"
                                                     : "error: no digits converted.\n"));
        }
    }
}

TEST(StatusReaders, EmptyBlankAndNulTexts)
{
    mtrx_t *m = nullptr;
    mtrx_error err;
    for (const char *t : {"", " \n\t\r\n", "abc\n\n x -. +", "\n\n"}) {
        EXPECT_EQ(parse_exact(t, &m, &err), MTRX_EEMPTY) << t;
        EXPECT_EQ(m, nullptr);
        EXPECT_STREQ(err.message, "Invalid Format or Matrix Not Found.");
    }
    // A line before the first number is a row without one.
    EXPECT_EQ(parse_exact("\nMatrix:\n1 2\n", &m, &err), MTRX_ENONUMBER);
    EXPECT_EQ(err.row, 0u);
    EXPECT_EQ(err.line, 2u);
    // A count agrees with its noun.
    EXPECT_EQ(parse_exact("1 2\n3\n", &m, &err), MTRX_ESHAPE);
    EXPECT_STREQ(err.message, "Invalid Format: row 1 has 1 value, expected 2.");
    // '\0' starts no number and continues none.
    const std::string nul("1\0" "2\n3 4", 7);
    EXPECT_EQ(mtrx_parse(nul.data(), nul.size(), &m, &err), MTRX_OK);
    MtrxPtr r(m);
    EXPECT_EQ(row_of(m, 0, 2), (std::vector<double>{1, 2}));
    EXPECT_EQ(mtrx_parse(nullptr, 0, &m, &err), MTRX_EEMPTY);
}

TEST(StatusInterface, ArgumentsItCannotTake)
{
    MtrxPtr sq = record_of({{1, 2}, {3, 4}}), row = record_of({{1, 2}});
    mtrx_t *out = sq.get();
    double *x = nullptr, *rows[] = {sq->mtrx[0], nullptr};
    mtrx_error err;
    const mtrx_status got[] = {
        mtrx_parse(nullptr, 3, &out, &err),         mtrx_parse("1", 1, nullptr, &err),
        mtrx_parse_stream(nullptr, &out, &err),     mtrx_reduce(nullptr, nullptr, 2, &err),
        mtrx_reduce(rows, nullptr, 2, &err),        mtrx_solve_system(nullptr, &x, &err),
        mtrx_solve_system_cofactor(sq.get(), &x, &err), mtrx_sum(sq.get(), nullptr, &out, &err),
        mtrx_transposed(sq.get(), nullptr, &err),   mtrx_solve_system(sq.get(), &x, &err)};
    for (mtrx_status st : got)
        EXPECT_EQ(st, MTRX_EINVAL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(x, nullptr);
    EXPECT_STREQ(err.message, "Invalid argument: a 2 x 2 record is no system of 2 equations.");
    // A record claiming the largest row count and no column: rows + 1 wraps
    // to its column count, but it is no system either.
    mtrx_t huge = *sq;
    huge.rows = SIZE_MAX;
    huge.cols = 0;
    EXPECT_EQ(mtrx_solve_system(&huge, &x, &err), MTRX_EINVAL);
    EXPECT_EQ(mtrx_solve_system_cofactor(&huge, &x, &err), MTRX_EINVAL);
    EXPECT_EQ(x, nullptr);
    EXPECT_EQ(mtrx_product(sq.get(), row.get(), &out, &err), MTRX_ESHAPE);
    EXPECT_STREQ(err.message, "Unequal dimensions, (2 x 2) * (1 x 2): the columns of the first "
                              "must equal the rows of the second.");

    // Every status has a name of its own.
    std::set<std::string> names;
    for (int st = MTRX_OK; st <= MTRX_ENONFINITE + 1; ++st)
        names.insert(mtrx_strerror(static_cast<mtrx_status>(st)));
    EXPECT_EQ(names.size(), size_t(MTRX_ENONFINITE) + 2);
}

TEST(StatusInterface, EveryFailedAllocationIsNoMemoryAndLeavesNothing)
{
    const std::string text = "1 2 3 4 5 6 7 8 9 10\n\n" + std::string(9, '\n') +
                             "1 2 3 4 5 6 7 8 9 10\n1 2 3 4 5 6 7 8 9 10\n4,5,6,7,8,9,10,11,12,-1";
    const Matrix sys = {{3, 2, -4, 3}, {2, 3, 3, 15}, {5, -3, 1, 14}};
    const Matrix sys4 = {{0, 1, 2, 3, 1}, {4, 0, 6, 1, 2}, {1, 9, 0, 2, 3}, {1, 1, 1, 0, 4}};
    const Matrix none = {{1, 2, 3, 1}, {2, 4, 6, 5}, {1, 1, 1, 3}};
    // Scaled by one power of two, and rows and columns far apart: the
    // scaled copies and the full scaling's exponents are allocated too.
    auto scaled = [&](auto exponent) {
        Matrix m = sys4;
        for (size_t i = 0; i < 4; ++i)
            for (size_t j = 0; j < 5; ++j)
                m[i][j] = std::ldexp(sys4[i][j], exponent(static_cast<int>(i), static_cast<int>(j)));
        return m;
    };
    const Matrix tiny = scaled([](int, int) { return -1060; });
    const Matrix graded = scaled([](int i, int j) { return 300 * i - 600 * (j == 2); });
    // Solved as it stands, its solution overflows; found under the full
    // scaling (a second elimination, and its own allocations).
    const Matrix again = {
        {-0x1.d856e39972bf8p+212, 0x1.bb814cc3351a4p-300, 0x1.f07d93478e1b4p-255, -0x1.c412e864c22f8p+942},
        {-0x1.2f4558fdf4087p-228, 0x1.79475caa53b3cp-315, 0x1.5ae5f1bbcd2b8p+10, 0x1.72d7e20fed2ep+897},
        {0x1.e00f729ce77bp+416, -0x1.7a02d069d8168p-1, 0x1.0072fec71955ep-296, -0x1.ea5270bb7536bp+936}};
    const Matrix big = [] { // (large enough for the blocked elimination)
        Matrix m(60, std::vector<double>(61, 1.0));
        for (size_t i = 0; i < 60; ++i)
            m[i][i] = 100.0;
        return m;
    }();
    MtrxPtr a = record_of(sys), b = record_of(sys);
    FILE *fp = stream_of(text);

    // Runs `op` with each allocation failing in turn: MTRX_ENOMEM, no result,
    // the inputs as they were, not a word; then once to its own end. `op`
    // tells whether it was given a result, and releases it.
    auto sweep = [&](const char *name, auto op) {
        SCOPED_TRACE(name);
        EXPECT_GT(sweep_alloc_failures([&] {
            mtrx_error err;
            mtrx_status st = MTRX_OK;
            bool given = true;
            EXPECT_EQ(output_of([&] { st = op(&err, &given); }), "");
            EXPECT_EQ(err.status, st);
            EXPECT_EQ(rows_of(a->mtrx, 3, 4), sys);
            if (st == MTRX_ENOMEM) {
                EXPECT_FALSE(given);
            }
            return st != MTRX_ENOMEM;
        }), 0);
    };
    // (a record result is released here)
    auto record = [](mtrx_status st, mtrx_t *&m, bool *given) {
        *given = m != nullptr;
        mtrx_free(m);
        return st;
    };
    auto vector = [](mtrx_status st, double *&x, bool *given) {
        *given = x != nullptr;
        std::free(x);
        return st;
    };
    mtrx_t *m;
    double *x;
    sweep("parse", [&](mtrx_error *e, bool *given) {
        return record(mtrx_parse(text.data(), text.size(), &m, e), m, given);
    });
    sweep("parse_system", [&](mtrx_error *e, bool *given) {
        return record(mtrx_parse_system("2 1 5\n1 3 10", 12, &m, e), m, given);
    });
    sweep("parse_stream", [&](mtrx_error *e, bool *given) {
        std::rewind(fp);
        return record(mtrx_parse_stream(fp, &m, e), m, given);
    });
    for (const Matrix *s : {&sys, &big}) {
        sweep("reduce", [&](mtrx_error *e, bool *given) {
            Rows r(*s);
            mtrx_status st = mtrx_reduce(r.get(), nullptr, s->size(), e);
            if (st != MTRX_OK) {
                EXPECT_EQ(r.data, *s);
            }
            *given = false;
            return st;
        });
    }
    for (const Matrix *s : {&sys, &sys4, &none, &tiny, &graded, &again}) {
        MtrxPtr in = record_of(*s);
        sweep("solve_system", [&](mtrx_error *e, bool *given) {
            return vector(mtrx_solve_system(in.get(), &x, e), x, given);
        });
        sweep("solve_system_cofactor", [&](mtrx_error *e, bool *given) {
            return vector(mtrx_solve_system_cofactor(in.get(), &x, e), x, given);
        });
        for (unsigned flags : {0u, 1u, 2u, 3u})
            sweep("solve_checked", [&](mtrx_error *e, bool *given) {
                mtrx_solve_info info;
                mtrx_status st = mtrx_solve_checked(in.get(), flags, &x, &info, e);
                if (st == MTRX_ENOMEM) {
                    EXPECT_EQ(info.rcond, 0.0);
                    EXPECT_EQ(info.ill_conditioned, 1);
                }
                return vector(st, x, given);
            });
        EXPECT_EQ(rows_of(in->mtrx, s->size(), s->size() + 1), *s);
        // A X = B for b, b scaled far below it and a column of values up
        // to 2^900.
        const size_t n = s->size();
        Matrix a(n), b(n);
        for (size_t i = 0; i < n; ++i) {
            a[i].assign((*s)[i].begin(), (*s)[i].begin() + static_cast<long>(n));
            b[i] = {(*s)[i][n], std::ldexp((*s)[i][n], -1000), graded[i % 4][4]};
        }
        MtrxPtr ma = record_of(a), mb = record_of(b);
        for (unsigned flags : {0u, 1u, 4u})
            sweep("solve_many", [&](mtrx_error *e, bool *given) {
                mtrx_solve_info info[3];
                const mtrx_status st =
                    flags == 4u ? mtrx_solve_many(ma.get(), mb.get(), &m, e)
                                : mtrx_solve_many_checked(ma.get(), mb.get(), flags, &m, info, e);
                if (st == MTRX_ENOMEM && flags != 4u) {
                    EXPECT_EQ(info[2].ill_conditioned, 1);
                }
                return record(st, m, given);
            });
    }
    MtrxPtr t = record_of({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 1, 1}});
    sweep("sum", [&](mtrx_error *e, bool *given) {
        return record(mtrx_sum(a.get(), b.get(), &m, e), m, given);
    });
    sweep("product", [&](mtrx_error *e, bool *given) {
        return record(mtrx_product(a.get(), t.get(), &m, e), m, given);
    });
    sweep("transposed", [&](mtrx_error *e, bool *given) {
        return record(mtrx_transposed(a.get(), &m, e), m, given);
    });
    std::fclose(fp);
}

TEST(StatusInterface, QuietOnItsOwnThreadOnly)
{
    // Status calls on four threads while this one runs a natural function
    // that speaks: each of its messages arrives, the threads' results hold.
    MtrxPtr a = record_of({{1, 2, 3}}), b = record_of({{1, 2}});
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "1 2 3\n";
    text += "1 2 1e999\n";
    std::atomic<int> running{4}, wrong{0};
    size_t calls = 0;
    std::string said = stderr_of([&] {
        std::vector<std::thread> team;
        for (int t = 0; t < 4; ++t)
            team.emplace_back([&] {
                for (int k = 0; k < 200; ++k) {
                    mtrx_t *m = nullptr;
                    mtrx_error err;
                    if (mtrx_parse(text.data(), text.size(), &m, &err) != MTRX_ERANGE ||
                        err.row != 500 || mtrx_sum(a.get(), b.get(), &m, &err) != MTRX_ESHAPE)
                        ++wrong;
                }
                --running;
            });
        do {
            mtrx_add(a.get(), b.get());
            ++calls;
        } while (running > 0 && calls < 5000);
        for (auto &th : team)
            th.join();
    });
    EXPECT_EQ(wrong.load(), 0);
    const std::string line = "<unknown>() error: unequal dimensions, (1 x 3) != (1 x 2)\n";
    EXPECT_EQ(said.size(), calls * line.size());
    EXPECT_EQ(said.substr(0, line.size()), line);
}

TEST(StatusInterface, NaNAndInfinitiesAreRefused)
{
    // Systems holding NaN or infinities in random places: every status
    // solver refuses them before any work, naming the first in row order
    // (row in err.row, row and column in the sentence), with no solution,
    // the diagnostics of none and the input as it was; guassj and its kin
    // still take them.
    random_source src(1000000000);
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()};
    for (int rep = 0; rep < 200; ++rep) {
        const size_t n = 1 + src.below(6);
        Matrix ab = src.matrix(n, n + 1, kind::uniform);
        const size_t bad = 1 + src.below(3);
        size_t first = SIZE_MAX;
        for (size_t k = 0; k < bad; ++k) {
            const size_t at = src.below(n * (n + 1));
            ab[at / (n + 1)][at % (n + 1)] = specials[src.below(3)];
            first = std::min(first, at);
        }
        const size_t row = first / (n + 1), col = first % (n + 1);
        const std::string said = "Invalid Input: row " + std::to_string(row) + ", column " +
                                 std::to_string(col) + " holds " +
                                 (std::isnan(ab[row][col]) ? "a NaN." : "an infinity.");
        SCOPED_TRACE(said);
        MtrxPtr m = record_of(ab);
        auto refused = [&](mtrx_status st, const mtrx_error &err) {
            EXPECT_EQ(st, MTRX_ENONFINITE);
            EXPECT_EQ(err.status, MTRX_ENONFINITE);
            EXPECT_EQ(err.row, row);
            EXPECT_EQ(err.message, said);
        };
        mtrx_error err;
        double *x = reinterpret_cast<double *>(&err);
        refused(mtrx_solve_system(m.get(), &x, &err), err);
        EXPECT_EQ(x, nullptr);
        refused(mtrx_solve_system_cofactor(m.get(), &x, &err), err);
        EXPECT_EQ(x, nullptr);
        for (unsigned flags : {0u, 1u, 2u, 3u}) {
            mtrx_solve_info info;
            refused(mtrx_solve_checked(m.get(), flags, &x, &info, &err), err);
            EXPECT_EQ(x, nullptr);
            EXPECT_EQ(info.rcond, 0.0);
            EXPECT_EQ(info.bound_trusted, 0);
        }
        Rows r(ab);
        refused(mtrx_reduce(r.get(), nullptr, n, &err), err);
        EXPECT_TRUE(same_bits(r.data, ab));
        // The constants in a vector of their own: column n is b's.
        Matrix a = ab;
        std::vector<double> b(n);
        for (size_t i = 0; i < n; ++i) {
            b[i] = a[i][n];
            a[i].pop_back();
        }
        Rows ra(a);
        refused(mtrx_reduce(ra.get(), b.data(), n, &err), err);
        EXPECT_TRUE(same_bits(rows_of(m->mtrx, n, n + 1), ab));

        MtrxPtr reduced(nullptr);
        const std::string natural = stderr_of([&] { reduced.reset(mtrx_solve_gj(m.get())); });
        EXPECT_NE(reduced, nullptr);
        EXPECT_TRUE(natural.empty() || natural == "guassj() error: singular matrix.\n");
    }
}
