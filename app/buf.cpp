#include "buf.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace quendle {

void *buf_resize(void *ptr, std::size_t psz, std::size_t oldsz, std::size_t newsz)
{
    if (psz != 0 && newsz > SIZE_MAX / psz)
        throw std::bad_alloc();
    const std::size_t keep = (newsz > oldsz ? oldsz : newsz) * psz;
    auto *p = static_cast<unsigned char *>(::operator new(psz * newsz));
    if (keep)
        std::memcpy(p, ptr, keep);
    std::memset(p + keep, 0, psz * newsz - keep);
    buf_free(ptr);
    return p;
}

void *buf_double(void *ptr, std::size_t psz, std::size_t *nelem)
{
    if (*nelem > SIZE_MAX / 2)
        throw std::bad_alloc();
    void *p = buf_resize(ptr, psz, *nelem, *nelem * 2);
    *nelem *= 2;
    return p;
}

void buf_free(void *ptr) noexcept { ::operator delete(ptr); }

} // namespace quendle
