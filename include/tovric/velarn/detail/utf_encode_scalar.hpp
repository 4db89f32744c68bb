// utf::convert_buffer unit by unit: the reference that every vector path
// must match byte for byte (tests and fuzzers compare against it), the path
// of CPUs without a vector kernel, and the exact stop of the vector paths
// once a block no longer fits.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_SCALAR_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_SCALAR_HPP

#include <cstddef>
#include <cstdint>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode.hpp"

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// Converts [in, end) at `out` with `room` bytes left before the terminator's
// byte, unit by unit, and terminates; returns `buffer`, or null (with the
// units that fit written and terminated) when a unit does not fit. Runs of
// ASCII are copied eight units at a time, tested as four 64-bit words. Room
// is checked per unit only once fewer than four bytes per remaining unit are
// left. Never inlined: the vector paths (flattened) share one copy for
// their last units.
template <typename Byte, typename Unit>
__attribute__((noinline)) Byte* convert_units_scalar(Byte* buffer, Byte* out, std::size_t room, const Unit* in,
                                                     const Unit* end) noexcept {
  while (in != end) {
    // Units that fit whatever they are: four bytes of room each.
    const std::size_t left = static_cast<std::size_t>(end - in);
    const std::size_t safe = left < room / 4 ? left : room / 4;
    if (safe == 0) {
      // Near the end of the room: one unit, checked.
      const std::uint32_t u = unit_value(*in);
      const std::size_t length = encoded_length(u);
      if (length > room) {
        *out = Byte{0};
        return nullptr;
      }
      out = encode_unit(u, out);
      room -= length;
      ++in;
      continue;
    }
    const Unit* const stop = in + safe;
    Byte* const start = out;
    while (in != stop) {
      const std::uint32_t u = unit_value(*in);
      if (u < 0x80u) {
        // A lone ASCII unit (a space between words of another script) does
        // not pay for the eight-unit test.
        if (stop - in >= 8 && unit_value(in[1]) < 0x80u && copy_ascii8(in, out)) {
          in += 8;
          out += 8;
          continue;
        }
        *out++ = static_cast<Byte>(u);
        ++in;
        continue;
      }
      out = encode_multibyte_unit(u, out);
      ++in;
    }
    room -= static_cast<std::size_t>(out - start);
  }
  *out = Byte{0};
  return buffer;
}

// Unit by unit.
template <typename Byte, typename Unit>
Byte* convert_buffer_scalar(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  if (size == 0) return nullptr;
  return convert_units_scalar(buffer, buffer, size - 1, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
