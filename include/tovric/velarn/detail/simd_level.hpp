// The vector instruction set that the UTF conversions use on this CPU:
// SSE2, which every x86-64 CPU has, or AVX2 where the CPU and the operating
// system support it. Detected once per program (per shared object) and then
// read with one relaxed atomic load.
#ifndef TOVRIC_VELARN_DETAIL_SIMD_LEVEL_HPP
#define TOVRIC_VELARN_DETAIL_SIMD_LEVEL_HPP

#include <atomic>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace tovric::velarn::utf::detail {

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

// The level in use: the detected one, lowered to TOVRIC_VELARN_SIMD_LIMIT
// (1 scalar, 2 SSE2, 3 AVX2) where a test or benchmark build defines that
// macro to run a given path on any machine. The first calls may race to
// detect; they all store the same value.
inline simd_level current_simd_level() noexcept {
  static std::atomic<int> cached{0};
  int level = cached.load(std::memory_order_relaxed);
  if (level == 0) {
    level = static_cast<int>(detect_simd_level());
#ifdef TOVRIC_VELARN_SIMD_LIMIT
    if (level > TOVRIC_VELARN_SIMD_LIMIT) level = TOVRIC_VELARN_SIMD_LIMIT;
#endif
    cached.store(level, std::memory_order_relaxed);
  }
  return static_cast<simd_level>(level);
}

}  // namespace tovric::velarn::utf::detail

#endif
