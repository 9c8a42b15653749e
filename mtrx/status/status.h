// The status layer's common parts: filling an mtrx_error, and the argument
// checks of the readers and the system solvers.
#ifndef MTRX_STATUS_STATUS_H
#define MTRX_STATUS_STATUS_H

#include <cstddef>

#include <mtrx/mtrx.h>

namespace mtrx_detail {

#if defined(__MINGW32__)
#define MTRX_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define MTRX_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#endif

// Fills *err (when err is not null) with `st`, the fields and the library's
// sentence for `st`, and returns `st`.
mtrx_status set_error(mtrx_error *err, mtrx_status st, std::size_t row = 0, std::size_t count = 0,
                      std::size_t expected = 0);
// The same with a sentence of the caller's.
mtrx_status set_error_msg(mtrx_error *err, mtrx_status st, std::size_t row, std::size_t count,
                          std::size_t expected, const char *fmt, ...) MTRX_PRINTF_LIKE(6, 7);
// The readers' arguments: MTRX_OK, err untouched, when `len` bytes can be
// read at `text` (null only for none) and `result` is not null; otherwise
// MTRX_EINVAL with its sentence.
mtrx_status check_text(const char *text, std::size_t len, const void *result, mtrx_error *err);
// The solvers' arguments: clears *x (x may be null) and gives MTRX_OK, err
// untouched, when m is an augmented n x (n + 1) system; otherwise
// MTRX_EINVAL with its sentence.
mtrx_status check_system(const mtrx_t *m, double **x, mtrx_error *err);

} // namespace mtrx_detail

#endif
