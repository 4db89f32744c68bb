// The one table of what utf::convert_buffer runs on each vector level
// (simd_level.hpp): one row per level, lowest first, each the path of a
// kernel file. Adding a kernel is its file and its row here.
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
#endif

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

template <typename Byte, typename Unit>
struct encode_path {
  simd_level level;
  Byte* (*convert)(Byte*, std::size_t, const Unit*, const Unit*) noexcept;
};

// Row k is level k + 1; the levels of this architecture only (a level it
// lacks is never detected nor accepted by use_simd_level).
template <typename Byte, typename Unit>
inline constexpr encode_path<Byte, Unit> encode_paths[] = {
    {simd_level::scalar, &convert_buffer_scalar<Byte, Unit>},
#if defined(__x86_64__)
    {simd_level::sse2, &convert_buffer_sse2<Byte, Unit>},
    {simd_level::avx2, &convert_buffer_avx2<Byte, Unit>},
    {simd_level::avx512, &convert_buffer_avx512<Byte, Unit>},
#endif
    // aarch64: the NEON kernel goes here, {simd_level::neon,
    // &convert_buffer_neon<Byte, Unit>} from utf_encode_neon.hpp, once the
    // level table has a neon level.
};

// Whether every row sits at its level's index.
template <typename Byte, typename Unit>
constexpr bool encode_paths_in_level_order() {
  int k = 1;
  for (const auto& row : encode_paths<Byte, Unit>) {
    if (static_cast<int>(row.level) != k++) return false;
  }
  return true;
}

// The path of the level in use.
template <typename Byte, typename Unit>
inline Byte* convert_buffer_in_use(Byte* buffer, std::size_t size, const Unit* begin, const Unit* end) noexcept {
  static_assert(encode_paths_in_level_order<Byte, Unit>(), "one row per level, lowest first");
  return encode_paths<Byte, Unit>[static_cast<int>(current_simd_level()) - 1].convert(buffer, size, begin, end);
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
