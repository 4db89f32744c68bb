// The vector instruction set that the UTF conversions use: SSE2, which
// every x86-64 CPU has, or AVX2 where the CPU and the operating system
// support it. Detected once (per set of instruction-set options, see
// isa_namespace.hpp, and per shared object) and then read with one relaxed
// atomic load. Tests and benchmarks choose a lower level, or any level the
// CPU has, at run time with use_simd_level.
#ifndef TOVRIC_VELARN_DETAIL_SIMD_LEVEL_HPP
#define TOVRIC_VELARN_DETAIL_SIMD_LEVEL_HPP

#include <atomic>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include "tovric/velarn/detail/isa_namespace.hpp"

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// The paths of the conversions, from the plain one-unit-at-a-time code up.
enum class simd_level : int { scalar = 1, sse2 = 2, avx2 = 3 };

// Asks the CPU. AVX2 counts only if the operating system saves the YMM
// registers (OSXSAVE and XCR0 bits 1 and 2).
inline simd_level detect_simd_level() noexcept {
#if defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return simd_level::sse2;
  const bool osxsave = (ecx & (1u << 27)) != 0;
  const bool avx = (ecx & (1u << 28)) != 0;
  if (!osxsave || !avx) return simd_level::sse2;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if ((xcr0_low & 6u) != 6u) return simd_level::sse2;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return simd_level::sse2;
  return (ebx & (1u << 5)) != 0 ? simd_level::avx2 : simd_level::sse2;
#else
  return simd_level::scalar;
#endif
}

// The level in use; 0 until first asked for or chosen.
inline std::atomic<int> simd_level_in_use{0};

// The level in use: the detected one unless use_simd_level chose another.
// The first calls may race to detect; they all store the same value, and
// none overwrites a level already chosen.
inline simd_level current_simd_level() noexcept {
  int level = simd_level_in_use.load(std::memory_order_relaxed);
  if (level == 0) {
    const int detected = static_cast<int>(detect_simd_level());
    simd_level_in_use.compare_exchange_strong(level, detected, std::memory_order_relaxed);
    if (level == 0) level = detected;
  }
  return static_cast<simd_level>(level);
}

// Makes the conversions use `level` from now on, so that a test or a
// benchmark can run each path from the same compiled code: convert_buffer
// as compiled with the caller's instruction-set options, and the library
// code linked into the same program with those options (a shared library
// keeps its own level). Returns false, and changes nothing, when the CPU
// lacks `level`: a path is never silently replaced by another.
inline bool use_simd_level(simd_level level) noexcept {
  if (level < simd_level::scalar || level > detect_simd_level()) return false;
  simd_level_in_use.store(static_cast<int>(level), std::memory_order_relaxed);
  return true;
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
