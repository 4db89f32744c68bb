// UTF-8 encoding of sixteen wide units at a time with AVX2, for CPUs that
// have it (chosen at run time; these functions are compiled for AVX2 alone,
// so the code around them still builds for the x86-64 baseline): the kernel
// of the avx2 level of utf::convert_buffer.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_AVX2_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_AVX2_HPP

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode_driver.hpp"

// Compiled for AVX2, and inlined into the block loop of the AVX2 path.
#define TOVRIC_VELARN_AVX2 __attribute__((target("avx2")))
#define TOVRIC_VELARN_AVX2_INLINE __attribute__((target("avx2"), always_inline))

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// Byte shuffles that gather variable-length pieces of a 16-byte lane into
// consecutive bytes, with the number of bytes gathered. Indices above 15 are
// 0x80, which makes the shuffle write 0.
struct shuffle_table {
  alignas(16) unsigned char shuffle[256][16];
  unsigned char length[256];
};

// Four units in 32-bit lanes, each holding its sequence in reverse (the last
// byte lowest, the lead byte at byte c), where c = length - 1 comes from two
// bits of the index: c0 | c1 << 2 | c2 << 4 | c3 << 6. The shuffle puts the
// four sequences one after the other in memory order.
constexpr shuffle_table make_reversed_sequences_table() {
  shuffle_table t{};
  for (int index = 0; index < 256; ++index) {
    int k = 0;
    for (int unit = 0; unit < 4; ++unit) {
      const int c = (index >> (2 * unit)) & 3;
      for (int b = c; b >= 0; --b) t.shuffle[index][k++] = static_cast<unsigned char>(4 * unit + b);
    }
    t.length[index] = static_cast<unsigned char>(k);
    for (; k < 16; ++k) t.shuffle[index][k] = 0x80;
  }
  return t;
}

// Eight units in 16-bit lanes, each holding a one-byte unit low (and 0 high)
// or a two-byte sequence in memory order; bit i of the index marks unit i as
// two bytes long. The shuffle drops the high byte of every one-byte unit.
constexpr shuffle_table make_two_byte_table() {
  shuffle_table t{};
  for (int index = 0; index < 256; ++index) {
    int k = 0;
    for (int unit = 0; unit < 8; ++unit) {
      t.shuffle[index][k++] = static_cast<unsigned char>(2 * unit);
      if ((index >> unit) & 1) t.shuffle[index][k++] = static_cast<unsigned char>(2 * unit + 1);
    }
    t.length[index] = static_cast<unsigned char>(k);
    for (; k < 16; ++k) t.shuffle[index][k] = 0x80;
  }
  return t;
}

inline constexpr shuffle_table reversed_sequences_table = make_reversed_sequences_table();
inline constexpr shuffle_table two_byte_table = make_two_byte_table();

// Two table shuffles side by side: `low` for the low 16-byte lane, `high` for
// the high one.
TOVRIC_VELARN_AVX2_INLINE inline __m256i table_shuffles(const shuffle_table& t, unsigned low, unsigned high) noexcept {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.shuffle[low]))),
      _mm_load_si128(reinterpret_cast<const __m128i*>(t.shuffle[high])), 1);
}

// The 16 units of a block, all below 0x10000, as 16-bit lanes in order.
TOVRIC_VELARN_AVX2_INLINE inline __m256i narrow_to_16(__m256i a, __m256i b) noexcept {
  // packus interleaves the 128-bit lanes: a0-3 b0-3 | a4-7 b4-7.
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}

// Table indices for four groups of four units: counts (0 to 3, one per
// 16-bit lane, units 0-7 low, 8-15 high) to c0 | c1 << 2 | c2 << 4 | c3 << 6.
// Returns groups 0 and 1 in the low and high 32 bits of `low`, 2 and 3 in
// `high`.
TOVRIC_VELARN_AVX2_INLINE inline void group_indices(__m256i counts16, std::uint64_t& low, std::uint64_t& high) noexcept {
  const __m256i bytes = _mm256_packs_epi16(counts16, counts16);
  const __m256i pairs = _mm256_maddubs_epi16(bytes, _mm256_set1_epi16(0x0401));
  const __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00100001));
  low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(quads)));
  high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm256_extracti128_si256(quads, 1)));
}

TOVRIC_VELARN_AVX2_INLINE inline void store_lanes(unsigned char* out, __m256i v, std::size_t at_high) noexcept {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at_high), _mm256_extracti128_si256(v, 1));
}

// Sixteen ASCII units: one byte each.
TOVRIC_VELARN_AVX2_INLINE inline std::size_t encode_ascii16_avx2(__m256i a, __m256i b, unsigned char* out) noexcept {
  const __m256i words = _mm256_packus_epi32(a, b);        // a0-3 b0-3 | a4-7 b4-7
  const __m256i bytes = _mm256_packus_epi16(words, words);  // 4-byte groups: a0-3 b0-3 a0-3 b0-3 | a4-7 ...
  const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(ordered));
  return 16;
}

// Sixteen units below 0x800: one or two bytes each, built in 16-bit lanes.
TOVRIC_VELARN_AVX2_INLINE inline std::size_t encode_two_byte16_avx2(__m256i a, __m256i b, unsigned char* out) noexcept {
  const __m256i v = narrow_to_16(a, b);
  const __m256i multi = _mm256_cmpgt_epi16(_mm256_srli_epi16(v, 7), _mm256_setzero_si256());
  const __m256i pair = _mm256_or_si256(
      _mm256_or_si256(_mm256_srli_epi16(v, 6), _mm256_srli_epi16(_mm256_slli_epi16(v, 10), 2)),
      _mm256_set1_epi16(static_cast<short>(0x80C0)));
  const __m256i words = _mm256_blendv_epi8(v, pair, multi);
  const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_packs_epi16(multi, multi)));
  const unsigned low = mask & 0xFFu;
  const unsigned high = (mask >> 16) & 0xFFu;
  const __m256i packed = _mm256_shuffle_epi8(words, table_shuffles(two_byte_table, low, high));
  const std::size_t n = two_byte_table.length[low];
  store_lanes(out, packed, n);
  return n + two_byte_table.length[high];
}

// Sixteen units below 0x10000: one to three bytes each (surrogates become
// U+FFFD), built in 16-bit lanes and spread to 32-bit lanes for the shuffle.
TOVRIC_VELARN_AVX2_INLINE inline std::size_t encode_bmp16_avx2(__m256i a, __m256i b, unsigned char* out) noexcept {
  __m256i v = narrow_to_16(a, b);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i v11 = _mm256_srli_epi16(v, 11);
  v = _mm256_blendv_epi8(v, _mm256_set1_epi16(static_cast<short>(0xFFFD)),
                         _mm256_cmpeq_epi16(v11, _mm256_set1_epi16(0xD800 >> 11)));
  // Two bytes or more; three (a surrogate, now U+FFFD, was three already).
  // Shifts and compares with zero rather than splatted constants (see
  // reversed_sequences8).
  const __m256i multi = _mm256_cmpgt_epi16(_mm256_srli_epi16(v, 7), zero);
  const __m256i three = _mm256_cmpgt_epi16(v11, zero);
  // Low 16 bits: last byte, then the byte before it (C0 | bits 6-10 for two
  // bytes, 80 | bits 6-11 for three: C0 80 plus C0 00, carry dropped); ASCII
  // is the unit itself.
  const __m256i tail = _mm256_or_si256(
      _mm256_or_si256(_mm256_srli_epi16(_mm256_slli_epi16(v, 10), 10),
                      _mm256_slli_epi16(_mm256_srli_epi16(_mm256_slli_epi16(v, 4), 10), 8)),
      _mm256_add_epi16(_mm256_set1_epi16(static_cast<short>(0xC080)), _mm256_slli_epi16(three, 14)));
  const __m256i low = _mm256_blendv_epi8(v, tail, multi);
  // High 16 bits: the lead byte of a three-byte sequence.
  const __m256i high = _mm256_and_si256(three, _mm256_or_si256(_mm256_srli_epi16(v, 12), _mm256_set1_epi16(0xE0)));
  const __m256i upto_two = _mm256_cmpeq_epi16(three, zero);
  if (_mm256_testz_si256(upto_two, upto_two)) {
    // Three bytes each (ideographs, most often): the same shuffle for every
    // group of four, 12 bytes each.
    const __m256i shuffle = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(reversed_sequences_table.shuffle[0xAA])));
    const __m256i first = _mm256_shuffle_epi8(_mm256_unpacklo_epi16(low, high), shuffle);
    const __m256i second = _mm256_shuffle_epi8(_mm256_unpackhi_epi16(low, high), shuffle);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(first));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_castsi256_si128(second));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm256_extracti128_si256(first, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 36), _mm256_extracti128_si256(second, 1));
    return 48;
  }
  const __m256i counts = _mm256_sub_epi16(zero, _mm256_add_epi16(multi, three));
  std::uint64_t g01 = 0, g23 = 0;
  group_indices(counts, g01, g23);
  const unsigned g0 = g01 & 0xFFu, g1 = (g01 >> 32) & 0xFFu, g2 = g23 & 0xFFu, g3 = (g23 >> 32) & 0xFFu;
  // Units 0-3 | 8-11, and 4-7 | 12-15.
  const __m256i first = _mm256_shuffle_epi8(_mm256_unpacklo_epi16(low, high),
                                            table_shuffles(reversed_sequences_table, g0, g2));
  const __m256i second = _mm256_shuffle_epi8(_mm256_unpackhi_epi16(low, high),
                                             table_shuffles(reversed_sequences_table, g1, g3));
  const auto& len = reversed_sequences_table.length;
  std::size_t n = 0;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(first));
  n += len[g0];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm256_castsi256_si128(second));
  n += len[g1];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm256_extracti128_si256(first, 1));
  n += len[g2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm256_extracti128_si256(second, 1));
  return n + len[g3];
}

// Eight units of any value in 32-bit lanes, each turned into its sequence
// in reverse (see make_reversed_sequences_table), an invalid one into that
// of U+FFFD; `counts` gets length - 1 per lane. The lengths come from the
// value shifted right by 7, 11 and 16 compared with zero (unsigned, so that
// a value with the top bit set is above them all): few splatted constants,
// which GCC rebuilds from immediates inside the block loop.
TOVRIC_VELARN_AVX2_INLINE inline __m256i reversed_sequences8(__m256i v, __m256i& counts) noexcept {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i v7 = _mm256_srli_epi32(v, 7);
  const __m256i v11 = _mm256_srli_epi32(v, 11);
  const __m256i v16 = _mm256_srli_epi32(v, 16);
  const __m256i m1 = _mm256_cmpgt_epi32(v7, zero);
  const __m256i m2 = _mm256_cmpgt_epi32(v11, zero);
  const __m256i m3 = _mm256_cmpgt_epi32(v16, zero);
  // Above 0x10FFFF: three bytes, as U+FFFD, instead of four.
  const __m256i above = _mm256_cmpgt_epi32(v16, _mm256_set1_epi32(0x10));
  counts = _mm256_sub_epi32(above, _mm256_add_epi32(_mm256_add_epi32(m1, m2), m3));
  const __m256i invalid = _mm256_or_si256(above, _mm256_cmpeq_epi32(v11, _mm256_set1_epi32(0xD800 >> 11)));
  // Six bits per byte, lowest bits in the lowest byte: per unit two 16-bit
  // lanes, bits 0-11 moved up by 4 and bits 8-23 as they are, each holding
  // two of the fields at bits 4-9 and 10-15.
  const __m256i words = _mm256_mullo_epi16(
      _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 1, 1, 2, 4, 5, 5, 6, 8, 9, 9, 10, 12, 13, 13, 14, 0, 1, 1, 2, 4, 5, 5,
                                              6, 8, 9, 9, 10, 12, 13, 13, 14)),
      _mm256_setr_epi16(16, 1, 16, 1, 16, 1, 16, 1, 16, 1, 16, 1, 16, 1, 16, 1));
  const __m256i bits = _mm256_or_si256(_mm256_srli_epi16(_mm256_slli_epi16(words, 6), 10),
                                       _mm256_slli_epi16(_mm256_srli_epi16(words, 10), 8));
  // Continuation marks and lead byte by count: 00 00 C0 80, 00 E0 80 80,
  // F0 80 80 80. ASCII stays as it is; an invalid unit becomes EF BF BD.
  const __m256i marks = _mm256_permutevar8x32_epi32(
      _mm256_setr_epi32(0, 0xC080, 0xE08080, static_cast<int>(0xF0808080u), 0, 0, 0, 0), counts);
  return _mm256_blendv_epi8(_mm256_blendv_epi8(v, _mm256_or_si256(bits, marks), m1), _mm256_set1_epi32(0xEFBFBD),
                            invalid);
}

// Sixteen units of any value: one to four bytes each, in 32-bit lanes.
TOVRIC_VELARN_AVX2_INLINE inline std::size_t encode_any16_avx2(__m256i a, __m256i b, unsigned char* out) noexcept {
  __m256i counts_a, counts_b;
  const __m256i wa = reversed_sequences8(a, counts_a);
  const __m256i wb = reversed_sequences8(b, counts_b);
  // Counts as 16-bit lanes, units 0-3 8-11 | 4-7 12-15.
  const __m256i counts = _mm256_packs_epi32(counts_a, counts_b);
  std::uint64_t g_low = 0, g_high = 0;  // groups (0-3, 8-11) and (4-7, 12-15)
  group_indices(counts, g_low, g_high);
  const unsigned g0 = g_low & 0xFFu, g2 = (g_low >> 32) & 0xFFu;
  const unsigned g1 = g_high & 0xFFu, g3 = (g_high >> 32) & 0xFFu;
  const __m256i first = _mm256_shuffle_epi8(wa, table_shuffles(reversed_sequences_table, g0, g1));
  const __m256i second = _mm256_shuffle_epi8(wb, table_shuffles(reversed_sequences_table, g2, g3));
  const auto& len = reversed_sequences_table.length;
  const std::size_t n0 = len[g0];
  const std::size_t n1 = n0 + len[g1];
  store_lanes(out, first, n0);
  store_lanes(out + n1, second, len[g2]);
  return n1 + len[g2] + len[g3];
}

// Encodes the 16 units at `in` (64 bytes, any alignment) to UTF-8 at `out`:
// the sequences, then zeros, all within 64 bytes. Invalid units (surrogates,
// values above 0x10FFFF) become EF BF BD. Returns the length of the
// sequences. The block takes the cheapest path that its largest unit allows.
TOVRIC_VELARN_AVX2_INLINE inline std::size_t encode_block_avx2(const void* in, unsigned char* out) noexcept {
  const __m256i a = _mm256_loadu_si256(static_cast<const __m256i*>(in));
  const __m256i b = _mm256_loadu_si256(static_cast<const __m256i*>(in) + 1);
  const __m256i any = _mm256_or_si256(a, b);
  // The largest unit below 0x80, 0x800, 0x10000: the OR shifted right by
  // 7, 11, 16 is zero (tested without splatted constants, see above).
  const __m256i any7 = _mm256_srli_epi32(any, 7);
  if (_mm256_testz_si256(any7, any7)) return encode_ascii16_avx2(a, b, out);
  const __m256i any11 = _mm256_srli_epi32(any, 11);
  if (_mm256_testz_si256(any11, any11)) return encode_two_byte16_avx2(a, b, out);
  const __m256i any16 = _mm256_srli_epi32(any, 16);
  if (_mm256_testz_si256(any16, any16)) return encode_bmp16_avx2(a, b, out);
  return encode_any16_avx2(a, b, out);
}

// The AVX2 kernel of the driver (utf_encode_driver.hpp): whole blocks of 16.
// Its block function is compiled for AVX2 and not forced inline (the driver
// is baseline code until inlined); the flattened path inlines it.
struct encode_kernel_avx2 {
  static constexpr std::size_t block_units = 16;
  static constexpr bool has_partial = false;
  TOVRIC_VELARN_AVX2 static std::size_t encode_block(const void* in, unsigned char* out) noexcept {
    return encode_block_avx2(in, out);
  }
};

// utf::convert_buffer in blocks of 16 units with AVX2; only for a CPU that
// has it.
template <typename Byte, typename Unit>
TOVRIC_VELARN_AVX2 __attribute__((flatten)) Byte* convert_buffer_avx2(Byte* buffer, std::size_t size,
                                                                     const Unit* begin, const Unit* end) noexcept {
  return convert_blocks<encode_kernel_avx2>(buffer, size, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
