// Sweeps over failing allocations. Every allocation request the library
// makes passes the test hook mtrx_testing_fail_alloc (core/alloc.h): a sweep
// fails request 1, 2, 3, ... of a call in turn, until a run makes fewer
// requests than the one that would fail and so meets no failure, and checks
// each run's outcome. Nothing here depends on how many requests a call
// makes: a sweep checks that the failure of each one gives the documented
// outcome, whichever it is.
#ifndef QUENDLE_TESTS_SUPPORT_ALLOC_SWEEP_H
#define QUENDLE_TESTS_SUPPORT_ALLOC_SWEEP_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "core/base/alloc.h"
#include "death_tests.h"
#include "streams.h"

// Whether a call that met a failure may still ask for more memory.
enum class after_failure { may_ask_more, asks_no_more };

// The loop of the sweeps: op(k) runs with request k failing, for k = 1, 2,
// ..., then seen(k, made) with the number of requests the run made, until a
// run makes fewer than k (and so meets no failure). Returns the number of
// runs that met a failure.
template <class Op, class Seen> long for_each_failing_request(Op op, Seen seen)
{
    for (long k = 1; k < 100000; ++k) {
        mtrx_testing_fail_alloc(k);
        op(k);
        const long made = mtrx_testing_fail_alloc(0);
        seen(k, made);
        if (made < k)
            return k - 1;
    }
    ADD_FAILURE() << "no run without a failure";
    return -1;
}

// The same with no verdict on any run: op checks what it may.
template <class Op> long for_each_failing_request(Op op)
{
    return for_each_failing_request(op, [](long, long) {});
}

// Runs op with request k failing, for k = 1, 2, ..., until a run meets no
// failure. op (called as op() or op(k)) returns whether it produced its full
// outcome, and releases what it got; every run that met a failure must not
// have, the last run must. Returns the number of runs that met a failure.
template <class Op> long sweep_alloc_failures(Op op, after_failure after = after_failure::may_ask_more)
{
    bool done = false;
    return for_each_failing_request(
        [&](long k) {
            if constexpr (std::is_invocable_v<Op &, long>)
                done = op(k);
            else
                done = op();
        },
        [&](long k, long made) {
            if (made < k) {
                EXPECT_TRUE(done) << "run without a failure";
                return;
            }
            EXPECT_FALSE(done) << "request " << k << " failed";
            if (after == after_failure::asks_no_more) {
                EXPECT_EQ(made, k) << "requests after request " << k << " failed";
            }
        });
}

// The line perror(label) writes for exhausted memory.
std::string perror_line(const std::string &label);

// What the console functions say when a request of each allocation site
// fails (the table in console/messages.cpp).
namespace site_words {
std::string record();                 // an mtrx_t of the storage functions
std::string record_rows();            // the pointers of a new row-pointer record
std::string array_rows();             // the pointers of a bare array
std::string array_row(std::size_t i); // row i of a bare array
std::string result_record();          // the mtrx_t of an arithmetic result
std::string scratch();                // a solver's working storage
std::string solution();               // the cofactor solver's solution
std::string parsed_row();             // the first array of a parsed line
std::string growth();                 // an array growing or shrinking to fit
// mtrx_grow's own words: new rows, or the wider row i, not made.
std::string rows_not_grown();
std::string row_not_grown(std::size_t i);
// A bare array of `rows` rows: its pointers, then each row.
std::vector<std::string> array(std::size_t rows);
// A preallocated record of `rows` rows: the mtrx_t, then its array.
std::vector<std::string> preallocated_record(std::size_t rows);
} // namespace site_words

// The messages a sweep may meet, each the words of one allocation site:
// every failing run must say exactly one of them, and expect_all_met()
// checks at the end that each of them was said (each site failed at least
// once).
class documented_messages {
  public:
    explicit documented_messages(std::vector<std::string> messages);
    void said(const std::string &words);
    void expect_all_met() const;
    void expect_met(const std::string &words) const;

  private:
    std::vector<std::string> messages_;
    std::vector<bool> met_;
};

// Sweeps a console function that returns a pointer, null when it cannot make
// its result: every run that met its failure must give null and write
// exactly one of `words` on stderr, and each of them must be written in some
// run; the last run must give a result and write nothing. Nothing goes to
// stdout. `release` takes a result back. Returns the number of failing runs.
template <class Call, class Release>
long expect_failures_told(Call call, Release release, const std::vector<std::string> &words,
                          after_failure after = after_failure::may_ask_more)
{
    documented_messages told(words);
    const long runs = sweep_alloc_failures(
        [&] {
            decltype(call()) r = nullptr;
            const Written w = written_by([&] { r = call(); });
            EXPECT_EQ(w.out, "");
            if (!r) {
                told.said(w.err);
                return false;
            }
            EXPECT_EQ(w.err, "");
            release(r);
            return true;
        },
        after);
    told.expect_all_met();
    return runs;
}

// How a child of sweep_alloc_failures_in_children ended.
enum class child_end {
    returned, // the call returned after its failure, without its full outcome
    ended     // the call ended the process (exit status 1)
};

namespace alloc_sweep_detail {

enum : int { returned = 71, returned_done = 72, not_met = 73 };

template <class Body> [[noreturn]] void in_child(Body &body, long k)
{
    ends_process_on_purpose();
    const bool done = body(k);
    const long made = mtrx_testing_fail_alloc(0);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(made < k ? not_met : done ? returned_done : returned);
}

} // namespace alloc_sweep_detail

// The sweep for the console functions that end the process when memory runs
// out while something grows. body(k), after any setup of its own, makes
// request k fail (mtrx_testing_fail_alloc(k)), makes the call, releases what
// it got and returns whether it produced its full outcome. Here it runs once
// with no failure (k = 0), which must produce it and tells how many requests
// a run makes; then for each of those requests a death test runs body(k) in
// a child process, and check(k, how it ended, what it wrote on stderr) is
// called here. A run that returns after its failure must not have produced
// the full outcome. Returns the number of runs that met a failure. (The
// requests are counted first so that a test holding several sweeps goes the
// same way where a death test's child runs the test again from its start, as
// on Windows. Name the test *DeathTest.)
template <class Body, class Check> long sweep_alloc_failures_in_children(Body body, Check check)
{
    using namespace alloc_sweep_detail;
    mtrx_testing_fail_alloc(0);
    EXPECT_TRUE(body(0)) << "run without a failure";
    const long requests = mtrx_testing_fail_alloc(0);
    for (long k = 1; k <= requests; ++k) {
        int code = -1;
        std::string said;
        const auto status = [&code](int s) {
            for (int c : {1, int(returned)})
                if (testing::ExitedWithCode(c)(s))
                    code = c;
            return code >= 0;
        };
        const auto keep = testing::Truly([&said](const std::string &s) {
            said = s;
            return true;
        });
        EXPECT_EXIT(in_child(body, k), status, keep) << "request " << k << " failed";
        // (code stays -1 where the death test failed, and in a child that
        // runs the test again, for the death tests before its own)
        if (code >= 0)
            check(k, code == 1 ? child_end::ended : child_end::returned, said);
    }
    return requests;
}

// The sweep of a console function whose every failure ends the process
// (exit status 1) with exactly one of `words` on stderr, each of them said by
// some run; body as for sweep_alloc_failures_in_children. Returns the number
// of runs that met a failure.
template <class Body> long expect_failures_end_the_process(Body body, const std::vector<std::string> &words)
{
    documented_messages told(words);
    const long runs = sweep_alloc_failures_in_children(body, [&](long, child_end end, const std::string &said) {
        EXPECT_EQ(end, child_end::ended);
        told.said(said);
    });
    told.expect_all_met();
    return runs;
}

#endif
