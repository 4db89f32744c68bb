// Whether the CPU has AVX2, for the fuzzers that run each vector path: a
// path the CPU lacks is left out, and the fuzzer says so once.
#ifndef TOVRIC_FUZZ_CPU_HAS_AVX2_HPP
#define TOVRIC_FUZZ_CPU_HAS_AVX2_HPP

#include <cstdio>

#include "tovric/velarn/detail/simd_level.hpp"

inline bool cpu_has_avx2(const char* fuzzer) {
  namespace utf = tovric::velarn::utf;
  static const bool has = [fuzzer] {
    const bool yes = utf::detail::detect_simd_level() >= utf::detail::simd_level::avx2;
    if (!yes) std::fprintf(stderr, "%s: this CPU has no AVX2: that path is not fuzzed\n", fuzzer);
    return yes;
  }();
  return has;
}

#endif
