// The lines of a stream (line_reader) and of a text (text_lines), for the
// readers.
#include "core/read/lines.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/base/alloc.h"

namespace mtrx_detail {

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
            ++line_;
            return true;
        }
        scanned_ = len_;
        if (done_) {
            if (pos_ == len_)
                return false;
            begin = buf_ + pos_;
            end = buf_ + len_; // the last line, without '\n'; buf_[len_] is '\0'
            pos_ = scanned_ = len_;
            ++line_;
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
            void *grown = hooked_ ? lib_realloc(buf_, cap) : std::realloc(buf_, cap);
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

text_lines::text_lines(const char *text, std::size_t len, bool terminated,
                       bool skip_leading_space)
    : text_(text), len_(len), terminated_(terminated)
{
    if (skip_leading_space)
        pass_space();
}

void text_lines::pass_space()
{
    for (; at_ < len_ && is_c_space(text_[at_]); ++at_) {
        if (text_[at_] == '\n') {
            ++newlines_;
            line_start_ = at_ + 1;
        }
    }
}

bool text_lines::next(const char *&begin, const char *&end)
{
    std::free(copy_);
    copy_ = nullptr;
    if (at_ >= len_ || text_[at_] == '\n')
        return false;
    line_ = newlines_ + 1;
    indent_ = at_ - line_start_;
    const char *b = text_ + at_;
    const void *nl = std::memchr(b, '\n', len_ - at_);
    const char *e = nl ? static_cast<const char *>(nl) : text_ + len_;
    at_ = static_cast<std::size_t>(e - text_);
    pass_space();

    // A last line that ends the text, where a number could run past its
    // end, is read from a copy that ends in '\0'.
    if (!nl && !terminated_ && !is_c_space(e[-1])) {
        const std::size_t size = static_cast<std::size_t>(e - b);
        copy_ = static_cast<char *>(lib_calloc(size + 1, 1));
        if (!copy_) {
            nomem_ = true;
            return false;
        }
        std::memcpy(copy_, b, size);
        b = copy_;
        e = copy_ + size;
    }
    begin = b;
    end = e;
    return true;
}

} // namespace mtrx_detail
