// Byte-buffer resizing for the front end. Buffers come from operator new and
// go back through operator delete; exhausted memory throws std::bad_alloc.
#ifndef QUENDLE_BUF_H
#define QUENDLE_BUF_H

#include <cstddef>

namespace quendle {

// A new buffer of psz * newsz bytes holding the first psz * min(oldsz, newsz)
// bytes of `ptr`, the rest zero; `ptr` is released (it may be null when
// oldsz is 0).
void *buf_resize(void *ptr, std::size_t psz, std::size_t oldsz, std::size_t newsz);

// The same, doubling *nelem elements: the old contents, then as many zero
// bytes; *nelem is doubled.
void *buf_double(void *ptr, std::size_t psz, std::size_t *nelem);

// Releases a buffer from the two above.
void buf_free(void *ptr) noexcept;

} // namespace quendle

#endif
