// The three ways utf::convert_buffer can run: unit by unit, or in blocks of
// 16 units with SSE2 or AVX2. All three give exactly the same result and the
// same buffer contents; utf::convert_buffer picks one. Tests and benchmarks
// call them directly.
#ifndef TOVRIC_VELARN_DETAIL_CONVERT_PATHS_HPP
#define TOVRIC_VELARN_DETAIL_CONVERT_PATHS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tovric/velarn/detail/utf_encode.hpp"
#if defined(__x86_64__)
#include "tovric/velarn/detail/utf_encode_avx2.hpp"
#include "tovric/velarn/detail/utf_encode_sse2.hpp"
#endif

namespace tovric::velarn::utf::detail {

// Unit by unit. Runs of ASCII are copied eight units at a time, tested as
// four 64-bit words. Room is checked per unit only once fewer than four
// bytes per remaining unit are left.
template <typename Byte, typename Unit>
Byte* convert_buffer_scalar(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
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
      const std::uint32_t u = unit_value(*in);
      const std::size_t length = encoded_length(u);
      if (length > room) {
        *out = Byte{0};
        return nullptr;
      }
      out = encode_unit(u, out);
      room -= length;
      ++in;
      continue;
    }
    const Unit* const stop = in + safe;
    Byte* const start = out;
    while (in != stop) {
      const std::uint32_t u = unit_value(*in);
      if (u < 0x80u) {
        // A lone ASCII unit (a space between words of another script) does
        // not pay for the eight-unit test.
        if (stop - in >= 8 && unit_value(in[1]) < 0x80u && copy_ascii8(in, out)) {
          in += 8;
          out += 8;
          continue;
        }
        *out++ = static_cast<Byte>(u);
        ++in;
        continue;
      }
      out = encode_multibyte_unit(u, out);
      ++in;
    }
    room -= static_cast<std::size_t>(out - start);
  }
  *out = Byte{0};
  return buffer;
}

#if defined(__x86_64__)

// A block encoder: 16 units at `in` to UTF-8 at `out`, then zeros, within
// 64 bytes; returns the length of the UTF-8.
using block_encoder = std::size_t (*)(const void* in, unsigned char* out) noexcept;

// Block room: a block writes at most 64 bytes, so while at least that much
// room is left it is encoded straight into the buffer.
inline constexpr std::size_t block_room = 64;

// The rest of a vector conversion, from `in` with the output at `out` and
// `room` bytes left (the terminator's byte not counted): blocks of fewer
// than 16 units are padded with zero units (one 0 byte each, dropped again),
// blocks near the end of the room are encoded into a scratch area and copied
// when they fit. A block that does not fit is redone unit by unit, checked,
// to find the unit that does not fit.
template <typename Byte, typename Unit>
__attribute__((noinline)) Byte* finish_conversion(Byte* buffer, unsigned char* out, std::size_t room, const Unit* in, const Unit* end,
                        block_encoder encode_block) noexcept {
  while (in != end) {
    const auto left = static_cast<std::size_t>(end - in);
    const std::size_t count = left < 16 ? left : 16;
    alignas(32) std::uint32_t padded[16] = {};
    const void* units = in;
    if (count < 16) {
      std::memcpy(padded, in, count * sizeof(Unit));
      units = padded;
    }
    const std::size_t padding = 16 - count;
    if (room >= block_room) {
      const std::size_t n = encode_block(units, out) - padding;
      out += n;
      room -= n;
      in += count;
      continue;
    }
    alignas(32) unsigned char scratch[block_room];
    const std::size_t n = encode_block(units, scratch) - padding;
    if (n <= room) {
      std::memcpy(out, scratch, n);
      out += n;
      room -= n;
      in += count;
      continue;
    }
    for (;; ++in) {
      const std::uint32_t u = unit_value(*in);
      const std::size_t length = encoded_length(u);
      if (length > room) break;
      out = encode_unit(u, out);
      room -= length;
    }
    *out = 0;
    return nullptr;
  }
  *out = 0;
  return buffer;
}

// The block encoders as functions of their own, for the end of a
// conversion (the loops inline them).
__attribute__((noinline)) inline std::size_t encode_block_sse2_call(const void* in, unsigned char* out) noexcept {
  return encode_block_sse2(in, out);
}
TOVRIC_VELARN_AVX2 __attribute__((noinline)) inline std::size_t encode_block_avx2_call(const void* in,
                                                                                     unsigned char* out) noexcept {
  return encode_block_avx2(in, out);
}

// Blocks of 16 units with SSE2.
template <typename Byte, typename Unit>
Byte* convert_buffer_sse2(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  static_assert(sizeof(Byte) == 1 && sizeof(Unit) == 4, "UTF-32 units to bytes");
  if (size == 0) return nullptr;
  auto* out = reinterpret_cast<unsigned char*>(buffer);
  std::size_t room = size - 1;
  const Unit* in = begin;
  while (end - in >= 16 && room >= block_room) {
    const std::size_t n = encode_block_sse2(in, out);
    in += 16;
    out += n;
    room -= n;
  }
  return finish_conversion(buffer, out, room, in, end, &encode_block_sse2_call);
}

// Blocks of 16 units with AVX2; only for a CPU that has it.
template <typename Byte, typename Unit>
TOVRIC_VELARN_AVX2 Byte* convert_buffer_avx2(Byte* buffer, std::size_t size, const Unit* begin,
                                             const Unit* end) noexcept {
  static_assert(sizeof(Byte) == 1 && sizeof(Unit) == 4, "UTF-32 units to bytes");
  if (size == 0) return nullptr;
  auto* out = reinterpret_cast<unsigned char*>(buffer);
  std::size_t room = size - 1;
  const Unit* in = begin;
  while (end - in >= 16 && room >= block_room) {
    const std::size_t n = encode_block_avx2(in, out);
    in += 16;
    out += n;
    room -= n;
  }
  return finish_conversion(buffer, out, room, in, end, &encode_block_avx2_call);
}

#endif

}  // namespace tovric::velarn::utf::detail

#endif
