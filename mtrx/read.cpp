// The readers. The row-pointer form is filled one row per line by a
// row_builder, for the natural readers (mtrx_read_str over a text,
// mtrx_read_file_ptrs over a stream) and the status layer's (mtrx_parse,
// mtrx_parse_system, mtrx_parse_stream) alike; the two differ only in what
// a failing input does. mtrx_read_file fills the preallocated form.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal.h"

namespace mtrx_detail {

namespace {

const char *const unknown = "<unknown>";

// Whitespace as the "C" locale's isspace sees it, whatever locale a caller set.
inline bool is_c_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool all_space(const char *b, const char *e)
{
    return std::all_of(b, e, is_c_space);
}

// Whether [b, e) holds a number (one out of range counts; a start such as
// "-." that converts nothing does not).
bool holds_number(const char *b, const char *e)
{
    for (const char *p = b; (p = next_number(p, e, start_rule::loose)) != e; ++p)
        if (convert_number(p, e).end != p)
            return true;
    return false;
}

// One read into the row-pointer form: a row per line given to add(). A row
// shorter than the first is padded with zeros to `cols` places, so that
// every row holds at least `cols` values. In `exit` mode the input's faults
// are told on stderr, and a line without a number or exhausted memory ends
// the process; in `report` mode the first fault fails the read (a row of
// another length only at the end, as faults of the text come first).
class row_builder {
public:
    row_builder(on_failure mode, mtrx_error *err) : mode_(mode), err_(err) {}
    ~row_builder() { mtrx_free(m_); }
    row_builder(const row_builder &) = delete;
    row_builder &operator=(const row_builder &) = delete;

    bool start();
    // False once the read has failed (status() tells why).
    bool add(const char *b, const char *e);
    mtrx_status finish(shape_rule shape, mtrx_t **out);
    mtrx_status status() const { return st_; }
    // Exhausted memory: the end of the process, or of the read.
    mtrx_status out_of_memory()
    {
        if (mode_ == on_failure::exit)
            die_exhausted();
        fail(MTRX_ENOMEM);
        return st_;
    }

private:
    bool fail(mtrx_status st, std::size_t row = 0, std::size_t count = 0, std::size_t expected = 0)
    {
        st_ = set_error(err_, st, row, count, expected);
        return false;
    }
    bool exhausted()
    {
        out_of_memory();
        return false;
    }

    on_failure mode_;
    mtrx_error *err_;
    mtrx_t *m_ = nullptr;
    mtrx_status st_ = MTRX_OK;
    // (report mode) Row 0 held no number: the read fails, and only whether
    // any number follows is still to be found out.
    bool empty_first_ = false;
    // The first row whose count differs from row 0's.
    bool ragged_ = false;
    std::size_t ragged_row_ = 0, ragged_count_ = 0;
};

bool row_builder::start()
{
    m_ = mtrx_create_ptrs(8);
    return m_ ? true : fail(MTRX_ENOMEM);
}

bool row_builder::add(const char *b, const char *e)
{
    if (empty_first_)
        return holds_number(b, e) ? fail(MTRX_ENONUMBER, 0) : true;

    mtrx_t *m = m_;
    if (m->rows == m->maxrows) {
        std::size_t cap = m->maxrows ? m->maxrows * 2 : 1;
        void *grown = try_resize(m->mtrx, sizeof(double *), m->maxrows, cap);
        if (!grown)
            return exhausted();
        m->mtrx = static_cast<double **>(grown);
        m->maxrows = cap;
    }

    bool nomem = false;
    scan_stop stop = scan_stop::none;
    double *row = parse_row(b, e, &m->maxcols, mode_, &nomem, &stop);
    if (mode_ == on_failure::report && stop != scan_stop::none) {
        // A line whose end was lost to a bad number is no complete row.
        std::free(row);
        return fail(stop == scan_stop::no_digits ? MTRX_EMALFORMED : MTRX_ERANGE, m->rows);
    }
    if (!row) {
        if (nomem)
            return fail(MTRX_ENOMEM);
        if (mode_ == on_failure::exit) {
            say("%s() error: no values for mtrx[%zu][%zu].\n", unknown, m->rows, m->cols);
            std::exit(1);
        }
        if (m->rows != 0)
            return fail(MTRX_ENONUMBER, m->rows);
        empty_first_ = true;
        return true;
    }
    m->mtrx[m->rows] = row;

    if (m->rows == 0) {
        m->cols = m->maxcols;
    } else if (m->maxcols != m->cols) {
        if (mode_ == on_failure::exit)
            say("%s() error: column mismatch row[%zu]\n", unknown, m->rows);
        if (!ragged_) {
            ragged_ = true;
            ragged_row_ = m->rows;
            ragged_count_ = m->maxcols;
        }
        if (m->maxcols < m->cols) {
            // (a failure leaves the row in place, where mtrx_free finds it)
            void *padded = try_resize(row, sizeof(double), m->maxcols, m->cols);
            if (!padded)
                return exhausted();
            m->mtrx[m->rows] = static_cast<double *>(padded);
        }
    }
    ++m->rows;
    return true;
}

mtrx_status row_builder::finish(shape_rule shape, mtrx_t **out)
{
    mtrx_t *m = m_;
    if (empty_first_ || m->rows == 0)
        return set_error(err_, MTRX_EEMPTY);
    if (mode_ == on_failure::report) {
        const std::size_t expected = shape == shape_rule::system ? m->rows + 1 : m->cols;
        if (shape == shape_rule::system && m->cols != expected)
            return set_error(err_, MTRX_ESHAPE, 0, m->cols, expected);
        if (shape != shape_rule::any && ragged_)
            return set_error(err_, MTRX_ESHAPE, ragged_row_, ragged_count_, expected);
    }
    if (m->rows < m->maxrows) {
        void *shrunk = try_resize(m->mtrx, sizeof(double *), m->maxrows, m->rows);
        if (!shrunk)
            return out_of_memory();
        m->mtrx = static_cast<double **>(shrunk);
        m->maxrows = m->rows;
    }
    *out = m;
    m_ = nullptr;
    return set_error(err_, MTRX_OK);
}

} // namespace

bool line_reader::next(const char *&begin, const char *&end)
{
    const std::size_t block = block_ ? block_ : 1;
    for (;;) {
        const void *nl =
            scanned_ < len_ ? std::memchr(buf_ + scanned_, '\n', len_ - scanned_) : nullptr;
        if (nl) {
            const std::size_t e =
                static_cast<std::size_t>(static_cast<const char *>(nl) - buf_) + 1;
            begin = buf_ + pos_;
            end = buf_ + e;
            pos_ = scanned_ = e;
            return true;
        }
        scanned_ = len_;
        if (done_) {
            if (pos_ == len_)
                return false;
            begin = buf_ + pos_;
            end = buf_ + len_; // the last line, without '\n'; buf_[len_] is '\0'
            pos_ = scanned_ = len_;
            return true;
        }
        // Room for another block: the unread part moves to the front, and the
        // buffer doubles when that part is more than half of it.
        const std::size_t keep = len_ - pos_;
        if (pos_ != 0) {
            std::memmove(buf_, buf_ + pos_, keep);
            scanned_ -= pos_;
            len_ = keep;
            pos_ = 0;
        }
        if (keep + block + 1 > cap_) {
            std::size_t cap = std::max<std::size_t>(cap_ * 2, 2 * block);
            while (cap < keep + block + 1)
                cap *= 2;
            void *grown = seam_ ? lib_realloc(buf_, cap) : std::realloc(buf_, cap);
            if (!grown)
                throw std::bad_alloc();
            buf_ = static_cast<char *>(grown);
            cap_ = cap;
        }
        const std::size_t want = cap_ - len_ - 1;
        const std::size_t got = std::fread(buf_ + len_, 1, want, fp_);
        len_ += got;
        buf_[len_] = '\0';
        // (The stream's own flags decide, not the count: a short read is the
        // end or an error by the C standard, and this holds even for a C
        // library that comes back short in text mode.)
        if (got == 0 || std::feof(fp_) || std::ferror(fp_))
            done_ = true;
    }
}

mtrx_status read_text(const char *text, std::size_t len, bool terminated, on_failure mode,
                      shape_rule shape, mtrx_t **out, mtrx_error *err)
{
    *out = nullptr;
    row_builder rows(mode, err);
    if (!rows.start())
        return rows.status();

    std::size_t o = 0;
    // The status readers pass over blank lines before the first row as well;
    // the natural one takes none after a leading '\n', and a first line of
    // blanks as a row.
    if (mode == on_failure::report)
        while (o < len && is_c_space(text[o]))
            ++o;
    while (o < len && text[o] != '\n') {
        const char *b = text + o;
        const void *nl = std::memchr(b, '\n', len - o);
        const char *e = nl ? static_cast<const char *>(nl) : text + len;
        std::size_t n = static_cast<std::size_t>(e - b);
        while (o + n < len && is_c_space(text[o + n]))
            ++n;
        o += n;

        // A last line that ends the text, where a number could run past its
        // end, is read from a copy that ends in '\0'.
        char *copy = nullptr;
        if (!nl && !terminated && !is_c_space(e[-1])) {
            const std::size_t size = static_cast<std::size_t>(e - b);
            copy = static_cast<char *>(lib_calloc(size + 1, 1));
            if (!copy)
                return rows.out_of_memory();
            std::memcpy(copy, b, size);
            b = copy;
            e = copy + size;
        }
        const bool more = rows.add(b, e);
        std::free(copy);
        if (!more)
            return rows.status();
    }
    return rows.finish(shape, out);
}

mtrx_status read_stream(FILE *fp, on_failure mode, shape_rule shape, mtrx_t **out,
                        mtrx_error *err)
{
    *out = nullptr;
    row_builder rows(mode, err);
    if (!rows.start())
        return rows.status();
    try {
        // (the status reader's buffer goes through the allocation seam too)
        line_reader lines(fp, 1 << 16, mode == on_failure::report);
        const char *b, *e;
        while (lines.next(b, e)) {
            // The natural reader takes every line as a row, blank or not.
            if (mode == on_failure::report && all_space(b, e))
                continue;
            if (!rows.add(b, e))
                return rows.status();
        }
    } catch (const std::bad_alloc &) {
        return rows.out_of_memory();
    }
    return rows.finish(shape, out);
}

} // namespace mtrx_detail

using namespace mtrx_detail;

extern "C" mtrx_t *mtrx_read_str(const char *s)
{
    mtrx_t *m;
    read_text(s, std::strlen(s), true, on_failure::exit, shape_rule::any, &m, nullptr);
    return m;
}

extern "C" mtrx_t *mtrx_read_file_ptrs(FILE *fp)
{
    mtrx_t *m;
    read_stream(fp, on_failure::exit, shape_rule::any, &m, nullptr);
    return m;
}

namespace {

mtrx_status parse_text(const char *text, size_t len, shape_rule shape, mtrx_t **out,
                       mtrx_error *err)
{
    quiet_scope quiet;
    if (!out || (!text && len != 0)) {
        if (out)
            *out = nullptr;
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: a null %s.",
                             out ? "text" : "result pointer");
    }
    return read_text(text ? text : "", len, false, on_failure::report, shape, out, err);
}

} // namespace

extern "C" mtrx_status mtrx_parse(const char *text, size_t len, mtrx_t **out, mtrx_error *err)
{
    return parse_text(text, len, shape_rule::rectangular, out, err);
}

extern "C" mtrx_status mtrx_parse_system(const char *text, size_t len, mtrx_t **out,
                                         mtrx_error *err)
{
    return parse_text(text, len, shape_rule::system, out, err);
}

extern "C" mtrx_status mtrx_parse_stream(FILE *fp, mtrx_t **out, mtrx_error *err)
{
    quiet_scope quiet;
    if (!out || !fp) {
        if (out)
            *out = nullptr;
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: a null %s.",
                             out ? "stream" : "result pointer");
    }
    return read_stream(fp, on_failure::report, shape_rule::rectangular, out, err);
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
                    say("%s() error: failed conversion mtrx[%zu][%zu].\n", unknown,
                                 m->rows, m->cols);
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
                say("%s() error: column mismatch row[%zu]\n", unknown, m->rows);
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
