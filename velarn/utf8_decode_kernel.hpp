// The contract between the UTF-8 decoder's driver (utf8_decode.cpp) and its
// kernels, one per instruction set, each in its own file.
//
// A kernel decodes from a cursor whole blocks of well-formed text, reading
// at most decode_lookahead (3) bytes past a block and nothing outside
// [p, p + n), and returns at the first block it does not take (an error, a
// rejected value, a sequence cut by the end), every unit before that point
// final. The driver decodes the next block_bytes bytes from there unit by
// unit and calls the kernel again; what no kernel takes at the end goes
// unit by unit. The block loop is the kernel's own, so that it is compiled
// for the kernel's instruction set and costs no call per block.
//
// Internal to the library.
#ifndef TOVRIC_VELARN_UTF8_DECODE_KERNEL_HPP
#define TOVRIC_VELARN_UTF8_DECODE_KERNEL_HPP

#include <cstdint>

#include "tovric/velarn/detail/simd_level.hpp"

namespace tovric::velarn::detail {

// A decoding position: bytes consumed and units stored so far.
struct cursor {
  int in;
  int out;
};

// The bytes past a block that any kernel may read: the rest of a sequence
// that starts in the block's last byte.
inline constexpr int decode_lookahead = 3;

// Decodes p[0, n) from `at` (a sequence boundary) into units[at.out...]
// (room for one unit per byte of p) as far as the kernel goes; returns
// where it stopped, at a sequence boundary.
using decode_kernel_fn = cursor (*)(const unsigned char* p, int n, wchar_t* units,
                                    cursor at) noexcept;

// One row of the table of kernels: the level it serves, its function, and
// the bytes its blocks hold (what the driver decodes unit by unit when the
// kernel stops before the end).
struct decode_kernel {
  utf::detail::simd_level level;
  decode_kernel_fn decode;
  int block_bytes;
};

// The scalar decoder: the sequences of p[0, n) that start from `at` up to
// at least `stop`, units from units[at.out]; returns where it stopped: at or
// past `stop`, or before it at the lead of a sequence cut by n. The
// reference of every kernel.
cursor decode_scalar_until(const unsigned char* p, int n, int stop, wchar_t* units,
                           cursor at) noexcept;

#if defined(__x86_64__)
// 16-byte blocks with SSE2 (any x86-64 CPU).
cursor decode_kernel_sse2(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept;
// 32-byte blocks with AVX2, then 16-byte ones; only for a CPU that has it.
cursor decode_kernel_avx2(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept;
// 64-byte blocks with AVX-512 (F, BW, VBMI, VBMI2), a masked tail; only for
// a CPU that has the avx512 level.
cursor decode_kernel_avx512(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept;
#elif defined(__aarch64__)
// 16-byte blocks with NEON (any AArch64 CPU).
cursor decode_kernel_neon(const unsigned char* p, int n, wchar_t* units, cursor at) noexcept;
#endif

}  // namespace tovric::velarn::detail

#endif
