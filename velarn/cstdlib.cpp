// Environment functions: plain pass-through to the C library, whose narrow
// strings are UTF-8 already.
#include "tovric/velarn/cstdlib.hpp"

#include <stdlib.h>

namespace tovric::velarn {

int setenv(const char* name, const char* value, int overwrite) noexcept {
  return ::setenv(name, value, overwrite);
}

int unsetenv(const char* name) noexcept { return ::unsetenv(name); }

int putenv(char* string) noexcept { return ::putenv(string); }

}  // namespace tovric::velarn
