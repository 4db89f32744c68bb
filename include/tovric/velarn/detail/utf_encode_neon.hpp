// UTF-8 encoding of sixteen wide units at a time with Advanced SIMD (NEON),
// which every AArch64 CPU has: the kernel of the neon level of
// utf::convert_buffer. Blocks of ASCII, of units below 0x800 and of
// three-byte units are built in vector registers and packed with table
// lookups; any other block is encoded unit by unit.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_NEON_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_NEON_HPP

#if defined(__aarch64__)
#include <arm_neon.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode.hpp"
#include "tovric/velarn/detail/utf_encode_driver.hpp"

// Inlined into the block loop of the NEON path.
#define TOVRIC_VELARN_NEON_INLINE __attribute__((always_inline)) inline

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// For four units below 0x800 held as four 16-bit words (low byte first),
// indexed by the mask of the two-byte ones: the byte indices that keep each
// unit's low byte and, for a two-byte unit, its high byte; 0xFF (which a
// lookup turns into 0) after them.
struct pack_words4_neon_table {
  unsigned char index[16][8];
};
constexpr pack_words4_neon_table make_pack_words4_neon_table() {
  pack_words4_neon_table t{};
  for (int mask = 0; mask < 16; ++mask) {
    int j = 0;
    for (int k = 0; k < 4; ++k) {
      t.index[mask][j++] = static_cast<unsigned char>(2 * k);
      if ((mask >> k) & 1) t.index[mask][j++] = static_cast<unsigned char>(2 * k + 1);
    }
    while (j < 8) t.index[mask][j++] = 0xFF;
  }
  return t;
}
inline constexpr pack_words4_neon_table pack_words4_neon = make_pack_words4_neon_table();

// Eight units below 0x800 in 16-bit lanes: each becomes one byte (ASCII) or
// two, written at `out` followed by zeros within 16 bytes. Returns the length.
TOVRIC_VELARN_NEON_INLINE std::size_t encode_two_byte8_neon(uint16x8_t v, unsigned char* out) noexcept {
  const uint16x8_t multi = vcgtq_u16(v, vdupq_n_u16(0x7F));
  // Lead byte (C0 | v >> 6) low, continuation byte (80 | low 6 bits) high.
  const uint16x8_t pair = vorrq_u16(vorrq_u16(vshrq_n_u16(v, 6), vshlq_n_u16(vandq_u16(v, vdupq_n_u16(0x3F)), 8)),
                                    vdupq_n_u16(0x80C0));
  const uint8x16_t words = vreinterpretq_u8_u16(vbslq_u16(multi, pair, v));
  static constexpr std::uint16_t lane_bits[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  const unsigned mask = vaddvq_u16(vandq_u16(multi, vld1q_u16(lane_bits)));
  const unsigned low = mask & 0xFu, high = mask >> 4;
  vst1_u8(out, vtbl1_u8(vget_low_u8(words), vld1_u8(pack_words4_neon.index[low])));
  const std::size_t n = 4 + static_cast<std::size_t>(__builtin_popcount(low));
  vst1_u8(out + n, vtbl1_u8(vget_high_u8(words), vld1_u8(pack_words4_neon.index[high])));
  return n + 4 + static_cast<std::size_t>(__builtin_popcount(high));
}

// Four units from 0x800 to 0xFFFF, none a surrogate, in 32-bit lanes: their
// three-byte sequences, 12 bytes, written at `out` (16 bytes written, the
// last 4 zero).
TOVRIC_VELARN_NEON_INLINE void encode_three_byte4_neon(uint32x4_t v, unsigned char* out) noexcept {
  const uint32x4_t low6 = vdupq_n_u32(0x3F);
  // Memory order in each lane: E0 | bits 12-15, 80 | bits 6-11, 80 | bits 0-5, 0.
  const uint32x4_t seq =
      vorrq_u32(vorrq_u32(vshrq_n_u32(v, 12), vshlq_n_u32(vandq_u32(vshrq_n_u32(v, 6), low6), 8)),
                vorrq_u32(vshlq_n_u32(vandq_u32(v, low6), 16), vdupq_n_u32(0x8080E0)));
  static constexpr unsigned char drop_fourth[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0xFF, 0xFF, 0xFF, 0xFF};
  vst1q_u8(out, vqtbl1q_u8(vreinterpretq_u8_u32(seq), vld1q_u8(drop_fourth)));
}

// Encodes the 16 units at `in` (64 bytes, any alignment) to UTF-8 at `out`:
// the sequences, then zeros, all within 64 bytes. Invalid units (surrogates,
// values above 0x10FFFF) become EF BF BD. Returns the length of the
// sequences.
TOVRIC_VELARN_NEON_INLINE std::size_t encode_block_neon(const void* in, unsigned char* out) noexcept {
  uint32x4_t u[4];
  std::memcpy(u, in, sizeof u);
  const std::uint32_t top = vmaxvq_u32(vmaxq_u32(vmaxq_u32(u[0], u[1]), vmaxq_u32(u[2], u[3])));
  if (top < 0x80u) {
    const uint16x8_t low = vcombine_u16(vmovn_u32(u[0]), vmovn_u32(u[1]));
    const uint16x8_t high = vcombine_u16(vmovn_u32(u[2]), vmovn_u32(u[3]));
    vst1q_u8(out, vcombine_u8(vmovn_u16(low), vmovn_u16(high)));
    return 16;
  }
  if (top < 0x800u) {
    const std::size_t n = encode_two_byte8_neon(vcombine_u16(vmovn_u32(u[0]), vmovn_u32(u[1])), out);
    return n + encode_two_byte8_neon(vcombine_u16(vmovn_u32(u[2]), vmovn_u32(u[3])), out + n);
  }
  if (top < 0x10000u) {
    // Three bytes each unless some unit is below 0x800 or a surrogate.
    const std::uint32_t bottom = vminvq_u32(vminq_u32(vminq_u32(u[0], u[1]), vminq_u32(u[2], u[3])));
    uint32x4_t surrogate = vdupq_n_u32(0);
    for (const uint32x4_t v : u) {
      surrogate = vorrq_u32(surrogate, vceqq_u32(vandq_u32(v, vdupq_n_u32(0xFFFFF800u)), vdupq_n_u32(0xD800)));
    }
    if (bottom >= 0x800u && vmaxvq_u32(surrogate) == 0) {
      for (int k = 0; k < 4; ++k) encode_three_byte4_neon(u[k], out + 12 * k);
      return 48;
    }
  }
  // Unit by unit; the block has room for four bytes per unit.
  return encode_block_units(in, out);
}

// The NEON kernel of the driver (utf_encode_driver.hpp): whole blocks of 16.
struct encode_kernel_neon {
  static constexpr std::size_t block_units = 16;
  static constexpr bool has_partial = false;
  TOVRIC_VELARN_NEON_INLINE static std::size_t encode_block(const void* in, unsigned char* out) noexcept {
    return encode_block_neon(in, out);
  }
};

// utf::convert_buffer in blocks of 16 units with NEON.
template <typename Byte, typename Unit>
__attribute__((flatten)) Byte* convert_buffer_neon(Byte* buffer, std::size_t size, const Unit* begin,
                                                   const Unit* end) noexcept {
  return convert_blocks<encode_kernel_neon>(buffer, size, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
#endif
