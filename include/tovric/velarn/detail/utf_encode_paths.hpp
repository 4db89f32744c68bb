// The one table of what utf::convert_buffer runs on each vector level
// (simd_level.hpp): one row per path of this architecture, lowest level
// first, each the path of a kernel file. Adding a kernel is its file and its
// row here.
#ifndef TOVRIC_VELARN_DETAIL_UTF_ENCODE_PATHS_HPP
#define TOVRIC_VELARN_DETAIL_UTF_ENCODE_PATHS_HPP

#include <cstddef>

#include "tovric/velarn/detail/isa_namespace.hpp"
#include "tovric/velarn/detail/simd_level.hpp"
#include "tovric/velarn/detail/utf_encode_scalar.hpp"
#if defined(__x86_64__)
#include "tovric/velarn/detail/utf_encode_avx2.hpp"
#include "tovric/velarn/detail/utf_encode_avx512.hpp"
#include "tovric/velarn/detail/utf_encode_sse2.hpp"
#elif defined(__aarch64__)
#include "tovric/velarn/detail/utf_encode_neon.hpp"
#endif

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

template <typename Byte, typename Unit>
struct encode_path {
  simd_level level;
  Byte* (*convert)(Byte*, std::size_t, const Unit*, const Unit*) noexcept;
};

// The paths of this architecture's levels, lowest first (a level it lacks
// is never detected nor accepted by use_simd_level).
template <typename Byte, typename Unit>
inline constexpr encode_path<Byte, Unit> encode_paths[] = {
    {simd_level::scalar, &convert_buffer_scalar<Byte, Unit>},
#if defined(__x86_64__)
    {simd_level::sse2, &convert_buffer_sse2<Byte, Unit>},
    {simd_level::avx2, &convert_buffer_avx2<Byte, Unit>},
    {simd_level::avx512, &convert_buffer_avx512<Byte, Unit>},
#elif defined(__aarch64__)
    {simd_level::neon, &convert_buffer_neon<Byte, Unit>},
#endif
};

// The path that serves each level, by the level's number: the highest row
// at or below it, so that a call reads one entry.
template <typename Byte, typename Unit>
struct encode_paths_by_level {
  Byte* (*convert[top_simd_level() + 1])(Byte*, std::size_t, const Unit*, const Unit*) noexcept;
};
template <typename Byte, typename Unit>
constexpr encode_paths_by_level<Byte, Unit> make_encode_paths_by_level() {
  encode_paths_by_level<Byte, Unit> t{};
  for (int level = 0; level <= top_simd_level(); ++level) {
    t.convert[level] = encode_paths<Byte, Unit>[0].convert;
    for (const auto& row : encode_paths<Byte, Unit>) {
      if (static_cast<int>(row.level) <= level) t.convert[level] = row.convert;
    }
  }
  return t;
}
template <typename Byte, typename Unit>
inline constexpr encode_paths_by_level<Byte, Unit> encode_path_for = make_encode_paths_by_level<Byte, Unit>();

// The path of the level in use.
template <typename Byte, typename Unit>
inline Byte* convert_buffer_in_use(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  return encode_path_for<Byte, Unit>.convert[static_cast<int>(current_simd_level())](buffer, size, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
