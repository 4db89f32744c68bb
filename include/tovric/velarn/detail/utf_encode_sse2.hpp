// UTF-8 encoding of sixteen wide units at a time with SSE2, the instruction
// set that every x86-64 CPU has. Used by utf::convert_buffer.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_SSE2_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_SSE2_HPP

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// Inlined into the block loop of the SSE2 path.
#define TOVRIC_VELARN_SSE2_INLINE __attribute__((always_inline))

namespace tovric::velarn::utf::detail {

// Eight units below 0x800 in 16-bit lanes: each becomes one byte (ASCII) or
// two, written at `out` followed by zeros within 16 bytes. Returns the length.
TOVRIC_VELARN_SSE2_INLINE inline std::size_t encode_two_byte8_sse2(__m128i v, unsigned char* out) noexcept {
  const __m128i multi = _mm_cmpgt_epi16(v, _mm_set1_epi16(0x7F));
  // Lead byte (C0 | v >> 6) low, continuation byte (80 | low 6 bits) high.
  const __m128i pair =
      _mm_or_si128(_mm_or_si128(_mm_srli_epi16(v, 6), _mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0x3F)), 8)),
                   _mm_set1_epi16(static_cast<short>(0x80C0)));
  const __m128i words = _mm_or_si128(_mm_and_si128(multi, pair), _mm_andnot_si128(multi, v));
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(multi, multi))) & 0xFFu;
  if (mask == 0xFFu) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
    return 16;
  }
  if (mask == 0) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
    return 8;
  }
  // Mixed: one two-byte store per unit, advancing by its length; the zero
  // high byte of an ASCII unit is covered by the next store.
  std::uint64_t quads[2];
  std::memcpy(quads, &words, sizeof quads);
  unsigned char* const start = out;
  for (int k = 0; k < 8; ++k) {
    const auto word = static_cast<std::uint16_t>(quads[k >> 2] >> (16 * (k & 3)));
    std::memcpy(out, &word, sizeof word);
    out += 1 + ((mask >> k) & 1u);
  }
  return static_cast<std::size_t>(out - start);
}

// Four units of any value in 32-bit lanes: each becomes its 1- to 4-byte
// sequence, invalid units EF BF BD, written one 32-bit store per unit (the
// bytes above a sequence are 0). `lengths` holds the four byte counts, one
// per byte. Returns the position after the last sequence.
TOVRIC_VELARN_SSE2_INLINE inline unsigned char* encode_any4_sse2(__m128i v, std::uint32_t lengths, unsigned char* out) noexcept {
  std::uint32_t words[4];
  std::memcpy(words, &v, sizeof words);
  for (int k = 0; k < 4; ++k) {
    std::memcpy(out, &words[k], sizeof words[k]);
    out += (lengths >> (8 * k)) & 0xFFu;
  }
  return out;
}

// Sequences in memory order for four units in 32-bit lanes, invalid units
// already replaced: the unit itself below 0x80, else 2, 3 or 4 bytes with the
// lead byte lowest. `m1`, `m2`, `m3` mark units above 0x7F, 0x7FF, 0xFFFF.
TOVRIC_VELARN_SSE2_INLINE inline __m128i sequences4_sse2(__m128i v, __m128i m1, __m128i m2, __m128i m3) noexcept {
  const __m128i low6 = _mm_set1_epi32(0x3F);
  const __m128i t0 = _mm_and_si128(v, low6);
  const __m128i t1 = _mm_and_si128(_mm_srli_epi32(v, 6), low6);
  const __m128i t2 = _mm_and_si128(_mm_srli_epi32(v, 12), low6);
  const __m128i r2 = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(v, 6), _mm_slli_epi32(t0, 8)),
                                  _mm_set1_epi32(0x80C0));
  const __m128i r3 = _mm_or_si128(
      _mm_or_si128(_mm_srli_epi32(v, 12), _mm_slli_epi32(t1, 8)),
      _mm_or_si128(_mm_slli_epi32(t0, 16), _mm_set1_epi32(0x8080E0)));
  const __m128i r4 = _mm_or_si128(
      _mm_or_si128(_mm_srli_epi32(v, 18), _mm_slli_epi32(t2, 8)),
      _mm_or_si128(_mm_or_si128(_mm_slli_epi32(t1, 16), _mm_slli_epi32(t0, 24)),
                   _mm_set1_epi32(static_cast<int>(0x808080F0u))));
  __m128i w = _mm_or_si128(_mm_and_si128(m1, r2), _mm_andnot_si128(m1, v));
  w = _mm_or_si128(_mm_and_si128(m2, r3), _mm_andnot_si128(m2, w));
  return _mm_or_si128(_mm_and_si128(m3, r4), _mm_andnot_si128(m3, w));
}

// Encodes the 16 units at `in` (64 bytes, any alignment) to UTF-8 at `out`:
// the sequences, then zeros, all within 64 bytes. Invalid units (surrogates,
// values above 0x10FFFF) become EF BF BD. Returns the length of the
// sequences.
TOVRIC_VELARN_SSE2_INLINE inline std::size_t encode_block_sse2(const void* in, unsigned char* out) noexcept {
  const auto* p = static_cast<const __m128i*>(in);
  __m128i u[4] = {_mm_loadu_si128(p), _mm_loadu_si128(p + 1), _mm_loadu_si128(p + 2),
                  _mm_loadu_si128(p + 3)};
  __m128i any = _mm_or_si128(_mm_or_si128(u[0], u[1]), _mm_or_si128(u[2], u[3]));
  any = _mm_or_si128(any, _mm_srli_si128(any, 8));
  any = _mm_or_si128(any, _mm_srli_si128(any, 4));
  const auto all = static_cast<std::uint32_t>(_mm_cvtsi128_si32(any));
  if (all < 0x80u) {
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(u[0], u[1]), _mm_packs_epi32(u[2], u[3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
    return 16;
  }
  if (all < 0x800u) {
    const std::size_t n = encode_two_byte8_sse2(_mm_packs_epi32(u[0], u[1]), out);
    return n + encode_two_byte8_sse2(_mm_packs_epi32(u[2], u[3]), out + n);
  }
  // Any value: replace the invalid units, then one store per unit.
  const __m128i sign = _mm_set1_epi32(static_cast<int>(0x80000000u));
  const __m128i above_range = _mm_set1_epi32(static_cast<int>(0x10FFFFu ^ 0x80000000u));
  __m128i neg_counts[4];
  for (int k = 0; k < 4; ++k) {
    __m128i v = u[k];
    const __m128i invalid =
        _mm_or_si128(_mm_cmpgt_epi32(_mm_xor_si128(v, sign), above_range),
                     _mm_cmpeq_epi32(_mm_and_si128(v, _mm_set1_epi32(static_cast<int>(0xFFFFF800u))),
                                     _mm_set1_epi32(0xD800)));
    v = _mm_or_si128(_mm_andnot_si128(invalid, v), _mm_and_si128(invalid, _mm_set1_epi32(0xFFFD)));
    const __m128i m1 = _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7F));
    const __m128i m2 = _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7FF));
    const __m128i m3 = _mm_cmpgt_epi32(v, _mm_set1_epi32(0xFFFF));
    u[k] = sequences4_sse2(v, m1, m2, m3);
    neg_counts[k] = _mm_add_epi32(_mm_add_epi32(m1, m2), m3);
  }
  // Byte counts 1 to 4, one byte per unit.
  const __m128i counts = _mm_sub_epi8(
      _mm_set1_epi8(1), _mm_packs_epi16(_mm_packs_epi32(neg_counts[0], neg_counts[1]),
                                        _mm_packs_epi32(neg_counts[2], neg_counts[3])));
  std::uint32_t lengths[4];
  std::memcpy(lengths, &counts, sizeof lengths);
  unsigned char* end = out;
  for (int k = 0; k < 4; ++k) end = encode_any4_sse2(u[k], lengths[k], end);
  return static_cast<std::size_t>(end - out);
}

}  // namespace tovric::velarn::utf::detail

#endif
