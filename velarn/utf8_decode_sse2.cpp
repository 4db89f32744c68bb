// The SSE2 kernel of the UTF-8 decoder: 16-byte blocks, every x86-64 CPU.
#include "utf8_decode_kernel.hpp"

#if defined(__x86_64__)
#include "utf8_decode_sse2_block.hpp"

namespace tovric::velarn::detail {

cursor decode_kernel_sse2(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept {
  return decode_blocks_sse2(p, n, units, at);
}

}  // namespace tovric::velarn::detail
#endif
