// The one driver of utf::convert_buffer's vector paths: it runs a block
// kernel over the units and keeps the whole contract of convert_buffer (room
// checks, the exact stop, the terminator, the result); the kernels only
// encode blocks.
//
// A kernel is a struct with
//   static constexpr std::size_t block_units;
//   static std::size_t encode_block(const void* in, unsigned char* out);
//     encodes the block_units units at `in` (any alignment) at `out`, an
//     invalid unit as U+FFFD, and returns the length of the sequences; writes
//     at most 4 * block_units bytes, the ones past the sequences 0.
//   static constexpr bool has_partial;
//   static std::size_t encode_partial(const void* in, std::size_t units,
//                                     unsigned char* out, std::size_t room);
//     (when has_partial) the same for 1 to block_units units, reading only
//     those: writes exactly the sequences and returns their length when it is
//     at most `room`, else writes nothing and returns a value above `room`.
//
// Each kernel file defines its path as a function compiled for the kernel's
// instruction set (and flattened) whose body is convert_blocks<kernel>. The
// kernel's functions cannot be forced inline into the driver, which is
// baseline code until it is inlined into that path; the driver is flattened
// instead, and so the block code lands in the loop of the path.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_DRIVER_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_DRIVER_HPP

#include <cstddef>
#include <cstring>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/utf_encode_scalar.hpp"

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// Converts [begin, end) into `buffer` of `size` bytes exactly as
// convert_buffer_scalar does, in blocks of Kernel::block_units units: whole
// blocks straight into the buffer while the longest encoding of a block fits
// in the room left; then, with a partial-block kernel, blocks and the last
// units with their room checked by the kernel, else blocks through a scratch
// area, copied when they fit. The units that remain (the last ones, or from
// the first block that does not fit) go unit by unit, which stops exactly
// before the first unit that does not fit.
template <typename Kernel, typename Byte, typename Unit>
__attribute__((always_inline, flatten)) inline Byte* convert_blocks(Byte* buffer, std::size_t size, const Unit* begin,
                                                           const Unit* end) noexcept {
  static_assert(sizeof(Byte) == 1 && sizeof(Unit) == 4, "UTF-32 units to bytes");
  constexpr std::size_t block = Kernel::block_units;
  constexpr std::size_t block_room = 4 * block;
  if (size == 0) return nullptr;
  auto* out = reinterpret_cast<unsigned char*>(buffer);
  std::size_t room = size - 1;
  const Unit* in = begin;
  while (static_cast<std::size_t>(end - in) >= block && room >= block_room) {
    const std::size_t n = Kernel::encode_block(in, out);
    in += block;
    out += n;
    room -= n;
  }
  if constexpr (Kernel::has_partial) {
    while (in != end) {
      const auto left = static_cast<std::size_t>(end - in);
      const std::size_t units = left < block ? left : block;
      const std::size_t n = Kernel::encode_partial(in, units, out, room);
      if (n > room) break;
      in += units;
      out += n;
      room -= n;
    }
  } else {
    while (static_cast<std::size_t>(end - in) >= block) {
      alignas(64) unsigned char scratch[block_room];
      const std::size_t n = Kernel::encode_block(in, scratch);
      if (n > room) break;
      std::memcpy(out, scratch, n);
      in += block;
      out += n;
      room -= n;
    }
  }
  if (in == end) {
    *out = 0;
    return buffer;
  }
  return convert_units_scalar(buffer, reinterpret_cast<Byte*>(out), room, in, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
