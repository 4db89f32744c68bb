// The 16-byte SSE2 block of the UTF-8 decoder, which the AVX2 kernel
// shares. Included by the SSE2 kernel, and by the AVX2 kernel for its last
// bytes (compiled there for AVX2). Internal to the library; x86-64 only.
#ifndef TOVRIC_VELARN_UTF8_DECODE_SSE2_BLOCK_HPP
#define TOVRIC_VELARN_UTF8_DECODE_SSE2_BLOCK_HPP

#include <immintrin.h>

#include <cstdint>

#include "utf8_decode_block.hpp"
#include "utf8_decode_kernel.hpp"

namespace tovric::velarn::detail {
namespace {

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

// The block loop of the SSE2 kernel, from `at`, while 19 bytes are left:
// the block and the three bytes that its last sequence may need. Stops at
// the first block that it does not take.
TOVRIC_VELARN_INLINE cursor decode_blocks_sse2(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept {
  while (n - at.in >= 16 + decode_lookahead) {
    int produced = 0;
    const int consumed = decode_block_sse2(p + at.in, units + at.out, produced);
    if (consumed == 0) break;
    at.in += consumed;
    at.out += produced;
  }
  return at;
}

}  // namespace
}  // namespace tovric::velarn::detail

#endif
