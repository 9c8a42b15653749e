// printf-style formatting into a std::string, for the report texts.
#ifndef QUENDLE_FORMAT_H
#define QUENDLE_FORMAT_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace quendle {

template <class... Args> std::string format(const char *fmt, Args... args)
{
    const int len = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

} // namespace quendle

#endif
