// The parts of the UTF-8 decoder's blocks that do not depend on an
// instruction set, shared by the kernels of every architecture: the classes
// of a block's bytes, the check that its continuation bytes and leads agree,
// and the value of one well-formed sequence. Internal to the library.
#ifndef TOVRIC_VELARN_UTF8_DECODE_BLOCK_HPP
#define TOVRIC_VELARN_UTF8_DECODE_BLOCK_HPP

#include <cstdint>
#include <cstring>

// Inlined into the block loops that use them, whatever their target.
#define TOVRIC_VELARN_INLINE __attribute__((always_inline)) inline

namespace tovric::velarn::detail {
namespace {

// What the bytes of a block are, one bit per byte.
struct byte_classes {
  std::uint64_t cont;   // 80-BF
  std::uint64_t lead;   // C0-FF
  std::uint64_t lead3;  // E0-FF
  std::uint64_t lead4;  // F0-FF
};

// Checks the `limit` bytes of a block, whose bytes are known not to be
// C0, C1 or F5-FF and whose E0, ED, F0 and F4 leads are known to be followed
// by a byte that keeps the value in range: every continuation byte belongs
// to the lead before it, and no lead lacks one. Returns the bytes that the
// block can decode: `limit`, or less where the last sequence runs past it;
// 0 when the block must go to the scalar decoder. `starts` gets the
// positions of the sequences to decode (ASCII bytes and leads).
TOVRIC_VELARN_INLINE int check_block(const byte_classes& c, int limit, std::uint64_t& starts) noexcept {
  const std::uint64_t in = (std::uint64_t{1} << limit) - 1;
  const std::uint64_t expected = c.lead << 1 | c.lead3 << 2 | c.lead4 << 3;
  if (((c.cont ^ expected) & in) != 0) return 0;
  // Bit 0 is set: a continuation byte there would have been unexpected.
  const std::uint64_t s = ~c.cont & in;
  // Continuation bytes expected past the limit: the last sequence is cut
  // and the block ends at its lead. Chosen without a branch, which text of
  // mixed lengths would mispredict half of the time.
  const int last = 63 - __builtin_clzll(s);
  const int cut = -static_cast<int>((expected & ~in) != 0);
  const int consumed = limit + ((last - limit) & cut);
  starts = s & ((std::uint64_t{1} << consumed) - 1);
  return consumed;
}

// The value of the sequence whose bytes start at `w` (4 bytes readable),
// known to be complete and well-formed: its lead byte's high nibble gives
// the payload bits of the lead and how far to shift the assembled bits.
TOVRIC_VELARN_INLINE std::uint32_t sequence_value(const unsigned char* w) noexcept {
  static constexpr unsigned char lead_bits[16] = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                                                  0,    0,    0,    0,    0x1F, 0x1F, 0x0F, 0x07};
  static constexpr unsigned char shift[16] = {18, 18, 18, 18, 18, 18, 18, 18, 0, 0, 0, 0, 12, 12, 6, 0};
  std::uint32_t x;
  std::memcpy(&x, w, sizeof x);
  const unsigned nibble = (x >> 4) & 0xFu;
  const std::uint32_t bits = (x & lead_bits[nibble]) << 18 | ((x << 4) & 0x3F000u) |
                             ((x >> 10) & 0xFC0u) | ((x >> 24) & 0x3Fu);
  return bits >> shift[nibble];
}

}  // namespace
}  // namespace tovric::velarn::detail

#endif
