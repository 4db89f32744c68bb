// The scalar UTF-8 decoder: one sequence at a time, the rules of
// utf8_decode.hpp spelled out. It is the reference that every kernel is
// tested against, the path of the blocks that a kernel does not take, and
// the whole decoder where no kernel runs.
#include <cstdint>
#include <cstring>

#include "utf8_decode.hpp"
#include "utf8_decode_kernel.hpp"

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

}  // namespace

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


int decode_utf8_scalar(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
  const cursor end = decode_scalar_until(p, n, n, units, {0, 0});
  count = end.out;
  return end.in;
}

}  // namespace tovric::velarn::detail
