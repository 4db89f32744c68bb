// detail::wfopen: wide name and mode to UTF-8, then fopen.
#include "tovric/velarn/cstdio.hpp"

#include "narrow_copy.hpp"

namespace tovric::velarn::detail {

std::FILE* wfopen(const wchar_t* name, const wchar_t* mode) {
  const narrow_copy<256> narrow_name(name);
  const narrow_copy<16> narrow_mode(mode);
  return std::fopen(narrow_name.c_str(), narrow_mode.c_str());
}

}  // namespace tovric::velarn::detail
