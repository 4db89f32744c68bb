// tovric::velarn::utf: bounded conversion of wide (UTF-32) units to a
// NUL-terminated UTF-8 string in a buffer that the caller supplies.
//
// The conversion is compiled in the including file. Everything of it that
// the compiler may build differently with that file's instruction-set
// options (-mavx2, -march=native) lives in an inline namespace named after
// those options (detail/isa_namespace.hpp): a program whose files are built
// with different options holds one copy per set, and each file runs the
// copy built with its own, so a baseline file never runs AVX code on a CPU
// without AVX because another file was built with -mavx2.
#ifndef TOVRIC_VELARN_UTF_HPP
#define TOVRIC_VELARN_UTF_HPP

#include "tovric/detail/language.hpp"

#include <cstddef>
#include <cstdint>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode_paths.hpp"
#include "tovric/velarn/detail/utf_encode_scalar.hpp"

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {

// Converts the units [begin, end) to UTF-8 into `buffer`, which holds `size`
// bytes, the terminating NUL included. Each unit is encoded in 1 to 4 bytes;
// a surrogate or a value above 0x10FFFF (every value with the top bit set
// included) becomes U+FFFD (EF BF BD). A zero unit is written as a 0 byte and
// the conversion goes on: the range, not a terminator, bounds the input.
//
// Returns `buffer` when every unit was converted. Returns null when `size` is
// 0 (the buffer is untouched) or when a unit's encoding does not fit in what
// is left of size - 1 bytes: the buffer then holds the complete encodings of
// the units before that one, NUL-terminated, and no later unit is tried.
// Nothing outside the `size` bytes is touched; bytes after the terminator
// may have been set to 0. Never allocates, never throws.
//
// Blocks of units are encoded with the widest vector kernel that the CPU
// has (utf_encode_paths.hpp); every path gives exactly the unit-by-unit
// result.
template <typename Byte, typename Unit>
Byte* convert_buffer(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  if constexpr (sizeof(Byte) == 1 && sizeof(Unit) == 4) {
    return detail::convert_buffer_in_use(buffer, size, begin, end);
  } else {
    return detail::convert_buffer_scalar(buffer, size, begin, end);
  }
}

}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
