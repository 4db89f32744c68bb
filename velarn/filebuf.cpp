// detail::ftell and detail::fseek: stream positions with 64-bit offsets.
#include "tovric/velarn/filebuf.hpp"

#include <stdio.h>

namespace tovric::velarn::detail {

std::streampos ftell(std::FILE* file) noexcept {
  return std::streampos(static_cast<std::streamoff>(::ftello64(file)));
}

int fseek(std::FILE* file, std::int64_t offset, int origin) noexcept {
  return ::fseeko64(file, offset, origin);
}

}  // namespace tovric::velarn::detail
