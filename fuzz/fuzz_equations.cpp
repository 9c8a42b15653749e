// The equations reader on any text: it writes nothing; the rule of
// mtrx_find_equations is the reader's (equations exactly when the reader
// does not answer MTRX_EEMPTY, with the same words otherwise); a fault names
// a line of the equations and a byte of it, with the message's line; a
// result has a row per non-blank line from the first equation, distinct
// names found in the text, finite values, and written back as equations
// (every coefficient "%.17g*name") reads as the same values and names.
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "fuzz_common.h"

namespace {

struct Read {
    mtrx_status st;
    mtrx_error err;
    mtrx_t *m = nullptr;
    char **names = nullptr;
    ~Read()
    {
        mtrx_free(m);
        mtrx_names_free(names);
    }
};

void parse(const std::string &text, Read &r)
{
    const std::vector<char> exact(text.begin(), text.end()); // (a read past it shows)
    r.st = mtrx_parse_equations(exact.data(), exact.size(), &r.m, &r.names, &r.err);
}

bool well_formed(const mtrx_error &e, mtrx_status st)
{
    if (e.status != st || e.message[0] == '\0' || !std::memchr(e.message, '\0', sizeof e.message))
        return false;
    for (const char *p = e.message; *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x20)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using fuzz::require;
    const std::string text(reinterpret_cast<const char *>(data), size);
    Read r;
    size_t at = 0;
    mtrx_error found;
    mtrx_status is = MTRX_OK;
    const std::string said = fuzz::written(1, [&] {
        require(fuzz::written(2, [&] {
                    is = mtrx_find_equations(text.data(), text.size(), &at, &found);
                    parse(text, r);
                }).empty());
    });
    require(said.empty());
    require(well_formed(r.err, r.st) && well_formed(found, is));
    require((is == MTRX_OK) == (r.st != MTRX_EEMPTY));
    require((r.st == MTRX_OK) == (r.m != nullptr) && (r.m != nullptr) == (r.names != nullptr));

    // The lines: their starts, and the first equation's line.
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < size; ++i)
        if (text[i] == '\n')
            starts.push_back(i + 1);
    if (is != MTRX_OK) {
        require(at == size && std::strcmp(r.err.message, found.message) == 0);
        require(found.line <= starts.size());
        return 0;
    }
    std::size_t first = 0;
    while (first + 1 < starts.size() && starts[first + 1] <= at)
        ++first;
    require(starts[first] == at);
    std::size_t rows = 0;
    for (std::size_t l = first; l < starts.size(); ++l) {
        const std::size_t e = l + 1 < starts.size() ? starts[l + 1] - 1 : size;
        bool blank = true;
        for (std::size_t i = starts[l]; i < e; ++i)
            blank = blank && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'));
        rows += !blank;
    }

    if (r.st != MTRX_OK) {
        require(r.st == MTRX_ESYNTAX || r.st == MTRX_ERANGE || r.st == MTRX_ENOMEM);
        if (r.st == MTRX_ENOMEM)
            return 0;
        const mtrx_error &e = r.err;
        require(e.line > first && e.line <= starts.size() && e.row < rows);
        const std::size_t len = (e.line < starts.size() ? starts[e.line] - 1 : size) - starts[e.line - 1];
        require(e.column >= 1 && e.column <= len + 1);
        const std::string head = "Invalid Equation: line " + std::to_string(e.line) + ": ";
        require(std::strncmp(e.message, head.c_str(), head.size()) == 0);
        return 0;
    }

    const mtrx_t *m = r.m;
    const std::size_t n = m->cols - 1;
    require(m->rows == rows && m->maxrows == rows && m->cols >= 2 && m->maxcols == m->cols);
    std::size_t count = 0;
    while (r.names[count])
        ++count;
    require(count == n);
    for (std::size_t j = 0; j < n; ++j) {
        require(r.names[j][0] != '\0' && text.find(r.names[j]) != std::string::npos);
        for (std::size_t k = 0; k < j; ++k)
            require(std::strcmp(r.names[j], r.names[k]) != 0);
    }
    std::string back;
    char num[40];
    bool subnormal = false; // (a quotient may be; no number text reads as one)
    for (std::size_t i = 0; i < m->rows; ++i) {
        for (std::size_t j = 0; j <= n; ++j) {
            require(std::isfinite(m->mtrx[i][j]));
            subnormal = subnormal || (m->mtrx[i][j] != 0 && std::fabs(m->mtrx[i][j]) < DBL_MIN);
            std::snprintf(num, sizeof num, "%.17g", m->mtrx[i][j]);
            back += j == n ? std::string(" = ") + num + "\n"
                           : std::string(j ? " + " : "") + num + "*" + r.names[j];
        }
    }
    if (subnormal)
        return 0;
    Read again;
    parse(back, again);
    require(again.st == MTRX_OK && again.m->rows == m->rows && again.m->cols == m->cols);
    for (std::size_t j = 0; j < n; ++j)
        require(std::strcmp(again.names[j], r.names[j]) == 0);
    for (std::size_t i = 0; i < m->rows; ++i)
        for (std::size_t j = 0; j <= n; ++j)
            require(again.m->mtrx[i][j] == m->mtrx[i][j]);
    return 0;
}
