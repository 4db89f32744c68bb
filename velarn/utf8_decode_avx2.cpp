// The AVX2 kernel of the UTF-8 decoder: 32-byte blocks whose next address
// does not wait for their contents (a sequence running past a block is
// decoded from the bytes after it and checked by the next block), then the
// 16-byte SSE2 blocks for the last bytes. Compiled for AVX2 by target
// attributes, run only on a CPU that has it.
#include "utf8_decode_kernel.hpp"

#if defined(__x86_64__)
#include <immintrin.h>

#include <cstdint>

#include "utf8_decode_sse2_block.hpp"

#define TOVRIC_VELARN_AVX2 __attribute__((target("avx2")))
#define TOVRIC_VELARN_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace tovric::velarn::detail {
namespace {

constexpr bool is_continuation(unsigned char b) noexcept { return (b & 0xC0u) == 0x80u; }

TOVRIC_VELARN_AVX2_INLINE std::uint64_t movemask_avx2(__m256i v) noexcept {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}

// Classes of the 32 bytes `b`, with `w` pointing at them (33 readable).
// Returns false if one of them is C0, C1 or F5-FF, or an E0, ED, F0 or F4
// lead whose next byte makes an overlong form, a surrogate or a value above
// 0x10FFFF.
TOVRIC_VELARN_AVX2_INLINE bool classify_avx2(__m256i b, const unsigned char* w, byte_classes& c) noexcept {
  // Adding a byte to itself moves its next bit to the top: bits 7 to 4 of
  // every byte as four masks.
  const __m256i b6 = _mm256_add_epi8(b, b);
  const __m256i b5 = _mm256_add_epi8(b6, b6);
  const __m256i b4 = _mm256_add_epi8(b5, b5);
  const std::uint64_t bit7 = movemask_avx2(b);
  const std::uint64_t bit6 = movemask_avx2(b6);
  c.cont = bit7 & ~bit6;
  c.lead = bit7 & bit6;
  c.lead3 = c.lead & movemask_avx2(b5);
  c.lead4 = c.lead3 & movemask_avx2(b4);
  // Bad bytes and bad second bytes, from three table lookups: one flag bit
  // per case, set in the entries of the lead's high nibble, its low nibble
  // and the next byte's high nibble. Bit 0: C0, C1. Bit 1: F5-FF. Bit 2:
  // E0 80-9F. Bit 3: ED A0-BF. Bit 4: F0 80-8F. Bit 5: F4 90-BF.
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 1));
  const __m256i by_high = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0x0C, 0x32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                       0x01, 0, 0x0C, 0x32),
      _mm256_and_si256(_mm256_srli_epi16(b, 4), nibble));
  const __m256i by_low = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0x15, 0x01, 0, 0, 0x20, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0A, 0x02, 0x02,
                       0x15, 0x01, 0, 0, 0x20, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0A, 0x02, 0x02),
      _mm256_and_si256(b, nibble));
  const __m256i by_next = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x17, 0x27, 0x2B, 0x2B, 0x03, 0x03, 0x03,
                       0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x17, 0x27, 0x2B, 0x2B, 0x03, 0x03,
                       0x03, 0x03),
      _mm256_and_si256(_mm256_srli_epi16(next, 4), nibble));
  const __m256i flags = _mm256_and_si256(_mm256_and_si256(by_high, by_low), by_next);
  return _mm256_testz_si256(flags, flags) != 0;
}

// Number of bits set in each byte value.
struct bit_count_table {
  unsigned char count[256];
};
constexpr bit_count_table make_bit_counts() {
  bit_count_table t{};
  for (int m = 0; m < 256; ++m) {
    for (int b = 0; b < 8; ++b) t.count[m] += static_cast<unsigned char>((m >> b) & 1);
  }
  return t;
}
constexpr bit_count_table bit_counts = make_bit_counts();

// For each 8-bit mask, the positions of its set bits in order, three bits
// each from the lowest: the indices of a permutation that gathers the
// marked 32-bit lanes to the front.
struct lane_gather_table {
  std::uint32_t index[256];
};
constexpr lane_gather_table make_lane_gather() {
  lane_gather_table t{};
  for (int m = 0; m < 256; ++m) {
    int k = 0;
    for (int j = 0; j < 8; ++j) {
      if ((m >> j) & 1) t.index[m] |= static_cast<std::uint32_t>(j) << (3 * k++);
    }
  }
  return t;
}
constexpr lane_gather_table lane_gather = make_lane_gather();

// Decodes the sequences that start at the eight positions from `window +
// first` marked by `marks` (window: 16 bytes readable, first + 11 <= 16)
// and stores their units at `out` (room for 8); returns the position after
// them. Each position's byte and the three after it go to a 32-bit lane,
// the byte at the position highest; the payload bits of the four bytes are
// joined by two multiply-adds, and two shifts chosen by the lead byte's
// high nibble keep the sequence's own bits.
TOVRIC_VELARN_AVX2_INLINE wchar_t* decode_group8_avx2(const unsigned char* window, int first, unsigned marks,
                                                      wchar_t* out) noexcept {
  const __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(window)));
  const __m256i lane = _mm256_setr_epi8(3, 2, 1, 0, 4, 3, 2, 1, 5, 4, 3, 2, 6, 5, 4, 3, 7, 6, 5, 4, 8, 7, 6, 5, 9, 8,
                                        7, 6, 10, 9, 8, 7);
  const __m256i x = _mm256_shuffle_epi8(bytes, _mm256_add_epi8(lane, _mm256_set1_epi8(static_cast<char>(first))));
  // Lead byte: 7 bits (its length marks, above its payload, are cut off
  // below); the others 6. bits = lead << 18 | b1 << 12 | b2 << 6 | b3.
  const __m256i payload = _mm256_and_si256(x, _mm256_set1_epi32(0x7F3F3F3F));
  const __m256i pairs = _mm256_maddubs_epi16(payload, _mm256_set1_epi16(0x4001));
  const __m256i bits = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x10000001));
  // The lead's high nibble, xor 8, picks the shifts (up, then down) that
  // keep the sequence's bits; bytes 1 to 3 of the index are 0, whose entry
  // (a continuation byte, never a lead) is no shift.
  const __m256i kind = _mm256_xor_si256(_mm256_srli_epi32(x, 28), _mm256_set1_epi32(8));
  const __m256i up = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0, 0, 0, 0, 9, 9, 10, 11, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 9, 9, 10, 11, 7, 7, 7, 7, 7, 7, 7, 7),
      kind);
  const __m256i down = _mm256_shuffle_epi8(_mm256_setr_epi8(0, 0, 0, 0, 21, 21, 16, 11, 25, 25, 25, 25, 25, 25, 25, 25,
                                                            0, 0, 0, 0, 21, 21, 16, 11, 25, 25, 25, 25, 25, 25, 25, 25),
                                           kind);
  const __m256i values = _mm256_srlv_epi32(_mm256_sllv_epi32(bits, up), down);
  const __m256i gather = _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(lane_gather.index[marks])),
                                           _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(values, gather));
  return out + bit_counts.count[marks];
}

// Sequences at every third byte from the block's start up to byte 30, the
// last one running past the block: ten three-byte sequences and the lead of
// an eleventh (ideographs, most often).
constexpr std::uint64_t three_byte_starts = 0x49249249;

// Decodes ten three-byte sequences, known to be well-formed, from `w` into
// `out` (room for 16 units): five per 128-bit lane (bytes 0-14 and 15-29),
// gathered into 16-bit lanes by fixed shuffles.
TOVRIC_VELARN_AVX2_INLINE void decode_three_byte10_avx2(const unsigned char* w, wchar_t* out) noexcept {
  const __m256i bytes = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 15)), 1);
  // Per sequence: lead high and second byte low; third byte alone.
  const __m256i lead_second = _mm256_shuffle_epi8(
      bytes, _mm256_setr_epi8(1, 0, 4, 3, 7, 6, 10, 9, 13, 12, -1, -1, -1, -1, -1, -1, 1, 0, 4, 3, 7, 6, 10, 9, 13,
                              12, -1, -1, -1, -1, -1, -1));
  const __m256i third = _mm256_shuffle_epi8(
      bytes, _mm256_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, 14, -1, -1, -1, -1, -1, -1, -1, 2, -1, 5, -1, 8, -1, 11,
                              -1, 14, -1, -1, -1, -1, -1, -1, -1));
  const __m256i low6 = _mm256_set1_epi16(0x3F);
  const __m256i values = _mm256_or_si256(
      _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(lead_second, 4), _mm256_set1_epi16(static_cast<short>(0xF000))),
                      _mm256_slli_epi16(_mm256_and_si256(lead_second, low6), 6)),
      _mm256_and_si256(third, low6));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_cvtepu16_epi32(_mm256_castsi256_si128(values)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 5), _mm256_cvtepu16_epi32(_mm256_extracti128_si256(values, 1)));
}

// Where the AVX2 decoder is: the next block starts at `in`, units go to
// `out`, and `carry` marks the continuation bytes expected at in, in + 1
// and in + 2, those of the last sequence of the block before, which was
// decoded from them before they were checked.
struct stride {
  int in;
  int out;
  std::uint64_t carry;
};

// Decodes the sequences that start in the 32-byte block at `at.in` (35
// bytes readable), from its byte `skip` on (0 to 24; the bytes before it are
// already decoded, and `at.carry` applies from there), into the units from
// `at.out` (room for 32 - skip), and moves `at` past the block: a sequence
// that runs past the block is decoded from the bytes after it, which are
// marked in `at.carry` for the next block to check. Returns false, with `at`
// unchanged, when the block goes to the scalar decoder. The next block's
// address does not wait for this block's contents, except after ten
// three-byte sequences (a predicted branch), which end 2 bytes early so
// that the next block starts with a sequence.
TOVRIC_VELARN_AVX2_INLINE bool decode_block_avx2(const unsigned char* p, int skip, wchar_t* units,
                                                 stride& at) noexcept {
  const unsigned char* w = p + at.in;
  wchar_t* const out = units + at.out;
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w));
  if (skip == 0 && (movemask_avx2(b) | at.carry) == 0) {
    for (int k = 0; k < 4; ++k) {
      const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + 8 * k));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * k), _mm256_cvtepu8_epi32(eight));
    }
    at.in += 32;
    at.out += 32;
    return true;
  }
  byte_classes c{};
  if (!classify_avx2(b, w, c)) return false;
  c = {c.cont >> skip, c.lead >> skip, c.lead3 >> skip, c.lead4 >> skip};
  const int limit = 32 - skip;
  const std::uint64_t in = (std::uint64_t{1} << limit) - 1;
  // Every continuation byte in the block belongs to the lead before it, and
  // no lead lacks one.
  const std::uint64_t expected = c.lead << 1 | c.lead3 << 2 | c.lead4 << 3 | at.carry;
  if (((c.cont ^ expected) & in) != 0) return false;
  std::uint64_t starts = ~c.cont & in;
  if (skip == 0 && starts == three_byte_starts && (c.lead3 & ~c.lead4) == starts) {
    decode_three_byte10_avx2(w, out);
    at = {at.in + 30, at.out + 10, 0};
    return true;
  }
  at.carry = expected >> limit;
  // Eight positions at a time; the last eight from a window that ends with
  // the three bytes after the block.
  starts <<= skip;
  wchar_t* o = out;
  o = decode_group8_avx2(w, 0, starts & 0xFFu, o);
  o = decode_group8_avx2(w + 8, 0, (starts >> 8) & 0xFFu, o);
  o = decode_group8_avx2(w + 16, 0, (starts >> 16) & 0xFFu, o);
  o = decode_group8_avx2(w + 19, 5, (starts >> 24) & 0xFFu, o);
  at.in += 32;
  at.out += static_cast<int>(o - out);
  return true;
}

// The first sequence that `at` has not checked whole: the last one decoded
// when continuation bytes of it are still to be checked, else the next one.
TOVRIC_VELARN_INLINE cursor checked_up_to(const unsigned char* p, const stride& at) noexcept {
  if (at.carry == 0) return {at.in, at.out};
  int lead = at.in - 1;
  while (is_continuation(p[lead])) --lead;
  return {lead, at.out - 1};
}

}  // namespace

TOVRIC_VELARN_AVX2 cursor decode_kernel_avx2(const unsigned char* p, int n, wchar_t* units, cursor from) noexcept {
  stride at{from.in, from.out, 0};
  // Runs of ASCII, the most common text, 64 bytes at a time.
  while (n - at.in >= 64) {
    const unsigned char* w = p + at.in;
    const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w));
    const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 32));
    if (_mm256_movemask_epi8(_mm256_or_si256(b0, b1)) != 0) break;
    for (int k = 0; k < 8; ++k) {
      const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + 8 * k));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(units + at.out + 8 * k), _mm256_cvtepu8_epi32(eight));
    }
    at.in += 64;
    at.out += 64;
  }
  // 32-byte blocks while the block and the three bytes after it are there.
  while (n - at.in >= 32 + decode_lookahead) {
    if (!decode_block_avx2(p, 0, units, at)) return checked_up_to(p, at);
  }
  // Then, if 16 bytes or more are left, the block that ends 3 bytes before
  // the end, from the first byte not yet decoded.
  if (n >= 35 && n - at.in >= 16) {
    const int skip = at.in - (n - 35);
    at.in = n - 35;
    if (!decode_block_avx2(p, skip, units, at)) at.in += skip;
  }
  // The last bytes, and all of them below 35, in 16-byte blocks (the SSE2
  // ones, compiled here for AVX2).
  return decode_blocks_sse2(p, n, units, checked_up_to(p, at));
}

}  // namespace tovric::velarn::detail
#endif
