// tovric::velarn stream positions with 64-bit offsets, for file stream code
// built on the library.
#ifndef TOVRIC_VELARN_FILEBUF_HPP
#define TOVRIC_VELARN_FILEBUF_HPP

#include "tovric/detail/language.hpp"

#include <cstdint>
#include <cstdio>
#include <ios>

#include "tovric/velarn/detail/config.hpp"

namespace tovric::velarn::detail {

// The position of `file` as a full 64-bit offset in a stream position with
// the initial conversion state; offset -1 (errno set by the C library) when
// the stream cannot tell it, as for a pipe.
TOVRIC_VELARN_API std::streampos ftell(std::FILE* file) noexcept;

// Moves `file` to `offset` from `origin` (SEEK_SET, SEEK_CUR or SEEK_END);
// the offset is never narrowed. Returns 0, or -1 with errno set.
TOVRIC_VELARN_API int fseek(std::FILE* file, std::int64_t offset, int origin) noexcept;

}  // namespace tovric::velarn::detail

#endif
