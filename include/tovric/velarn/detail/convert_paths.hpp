// The three ways utf::convert_buffer can run: unit by unit, or in blocks of
// 16 units with SSE2 or AVX2. All three give exactly the same result and the
// same buffer contents; utf::convert_buffer picks one. Tests and benchmarks
// call them directly.
#ifndef TOVRIC_VELARN_DETAIL_CONVERT_PATHS_HPP
#define TOVRIC_VELARN_DETAIL_CONVERT_PATHS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode.hpp"
#if defined(__x86_64__)
#include "tovric/velarn/detail/utf_encode_avx2.hpp"
#include "tovric/velarn/detail/utf_encode_sse2.hpp"
#endif

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// Converts [in, end) at `out` with `room` bytes left before the terminator's
// byte, unit by unit, and terminates; returns `buffer`, or null (with the
// units that fit written and terminated) when a unit does not fit. Runs of
// ASCII are copied eight units at a time, tested as four 64-bit words. Room
// is checked per unit only once fewer than four bytes per remaining unit are
// left.
template <typename Byte, typename Unit>
Byte* convert_units_scalar(Byte* buffer, Byte* out, std::size_t room, const Unit* in, const Unit* end) noexcept {
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

// Unit by unit.
template <typename Byte, typename Unit>
Byte* convert_buffer_scalar(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  if (size == 0) return nullptr;
  return convert_units_scalar(buffer, buffer, size - 1, begin, end);
}

#if defined(__x86_64__)

// A block of 16 units writes at most 64 bytes: while at least that much room
// is left, blocks are encoded straight into the buffer; after that into a
// scratch area, copied when they fit. The last units (fewer than 16), and a
// block that does not fit, go unit by unit.
inline constexpr std::size_t block_room = 64;

// Blocks of 16 units with SSE2.
template <typename Byte, typename Unit>
Byte* convert_buffer_sse2(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  static_assert(sizeof(Byte) == 1 && sizeof(Unit) == 4, "UTF-32 units to bytes");
  if (size == 0) return nullptr;
  auto* out = reinterpret_cast<unsigned char*>(buffer);
  std::size_t room = size - 1;
  const Unit* in = begin;
  for (; end - in >= 16 && room >= block_room; in += 16) {
    const std::size_t n = encode_block_sse2(in, out);
    out += n;
    room -= n;
  }
  for (; end - in >= 16; in += 16) {
    alignas(16) unsigned char scratch[block_room];
    const std::size_t n = encode_block_sse2(in, scratch);
    if (n > room) break;
    std::memcpy(out, scratch, n);
    out += n;
    room -= n;
  }
  if (in == end) {
    *out = 0;
    return buffer;
  }
  return convert_units_scalar(buffer, reinterpret_cast<Byte*>(out), room, in, end);
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
  for (; end - in >= 16 && room >= block_room; in += 16) {
    const std::size_t n = encode_block_avx2(in, out);
    out += n;
    room -= n;
  }
  for (; end - in >= 16; in += 16) {
    alignas(16) unsigned char scratch[block_room];
    const std::size_t n = encode_block_avx2(in, scratch);
    if (n > room) break;
    std::memcpy(out, scratch, n);
    out += n;
    room -= n;
  }
  if (in == end) {
    *out = 0;
    return buffer;
  }
  // The rest is baseline code: clear the upper halves first.
  _mm256_zeroupper();
  return convert_units_scalar(buffer, reinterpret_cast<Byte*>(out), room, in, end);
}

#endif

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
