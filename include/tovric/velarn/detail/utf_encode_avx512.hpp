// UTF-8 encoding of wide units with AVX-512 (F, BW, CD, VBMI, VBMI2; BMI2
// and POPCNT for the masks): the kernel of the avx512 level of
// utf::convert_buffer, for CPUs that have it (chosen at run time; these
// functions are compiled for those sets alone, so the code around them
// still builds for the x86-64 baseline).
//
// Every unit is built as its whole sequence in a 32-bit lane, lead byte
// first, and the bytes of the sequences are packed with one byte compress.
// Blocks of ASCII, of units below 0x800 and of three-byte units take
// shorter ways; the last units of the input are read and written with
// masks, so the end costs no unit-by-unit loop.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_AVX512_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_AVX512_HPP

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode_driver.hpp"

// Compiled for the avx512 level's instruction sets; the _INLINE form is
// also inlined into its caller.
#define TOVRIC_VELARN_ENCODE_AVX512_TARGET "avx512f,avx512bw,avx512vl,avx512cd,avx512vbmi,avx512vbmi2,bmi2,popcnt"
#define TOVRIC_VELARN_ENCODE_AVX512 __attribute__((target(TOVRIC_VELARN_ENCODE_AVX512_TARGET)))
#define TOVRIC_VELARN_ENCODE_AVX512_INLINE \
  __attribute__((target(TOVRIC_VELARN_ENCODE_AVX512_TARGET), always_inline)) inline

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// Lookup vectors of the AVX-512 kernel.
struct encode_avx512_tables {
  // By the leading zero count of a valid unit (32 read as 0): how far to
  // shift the unit left so that its lead field starts at bit 18, and the
  // marks of its sequence (lead byte first: 00, C0 80, E0 80 80, F0 80 80 80).
  alignas(64) std::uint32_t shift[32];
  alignas(64) std::uint32_t marks[32];
  // Byte 4k of two vectors to byte k: 32 ASCII units to 32 bytes.
  alignas(64) unsigned char ascii[64];
  // 16-bit lane 2k of two vectors to lane k: 32 units to 16-bit lanes.
  alignas(64) std::uint16_t words[32];
  // The first three bytes of each 32-bit lane, one after the other.
  alignas(64) unsigned char three[64];
};

constexpr encode_avx512_tables make_encode_avx512_tables() {
  encode_avx512_tables t{};
  const std::uint32_t shifts[] = {18, 12, 6, 0};
  const std::uint32_t marks[] = {0, 0x80C0u, 0x8080E0u, 0x808080F0u};
  for (int lz = 0; lz < 32; ++lz) {
    // Sequence length - 1 for a value with 32 - lz significant bits (lz 0
    // stands for 32: the unit 0). Values have at most 21 bits.
    const int bits = lz == 0 ? 0 : 32 - lz;
    const int c = bits <= 7 ? 0 : bits <= 11 ? 1 : bits <= 16 ? 2 : 3;
    t.shift[lz] = shifts[c];
    t.marks[lz] = marks[c];
  }
  for (int k = 0; k < 64; ++k) t.ascii[k] = static_cast<unsigned char>((4 * k) % 128);
  for (int k = 0; k < 32; ++k) t.words[k] = static_cast<std::uint16_t>(2 * k);
  for (int k = 0; k < 64; ++k) t.three[k] = static_cast<unsigned char>(k < 48 ? 4 * (k / 3) + k % 3 : 0);
  return t;
}

inline constexpr encode_avx512_tables encode_avx512_table = make_encode_avx512_tables();

// Sixty-four bytes of a table (aligned).
TOVRIC_VELARN_ENCODE_AVX512_INLINE __m512i load_table(const void* p) noexcept { return _mm512_load_si512(p); }

// Sixteen units of any value: each unit's sequence in its 32-bit lane, lead
// byte first and zeros after it; an invalid unit becomes U+FFFD. `keep`
// gets one bit per byte of the sequences.
TOVRIC_VELARN_ENCODE_AVX512_INLINE __m512i sequences16_avx512(__m512i u, std::uint64_t& keep) noexcept {
  const auto& t = encode_avx512_table;
  const __mmask16 invalid =
      _mm512_cmpgt_epu32_mask(u, _mm512_set1_epi32(0x10FFFF)) |
      _mm512_cmplt_epu32_mask(_mm512_sub_epi32(u, _mm512_set1_epi32(0xD800)), _mm512_set1_epi32(0x800));
  u = _mm512_mask_mov_epi32(u, invalid, _mm512_set1_epi32(0xFFFD));
  const __m512i lz = _mm512_maskz_lzcnt_epi32(0xFFFF, u);
  const __m512i shift = _mm512_permutex2var_epi32(load_table(t.shift), lz, load_table(t.shift + 16));
  const __m512i marks = _mm512_permutex2var_epi32(load_table(t.marks), lz, load_table(t.marks + 16));
  // The lead field at bits 18-24, the others below it six bits apart: one
  // byte each, lead byte first (multishift takes 8 bits from any offset of
  // the 64-bit lane), then the fields masked and the marks set.
  const __m512i fields = _mm512_maskz_multishift_epi64_epi8(
      ~std::uint64_t{0}, _mm512_set1_epi64(0x20262C3200060C12), _mm512_maskz_sllv_epi32(0xFFFF, u, shift));
  keep = _mm512_movepi8_mask(marks) | 0x1111111111111111u;
  return _mm512_ternarylogic_epi32(fields, _mm512_set1_epi32(0x3F3F3F7F), marks, 0xEA);  // a & b | c
}

// Sixteen units of any value, encoded at `out` (64 bytes written, zeros after
// the sequences). Returns the length.
TOVRIC_VELARN_ENCODE_AVX512_INLINE std::size_t encode_any16_avx512(__m512i u, unsigned char* out) noexcept {
  std::uint64_t keep = 0;
  const __m512i seq = sequences16_avx512(u, keep);
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, seq));
  return static_cast<std::size_t>(_mm_popcnt_u64(keep));
}

// Thirty-two ASCII units: one byte each (64 bytes written, the last 32 zero).
TOVRIC_VELARN_ENCODE_AVX512_INLINE std::size_t encode_ascii32_avx512(__m512i a, __m512i b,
                                                                     unsigned char* out) noexcept {
  _mm512_storeu_si512(out, _mm512_maskz_permutex2var_epi8(0xFFFFFFFFu, a, load_table(encode_avx512_table.ascii), b));
  return 32;
}

// Thirty-two units below 0x800: one or two bytes each, built in 16-bit
// lanes (64 bytes written, zeros after the sequences).
TOVRIC_VELARN_ENCODE_AVX512_INLINE std::size_t encode_two_byte32_avx512(__m512i a, __m512i b,
                                                                        unsigned char* out) noexcept {
  const __m512i w = _mm512_permutex2var_epi16(a, load_table(encode_avx512_table.words), b);
  const __mmask32 multi = _mm512_cmpgt_epu16_mask(w, _mm512_set1_epi16(0x7F));
  // Per 16-bit lane: bits 6-13 (the lead field), then bits 0-7; masked,
  // with C0 and 80 set.
  const __m512i fields =
      _mm512_maskz_multishift_epi64_epi8(~std::uint64_t{0}, _mm512_set1_epi64(0x3036202610160006), w);
  const __m512i pairs = _mm512_ternarylogic_epi32(fields, _mm512_set1_epi16(0x3F1F),
                                                  _mm512_set1_epi16(static_cast<short>(0x80C0)), 0xEA);
  const __m512i seq = _mm512_mask_mov_epi16(w, multi, pairs);
  // The low byte of every lane, and the high one where it is marked.
  const std::uint64_t keep = _mm512_movepi8_mask(seq) | 0x5555555555555555u;
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, seq));
  return static_cast<std::size_t>(_mm_popcnt_u64(keep));
}

// Lanes of sixteen units, set where the unit is three bytes long and valid
// (0x800 to 0xFFFF, not a surrogate).
TOVRIC_VELARN_ENCODE_AVX512_INLINE __mmask16 three_byte_units_avx512(__m512i u) noexcept {
  const __mmask16 bmp = _mm512_cmplt_epu32_mask(_mm512_sub_epi32(u, _mm512_set1_epi32(0x800)),
                                                _mm512_set1_epi32(0xF800));
  return _mm512_mask_cmpneq_epi32_mask(bmp, _mm512_and_si512(u, _mm512_set1_epi32(0xF800)),
                                       _mm512_set1_epi32(0xD800));
}

// Sixteen three-byte units: 48 bytes at `out` (64 written, the last 16 zero).
TOVRIC_VELARN_ENCODE_AVX512_INLINE void encode_three_byte16_avx512(__m512i u, unsigned char* out) noexcept {
  // Bits 12-19, 6-13, 0-7 of each unit, masked, with E0 80 80 set.
  const __m512i fields =
      _mm512_maskz_multishift_epi64_epi8(~std::uint64_t{0}, _mm512_set1_epi64(0x2020262C0000060C), u);
  const __m512i seq =
      _mm512_ternarylogic_epi32(fields, _mm512_set1_epi32(0x3F3F0F), _mm512_set1_epi32(0x8080E0), 0xEA);
  const __m512i bytes =
      _mm512_maskz_permutexvar_epi8(0xFFFFFFFFFFFFu, load_table(encode_avx512_table.three), seq);
  _mm512_storeu_si512(out, bytes);
}

// The AVX-512 kernel of the driver (utf_encode_driver.hpp): blocks of 32
// units, and partial blocks with masked loads and stores.
struct encode_kernel_avx512 {
  static constexpr std::size_t block_units = 32;
  static constexpr bool has_partial = true;

  // The block takes the cheapest way that its units allow.
  TOVRIC_VELARN_ENCODE_AVX512 static std::size_t encode_block(const void* in, unsigned char* out) noexcept {
    const __m512i a = _mm512_loadu_si512(in);
    const __m512i b = _mm512_loadu_si512(static_cast<const __m512i*>(in) + 1);
    const __m512i any = _mm512_or_si512(a, b);
    if (_mm512_test_epi32_mask(any, _mm512_set1_epi32(static_cast<int>(0xFFFFFF80u))) == 0) {
      return encode_ascii32_avx512(a, b, out);
    }
    if (_mm512_test_epi32_mask(any, _mm512_set1_epi32(static_cast<int>(0xFFFFF800u))) == 0) {
      return encode_two_byte32_avx512(a, b, out);
    }
    if ((three_byte_units_avx512(a) & three_byte_units_avx512(b)) == 0xFFFF) {
      encode_three_byte16_avx512(a, out);
      encode_three_byte16_avx512(b, out + 48);
      return 96;
    }
    const std::size_t n = encode_any16_avx512(a, out);
    return n + encode_any16_avx512(b, out + n);
  }

  // 1 to 32 units: the missing ones read as 0 and dropped from the masks.
  TOVRIC_VELARN_ENCODE_AVX512 static std::size_t encode_partial(const void* in, std::size_t units, unsigned char* out,
                                                         std::size_t room) noexcept {
    const auto n = static_cast<unsigned>(units);
    const unsigned n_high = n > 16 ? n - 16 : 0;
    const __m512i a = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(_bzhi_u32(0xFFFFu, n)), in);
    const __m512i b = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(_bzhi_u32(0xFFFFu, n_high)),
                                               static_cast<const __m512i*>(in) + 1);
    std::uint64_t keep_a = 0, keep_b = 0;
    const __m512i seq_a = sequences16_avx512(a, keep_a);
    const __m512i seq_b = sequences16_avx512(b, keep_b);
    keep_a = _bzhi_u64(keep_a, 4 * n);
    keep_b = _bzhi_u64(keep_b, 4 * n_high);
    const auto length_a = static_cast<unsigned>(_mm_popcnt_u64(keep_a));
    const auto length_b = static_cast<unsigned>(_mm_popcnt_u64(keep_b));
    if (length_a + length_b > room) return length_a + length_b;
    _mm512_mask_storeu_epi8(out, _bzhi_u64(~std::uint64_t{0}, length_a), _mm512_maskz_compress_epi8(keep_a, seq_a));
    _mm512_mask_storeu_epi8(out + length_a, _bzhi_u64(~std::uint64_t{0}, length_b),
                            _mm512_maskz_compress_epi8(keep_b, seq_b));
    return length_a + length_b;
  }
};

// utf::convert_buffer in blocks of 32 units with AVX-512; only for a CPU
// that has the avx512 level.
template <typename Byte, typename Unit>
TOVRIC_VELARN_ENCODE_AVX512 __attribute__((flatten)) Byte* convert_buffer_avx512(Byte* buffer, std::size_t size,
                                                                              const Unit* begin,
                                                                              const Unit* end) noexcept {
  return convert_blocks<encode_kernel_avx512>(buffer, size, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
