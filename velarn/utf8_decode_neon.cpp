// The NEON kernel of the UTF-8 decoder: 16-byte blocks, every AArch64 CPU.
// ASCII blocks are widened in registers; blocks of one- to three-byte
// sequences are checked and their values built eight lanes at a time; a
// block with an error or a four-byte sequence goes back to the driver.
#include "utf8_decode_kernel.hpp"

#if defined(__aarch64__)
#include <arm_neon.h>

#include <cstdint>
#include <cstring>

#include "utf8_decode_block.hpp"

namespace tovric::velarn::detail {
namespace {

static_assert(sizeof(wchar_t) == 4, "units of 32 bits");

// One bit per byte of `m` (each byte 0 or FF), byte k giving bit k.
TOVRIC_VELARN_INLINE std::uint64_t byte_mask_neon(uint8x16_t m) noexcept {
  static constexpr unsigned char bits[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
  const uint8x16_t b = vandq_u8(m, vld1q_u8(bits));
  return static_cast<std::uint64_t>(vaddv_u8(vget_low_u8(b))) |
         static_cast<std::uint64_t>(vaddv_u8(vget_high_u8(b))) << 8;
}

// Classes of the 16 bytes `b`, with `w` pointing at them (17 readable).
// Returns false if one of them is C0, C1 or F5-FF, or an E0, ED, F0 or F4
// lead whose next byte makes an overlong form, a surrogate or a value above
// 0x10FFFF.
TOVRIC_VELARN_INLINE bool classify_neon(uint8x16_t b, const unsigned char* w, byte_classes& c) noexcept {
  const uint8x16_t bad_byte = vorrq_u8(vandq_u8(vcgeq_u8(b, vdupq_n_u8(0xC0)), vcltq_u8(b, vdupq_n_u8(0xC2))),
                                       vcgeq_u8(b, vdupq_n_u8(0xF5)));
  if (vmaxvq_u8(bad_byte) != 0) return false;
  const uint8x16_t lead3 = vcgeq_u8(b, vdupq_n_u8(0xE0));
  if (vmaxvq_u8(lead3) != 0) {
    const uint8x16_t next = vld1q_u8(w + 1);
    const uint8x16_t below_a0 = vcltq_u8(next, vdupq_n_u8(0xA0));
    const uint8x16_t below_90 = vcltq_u8(next, vdupq_n_u8(0x90));
    const uint8x16_t bad = vorrq_u8(
        vorrq_u8(vandq_u8(vceqq_u8(b, vdupq_n_u8(0xE0)), below_a0), vbicq_u8(vceqq_u8(b, vdupq_n_u8(0xED)), below_a0)),
        vorrq_u8(vandq_u8(vceqq_u8(b, vdupq_n_u8(0xF0)), below_90), vbicq_u8(vceqq_u8(b, vdupq_n_u8(0xF4)), below_90)));
    if (vmaxvq_u8(bad) != 0) return false;
  }
  const uint8x16_t lead = vcgeq_u8(b, vdupq_n_u8(0xC0));
  c.cont = byte_mask_neon(vbicq_u8(vcgeq_u8(b, vdupq_n_u8(0x80)), lead));
  c.lead = byte_mask_neon(lead);
  c.lead3 = byte_mask_neon(lead3);
  c.lead4 = byte_mask_neon(vcgeq_u8(b, vdupq_n_u8(0xF0)));
  return true;
}

// Values of the sequences of up to three bytes that start at each of eight
// positions: x0, x1, x2 hold the byte there and the two after it.
TOVRIC_VELARN_INLINE uint16x8_t values8_neon(uint16x8_t x0, uint16x8_t x1, uint16x8_t x2) noexcept {
  const uint16x8_t low6 = vdupq_n_u16(0x3F);
  const uint16x8_t two = vorrq_u16(vshlq_n_u16(vandq_u16(x0, vdupq_n_u16(0x1F)), 6), vandq_u16(x1, low6));
  const uint16x8_t three =
      vorrq_u16(vorrq_u16(vshlq_n_u16(x0, 12), vshlq_n_u16(vandq_u16(x1, low6), 6)), vandq_u16(x2, low6));
  const uint16x8_t v = vbslq_u16(vcgtq_u16(x0, vdupq_n_u16(0xBF)), two, x0);
  return vbslq_u16(vcgtq_u16(x0, vdupq_n_u16(0xDF)), three, v);
}

// Stores the 16 bytes `b` widened to 16 units at `out`.
TOVRIC_VELARN_INLINE void widen16_neon(uint8x16_t b, wchar_t* out) noexcept {
  const uint16x8_t low = vmovl_u8(vget_low_u8(b));
  const uint16x8_t high = vmovl_u8(vget_high_u8(b));
  const uint32x4_t units[4] = {vmovl_u16(vget_low_u16(low)), vmovl_u16(vget_high_u16(low)),
                               vmovl_u16(vget_low_u16(high)), vmovl_u16(vget_high_u16(high))};
  std::memcpy(out, units, sizeof units);
}

// Decodes the 16-byte block at `w` (19 bytes readable) into `out` (room for
// 16 units). Returns the bytes consumed (less than 16 where the last
// sequence runs past the block) and sets `produced`; 0 means the block goes
// to the scalar decoder.
TOVRIC_VELARN_INLINE int decode_block_neon(const unsigned char* w, wchar_t* out, int& produced) noexcept {
  constexpr int limit = 16;
  const uint8x16_t b = vld1q_u8(w);
  if (vmaxvq_u8(b) < 0x80) {
    widen16_neon(b, out);
    produced = limit;
    return limit;
  }
  byte_classes c{};
  if (!classify_neon(b, w, c)) return 0;
  std::uint64_t starts = 0;
  const int consumed = check_block(c, limit, starts);
  if (consumed == 0 || (c.lead4 & starts) != 0) return 0;
  const uint8x16_t b1 = vld1q_u8(w + 1);
  const uint8x16_t b2 = vld1q_u8(w + 2);
  std::uint16_t values[16];
  vst1q_u16(values, values8_neon(vmovl_u8(vget_low_u8(b)), vmovl_u8(vget_low_u8(b1)), vmovl_u8(vget_low_u8(b2))));
  vst1q_u16(values + 8,
            values8_neon(vmovl_u8(vget_high_u8(b)), vmovl_u8(vget_high_u8(b1)), vmovl_u8(vget_high_u8(b2))));
  wchar_t* o = out;
  for (; starts != 0; starts &= starts - 1) *o++ = static_cast<wchar_t>(values[__builtin_ctzll(starts)]);
  produced = static_cast<int>(o - out);
  return consumed;
}

}  // namespace

cursor decode_kernel_neon(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept {
  // While 19 bytes are left: the block and the three bytes that its last
  // sequence may need.
  while (n - at.in >= 16 + decode_lookahead) {
    int produced = 0;
    const int consumed = decode_block_neon(p + at.in, units + at.out, produced);
    if (consumed == 0) break;
    at.in += consumed;
    at.out += produced;
  }
  return at;
}

}  // namespace tovric::velarn::detail
#endif
