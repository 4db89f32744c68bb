// The vector levels that a differential fuzzer runs against the scalar
// reference: every level of the table above scalar that this CPU has. The
// levels it lacks are named once on stderr, never silently replaced.
#ifndef TOVRIC_FUZZ_SIMD_LEVELS_HPP
#define TOVRIC_FUZZ_SIMD_LEVELS_HPP

#include <cstdio>
#include <vector>

#include "tovric/velarn/detail/simd_level.hpp"

inline const std::vector<tovric::velarn::utf::detail::simd_level>& vector_levels_to_fuzz(const char* fuzzer) {
  namespace utf = tovric::velarn::utf;
  static const std::vector<utf::detail::simd_level> levels = [fuzzer] {
    std::vector<utf::detail::simd_level> found;
    for (const auto& e : utf::detail::simd_levels) {
      if (e.level == utf::detail::simd_level::scalar) continue;
      if (utf::detail::cpu_has(e.level)) {
        found.push_back(e.level);
      } else {
        std::fprintf(stderr, "%s: the %s level needs %s, which this CPU lacks: not fuzzed\n", fuzzer, e.name,
                     e.needs);
      }
    }
    return found;
  }();
  return levels;
}

#endif
