// The console readers: row_parse, mtrx_read_str and mtrx_read_file_ptrs
// (the row-pointer form, a row per line through the core's row builder) and
// mtrx_read_file (the preallocated form). They are lenient where the status
// readers are strict: a bad number ends its line with a message, a row of
// another length is kept with a message; and they end the process where the
// status readers fail: at a line without a number, and when memory runs out.
#include <cstdlib>
#include <cstring>
#include <new>

#include <mtrx/mtrx.h>

#include "core/read/lines.h"
#include "core/read/rows.h"
#include "core/read/scan.h"
#include "messages.h"

using namespace mtrx_detail;
using mtrx_console::die_exhausted;

extern "C" double *row_parse(const char *line, size_t *n)
{
    scan_stop stop;
    alloc_fault fault;
    double *row = parse_row(line, line + std::strlen(line), n, stop, fault);
    mtrx_console::bad_number(stop);
    if (fault)
        mtrx_console::die(fault);
    return row;
}

namespace {

// Every line that `next` yields (next(begin, end) returns false at the end)
// as a row; null when there is no line.
template <class Next> mtrx_t *read_rows(Next next)
{
    row_builder rows;
    alloc_fault fault;
    if (!rows.start(fault)) {
        mtrx_console::tell(fault);
        return nullptr;
    }
    const char *b, *e;
    while (next(b, e)) {
        if (!rows.make_room())
            die_exhausted();
        const row_builder::line l = rows.parse(b, e);
        mtrx_console::bad_number(l.stop);
        if (l.fault)
            mtrx_console::die(l.fault);
        if (!l.values)
            mtrx_console::no_values(rows.rows(), rows.cols());
        const std::size_t row = rows.rows();
        const row_builder::appended a = rows.append(l.values);
        if (a.ragged)
            mtrx_console::column_mismatch(row);
        if (!a.padded)
            die_exhausted();
    }
    if (rows.rows() == 0)
        return nullptr;
    mtrx_t *m = rows.take();
    if (!m)
        die_exhausted();
    return m;
}

} // namespace

// Blank lines after a line are passed over, but a text that begins with
// '\n' has no rows, and a first line of blanks is a row.
extern "C" mtrx_t *mtrx_read_str(const char *s)
{
    text_lines lines(s, std::strlen(s), true, false);
    return read_rows([&](const char *&b, const char *&e) { return lines.next(b, e); });
}

// Every line is a row, blank or not.
extern "C" mtrx_t *mtrx_read_file_ptrs(FILE *fp)
{
    try {
        line_reader lines(fp);
        return read_rows([&](const char *&b, const char *&e) { return lines.next(b, e); });
    } catch (const std::bad_alloc &) {
        die_exhausted();
    }
}

// The preallocated form's stream reader: each number goes straight into its
// place in the record, which grows by doubling whichever dimension is full.
extern "C" mtrx_t *mtrx_read_file(FILE *fp, size_t rows, size_t cols)
{
    mtrx_t *m = mtrx_create(rows, cols);
    if (!m)
        return nullptr;
    try {
        line_reader lines(fp);
        const char *p, *end;
        while (lines.next(p, end)) {
            if (m->rows == m->maxrows)
                mtrx_grow(m, 0);
            // Each number goes straight into its place; the columns grow
            // when a number finds the row full.
            std::size_t i = 0;
            for (;;) {
                scan_result r = scan_values(p, end, m->mtrx[m->rows] + i, m->maxcols - i);
                i += r.count;
                p = r.p;
                if (r.stop == scan_stop::out_of_range) {
                    // The record as it stands: rows counts the lines completed,
                    // the values of this line stay in row `rows`.
                    mtrx_console::failed_conversion(m->rows, m->cols);
                    return m;
                }
                if (r.stop != scan_stop::full)
                    break;
                mtrx_grow(m, 1);
                m->mtrx[m->rows][i++] = r.pending;
            }

            if (m->rows == 0) {
                m->cols = i;
                // Row 0 is cut to the first line's count. A first line without
                // a number leaves cols at 0 and row 0 at its full capacity.
                if (i != 0 && i < m->maxcols) {
                    m->mtrx[0] = static_cast<double *>(
                        xrealloc_zero(m->mtrx[0], sizeof(double), m->maxcols, i));
                    m->maxcols = i;
                }
            } else if (i != m->cols) {
                mtrx_console::column_mismatch(m->rows);
            }
            ++m->rows;
        }
    } catch (const std::bad_alloc &) {
        die_exhausted();
    }

    if (m->rows == 0) {
        mtrx_free(m);
        return nullptr;
    }
    if (m->rows < m->maxrows) {
        for (std::size_t r = m->rows; r < m->maxrows; ++r)
            std::free(m->mtrx[r]);
        m->mtrx =
            static_cast<double **>(xrealloc_zero(m->mtrx, sizeof(double *), m->maxrows, m->rows));
        m->maxrows = m->rows;
    }
    return m;
}
