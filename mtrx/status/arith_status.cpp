// The record arithmetic as statuses: mtrx_sum, mtrx_difference,
// mtrx_product and mtrx_transposed.
#include <mtrx/mtrx.h>

#include "core/base/arith.h"
#include "status.h"

using namespace mtrx_detail;

namespace {

mtrx_status status(record_op op, const mtrx_t *a, const mtrx_t *b, mtrx_t **out, mtrx_error *err)
{
    if (!out || !a || !b) { // (a transpose passes a as b)
        if (out)
            *out = nullptr;
        return set_error_msg(err, MTRX_EINVAL, 0, 0, 0,
                             "Invalid argument: a null record or result pointer.");
    }
    alloc_fault fault;
    const mtrx_status st = apply(op, a, b, out, fault);
    if (st != MTRX_ESHAPE)
        return set_error(err, st);
    if (op == record_op::mult)
        return set_error_msg(err, st, 0, 0, 0,
                             "Unequal dimensions, (%zu x %zu) * (%zu x %zu): the columns of the "
                             "first must equal the rows of the second.",
                             a->rows, a->cols, b->rows, b->cols);
    return set_error_msg(err, st, 0, 0, 0, "Unequal dimensions, (%zu x %zu) != (%zu x %zu).",
                         a->rows, a->cols, b->rows, b->cols);
}

} // namespace

extern "C" mtrx_status mtrx_sum(const mtrx_t *a, const mtrx_t *b, mtrx_t **out, mtrx_error *err)
{
    return status(record_op::add, a, b, out, err);
}
extern "C" mtrx_status mtrx_difference(const mtrx_t *a, const mtrx_t *b, mtrx_t **out,
                                       mtrx_error *err)
{
    return status(record_op::sub, a, b, out, err);
}
extern "C" mtrx_status mtrx_product(const mtrx_t *a, const mtrx_t *b, mtrx_t **out,
                                    mtrx_error *err)
{
    return status(record_op::mult, a, b, out, err);
}
extern "C" mtrx_status mtrx_transposed(const mtrx_t *a, mtrx_t **out, mtrx_error *err)
{
    return status(record_op::transpose, a, a, out, err);
}
