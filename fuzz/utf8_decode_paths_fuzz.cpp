// Differential fuzzing of the UTF-8 decoder on every vector level that the
// CPU has (chosen at run time, see simd_levels.hpp) against its scalar
// decoder.
//
// The input is decoded whole and cut at every length (the cuts near the
// end of long inputs, and a sample of the others; a few of a short input
// also repeated to 640 bytes): each path must consume the same bytes and
// store the same units. The bytes lie against a guard page at either end,
// and the units against one at their end, room for exactly one unit per
// byte, so that any read or write outside the buffers faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "guarded_memory.hpp"
#include "simd_levels.hpp"
#include "utf8_decode.hpp"

namespace {

namespace velarn = tovric::velarn::detail;

using decoder = int (*)(const unsigned char*, int, wchar_t*, int&) noexcept;

void check(bool ok) {
  if (!ok) std::abort();
}

void compare(decoder decode, const unsigned char* p, int n, wchar_t* units, int expected_consumed,
             const std::vector<wchar_t>& expected) {
  int count = -1;
  check(decode(p, n, units, count) == expected_consumed);
  check(count == static_cast<int>(expected.size()));
  check(std::memcmp(units, expected.data(), expected.size() * sizeof(wchar_t)) == 0);
}

// The cuts of the `length` bytes at `data` within `ends` bytes of either
// end, and every `step`th one between, on every level.
void check_cuts(const std::uint8_t* data, std::size_t length, std::size_t ends, std::size_t step) {
  guarded_memory input(length);   // each cut copied flush against its end
  guarded_memory start(length);   // the whole input from its start
  guarded_memory output(4 * length);
  std::memcpy(start.at_start(length), data, length);

  const auto& levels = vector_levels_to_fuzz("utf8_decode_paths_fuzz");
  std::vector<wchar_t> expected;
  for (std::size_t n = 0; n <= length; ++n) {
    if (n > ends && n + ends < length && n % step != 0) continue;
    unsigned char* tight = input.at_end(n);
    std::memcpy(tight, data, n);
    expected.assign(n + 1, 0);
    int count = 0;
    const int consumed = velarn::decode_utf8_scalar(data, static_cast<int>(n), expected.data(), count);
    expected.resize(static_cast<std::size_t>(count));
    auto* units = reinterpret_cast<wchar_t*>(output.at_end(4 * n));
    for (const auto level : levels) {
      tovric::velarn::utf::detail::use_simd_level(level);
      const decoder path = &velarn::decode_utf8;
      compare(path, tight, static_cast<int>(n), units, consumed, expected);
      compare(path, start.at_start(length), static_cast<int>(n), units, consumed, expected);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check_cuts(data, size < 1024 ? size : 1024, 80, 13);
  // A short input also repeated to 640 bytes, so that the paths of long
  // input (runs of whole blocks, blocks carried into the next) see it; a
  // few cuts of it, which would otherwise take most of the time.
  if (size > 0 && size < 640) {
    std::vector<std::uint8_t> tiled(640);
    for (std::size_t i = 0; i < tiled.size(); ++i) tiled[i] = data[i % size];
    check_cuts(tiled.data(), tiled.size(), 2, 101);
  }
  return 0;
}
