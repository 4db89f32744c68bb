// The UTF-8 decoder's driver: picks the kernel of the level in use from the
// one table of kernels, hands the blocks that a kernel does not take to the
// scalar decoder, and finishes the input unit by unit, leaving a sequence
// cut by the end undecoded (see utf8_decode_kernel.hpp for the contract).
#include "utf8_decode.hpp"

#include "tovric/velarn/detail/simd_level.hpp"
#include "utf8_decode_kernel.hpp"

namespace tovric::velarn::detail {
namespace {

using utf::detail::simd_level;

// What runs per level of this architecture, lowest first; a level without
// a row of its own runs the highest row below it. Adding a kernel: its file
// and one row here.
constexpr decode_kernel decode_kernels[] = {
    {simd_level::scalar, nullptr, 0},
#if defined(__x86_64__)
    {simd_level::sse2, decode_kernel_sse2, 16},
    {simd_level::avx2, decode_kernel_avx2, 32},
    {simd_level::avx512, decode_kernel_avx512, 64},
#elif defined(__aarch64__)
    {simd_level::neon, decode_kernel_neon, 16},
#endif
};

// The row that serves each level, by the level's number: the highest row
// at or below it. Built once, so that a call reads one entry.
constexpr int top_level = utf::detail::top_simd_level();
struct kernels_by_level {
  decode_kernel row[top_level + 1];
};
constexpr kernels_by_level make_kernels_by_level() {
  kernels_by_level t{};
  for (int level = 0; level <= top_level; ++level) {
    t.row[level] = decode_kernels[0];
    for (const decode_kernel& k : decode_kernels) {
      if (static_cast<int>(k.level) <= level) t.row[level] = k;
    }
  }
  return t;
}
constexpr kernels_by_level kernel_for = make_kernels_by_level();

}  // namespace

utf::detail::simd_level decoder_simd_level() noexcept { return utf::detail::current_simd_level(); }

int decode_utf8(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
  const decode_kernel& kernel = kernel_for.row[static_cast<int>(decoder_simd_level())];
  cursor at{0, 0};
  if (kernel.decode == nullptr) {
    at = decode_scalar_until(p, n, n, units, at);
  } else {
    for (;;) {
      at = kernel.decode(p, n, units, at);
      if (at.in >= n) break;
      // The block that the kernel did not take, or the last bytes.
      const int stop = n - at.in > kernel.block_bytes ? at.in + kernel.block_bytes : n;
      at = decode_scalar_until(p, n, stop, units, at);
      if (at.in >= n || at.in < stop) break;  // the end, or a sequence cut by it
    }
  }
  count = at.out;
  return at.in;
}

}  // namespace tovric::velarn::detail
