// tovric::velarn::utf: bounded conversion of wide (UTF-32) units to a
// NUL-terminated UTF-8 string in a buffer that the caller supplies.
#ifndef TOVRIC_VELARN_UTF_HPP
#define TOVRIC_VELARN_UTF_HPP

#include <cstddef>
#include <cstdint>

#include "tovric/velarn/detail/utf_encode.hpp"

namespace tovric::velarn::utf {

// Converts the units [begin, end) to UTF-8 into `buffer`, which holds `size`
// bytes, the terminating NUL included. Each unit is encoded in 1 to 4 bytes;
// a surrogate or a value above 0x10FFFF (every value with the top bit set
// included) becomes U+FFFD (EF BF BD). A zero unit is written as a 0 byte and
// the conversion goes on: the range, not a terminator, bounds the input.
//
// Returns `buffer` when every unit was converted. Returns null when `size` is
// 0 (the buffer is untouched) or when a unit's encoding does not fit in what
// is left of size - 1 bytes: the buffer then holds the complete encodings of
// the units before that one, NUL-terminated, and no later unit is tried.
// Never allocates, never throws.
//
// Runs of ASCII are copied eight units at a time; everything else goes unit
// by unit, without room checks while the room left is enough for any eight.
template <typename Byte, typename Unit>
Byte* convert_buffer(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  if (size == 0) return nullptr;
  Byte* out = buffer;
  std::size_t room = size - 1;
  const Unit* in = begin;
  while (in != end) {
    const std::size_t left = static_cast<std::size_t>(end - in);
    if (left >= 8 && room >= 8 && detail::copy_ascii8(in, out)) {
      in += 8;
      out += 8;
      room -= 8;
      continue;
    }
    if (left >= 8 && room >= 32) {
      Byte* const start = out;
      for (int i = 0; i < 8; ++i) out = detail::encode_unit(detail::unit_value(in[i]), out);
      in += 8;
      room -= static_cast<std::size_t>(out - start);
      continue;
    }
    const std::uint32_t u = detail::unit_value(*in);
    const std::size_t length = detail::encoded_length(u);
    if (length > room) {
      *out = Byte{0};
      return nullptr;
    }
    out = detail::encode_unit(u, out);
    room -= length;
    ++in;
  }
  *out = Byte{0};
  return buffer;
}

}  // namespace tovric::velarn::utf

#endif
