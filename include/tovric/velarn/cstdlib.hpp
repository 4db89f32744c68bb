// tovric::velarn environment functions. Environment strings on this platform
// are narrow and taken as UTF-8 already, so each function hands its arguments
// unchanged to the C library's function of the same name.
#ifndef TOVRIC_VELARN_CSTDLIB_HPP
#define TOVRIC_VELARN_CSTDLIB_HPP

#include "tovric/detail/language.hpp"

#include "tovric/velarn/detail/config.hpp"

namespace tovric::velarn {

// Sets `name` to `value` (replacing an existing value only if `overwrite` is
// not 0). Returns 0, or -1 with errno set by the C library.
TOVRIC_VELARN_API int setenv(const char* name, const char* value, int overwrite) noexcept;

// Removes `name` from the environment. Returns 0, or -1 with errno set.
TOVRIC_VELARN_API int unsetenv(const char* name) noexcept;

// Puts "name=value" into the environment: the string itself, not a copy, so
// it must stay alive and unchanged while it is there. Returns 0, or non-zero
// with errno set by the C library.
TOVRIC_VELARN_API int putenv(char* string) noexcept;

}  // namespace tovric::velarn

#endif
