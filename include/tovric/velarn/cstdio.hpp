// tovric::velarn file opening by wide names: the name and the mode are
// converted to UTF-8 and handed to the C library's fopen.
#ifndef TOVRIC_VELARN_CSTDIO_HPP
#define TOVRIC_VELARN_CSTDIO_HPP

#include "tovric/detail/language.hpp"

#include <cstdio>

#include "tovric/velarn/detail/config.hpp"

namespace tovric::velarn::detail {

// Opens the file named by the zero-terminated wide string `name` with the
// zero-terminated wide `mode`, both converted to UTF-8 (invalid units become
// U+FFFD), and returns what fopen returns: null on failure, with fopen's
// errno. A null name or mode reaches fopen as a null pointer. Names of up to
// 255 units and 255 UTF-8 bytes and modes of up to 15 units and 15 bytes are
// converted on the stack; longer ones cost one heap block each. Throws
// std::bad_alloc (freeing what it allocated) if such a block cannot be had.
// Safe to call from any number of threads at once.
TOVRIC_VELARN_API std::FILE* wfopen(const wchar_t* name, const wchar_t* mode);

}  // namespace tovric::velarn::detail

#endif
