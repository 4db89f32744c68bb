// Differential fuzzing of utf::convert_buffer on every vector level that the
// CPU has (chosen at run time, see simd_levels.hpp) against its unit-by-unit
// path.
//
// Every four input bytes make one unit of a kind (ASCII, two-byte, any BMP
// value with surrogates, CJK, emoji, any code point, any 32-bit value). A
// unit whose fourth byte has bits 2-4 clear, and the first, start a run of
// the kind that the top bits of that byte pick: runs of about eight units
// give blocks of one kind (of 32 units too) as well as blocks of mixed
// kinds, so that every kind of block turns up. For every
// buffer size from 0 to one past what the text needs, each path must return
// the same result and leave the same text and terminator; past the
// terminator a vector path may only have written zeros. The units lie
// against a guard page at either end, and so does the output, so that any
// read or write outside the buffers faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "guarded_memory.hpp"
#include "simd_levels.hpp"
#include "tovric/velarn/utf.hpp"

namespace {

namespace utf = tovric::velarn::utf;

constexpr std::size_t max_units = 160;

// The unit of four input bytes, of the kind of its run (`kind`, which the
// bytes may change by starting a run).
wchar_t unit_from(const std::uint8_t* b, unsigned& kind) {
  std::uint32_t raw;
  std::memcpy(&raw, b, sizeof raw);
  const std::uint32_t low = raw & 0xFFFFFFu;
  std::uint32_t u = raw;
  if ((b[3] & 0x1Cu) == 0) kind = b[3] >> 5u;
  switch (kind) {
    case 0:
    case 1: u = b[0] & 0x7Fu; break;
    case 2: u = low % 0x800u; break;
    case 3: u = low % 0x10000u; break;
    case 4: u = 0x4E00u + low % 0x5200u; break;
    case 5: u = 0x1F300u + low % 0x350u; break;
    case 6: u = low % 0x110000u; break;
    default: break;
  }
  return static_cast<wchar_t>(u);
}

void check(bool ok) {
  if (!ok) std::abort();
}

using converter = char* (*)(char*, std::size_t, const wchar_t*, const wchar_t*) noexcept;

// One conversion into `out` (filled with 0x55 first), compared with the
// unit-by-unit result in `expected`.
void compare(converter convert, char* out, std::size_t size, const wchar_t* begin, const wchar_t* end,
             const std::vector<char>& expected, bool expected_ok, std::size_t text) {
  std::memset(out, 0x55, size);
  const char* r = convert(out, size, begin, end);
  check((r != nullptr) == expected_ok);
  check(r == nullptr || r == out);
  if (size == 0) return;
  check(std::memcmp(out, expected.data(), text + 1) == 0);  // the text and the terminator
  for (std::size_t j = text + 1; j < size; ++j) check(out[j] == 0x55 || out[j] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t n = size / 4;
  if (n > max_units) n = max_units;
  guarded_memory input(4 * n);
  auto* at_end = reinterpret_cast<wchar_t*>(input.at_end(4 * n));
  unsigned kind = n > 0 ? data[3] >> 5u : 0;
  for (std::size_t k = 0; k < n; ++k) at_end[k] = unit_from(data + 4 * k, kind);
  guarded_memory copy(4 * n);
  auto* at_start = reinterpret_cast<wchar_t*>(copy.at_start(4 * n));
  std::memcpy(at_start, at_end, 4 * n);

  const auto& levels = vector_levels_to_fuzz("convert_buffer_paths_fuzz");
  const std::size_t largest = 4 * n + 1;
  guarded_memory output(largest);
  for (std::size_t buffer = 0; buffer <= largest; ++buffer) {
    std::vector<char> expected(buffer + 1, 0x55);
    const bool ok = utf::detail::convert_buffer_scalar(expected.data(), buffer, at_end, at_end + n) != nullptr;
    // Where the terminator goes: after the units that fit (the text may
    // hold zero units, so it is counted, not searched).
    std::size_t text = 0;
    for (std::size_t k = 0; buffer > 0 && k < n; ++k) {
      const std::size_t length = utf::detail::encoded_length(utf::detail::unit_value(at_end[k]));
      if (text + length > buffer - 1) break;
      text += length;
    }
    for (const auto level : levels) {
      utf::detail::use_simd_level(level);
      const converter path = &utf::convert_buffer<char, wchar_t>;
      compare(path, reinterpret_cast<char*>(output.at_end(buffer)), buffer, at_end, at_end + n, expected, ok,
              text);
      compare(path, reinterpret_cast<char*>(output.at_start(buffer)), buffer, at_start, at_start + n, expected,
              ok, text);
    }
  }
  return 0;
}
