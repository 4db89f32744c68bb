// Encoding of single wide units to UTF-8, shared by utf::convert_buffer and
// the console input buffer, and the eight-unit ASCII copy of convert_buffer's
// fast path.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "tovric/velarn/detail/isa_namespace.hpp"

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// A wide unit as the unsigned 32-bit value that the encoding looks at.
template <typename Unit>
constexpr std::uint32_t unit_value(Unit u) noexcept {
  static_assert(sizeof(Unit) == 4, "wide units are 32-bit UTF-32 units");
  return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(u));
}

// True for values that are not code points: surrogates (0xD800 to 0xDFFF)
// and everything above 0x10FFFF.
constexpr bool is_invalid(std::uint32_t u) noexcept {
  return u - 0xD800u < 0x800u || u > 0x10FFFFu;
}

// Number of bytes encode_unit writes for `u`: 1 to 4, and 3 for an invalid
// unit (it becomes U+FFFD).
constexpr std::size_t encoded_length(std::uint32_t u) noexcept {
  if (u < 0x80u) return 1;
  if (u < 0x800u) return 2;
  if (u < 0x10000u) return 3;
  return u <= 0x10FFFFu ? 4 : 3;
}

// Writes the UTF-8 form of `u` at `out` (room for encoded_length(u) bytes is
// the caller's business) and returns the position after it. Invalid units
// become U+FFFD, the bytes EF BF BD.
template <typename Byte>
inline Byte* encode_unit(std::uint32_t u, Byte* out) noexcept {
  static_assert(sizeof(Byte) == 1, "UTF-8 output is written as bytes");
  if (u < 0x80u) {
    out[0] = static_cast<Byte>(u);
    return out + 1;
  }
  if (u < 0x800u) {
    out[0] = static_cast<Byte>(0xC0u | (u >> 6));
    out[1] = static_cast<Byte>(0x80u | (u & 0x3Fu));
    return out + 2;
  }
  if (is_invalid(u)) u = 0xFFFDu;
  if (u < 0x10000u) {
    out[0] = static_cast<Byte>(0xE0u | (u >> 12));
    out[1] = static_cast<Byte>(0x80u | ((u >> 6) & 0x3Fu));
    out[2] = static_cast<Byte>(0x80u | (u & 0x3Fu));
    return out + 3;
  }
  out[0] = static_cast<Byte>(0xF0u | (u >> 18));
  out[1] = static_cast<Byte>(0x80u | ((u >> 12) & 0x3Fu));
  out[2] = static_cast<Byte>(0x80u | ((u >> 6) & 0x3Fu));
  out[3] = static_cast<Byte>(0x80u | (u & 0x3Fu));
  return out + 4;
}

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the word stores below assume a little-endian target"
#endif

// Writes the UTF-8 form of a unit that is not ASCII (u >= 0x80) at `out`,
// as encode_unit does, but with one 2- or 4-byte store per sequence; a
// 3-byte sequence stores a fourth byte, 0, that the next encoding or the
// terminator covers. Needs 4 bytes of room. Returns the position after the
// sequence.
template <typename Byte>
inline Byte* encode_multibyte_unit(std::uint32_t u, Byte* out) noexcept {
  static_assert(sizeof(Byte) == 1, "UTF-8 output is written as bytes");
  if (u < 0x800u) {
    const auto word = static_cast<std::uint16_t>(0x80C0u | (u >> 6) | ((u << 8) & 0x3F00u));
    std::memcpy(out, &word, sizeof word);
    return out + 2;
  }
  if (u - 0x10000u <= 0xFFFFFu) {
    const std::uint32_t word = 0x808080F0u | (u >> 18) | ((u >> 4) & 0x3F00u) |
                               ((u << 10) & 0x3F0000u) | ((u << 24) & 0x3F000000u);
    std::memcpy(out, &word, sizeof word);
    return out + 4;
  }
  // Three bytes: 0x800 to 0xFFFF, or U+FFFD for a surrogate or a value above
  // 0x10FFFF.
  if (is_invalid(u)) u = 0xFFFDu;
  const std::uint32_t word = 0x8080E0u | (u >> 12) | ((u << 2) & 0x3F00u) | ((u << 16) & 0x3F0000u);
  std::memcpy(out, &word, sizeof word);
  return out + 3;
}

// Encodes the 16 units at `in` (64 bytes, any alignment) one by one at
// `out`, which has room for four bytes per unit: the way of a vector block
// kernel for a block that its vector cases do not cover. Returns the length.
inline std::size_t encode_block_units(const void* in, unsigned char* out) noexcept {
  std::uint32_t units[16];
  std::memcpy(units, in, sizeof units);
  unsigned char* end = out;
  for (const std::uint32_t unit : units) {
    if (unit < 0x80u) {
      *end++ = static_cast<unsigned char>(unit);
    } else {
      end = encode_multibyte_unit(unit, end);
    }
  }
  return static_cast<std::size_t>(end - out);
}

// Reads eight units as four 64-bit words (two units each) and, if all eight
// are below 0x80, writes them at `out` as eight bytes and returns true.
// Writes nothing otherwise.
template <typename Unit, typename Byte>
inline bool copy_ascii8(const Unit* in, Byte* out) noexcept {
  static_assert(sizeof(Unit) == 4 && sizeof(Byte) == 1, "UTF-32 in, bytes out");
  std::uint64_t w[4];
  std::memcpy(w, in, sizeof w);
  if (((w[0] | w[1] | w[2] | w[3]) & 0xFFFFFF80FFFFFF80u) != 0) return false;
  // Each word holds a unit in bits 0-6 and one in bits 32-38: shifting the
  // second down next to the first gives their two bytes in memory order.
  std::uint64_t packed = 0;
  for (int k = 0; k < 4; ++k) packed |= ((w[k] | (w[k] >> 24)) & 0xFFFFu) << (16 * k);
  std::memcpy(out, &packed, sizeof packed);
  return true;
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
