// Reading into the row-pointer form (rows.h): the row builder both kinds of
// reader fill, and the strict readers of the status functions on it.
#include "core/read/rows.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "core/read/lines.h"
#include "core/base/storage.h"

namespace mtrx_detail {

bool row_builder::start(alloc_fault &fault)
{
    m_ = new_pointer_record(8, fault);
    return m_ != nullptr;
}

bool row_builder::make_room()
{
    if (m_->rows < m_->maxrows)
        return true;
    const std::size_t cap = m_->maxrows ? m_->maxrows * 2 : 1;
    void *grown = try_resize(m_->mtrx, sizeof(double *), m_->maxrows, cap);
    if (!grown)
        return false;
    m_->mtrx = static_cast<double **>(grown);
    m_->maxrows = cap;
    return true;
}

row_builder::line row_builder::parse(const char *b, const char *e)
{
    line l{nullptr, scan_stop::none, {}, nullptr};
    l.values = parse_row(b, e, &m_->maxcols, l.stop, l.fault, &l.stop_at);
    return l;
}

row_builder::appended row_builder::append(double *values)
{
    mtrx_t *m = m_;
    m->mtrx[m->rows] = values;
    appended a{false, true};
    if (m->rows == 0) {
        m->cols = m->maxcols;
    } else if (m->maxcols != m->cols) {
        a.ragged = true;
        if (!ragged_) {
            ragged_ = true;
            ragged_row_ = m->rows;
            ragged_count_ = m->maxcols;
        }
        if (m->maxcols < m->cols) {
            // (a failure leaves the row in place, where free_record finds it)
            void *padded = try_resize(values, sizeof(double), m->maxcols, m->cols);
            if (!padded) {
                a.padded = false;
                return a;
            }
            m->mtrx[m->rows] = static_cast<double *>(padded);
        }
    }
    ++m->rows;
    return a;
}

mtrx_t *row_builder::take()
{
    mtrx_t *m = m_;
    if (m->rows < m->maxrows) {
        void *shrunk = try_resize(m->mtrx, sizeof(double *), m->maxrows, m->rows);
        if (!shrunk)
            return nullptr;
        m->mtrx = static_cast<double **>(shrunk);
        m->maxrows = m->rows;
    }
    m_ = nullptr;
    return m;
}

bool holds_number(const char *b, const char *e)
{
    for (const char *p = b; (p = next_number(p, e, start_rule::loose)) != e; ++p)
        if (convert_number(p, e).end != p)
            return true;
    return false;
}

namespace {

// The strict read: every line `next` gives becomes a row. `next` works as
// text_lines does: next(begin, end) yields a line and returns false at the
// end, and line() and indent() tell where the last line stands, for the
// failure's position. The first fault in the text fails the read at once;
// a row whose length differs from the first row's fails it only at the
// end, so that a fault of the text, further on, is reported first. A first
// line without a number fails the read too, but only once the rest is read:
// as a line without a number when a number follows, as an empty text when
// none does.
template <class Next> mtrx_t *read_strictly(Next next, shape_rule shape, read_failure &why)
{
    auto fail = [&](const read_failure &f) -> mtrx_t * {
        why = f;
        return nullptr;
    };
    const read_failure no_memory{.status = MTRX_ENOMEM};
    row_builder rows;
    alloc_fault fault;
    if (!rows.start(fault))
        return fail(no_memory);

    bool empty_first = false;
    std::size_t first_line = 0, ragged_line = 0; // of row 0, of the first ragged row
    const char *b, *e;
    bool nomem = false;
    try {
        while (next(b, e)) {
            const std::size_t line = next.line();
            if (empty_first) {
                if (holds_number(b, e))
                    return fail({.status = MTRX_ENONUMBER, .line = first_line});
                continue;
            }
            if (!rows.make_room())
                return fail(no_memory);
            const row_builder::line l = rows.parse(b, e);
            if (l.stop != scan_stop::none) {
                // A line whose end was lost to a bad number is no complete row.
                std::free(l.values);
                return fail({.status = l.stop == scan_stop::no_digits ? MTRX_EMALFORMED
                                                                      : MTRX_ERANGE,
                             .row = rows.rows(),
                             .line = line,
                             .column = next.indent() + static_cast<std::size_t>(l.stop_at - b) +
                                       1});
            }
            if (l.fault)
                return fail(no_memory);
            if (!l.values) {
                if (rows.rows() != 0)
                    return fail({.status = MTRX_ENONUMBER, .row = rows.rows(), .line = line});
                empty_first = true;
                first_line = line;
                continue;
            }
            if (rows.rows() == 0)
                first_line = line;
            const row_builder::appended a = rows.append(l.values);
            if (a.ragged && ragged_line == 0)
                ragged_line = line;
            if (!a.padded)
                return fail(no_memory);
        }
    } catch (const std::bad_alloc &) {
        nomem = true;
    }
    if (nomem || next.out_of_memory())
        return fail(no_memory);
    if (empty_first || rows.rows() == 0)
        return fail({.status = MTRX_EEMPTY});
    const std::size_t expected = shape == shape_rule::system ? rows.rows() + 1 : rows.cols();
    if (rows.cols() != expected)
        return fail({.status = MTRX_ESHAPE,
                     .count = rows.cols(),
                     .expected = expected,
                     .line = first_line});
    if (rows.ragged())
        return fail({.status = MTRX_ESHAPE,
                     .row = rows.ragged_row(),
                     .count = rows.ragged_count(),
                     .expected = expected,
                     .line = ragged_line});
    mtrx_t *m = rows.take();
    if (!m)
        return fail(no_memory);
    why = {};
    return m;
}

} // namespace

mtrx_t *read_text_strictly(const char *text, std::size_t len, shape_rule shape,
                           read_failure &why)
{
    text_lines lines(text, len, false, true);
    struct source {
        text_lines &lines;
        bool operator()(const char *&b, const char *&e) { return lines.next(b, e); }
        bool out_of_memory() const { return lines.out_of_memory(); }
        std::size_t line() const { return lines.line(); }
        std::size_t indent() const { return lines.indent(); }
    } next{lines};
    return read_strictly(next, shape, why);
}

mtrx_t *read_stream_strictly(FILE *fp, shape_rule shape, read_failure &why)
{
    line_reader lines(fp, 1 << 16, true);
    struct source {
        line_reader &lines;
        // Blank lines are passed over.
        bool operator()(const char *&b, const char *&e)
        {
            while (lines.next(b, e))
                if (!std::all_of(b, e, is_c_space))
                    return true;
            return false;
        }
        bool out_of_memory() const { return false; }
        std::size_t line() const { return lines.line(); }
        std::size_t indent() const { return 0; }
    } next{lines};
    return read_strictly(next, shape, why);
}

} // namespace mtrx_detail
