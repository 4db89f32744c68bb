// tovric::system::detail::snprintf: vsnprintf with variadic arguments, used by
// the categories to format their fallback texts.
#ifndef TOVRIC_SYSTEM_DETAIL_SNPRINTF_HPP
#define TOVRIC_SYSTEM_DETAIL_SNPRINTF_HPP

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "tovric/system/detail/config.hpp"

namespace tovric::system::detail {

// Formats the arguments into `buffer` of `len` bytes by std::vsnprintf and
// returns what that returns. Writes nothing when `len` is 0.
__attribute__((format(printf, 3, 4))) TOVRIC_SYSTEM_LOCAL inline int snprintf(
    char* buffer, std::size_t len, const char* format, ...) noexcept;

inline int snprintf(char* buffer, std::size_t len, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const int result = std::vsnprintf(buffer, len, format, args);
  va_end(args);
  return result;
}

}  // namespace tovric::system::detail

#endif
