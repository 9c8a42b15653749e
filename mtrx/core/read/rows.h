// Reading into the row-pointer form: a record built one line at a time,
// which both kinds of reader use, and the strict readers of the status
// functions. (The natural readers, which speak and may end the process, are
// the console layer's: console/read.cpp.)
#ifndef MTRX_CORE_ROWS_H
#define MTRX_CORE_ROWS_H

#include <cstddef>
#include <cstdio>

#include <mtrx/mtrx.h>

#include "core/base/alloc.h"
#include "core/base/storage.h"
#include "core/read/scan.h"

namespace mtrx_detail {

// A row-pointer record filled a line at a time. For each line: make_room(),
// then parse() the line, then append() what it gave. A row shorter than the
// first is padded with zeros to `cols` places, so that every row holds at
// least `cols` values. Until take() hands the record out, the builder owns
// it and releases it.
class row_builder {
public:
    row_builder() = default;
    ~row_builder() { free_record(m_); }
    row_builder(const row_builder &) = delete;
    row_builder &operator=(const row_builder &) = delete;

    // The empty record, room for 8 rows; false (fault set) when it cannot
    // be made.
    bool start(alloc_fault &fault);
    // Room for one more row pointer; false (errno set) when memory is out.
    bool make_room();

    struct line {
        double *values; // null: no number before the end or the stop (or no memory)
        scan_stop stop;
        alloc_fault fault;
        const char *stop_at; // with a stop: where the number that stopped it starts
    };
    // The numbers of [b, e) as parse_row reads them, with the record's
    // maxcols (the count of the last row read) as the first guess of their
    // number and then their count. The caller owns `values` until it
    // appends them.
    line parse(const char *b, const char *e);

    // Takes `values` (from parse) as the next row. Returns whether its count
    // differs from row 0's; false in `padded` when padding it failed (errno
    // set; the row is the record's all the same).
    struct appended {
        bool ragged;
        bool padded;
    };
    appended append(double *values);

    // Shrinks the row-pointer array to the rows read and hands the record
    // out; null (errno set, the builder still owning it) when shrinking
    // failed.
    mtrx_t *take();

    std::size_t rows() const { return m_->rows; }
    std::size_t cols() const { return m_->cols; }
    // The first row whose count differs from row 0's, and that count.
    bool ragged() const { return ragged_; }
    std::size_t ragged_row() const { return ragged_row_; }
    std::size_t ragged_count() const { return ragged_count_; }

private:
    mtrx_t *m_ = nullptr;
    bool ragged_ = false;
    std::size_t ragged_row_ = 0, ragged_count_ = 0;
};

// Whether [b, e) holds a number (one out of range counts; a start such as
// "-." that converts nothing does not).
bool holds_number(const char *b, const char *e);

// What the rows read must make up.
enum class shape_rule { rectangular, system };

// Why a strict read failed: the status, the row concerned and, for
// MTRX_ESHAPE, the row's count and the count expected; and where in the
// input, as mtrx_error's line and column count them (0: nowhere).
struct read_failure {
    mtrx_status status = MTRX_OK;
    std::size_t row = 0, count = 0, expected = 0;
    std::size_t line = 0, column = 0;
};

// The strict readers: blank lines are passed over wherever they stand, and
// the first line that fails decides (MTRX_ENONUMBER, MTRX_EMALFORMED or
// MTRX_ERANGE with its row and line, the last two with the column where the
// number starts), then the shape (MTRX_ESHAPE, with the line of the row
// named), MTRX_EEMPTY for an input without a number, MTRX_ENOMEM when memory
// runs out. The record on MTRX_OK, null otherwise, with nothing left
// allocated.
mtrx_t *read_text_strictly(const char *text, std::size_t len, shape_rule shape,
                           read_failure &why);
mtrx_t *read_stream_strictly(FILE *fp, shape_rule shape, read_failure &why);

} // namespace mtrx_detail

#endif
