// The readers as statuses: mtrx_parse, mtrx_parse_system, mtrx_parse_stream,
// and mtrx_find_matrix, where a matrix begins in a text.
#include <mtrx/mtrx.h>

#include "core/read/rows.h"
#include "core/read/scan.h"
#include "status.h"

using namespace mtrx_detail;

namespace {

// The failure of a strict read as *err, its place included.
mtrx_status failure(mtrx_error *err, const read_failure &why)
{
    set_error(err, why.status, why.row, why.count, why.expected);
    if (err) {
        err->line = why.line;
        err->column = why.column;
    }
    return why.status;
}

mtrx_status parse_text(const char *text, size_t len, shape_rule shape, mtrx_t **out,
                       mtrx_error *err)
{
    if (const mtrx_status bad = check_text(text, len, out, err); bad != MTRX_OK) {
        if (out)
            *out = nullptr;
        return bad;
    }
    read_failure why;
    *out = read_text_strictly(text ? text : "", len, shape, why);
    return failure(err, why);
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
    if (!out || !fp) {
        if (out)
            *out = nullptr;
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0, "Invalid argument: a null %s.",
                             out ? "stream" : "result pointer");
    }
    read_failure why;
    *out = read_stream_strictly(fp, shape_rule::rectangular, why);
    return failure(err, why);
}

extern "C" mtrx_status mtrx_find_matrix(const char *text, size_t len, size_t *offset,
                                        mtrx_error *err)
{
    if (const mtrx_status bad = check_text(text, len, offset, err); bad != MTRX_OK) {
        if (offset)
            *offset = 0;
        return bad;
    }
    const char *end = text + len;
    const char *p = len ? next_number(text, end, start_rule::strict) : end;
    *offset = static_cast<size_t>(p - text);
    return set_error(err, p == end ? MTRX_EEMPTY : MTRX_OK);
}
