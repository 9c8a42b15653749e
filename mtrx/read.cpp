// The readers. mtrx_read_str over a text and mtrx_read_file_ptrs over a stream
// fill the row-pointer form, one row per line through append_row; the text
// reader also serves callers that must not end the process
// (on_failure::report). mtrx_read_file fills the preallocated form from a
// stream.
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

// Parses [b, e) as the next row of `m` (row-pointer form). The row-pointer
// array doubles when full; a row shorter than the first is padded with zeros
// to `cols` places so that every row holds at least `cols` values.
read_status append_row(mtrx_t *m, const char *b, const char *e, on_failure mode,
                       std::vector<std::size_t> *counts)
{
    if (m->rows == m->maxrows) {
        std::size_t cap = m->maxrows ? m->maxrows * 2 : 1;
        void *grown = try_resize(m->mtrx, sizeof(double *), m->maxrows, cap);
        if (!grown) {
            if (mode == on_failure::exit)
                die_exhausted();
            return read_status::no_memory;
        }
        m->mtrx = static_cast<double **>(grown);
        m->maxrows = cap;
    }

    bool nomem = false;
    scan_stop stop = scan_stop::none;
    double *row = parse_row(b, e, &m->maxcols, mode, &nomem, &stop);
    if (mode == on_failure::report && stop != scan_stop::none) {
        // A caller that reports failures must not take a line whose end was
        // lost to a bad number for a complete row.
        std::free(row);
        return stop == scan_stop::no_digits ? read_status::bad_number : read_status::out_of_range;
    }
    if (!row) {
        if (nomem)
            return read_status::no_memory;
        if (mode == on_failure::exit) {
            std::fprintf(stderr, "%s() error: no values for mtrx[%zu][%zu].\n", unknown, m->rows,
                         m->cols);
            std::exit(1);
        }
        return read_status::no_values;
    }
    m->mtrx[m->rows] = row;

    if (m->rows == 0) {
        m->cols = m->maxcols;
    } else if (m->maxcols != m->cols) {
        std::fprintf(stderr, "%s() error: column mismatch row[%zu]\n", unknown, m->rows);
        if (m->maxcols < m->cols) {
            void *padded = try_resize(row, sizeof(double), m->maxcols, m->cols);
            if (!padded) {
                if (mode == on_failure::exit)
                    die_exhausted();
                return read_status::no_memory;
            }
            m->mtrx[m->rows] = static_cast<double *>(padded);
        }
    }
    if (counts)
        counts->push_back(m->maxcols);
    ++m->rows;
    return read_status::ok;
}

// Ends a read: null for no rows, otherwise the row-pointer array trimmed to
// the rows read.
mtrx_t *finish(mtrx_t *m, on_failure mode)
{
    if (m->rows == 0) {
        mtrx_free(m);
        return nullptr;
    }
    if (m->rows < m->maxrows) {
        void *shrunk = try_resize(m->mtrx, sizeof(double *), m->maxrows, m->rows);
        if (shrunk) {
            m->mtrx = static_cast<double **>(shrunk);
            m->maxrows = m->rows;
        } else if (mode == on_failure::exit) {
            die_exhausted();
        }
    }
    return m;
}

} // namespace

bool line_reader::next(const char *&begin, const char *&end)
{
    const std::size_t block = block_ ? block_ : 1;
    for (;;) {
        const void *nl =
            scanned_ < len_ ? std::memchr(buf_.get() + scanned_, '\n', len_ - scanned_) : nullptr;
        if (nl) {
            const std::size_t e =
                static_cast<std::size_t>(static_cast<const char *>(nl) - buf_.get()) + 1;
            begin = buf_.get() + pos_;
            end = buf_.get() + e;
            pos_ = scanned_ = e;
            return true;
        }
        scanned_ = len_;
        if (done_) {
            if (pos_ == len_)
                return false;
            begin = buf_.get() + pos_;
            end = buf_.get() + len_; // the last line, without '\n'; buf_[len_] is '\0'
            pos_ = scanned_ = len_;
            return true;
        }
        // Room for another block: the unread part moves to the front, and the
        // buffer doubles when that part is more than half of it.
        const std::size_t keep = len_ - pos_;
        if (keep + block + 1 > cap_) {
            std::size_t cap = std::max<std::size_t>(cap_ * 2, 2 * block);
            while (cap < keep + block + 1)
                cap *= 2;
            std::unique_ptr<char[]> grown(new char[cap]);
            if (keep != 0) // (the first time there is no buffer yet)
                std::memcpy(grown.get(), buf_.get() + pos_, keep);
            buf_ = std::move(grown);
            cap_ = cap;
        } else if (pos_ != 0) {
            std::memmove(buf_.get(), buf_.get() + pos_, keep);
        }
        scanned_ -= pos_;
        len_ = keep;
        pos_ = 0;
        const std::size_t want = cap_ - len_ - 1;
        const std::size_t got = std::fread(buf_.get() + len_, 1, want, fp_);
        len_ += got;
        buf_[len_] = '\0';
        // (The stream's own flags decide, not the count: a short read is the
        // end or an error by the C standard, and this holds even for a C
        // library that comes back short in text mode.)
        if (got == 0 || std::feof(fp_) || std::ferror(fp_))
            done_ = true;
    }
}

read_result read_text(const char *text, std::size_t len, on_failure mode,
                      std::vector<std::size_t> *counts)
{
    read_result r;
    mtrx_t *m = mtrx_create_ptrs(8);
    if (!m) {
        r.status = read_status::no_memory;
        return r;
    }

    std::size_t o = 0;
    while (o < len && text[o] != '\n') {
        const char *b = text + o;
        const void *nl = std::memchr(b, '\n', len - o);
        const char *e = nl ? static_cast<const char *>(nl) : text + len;
        std::size_t n = static_cast<std::size_t>(e - b);
        while (o + n < len && is_c_space(text[o + n]))
            ++n;
        o += n;

        read_status st;
        try {
            st = append_row(m, b, e, mode, counts);
        } catch (const std::bad_alloc &) {
            st = read_status::no_memory;
            if (mode == on_failure::exit)
                die_exhausted();
        }
        if (st != read_status::ok) {
            r.status = st;
            r.row = m->rows;
            mtrx_free(m);
            return r;
        }
    }

    r.m = finish(m, mode);
    r.status = r.m ? read_status::ok : read_status::empty;
    return r;
}

} // namespace mtrx_detail

using namespace mtrx_detail;

extern "C" mtrx_t *mtrx_read_str(const char *s)
{
    return read_text(s, std::strlen(s), on_failure::exit, nullptr).m;
}

extern "C" mtrx_t *mtrx_read_file_ptrs(FILE *fp)
{
    mtrx_t *m = mtrx_create_ptrs(8);
    if (!m)
        return nullptr;
    try {
        line_reader lines(fp);
        const char *b, *e;
        while (lines.next(b, e))
            append_row(m, b, e, on_failure::exit, nullptr);
    } catch (const std::bad_alloc &) {
        die_exhausted();
    }
    return finish(m, on_failure::exit);
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
                    std::fprintf(stderr, "%s() error: failed conversion mtrx[%zu][%zu].\n", unknown,
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
                std::fprintf(stderr, "%s() error: column mismatch row[%zu]\n", unknown, m->rows);
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
