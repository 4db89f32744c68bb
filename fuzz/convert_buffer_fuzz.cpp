// Differential fuzzing of utf::convert_buffer against a reference encoder
// written separately from the encoding table.
//
// The input is read as 32-bit units (any value: surrogates, values above
// 0x10FFFF and ones with the top bit set included) after a header that
// chooses the output size. Each instantiation that the library and its
// users may build converts the same units into a buffer with guard bytes on
// both sides, from input storage of exactly the units' size, so that a read
// past either end shows under AddressSanitizer. The result, the converted
// prefix, the terminator and every byte outside it must be as the reference
// says.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "tovric/velarn/utf.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// RFC 3629, with every value that is not a Unicode scalar value encoded as
// U+FFFD.
std::vector<std::uint8_t> reference_encoding(std::uint32_t u) {
  if ((u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) u = 0xFFFD;
  if (u <= 0x7F) return {static_cast<std::uint8_t>(u)};
  if (u <= 0x7FF) {
    return {static_cast<std::uint8_t>(0xC0 + u / 64), static_cast<std::uint8_t>(0x80 + u % 64)};
  }
  if (u <= 0xFFFF) {
    return {static_cast<std::uint8_t>(0xE0 + u / 4096),
            static_cast<std::uint8_t>(0x80 + u / 64 % 64), static_cast<std::uint8_t>(0x80 + u % 64)};
  }
  return {static_cast<std::uint8_t>(0xF0 + u / 262144),
          static_cast<std::uint8_t>(0x80 + u / 4096 % 64),
          static_cast<std::uint8_t>(0x80 + u / 64 % 64), static_cast<std::uint8_t>(0x80 + u % 64)};
}

struct reference_result {
  std::vector<std::uint8_t> text;  // the complete encodings that fit
  bool complete;                   // every unit fitted
};

// The units' encodings, in order, as long as each fits in the room that is
// left of size - 1 bytes; the first one that does not fit ends the text.
reference_result reference_convert(const std::vector<std::uint32_t>& units, std::size_t size) {
  reference_result r{{}, true};
  for (const std::uint32_t u : units) {
    const std::vector<std::uint8_t> bytes = reference_encoding(u);
    if (r.text.size() + bytes.size() > size - 1) {
      r.complete = false;
      break;
    }
    r.text.insert(r.text.end(), bytes.begin(), bytes.end());
  }
  return r;
}

constexpr std::size_t guard = 64;
constexpr std::uint8_t guard_byte = 0xA5;
constexpr std::uint8_t fill_byte = 0x5A;

template <typename Byte, typename Unit>
void run(const std::vector<std::uint32_t>& units, std::size_t size,
         const reference_result& expected) {
  const std::unique_ptr<Unit[]> input(new Unit[units.size()]);
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::memcpy(&input[i], &units[i], sizeof(Unit));
  }
  std::vector<std::uint8_t> memory(guard + size + guard, guard_byte);
  std::memset(memory.data() + guard, fill_byte, size);
  Byte* const buffer = reinterpret_cast<Byte*>(memory.data() + guard);

  Byte* const result =
      tovric::velarn::utf::convert_buffer(buffer, size, input.get(), input.get() + units.size());

  for (std::size_t i = 0; i < guard; ++i) {
    check(memory[i] == guard_byte);
    check(memory[guard + size + i] == guard_byte);
  }
  if (size == 0) {
    check(result == nullptr);
    return;
  }
  check(result == (expected.complete ? buffer : nullptr));
  const std::uint8_t* const out = memory.data() + guard;
  check(std::equal(expected.text.begin(), expected.text.end(), out));
  check(out[expected.text.size()] == 0);
  // Past the terminator: untouched, or zero.
  for (std::size_t i = expected.text.size() + 1; i < size; ++i) {
    check(out[i] == fill_byte || out[i] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Header: the output size, as a fraction of what the units may need (so
  // that the cut falls anywhere) or, rarely, an absolute small size.
  const std::size_t unit_count = (size - 2) / 4;
  std::vector<std::uint32_t> units(unit_count);
  if (unit_count > 0) std::memcpy(units.data(), data + 2, unit_count * 4);
  const std::size_t most = 4 * unit_count + 1;
  const std::size_t selector = data[0] | std::size_t{data[1]} << 8;
  const std::size_t buffer_size =
      selector & 0x8000 ? (selector & 0x7FFF) % 8 : (selector * (most + 1)) / 0x8000;

  const reference_result expected =
      buffer_size == 0 ? reference_result{{}, false} : reference_convert(units, buffer_size);
  run<char, wchar_t>(units, buffer_size, expected);
  run<unsigned char, char32_t>(units, buffer_size, expected);
  run<signed char, std::uint32_t>(units, buffer_size, expected);
  run<char, std::int32_t>(units, buffer_size, expected);
  return 0;
}
