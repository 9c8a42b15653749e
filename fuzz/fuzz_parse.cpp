// The status readers on any text: they never end the process or write a
// word; a failure names a row the text has, and that row's line (and, for a
// bad number, a column where a number starts); the text as bytes (in a block of
// exactly their size, so that a read past it shows), with '\0' for another
// character that starts no number, as a stream and as a system all agree;
// and mtrx_parse succeeds exactly when mtrx_read_str reads the text without
// a message, with the same values bit for bit.
#include <algorithm>
#include <cstdio>

#include "fuzz_common.h"

namespace {

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The lines of `text` that are not blank, as [begin, end) offsets.
std::vector<std::pair<std::size_t, std::size_t>> rows_of(const std::string &text)
{
    std::vector<std::pair<std::size_t, std::size_t>> rows;
    for (std::size_t o = 0; o < text.size();) {
        std::size_t e = text.find('\n', o);
        e = e == std::string::npos ? text.size() : e;
        for (std::size_t i = o; i < e; ++i)
            if (!is_c_space(text[i])) {
                rows.emplace_back(o, e);
                break;
            }
        o = e + 1;
    }
    return rows;
}

struct Read {
    mtrx_status st;
    mtrx_error err;
    mtrx_t *m = nullptr;
    ~Read() { mtrx_free(m); }
};

// What a status reader returned, checked against the text's rows.
void check(const Read &r, const std::string &text,
           const std::vector<std::pair<std::size_t, std::size_t>> &row_lines)
{
    const std::size_t rows = row_lines.size();
    const mtrx_error &e = r.err;
    if (e.status != r.st || (r.st == MTRX_OK) != (r.m != nullptr) || e.message[0] == '\0' ||
        !std::memchr(e.message, '\0', sizeof e.message) || std::strchr(e.message, '\n'))
        std::abort();
    const bool names_row = r.st == MTRX_ENONUMBER || r.st == MTRX_EMALFORMED ||
                           r.st == MTRX_ERANGE || r.st == MTRX_ESHAPE;
    if ((names_row && e.row >= rows) || (r.st == MTRX_ESHAPE && e.count == e.expected))
        std::abort();
    // The place: the row's line, counting every line from 1; the column of a
    // bad number is where a number starts in that line.
    const bool names_column = r.st == MTRX_EMALFORMED || r.st == MTRX_ERANGE;
    if (!names_row) {
        if (e.line != 0 || e.column != 0)
            std::abort();
    } else {
        const auto [b, end] = row_lines[e.row];
        const auto before = text.begin() + static_cast<std::ptrdiff_t>(b);
        if (e.line != 1 + static_cast<std::size_t>(std::count(text.begin(), before, '\n')))
            std::abort();
        if (!names_column ? e.column != 0
                          : e.column == 0 || b + e.column > end ||
                                !std::strchr("+-.0123456789", text[b + e.column - 1]))
            std::abort();
    }
    if (r.m) {
        if (r.m->rows != rows || r.m->maxrows != rows || r.m->maxcols != r.m->cols)
            std::abort();
        for (std::size_t i = 0; i < rows; ++i)
            for (std::size_t j = 0; j < r.m->cols; ++j)
                (void)r.m->mtrx[i][j]; // every row holds cols values (ASan checks)
    }
}

bool same_read(const Read &a, const Read &b)
{
    return a.st == b.st && a.err.row == b.err.row && a.err.count == b.err.count &&
           a.err.expected == b.err.expected && a.err.line == b.err.line &&
           a.err.column == b.err.column && std::strcmp(a.err.message, b.err.message) == 0 &&
           same_bits(a.m, b.m, nans::any);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const auto row_lines = rows_of(text);
    const std::size_t rows = row_lines.size();
    std::string hashed = text;
    for (char &c : hashed)
        c = c == '\0' ? '#' : c;
    const std::vector<char> exact(text.begin(), text.end());

    Read bytes, hash, stream, system;
    std::string out, said;
    out = fuzz::written(1, [&] {
        said = fuzz::written(2, [&] {
            bytes.st = mtrx_parse(exact.data(), exact.size(), &bytes.m, &bytes.err);
            hash.st = mtrx_parse(hashed.data(), hashed.size(), &hash.m, &hash.err);
            system.st = mtrx_parse_system(exact.data(), exact.size(), &system.m, &system.err);
            FILE *fp = size ? fmemopen(const_cast<char *>(text.data()), size, "r") : nullptr;
            if (fp) {
                stream.st = mtrx_parse_stream(fp, &stream.m, &stream.err);
                std::fclose(fp);
            }
        });
    });
    if (!out.empty() || !said.empty())
        std::abort();
    check(bytes, text, row_lines);
    check(system, text, row_lines);
    if (!same_read(bytes, hash) || (size && !same_read(bytes, stream)))
        std::abort();
    if (bytes.st == MTRX_OK) {
        const bool square = bytes.m->cols == rows + 1;
        if (square ? !same_read(bytes, system)
                   : system.st != MTRX_ESHAPE || system.err.row != 0 ||
                         system.err.count != bytes.m->cols || system.err.expected != rows + 1)
            std::abort();
    } else if (bytes.st == MTRX_ESHAPE ? system.st != MTRX_ESHAPE : !same_read(bytes, system)) {
        std::abort();
    }

    // The natural reader, on the text up to its first '\0' and from its first
    // non-blank character (it would take a blank first line for a row). Where
    // a line yields no value it ends the process: then the status reader
    // must fail too.
    std::string from = text.c_str();
    from.erase(0, std::min(from.size(), from.find_first_not_of(" \t\n\v\f\r")));
    Read status;
    status.st = mtrx_parse(from.data(), from.size(), &status.m, &status.err);
    for (auto [b, e] : rows_of(from)) {
        std::size_t n = 0;
        double *row = fuzz::parsed_row(from.data() + b, from.data() + e, n);
        if (!row) {
            if (status.st == MTRX_OK || status.st == MTRX_ESHAPE)
                std::abort();
            return 0;
        }
        std::free(row);
    }
    mtrx_t *natural = nullptr;
    said = fuzz::written(2, [&] { natural = mtrx_read_str(from.c_str()); });
    const bool silent = said.empty() && natural;
    bool agree = (status.st == MTRX_OK) == silent;
    if (status.st == MTRX_OK)
        agree = agree && same_bits(status.m, natural, nans::any);
    else if (status.st == MTRX_EEMPTY)
        agree = agree && !natural && said.empty();
    else if (status.st == MTRX_EMALFORMED || status.st == MTRX_ERANGE)
        agree = agree && said.find(status.st == MTRX_ERANGE ? "error: in conversion.\n"
                                                            : "error: no digits converted.\n") !=
                             std::string::npos;
    else if (status.st == MTRX_ESHAPE) // (the first row of another length)
        agree = agree && said.find("column mismatch row[") ==
                             said.find("column mismatch row[" + std::to_string(status.err.row) +
                                       "]\n") &&
                said.find("column mismatch row[") != std::string::npos;
    mtrx_free(natural);
    if (!agree)
        std::abort();
    return 0;
}
