// UTF-8 to UTF-32 decoding for the console output buffer: one unit per
// character, one U+FFFD per malformed sequence or stray byte, and a sequence
// cut by the end of the input left undecoded for the caller. Internal to the
// library; tests choose the path with utf::detail::use_simd_level.
#ifndef TOVRIC_VELARN_UTF8_DECODE_HPP
#define TOVRIC_VELARN_UTF8_DECODE_HPP

#include "tovric/velarn/detail/simd_level.hpp"

namespace tovric::velarn::detail {

// Decodes the n bytes at p (0 <= n) into `units`, which has room for n
// units, and sets `count` to the units stored. Returns the bytes consumed:
// n, or less where the last sequence is cut by p + n (its bytes are not
// consumed). Malformed input: a byte that cannot start a sequence (80-C1,
// F5-FF) is one U+FFFD; a sequence broken by a byte that is not a
// continuation byte is one U+FFFD, and decoding goes on at that byte; a
// complete sequence whose value is overlong, a surrogate or above 0x10FFFF
// is one U+FFFD for its lead byte alone, and decoding goes on after it.
// Reads nothing outside [p, p + n) and writes nothing outside the n units.
// Uses the kernel of decoder_simd_level().
int decode_utf8(const unsigned char* p, int n, wchar_t* units, int& count) noexcept;

// The level whose kernel decode_utf8 runs: the level in use in the
// library's code (utf::detail::current_simd_level as compiled there), the
// highest that the CPU has unless utf::detail::use_simd_level chose another.
utf::detail::simd_level decoder_simd_level() noexcept;

// The same, unit by unit: the reference of every kernel.
int decode_utf8_scalar(const unsigned char* p, int n, wchar_t* units, int& count) noexcept;

}  // namespace tovric::velarn::detail

#endif
