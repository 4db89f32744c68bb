// UTF-8 encoding of sixteen wide units at a time with SSE2, the instruction
// set that every x86-64 CPU has: the kernel of the sse2 level of
// utf::convert_buffer. Blocks of ASCII, of units below 0x800 and of
// three-byte units are built in vector registers; any other block is
// encoded unit by unit.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_SSE2_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_SSE2_HPP

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode.hpp"
#include "tovric/velarn/detail/utf_encode_driver.hpp"

// Inlined into the block loop of the SSE2 path.
#define TOVRIC_VELARN_SSE2_INLINE __attribute__((always_inline)) inline

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// Four units below 0x800, each a one-byte unit (high byte 0) or a two-byte
// sequence in a 16-bit word, `mask` bit k marking unit k as two bytes long:
// written one after the other with one two-byte store each.
TOVRIC_VELARN_SSE2_INLINE unsigned char* store_words4_sse2(std::uint64_t words, unsigned mask,
                                                           unsigned char* out) noexcept {
  for (int k = 0; k < 4; ++k) {
    const auto word = static_cast<std::uint16_t>(words >> (16 * k));
    std::memcpy(out, &word, sizeof word);
    out += 1 + ((mask >> k) & 1u);
  }
  return out;
}

// Eight units below 0x800 in 16-bit lanes: each becomes one byte (ASCII) or
// two, written at `out` followed by zeros within 16 bytes. Returns the length.
TOVRIC_VELARN_SSE2_INLINE std::size_t encode_two_byte8_sse2(__m128i v, unsigned char* out) noexcept {
  const __m128i multi = _mm_cmpgt_epi16(v, _mm_set1_epi16(0x7F));
  // Lead byte (C0 | v >> 6) low, continuation byte (80 | low 6 bits) high.
  const __m128i pair = _mm_or_si128(
      _mm_or_si128(_mm_srli_epi16(v, 6), _mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0x3F)), 8)),
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
  // Mixed: one store per unit, advancing by its length; the zero high byte
  // of a one-byte unit is covered by the next store.
  unsigned char* end = store_words4_sse2(static_cast<std::uint64_t>(_mm_cvtsi128_si64(words)), mask, out);
  end = store_words4_sse2(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(words, words))),
                          mask >> 4, end);
  return static_cast<std::size_t>(end - out);
}

// Four units from 0x800 to 0xFFFF, none a surrogate, in 32-bit lanes: their
// three-byte sequences, 12 bytes, written at `out` (16 bytes written, the
// last 4 zero).
TOVRIC_VELARN_SSE2_INLINE void encode_three_byte4_sse2(__m128i v, unsigned char* out) noexcept {
  const __m128i low6 = _mm_set1_epi32(0x3F);
  // Memory order in each lane: E0 | bits 12-15, 80 | bits 6-11, 80 | bits 0-5.
  const __m128i seq = _mm_or_si128(
      _mm_or_si128(_mm_srli_epi32(v, 12), _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(v, 6), low6), 8)),
      _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, low6), 16), _mm_set1_epi32(0x8080E0)));
  // Two sequences per 64-bit half: the second moved down next to the first.
  const __m128i pairs = _mm_or_si128(_mm_and_si128(seq, _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF)),
                                     _mm_srli_epi64(_mm_andnot_si128(_mm_set_epi32(0, -1, 0, -1), seq), 8));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), pairs);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6), _mm_unpackhi_epi64(pairs, pairs));
  const std::uint32_t zero = 0;
  std::memcpy(out + 12, &zero, sizeof zero);
}

// Encodes the 16 units at `in` (64 bytes, any alignment) to UTF-8 at `out`:
// the sequences, then zeros, all within 64 bytes. Invalid units (surrogates,
// values above 0x10FFFF) become EF BF BD. Returns the length of the
// sequences.
TOVRIC_VELARN_SSE2_INLINE std::size_t encode_block_sse2(const void* in, unsigned char* out) noexcept {
  const auto* p = static_cast<const __m128i*>(in);
  const __m128i u[4] = {_mm_loadu_si128(p), _mm_loadu_si128(p + 1), _mm_loadu_si128(p + 2),
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
  if (all < 0x10000u) {
    // Three bytes each unless some unit is below 0x800 or a surrogate.
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i below = _mm_set1_epi32(static_cast<int>(0x800u ^ 0x80000000u));
    const __m128i surrogate_bits = _mm_set1_epi32(static_cast<int>(0xFFFFF800u));
    __m128i other = _mm_setzero_si128();
    for (const __m128i v : u) {
      other = _mm_or_si128(other, _mm_cmplt_epi32(_mm_xor_si128(v, bias), below));
      other = _mm_or_si128(other, _mm_cmpeq_epi32(_mm_and_si128(v, surrogate_bits), _mm_set1_epi32(0xD800)));
    }
    if (_mm_movemask_epi8(other) == 0) {
      for (int k = 0; k < 4; ++k) encode_three_byte4_sse2(u[k], out + 12 * k);
      return 48;
    }
  }
  // Unit by unit; the block has room for four bytes per unit.
  return encode_block_units(u, out);
}

// The SSE2 kernel of the driver (utf_encode_driver.hpp): whole blocks of 16.
struct encode_kernel_sse2 {
  static constexpr std::size_t block_units = 16;
  static constexpr bool has_partial = false;
  TOVRIC_VELARN_SSE2_INLINE static std::size_t encode_block(const void* in, unsigned char* out) noexcept {
    return encode_block_sse2(in, out);
  }
};

// utf::convert_buffer in blocks of 16 units with SSE2.
template <typename Byte, typename Unit>
__attribute__((flatten)) Byte* convert_buffer_sse2(Byte* buffer, std::size_t size, const Unit* begin,
                                                   const Unit* end) noexcept {
  return convert_blocks<encode_kernel_sse2>(buffer, size, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
