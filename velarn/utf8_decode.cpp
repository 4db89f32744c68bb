// UTF-8 decoding for the console output buffer: a scalar decoder that states
// the rules, and (on x86-64) SSE2 and AVX2 paths that decode whole blocks of
// well-formed text and hand every block that holds an error, or that is cut
// by the end of the input, to the scalar decoder. Elsewhere the scalar
// decoder is the one path.
#include "utf8_decode.hpp"

#include <cstdint>
#include <cstring>

#include "tovric/velarn/detail/simd_level.hpp"

#if defined(__x86_64__)
#include <immintrin.h>

// Compiled for AVX2 (chosen at run time); the helpers of the block loops are
// inlined into them.
#define TOVRIC_VELARN_AVX2 __attribute__((target("avx2")))
#define TOVRIC_VELARN_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#define TOVRIC_VELARN_INLINE __attribute__((always_inline)) inline
#endif

namespace tovric::velarn::detail {
namespace {

constexpr wchar_t replacement = 0xFFFD;

constexpr bool is_continuation(unsigned char b) noexcept { return (b & 0xC0u) == 0x80u; }

// Whether a sequence of `length` bytes with value `v` is the one shortest
// UTF-8 form of a code point.
constexpr bool is_acceptable(std::uint32_t v, int length) noexcept {
  if (v - 0xD800u < 0x800u) return false;
  switch (length) {
    case 2: return v >= 0x80u;
    case 3: return v >= 0x800u;
    default: return v >= 0x10000u && v <= 0x10FFFFu;
  }
}

// A decoding position: bytes consumed and units stored so far.
struct cursor {
  int in;
  int out;
};

// Decodes the sequences of p[0, n) that start from `at` up to at least
// `stop`, storing units from units[at.out]; returns where it stopped: at or
// past `stop`, or before it at the lead of a sequence cut by n.
cursor decode_scalar_until(const unsigned char* p, int n, int stop, wchar_t* units, cursor at) noexcept {
  int i = at.in;
  int stored = at.out;
  while (i < stop) {
    const unsigned char lead = p[i];
    if (lead < 0x80u) {
      // Eight ASCII bytes at a time where the input allows.
      while (n - i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        if ((word & 0x8080808080808080u) != 0) break;
        for (int k = 0; k < 8; ++k) units[stored + k] = static_cast<wchar_t>(p[i + k]);
        stored += 8;
        i += 8;
      }
      if (i < n && p[i] < 0x80u) {
        units[stored++] = static_cast<wchar_t>(p[i]);
        ++i;
      }
      continue;
    }
    if (lead < 0xC2u || lead > 0xF4u) {
      units[stored++] = replacement;
      ++i;
      continue;
    }
    // Complete, well-formed 2- and 3-byte sequences, the common ones, go
    // straight through; everything else takes the general steps below.
    if (lead < 0xE0u && n - i >= 2 && is_continuation(p[i + 1])) {
      units[stored++] = static_cast<wchar_t>((lead & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu));
      i += 2;
      continue;
    }
    if (lead >= 0xE0u && lead < 0xF0u && n - i >= 3 && is_continuation(p[i + 1]) &&
        is_continuation(p[i + 2])) {
      const std::uint32_t v = (lead & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
      if (is_acceptable(v, 3)) {
        units[stored++] = static_cast<wchar_t>(v);
        i += 3;
        continue;
      }
    }
    const int length = lead < 0xE0u ? 2 : lead < 0xF0u ? 3 : 4;
    std::uint32_t value = lead & (0x7Fu >> length);
    int k = 1;
    for (; k < length; ++k) {
      if (i + k == n) return {i, stored};  // cut by the end: left for the caller
      const unsigned char b = p[i + k];
      if (!is_continuation(b)) break;
      value = value << 6 | (b & 0x3Fu);
    }
    if (k < length) {
      // Broken by a byte that is not a continuation byte: the bytes before it
      // are one bad sequence, and decoding goes on at that byte.
      units[stored++] = replacement;
      i += k;
    } else if (is_acceptable(value, length)) {
      units[stored++] = static_cast<wchar_t>(value);
      i += length;
    } else {
      // Overlong, surrogate or above 0x10FFFF: only the lead byte goes; each
      // continuation byte then makes a U+FFFD of its own.
      units[stored++] = replacement;
      ++i;
    }
  }
  return {i, stored};
}

#if defined(__x86_64__)

// ---- blocks ----------------------------------------------------------------

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

// ---- SSE2 ------------------------------------------------------------------

// Classes of the 16 bytes `b`, with `w` pointing at them (17 readable).
// Returns false if one of them is C0, C1 or F5-FF, or an E0, ED, F0 or F4
// lead whose next byte makes an overlong form, a surrogate or a value above
// 0x10FFFF.
TOVRIC_VELARN_INLINE bool classify_sse2(__m128i b, const unsigned char* w, byte_classes& c) noexcept {
  const auto non_ascii = static_cast<std::uint64_t>(_mm_movemask_epi8(b));
  c.cont = static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmplt_epi8(b, _mm_set1_epi8(-64))));
  c.lead = non_ascii & ~c.cont;
  c.lead3 = static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(b, _mm_set1_epi8(-33)))) & non_ascii;
  c.lead4 = static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(b, _mm_set1_epi8(-17)))) & non_ascii;
  const auto from_c2 = static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(b, _mm_set1_epi8(-63))));
  const auto from_f5 = static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(b, _mm_set1_epi8(-12))));
  if (((c.lead & ~from_c2) | (from_f5 & non_ascii)) != 0) return false;
  if (c.lead3 == 0) return true;
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 1));
  const __m128i below_a0 = _mm_cmplt_epi8(next, _mm_set1_epi8(-96));
  const __m128i below_90 = _mm_cmplt_epi8(next, _mm_set1_epi8(-112));
  const __m128i e0 = _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xE0)));
  const __m128i ed = _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xED)));
  const __m128i f0 = _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xF0)));
  const __m128i f4 = _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xF4)));
  const __m128i bad = _mm_or_si128(_mm_or_si128(_mm_and_si128(e0, below_a0), _mm_andnot_si128(below_a0, ed)),
                                   _mm_or_si128(_mm_and_si128(f0, below_90), _mm_andnot_si128(below_90, f4)));
  return _mm_movemask_epi8(bad) == 0;
}

// Values of the sequences of up to three bytes that start at each of eight
// positions: x0, x1, x2 hold the byte there and the two after it.
TOVRIC_VELARN_INLINE __m128i values8_sse2(__m128i x0, __m128i x1, __m128i x2) noexcept {
  const __m128i low6 = _mm_set1_epi16(0x3F);
  const __m128i two = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(x0, _mm_set1_epi16(0x1F)), 6), _mm_and_si128(x1, low6));
  const __m128i three = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(x0, 12), _mm_slli_epi16(_mm_and_si128(x1, low6), 6)),
                                     _mm_and_si128(x2, low6));
  const __m128i is_two = _mm_cmpgt_epi16(x0, _mm_set1_epi16(0xBF));
  const __m128i is_three = _mm_cmpgt_epi16(x0, _mm_set1_epi16(0xDF));
  const __m128i v = _mm_or_si128(_mm_and_si128(is_two, two), _mm_andnot_si128(is_two, x0));
  return _mm_or_si128(_mm_and_si128(is_three, three), _mm_andnot_si128(is_three, v));
}

// Decodes the 16-byte block at `w` (19 bytes readable) into `out` (room for
// 16 units). Returns the bytes consumed (less than 16 where the last
// sequence runs past the block) and sets `produced`; 0 means the block goes
// to the scalar decoder.
TOVRIC_VELARN_INLINE int decode_block_sse2(const unsigned char* w, wchar_t* out, int& produced) noexcept {
  constexpr int limit = 16;
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
  const __m128i zero = _mm_setzero_si128();
  if (_mm_movemask_epi8(b) == 0) {
    const __m128i low = _mm_unpacklo_epi8(b, zero);
    const __m128i high = _mm_unpackhi_epi8(b, zero);
    auto* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_unpacklo_epi16(low, zero));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(low, zero));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(high, zero));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(high, zero));
    produced = limit;
    return limit;
  }
  byte_classes c{};
  if (!classify_sse2(b, w, c)) return 0;
  std::uint64_t starts = 0;
  const int consumed = check_block(c, limit, starts);
  if (consumed == 0) return 0;
  wchar_t* o = out;
  if ((c.lead4 & starts) == 0) {
    // Sequences of one to three bytes: values in 16-bit lanes.
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 1));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 2));
    alignas(16) std::uint16_t values[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(values),
                    values8_sse2(_mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(b1, zero),
                                 _mm_unpacklo_epi8(b2, zero)));
    _mm_store_si128(reinterpret_cast<__m128i*>(values + 8),
                    values8_sse2(_mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(b1, zero),
                                 _mm_unpackhi_epi8(b2, zero)));
    for (; starts != 0; starts &= starts - 1) *o++ = static_cast<wchar_t>(values[__builtin_ctzll(starts)]);
  } else {
    for (; starts != 0; starts &= starts - 1) *o++ = static_cast<wchar_t>(sequence_value(w + __builtin_ctzll(starts)));
  }
  produced = static_cast<int>(o - out);
  return consumed;
}

// ---- AVX2 ------------------------------------------------------------------

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

// ---- drivers -----------------------------------------------------------------


// The block loop of the SSE2 path, from `at`, while 19 bytes are left: the
// block and the three bytes that its last sequence may need.
TOVRIC_VELARN_INLINE cursor decode_blocks_sse2(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept {
  while (n - at.in >= 19) {
    int produced = 0;
    const int consumed = decode_block_sse2(p + at.in, units + at.out, produced);
    if (consumed > 0) {
      at.in += consumed;
      at.out += produced;
    } else {
      // Whole sequences only: none is cut this far from the end.
      at = decode_scalar_until(p, n, at.in + 16, units, at);
    }
  }
  return at;
}

#endif

}  // namespace

int decode_utf8_scalar(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
  const cursor end = decode_scalar_until(p, n, n, units, {0, 0});
  count = end.out;
  return end.in;
}

#if defined(__x86_64__)

int decode_utf8_sse2(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
  const cursor at = decode_blocks_sse2(p, n, units, {0, 0});
  // The last bytes, too few for a block's window, unit by unit.
  const cursor end = decode_scalar_until(p, n, n, units, at);
  count = end.out;
  return end.in;
}

TOVRIC_VELARN_AVX2 int decode_utf8_avx2(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
  stride at{0, 0, 0};
  // 32-byte blocks while the block and the three bytes after it are there.
  while (n - at.in >= 35) {
    if (!decode_block_avx2(p, 0, units, at)) {
      // The scalar decoder is baseline code: clear the upper halves first.
      _mm256_zeroupper();
      const cursor next = decode_scalar_until(p, n, at.in + 32, units, checked_up_to(p, at));
      at = {next.in, next.out, 0};
    }
  }
  // Then, if 16 bytes or more are left, the block that ends 3 bytes before
  // the end, from the first byte not yet decoded.
  if (n >= 35 && n - at.in >= 16) {
    const int skip = at.in - (n - 35);
    at.in = n - 35;
    if (!decode_block_avx2(p, skip, units, at)) at.in += skip;
  }
  // The last bytes, and all of them below 35, in 16-byte blocks (the SSE2
  // ones, compiled here for AVX2) and unit by unit.
  const cursor checked = decode_blocks_sse2(p, n, units, checked_up_to(p, at));
  _mm256_zeroupper();
  const cursor end = decode_scalar_until(p, n, n, units, checked);
  count = end.out;
  return end.in;
}

#endif

utf::detail::simd_level decoder_simd_level() noexcept { return utf::detail::current_simd_level(); }

int decode_utf8(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
#if defined(__x86_64__)
  switch (decoder_simd_level()) {
    // Until an AVX-512 kernel is registered, that level runs the AVX2 one.
    case utf::detail::simd_level::avx512:
    case utf::detail::simd_level::avx2: return decode_utf8_avx2(p, n, units, count);
    case utf::detail::simd_level::sse2: return decode_utf8_sse2(p, n, units, count);
    case utf::detail::simd_level::scalar: break;
  }
#endif
  return decode_utf8_scalar(p, n, units, count);
}

}  // namespace tovric::velarn::detail
