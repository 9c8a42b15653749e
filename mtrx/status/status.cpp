// The status layer's common parts (status.h), and the names of the
// statuses.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "status.h"

namespace mtrx_detail {

mtrx_status set_error(mtrx_error *err, mtrx_status st, std::size_t row, std::size_t count,
                      std::size_t expected)
{
    switch (st) {
    case MTRX_ENONUMBER:
        return set_error_msg(err, st, row, 0, 0, "Invalid Format: row %zu holds no number.", row);
    case MTRX_EMALFORMED:
        return set_error_msg(err, st, row, 0, 0,
                             "Invalid Format: row %zu holds a malformed number.", row);
    case MTRX_ERANGE:
        return set_error_msg(err, st, row, 0, 0,
                             "Invalid Format: row %zu holds a number out of range.", row);
    case MTRX_ESHAPE:
        return set_error_msg(err, st, row, count, expected,
                             "Invalid Format: row %zu has %zu value%s, expected %zu.", row, count,
                             count == 1 ? "" : "s", expected);
    case MTRX_ENOMEM:
        return set_error_msg(err, st, 0, 0, 0, "Out of memory.");
    case MTRX_EEMPTY:
        return set_error_msg(err, st, 0, 0, 0, "Invalid Format or Matrix Not Found.");
    case MTRX_ESINGULAR:
        return set_error_msg(err, st, 0, 0, 0, "Singular Matrix - no unique solution.");
    case MTRX_ENOSOLUTION:
        return set_error_msg(err, st, 0, 0, 0, "The system has no solution.");
    case MTRX_EINFINITE:
        return set_error_msg(err, st, 0, 0, 0, "The system has infinitely many solutions.");
    default:
        return set_error_msg(err, st, 0, 0, 0, "%s.", mtrx_strerror(st));
    }
}

mtrx_status set_error_msg(mtrx_error *err, mtrx_status st, std::size_t row, std::size_t count,
                          std::size_t expected, const char *fmt, ...)
{
    if (err) {
        err->status = st;
        err->row = row;
        err->count = count;
        err->expected = expected;
        err->line = 0;
        err->column = 0;
        std::va_list ap;
        va_start(ap, fmt);
        std::vsnprintf(err->message, sizeof err->message, fmt, ap);
        va_end(ap);
    }
    return st;
}

mtrx_status check_text(const char *text, std::size_t len, const void *result, mtrx_error *err)
{
    if (result && (text || len == 0))
        return MTRX_OK;
    return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: a null %s.",
                         result ? "text" : "result pointer");
}

mtrx_status check_system(const mtrx_t *m, double **x, mtrx_error *err)
{
    if (x)
        *x = nullptr;
    if (!x || !m)
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null record or result pointer.");
    // (rows + 1 wraps to 0 for the largest count: no such record is a system)
    const std::size_t n = m->rows;
    if (n == SIZE_MAX || m->cols != n + 1 || (!m->mtrx && n != 0))
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a %zu x %zu record is no system of %zu equations.",
                             n, m->cols, n);
    return MTRX_OK;
}

} // namespace mtrx_detail

extern "C" const char *mtrx_strerror(mtrx_status status)
{
    switch (status) {
    case MTRX_OK:
        return "No error";
    case MTRX_ENOMEM:
        return "Out of memory";
    case MTRX_EEMPTY:
        return "No number in the input";
    case MTRX_ENONUMBER:
        return "A row holds no number";
    case MTRX_EMALFORMED:
        return "A malformed number";
    case MTRX_ERANGE:
        return "A number out of range";
    case MTRX_ESHAPE:
        return "Dimensions that do not fit";
    case MTRX_ESINGULAR:
        return "Singular matrix";
    case MTRX_EINVAL:
        return "Invalid argument";
    case MTRX_ENOSOLUTION:
        return "No solution";
    case MTRX_EINFINITE:
        return "Infinitely many solutions";
    case MTRX_ESYNTAX:
        return "An equation that does not read";
    case MTRX_ENONFINITE:
        return "A NaN or an infinity in the input";
    }
    return "Unknown status";
}
