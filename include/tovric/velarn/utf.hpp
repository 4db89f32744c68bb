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
// Nothing outside the `size` bytes is touched; bytes after the terminator
// may have been set to 0. Never allocates, never throws.
//
// Runs of ASCII are copied eight units at a time, tested as four 64-bit
// words; other units go one by one. Room is checked per unit only once fewer
// than four bytes per remaining unit are left.
template <typename Byte, typename Unit>
Byte* convert_buffer(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  if (size == 0) return nullptr;
  Byte* out = buffer;
  std::size_t room = size - 1;
  const Unit* in = begin;
  while (in != end) {
    // Units that fit whatever they are: four bytes of room each.
    const std::size_t left = static_cast<std::size_t>(end - in);
    const std::size_t safe = left < room / 4 ? left : room / 4;
    if (safe == 0) {
      // Near the end of the room: one unit, checked.
      const std::uint32_t u = detail::unit_value(*in);
      const std::size_t length = detail::encoded_length(u);
      if (length > room) {
        *out = Byte{0};
        return nullptr;
      }
      out = detail::encode_unit(u, out);
      room -= length;
      ++in;
      continue;
    }
    const Unit* const stop = in + safe;
    Byte* const start = out;
    while (in != stop) {
      const std::uint32_t u = detail::unit_value(*in);
      if (u < 0x80u) {
        // A lone ASCII unit (a space between words of another script) does
        // not pay for the eight-unit test.
        if (stop - in >= 8 && detail::unit_value(in[1]) < 0x80u && detail::copy_ascii8(in, out)) {
          in += 8;
          out += 8;
          continue;
        }
        *out++ = static_cast<Byte>(u);
        ++in;
        continue;
      }
      out = detail::encode_multibyte_unit(u, out);
      ++in;
    }
    room -= static_cast<std::size_t>(out - start);
  }
  *out = Byte{0};
  return buffer;
}

}  // namespace tovric::velarn::utf

#endif
