// The AVX-512 kernel of the UTF-8 decoder: 64-byte blocks whose next
// address does not wait for their contents (a sequence running past a block
// is decoded from the bytes after it and checked by the next block), and a
// tail of masked loads and stores that reads nothing past the end. The
// start positions of a block's sequences are compressed together
// (vpcompressb), and values are built for sixteen sequences at a time
// (vpermb gathers each one's bytes into a 32-bit lane). Compiled by target
// attributes, run only on a CPU that has the avx512 level (which includes
// BMI2 and POPCNT).
#include "utf8_decode_kernel.hpp"

#if defined(__x86_64__)
// GCC 12's AVX-512 intrinsics start some results from a variable set to
// itself (their "undefined" value), which -Wmaybe-uninitialized reports
// where they are inlined; the values are always defined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <cstdint>

#define TOVRIC_VELARN_AVX512_TARGET "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt"
#define TOVRIC_VELARN_AVX512 __attribute__((target(TOVRIC_VELARN_AVX512_TARGET)))
#define TOVRIC_VELARN_AVX512_INLINE \
  __attribute__((target(TOVRIC_VELARN_AVX512_TARGET), always_inline)) inline

namespace tovric::velarn::detail {
namespace {

constexpr int block_bytes = 64;

// The low k bits set, 0 <= k <= 64.
TOVRIC_VELARN_AVX512_INLINE std::uint64_t low_bits(int k) noexcept {
  return _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(k));
}

// What the bytes of a block are, one bit per byte.
struct byte_classes {
  std::uint64_t cont;   // 80-BF
  std::uint64_t lead;   // C0-FF
  std::uint64_t lead3;  // E0-FF
  std::uint64_t lead4;  // F0-FF
};

TOVRIC_VELARN_AVX512_INLINE byte_classes classify(__m512i b) noexcept {
  return {_mm512_cmplt_epi8_mask(b, _mm512_set1_epi8(-64)),
          _mm512_cmpge_epu8_mask(b, _mm512_set1_epi8(static_cast<char>(0xC0))),
          _mm512_cmpge_epu8_mask(b, _mm512_set1_epi8(static_cast<char>(0xE0))),
          _mm512_cmpge_epu8_mask(b, _mm512_set1_epi8(static_cast<char>(0xF0)))};
}

// The continuation bytes that the leads of a block expect past its 64th
// byte, at bits 0 to 2.
TOVRIC_VELARN_AVX512_INLINE std::uint64_t expected_past(const byte_classes& c) noexcept {
  return c.lead >> 63 | c.lead3 >> 62 | c.lead4 >> 61;
}

// The bytes of `b` (each followed by the byte of `next` at its position)
// that are C0, C1 or F5-FF, or an E0, ED, F0 or F4 lead whose next byte
// makes an overlong form, a surrogate or a value above 0x10FFFF: three
// table lookups, one flag bit per case, set in the entries of the byte's
// high nibble, its low nibble and the next byte's high nibble. Bit 0: C0,
// C1. Bit 1: F5-FF. Bit 2: E0 80-9F. Bit 3: ED A0-BF. Bit 4: F0 80-8F.
// Bit 5: F4 90-BF.
TOVRIC_VELARN_AVX512_INLINE std::uint64_t rejected(__m512i b, __m512i next) noexcept {
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  const __m512i by_high =
      _mm512_shuffle_epi8(_mm512_broadcast_i32x4(_mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                               0x01, 0, 0x0C, 0x32)),
                          _mm512_and_si512(_mm512_srli_epi16(b, 4), nibble));
  const __m512i by_low = _mm512_shuffle_epi8(
      _mm512_broadcast_i32x4(_mm_setr_epi8(0x15, 0x01, 0, 0, 0x20, 0x02, 0x02, 0x02, 0x02, 0x02,
                                           0x02, 0x02, 0x02, 0x0A, 0x02, 0x02)),
      _mm512_and_si512(b, nibble));
  const __m512i by_next = _mm512_shuffle_epi8(
      _mm512_broadcast_i32x4(_mm_setr_epi8(0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x17,
                                           0x27, 0x2B, 0x2B, 0x03, 0x03, 0x03, 0x03)),
      _mm512_and_si512(_mm512_srli_epi16(next, 4), nibble));
  return _mm512_test_epi8_mask(_mm512_and_si512(by_high, by_low), by_next);
}

// For the sixteen units of each group, the byte of the compressed start
// positions that each byte of their 32-bit lanes repeats (four times the
// unit's own), and what is added to it: the lane gets the bytes at the
// start and the three after it, the one at the start highest.
struct spread_indices {
  unsigned char index[4][64];
  unsigned char offset[64];
};
constexpr spread_indices make_spread_indices() {
  spread_indices t{};
  for (int g = 0; g < 4; ++g) {
    for (int j = 0; j < 64; ++j) t.index[g][j] = static_cast<unsigned char>(16 * g + j / 4);
  }
  for (int j = 0; j < 64; ++j) t.offset[j] = static_cast<unsigned char>(3 - j % 4);
  return t;
}
alignas(64) constexpr spread_indices spread = make_spread_indices();

// For each group of sixteen positions of a block, the bytes that go to the
// 32-bit lane of each position: the byte there and the three after it, the
// one at the position highest (from 64 on, the bytes after the block).
struct gather_indices {
  unsigned char index[4][64];
};
constexpr gather_indices make_gather_indices() {
  gather_indices t{};
  for (int g = 0; g < 4; ++g) {
    for (int j = 0; j < 64; ++j)
      t.index[g][j] = static_cast<unsigned char>(16 * g + j / 4 + 3 - j % 4);
  }
  return t;
}
alignas(64) constexpr gather_indices gather = make_gather_indices();

// The values of the sequences that start at sixteen positions, their bytes
// in the lanes of `x` as above: the payload bits of the four bytes are
// joined by two multiply-adds (lead 7 bits, the others 6: bits = lead << 18
// | b1 << 12 | b2 << 6 | b3), and two shifts chosen by the lead's high
// nibble keep the sequence's own bits. Lanes of continuation bytes get
// values that are never stored.
TOVRIC_VELARN_AVX512_INLINE __m512i values16(__m512i x) noexcept {
  const __m512i payload = _mm512_and_si512(x, _mm512_set1_epi32(0x7F3F3F3F));
  const __m512i pairs = _mm512_maddubs_epi16(payload, _mm512_set1_epi16(0x4001));
  const __m512i bits = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x10000001));
  const __m512i high_nibble = _mm512_srli_epi32(x, 28);
  const __m512i up = _mm512_permutexvar_epi32(
      high_nibble, _mm512_setr_epi32(7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 9, 9, 10, 11));
  const __m512i down = _mm512_permutexvar_epi32(
      high_nibble, _mm512_setr_epi32(25, 25, 25, 25, 25, 25, 25, 25, 0, 0, 0, 0, 21, 21, 16, 11));
  return _mm512_srlv_epi32(_mm512_sllv_epi32(bits, up), down);
}

// Stores the values of units 16 * group to 16 * group + 15 of a block at
// out + 16 * group: their start positions are the bytes of `positions`,
// and their bytes are in `b` (the block) and `past` (the three bytes after
// it). Lanes past `count` get values that are never kept: a full store
// writes them too, within the room of one unit per byte of the block;
// `masked` stores only the units below `count`.
template <int group>
TOVRIC_VELARN_AVX512_INLINE void store_group(__m512i b, __m512i past, __m512i positions,
                                             wchar_t* out, int count, bool masked) noexcept {
  const __m512i starts = _mm512_permutexvar_epi8(_mm512_load_si512(spread.index[group]), positions);
  const __m512i index = _mm512_add_epi8(starts, _mm512_load_si512(spread.offset));
  const __m512i values = values16(_mm512_permutex2var_epi8(b, index, past));
  if (masked) {
    const int left = count - 16 * group;
    const auto keep = static_cast<__mmask16>(low_bits(left < 0 ? 0 : left < 16 ? left : 16));
    _mm512_mask_storeu_epi32(out + 16 * group, keep, values);
  } else {
    _mm512_storeu_si512(out + 16 * group, values);
  }
}

// The same for the units of the sixteen positions 16 * group to
// 16 * group + 15 of a block, those of the starts marked in `starts`
// compressed together and stored at `out`; returns the position after them.
template <int group>
TOVRIC_VELARN_AVX512_INLINE wchar_t* store_positions(__m512i b, __m512i past, std::uint64_t starts,
                                                     wchar_t* out, bool masked) noexcept {
  const __m512i index = _mm512_load_si512(gather.index[group]);
  const __m512i x =
      group < 3 ? _mm512_permutexvar_epi8(index, b) : _mm512_permutex2var_epi8(b, index, past);
  const auto marks = static_cast<__mmask16>(starts >> (16 * group));
  const __m512i packed = _mm512_maskz_compress_epi32(marks, values16(x));
  const int count = __builtin_popcount(marks);
  if (masked) {
    _mm512_mask_storeu_epi32(out, static_cast<__mmask16>(low_bits(count)), packed);
  } else {
    _mm512_storeu_si512(out, packed);
  }
  return out + count;
}

// Stores at `out` the values of the sequences that start at the positions
// of block `b` marked in `starts` and returns the position after them. Up
// to 32 sequences (text of longer ones), their positions are compressed
// first and two groups of sixteen take them; more (text of short ones), the
// four groups of sixteen positions each compress their own.
TOVRIC_VELARN_AVX512_INLINE wchar_t* store_values(__m512i b, __m512i past, std::uint64_t starts,
                                                  wchar_t* out, bool masked) noexcept {
  const int count = static_cast<int>(__builtin_popcountll(starts));
  if (count <= 32) {
    const __m512i iota = _mm512_set_epi8(
        63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41,
        40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
        17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i positions = _mm512_maskz_compress_epi8(starts, iota);
    store_group<0>(b, past, positions, out, count, masked);
    store_group<1>(b, past, positions, out, count, masked);
    return out + count;
  }
  out = store_positions<0>(b, past, starts, out, masked);
  out = store_positions<1>(b, past, starts, out, masked);
  out = store_positions<2>(b, past, starts, out, masked);
  return store_positions<3>(b, past, starts, out, masked);
}

// Where the block loop is: the next block starts at `in`, units go to
// `out`, and `carry` marks the continuation bytes expected at in, in + 1
// and in + 2, those of the last sequence of the block before, which was
// decoded from them before they were checked.
struct stride {
  int in;
  int out;
  std::uint64_t carry;
};

// Stores the 64 ASCII bytes `b` as units at `out`: each quarter's bytes go
// to the low bytes of sixteen 32-bit lanes by one vpermb, the others zeroed.
TOVRIC_VELARN_AVX512_INLINE void widen_ascii64(__m512i b, wchar_t* out) noexcept {
  constexpr __mmask64 low_bytes = 0x1111111111111111u;
  const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  _mm512_storeu_si512(out, _mm512_maskz_permutexvar_epi8(low_bytes, lane, b));
  _mm512_storeu_si512(out + 16, _mm512_maskz_permutexvar_epi8(
                                    low_bytes, _mm512_add_epi32(lane, _mm512_set1_epi32(16)), b));
  _mm512_storeu_si512(out + 32, _mm512_maskz_permutexvar_epi8(
                                    low_bytes, _mm512_add_epi32(lane, _mm512_set1_epi32(32)), b));
  _mm512_storeu_si512(out + 48, _mm512_maskz_permutexvar_epi8(
                                    low_bytes, _mm512_add_epi32(lane, _mm512_set1_epi32(48)), b));
}

// Decodes the block at p + at.in (67 bytes readable) into units + at.out
// and moves `at` past it; returns false, `at` unchanged, when the block
// holds an error or a rejected value, or a carried byte is not a
// continuation byte.
TOVRIC_VELARN_AVX512_INLINE bool decode_block(const unsigned char* p, wchar_t* units,
                                              stride& at) noexcept {
  const unsigned char* w = p + at.in;
  wchar_t* const out = units + at.out;
  const __m512i b = _mm512_loadu_si512(w);
  if ((_mm512_movepi8_mask(b) | at.carry) == 0) {
    widen_ascii64(b, out);
    at.in += block_bytes;
    at.out += block_bytes;
    return true;
  }
  const __m512i next = _mm512_loadu_si512(w + 1);
  const __m512i past = _mm512_maskz_loadu_epi8(0x7, w + block_bytes);
  const byte_classes c = classify(b);
  // Every continuation byte belongs to the lead before it (or to the block
  // before), and no lead lacks one.
  const std::uint64_t expected = c.lead << 1 | c.lead3 << 2 | c.lead4 << 3 | at.carry;
  if ((c.cont ^ expected) != 0 || rejected(b, next) != 0) return false;
  wchar_t* const end = store_values(b, past, ~c.cont, out, false);
  at = {at.in + block_bytes, static_cast<int>(end - units), expected_past(c)};
  return true;
}

// The first sequence that `at` has not checked whole: the last one decoded
// when continuation bytes of it are still to be checked, else the next one.
TOVRIC_VELARN_AVX512_INLINE cursor checked_up_to(const unsigned char* p,
                                                 const stride& at) noexcept {
  if (at.carry == 0) return {at.in, at.out};
  int lead = at.in - 1;
  while ((p[lead] & 0xC0u) == 0x80u) --lead;
  return {lead, at.out - 1};
}

// The last bytes, fewer than a block and its lookahead, from `at`: windows
// of up to 64 bytes read with masked loads, none past p + n. Stops at an
// error, and before a sequence cut by the end or by the window.
TOVRIC_VELARN_AVX512_INLINE cursor decode_tail(const unsigned char* p, int n, wchar_t* units,
                                               cursor at) noexcept {
  while (at.in < n) {
    const unsigned char* w = p + at.in;
    const int left = n - at.in;
    const int limit = left < block_bytes ? left : block_bytes;
    const std::uint64_t in = low_bits(limit);
    const __m512i b = _mm512_maskz_loadu_epi8(in, w);
    wchar_t* const out = units + at.out;
    if (_mm512_movepi8_mask(b) == 0) {
      _mm512_mask_storeu_epi32(out, static_cast<__mmask16>(in),
                               _mm512_cvtepu8_epi32(_mm512_castsi512_si128(b)));
      _mm512_mask_storeu_epi32(out + 16, static_cast<__mmask16>(in >> 16),
                               _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 1)));
      _mm512_mask_storeu_epi32(out + 32, static_cast<__mmask16>(in >> 32),
                               _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 2)));
      _mm512_mask_storeu_epi32(out + 48, static_cast<__mmask16>(in >> 48),
                               _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 3)));
      at = {at.in + limit, at.out + limit};
      continue;
    }
    const __m512i next = _mm512_maskz_loadu_epi8(low_bits(left - 1 < 64 ? left - 1 : 64), w + 1);
    const int beyond = left - block_bytes;
    const __m512i past =
        _mm512_maskz_loadu_epi8(low_bits(beyond < 0 ? 0 : beyond), w + block_bytes);
    const byte_classes c = classify(b);
    const std::uint64_t expected = c.lead << 1 | c.lead3 << 2 | c.lead4 << 3;
    if (((c.cont ^ expected) & in) != 0) break;
    // Bit 0 is a start: a continuation byte there would have been
    // unexpected. A last sequence that runs past the window ends it at its
    // lead.
    std::uint64_t starts = ~c.cont & in;
    int consumed = limit;
    if ((expected & ~in) != 0 || expected_past(c) != 0) consumed = 63 - __builtin_clzll(starts);
    if (consumed == 0 || (rejected(b, next) & low_bits(consumed)) != 0) break;
    starts &= low_bits(consumed);
    wchar_t* const end = store_values(b, past, starts, out, true);
    at = {at.in + consumed, static_cast<int>(end - units)};
    if (consumed < limit && limit == left) break;  // cut by the end
  }
  return at;
}

}  // namespace

TOVRIC_VELARN_AVX512 cursor decode_kernel_avx512(const unsigned char* p, int n, wchar_t* units,
                                                 cursor from) noexcept {
  stride at{from.in, from.out, 0};
  // Runs of ASCII two blocks at a time, the most common text. Before a long
  // input, up to 15 ASCII bytes first align the stores to 64 bytes (a store
  // across two cache lines costs two); a short one is not worth the detour.
  if (n - at.in >= 8 * block_bytes) {
    const auto head =
        static_cast<int>((0u - reinterpret_cast<std::uintptr_t>(units + at.out)) % 64 / 4);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at.in));
    if ((_mm_movepi8_mask(first) & low_bits(head)) == 0) {
      _mm512_mask_storeu_epi32(units + at.out, static_cast<__mmask16>(low_bits(head)),
                               _mm512_cvtepu8_epi32(first));
      at.in += head;
      at.out += head;
    }
  }
  while (n - at.in >= 2 * block_bytes) {
    const unsigned char* w = p + at.in;
    const __m512i b0 = _mm512_loadu_si512(w);
    const __m512i b1 = _mm512_loadu_si512(w + block_bytes);
    if (_mm512_movepi8_mask(_mm512_or_si512(b0, b1)) != 0) break;
    widen_ascii64(b0, units + at.out);
    widen_ascii64(b1, units + at.out + block_bytes);
    at.in += 2 * block_bytes;
    at.out += 2 * block_bytes;
  }
  while (n - at.in >= block_bytes + decode_lookahead) {
    if (!decode_block(p, units, at)) return checked_up_to(p, at);
  }
  return decode_tail(p, n, units, checked_up_to(p, at));
}

}  // namespace tovric::velarn::detail
#endif
