// The vector levels of the UTF conversions and the one table of them: which
// levels exist, their names, and what the CPU and the operating system must
// support for each. The level in use is detected once (per set of
// instruction-set options, see isa_namespace.hpp, and per shared object) and
// then read with one relaxed atomic load. Tests, fuzzers and benchmarks
// choose any level that the CPU has at run time with use_simd_level.
//
// Adding a level: one enumerator, one row of simd_levels, one test in
// cpu_has, and one kernel file per direction registered in that
// direction's table of kernels.
#ifndef TOVRIC_VELARN_DETAIL_SIMD_LEVEL_HPP
#define TOVRIC_VELARN_DETAIL_SIMD_LEVEL_HPP

#include <atomic>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include "tovric/velarn/detail/isa_namespace.hpp"

namespace tovric::velarn::utf {
inline namespace TOVRIC_VELARN_ISA_NAMESPACE {
namespace detail {

// The paths of the conversions, from the plain one-unit-at-a-time code up.
// Within one architecture a higher level needs everything that a lower one
// needs; scalar runs everywhere, sse2 to avx512 on x86-64 only, neon on
// AArch64 only. The numbers index the tables of paths (utf_encode_paths.hpp,
// the decoder's), which serve each level with its architecture's highest
// path at or below it.
enum class simd_level : int { scalar = 1, sse2 = 2, avx2 = 3, avx512 = 4, neon = 5 };

// One row per level, in the order of their numbers.
struct simd_level_entry {
  simd_level level;
  const char* name;
  const char* needs;  // what the CPU must have, for messages
};
inline constexpr simd_level_entry simd_levels[] = {
    {simd_level::scalar, "scalar", "nothing"},
    {simd_level::sse2, "sse2", "x86-64 (SSE2)"},
    {simd_level::avx2, "avx2", "AVX2 and the OS saving YMM registers"},
    {simd_level::avx512, "avx512",
     "AVX-512 F, BW, VL, CD, VBMI, VBMI2, BMI2, POPCNT and the OS saving ZMM and mask registers"},
    {simd_level::neon, "neon", "AArch64 (Advanced SIMD)"},
};

// The highest level number of the table: the last index of the tables of
// paths by level.
constexpr int top_simd_level() noexcept {
  int top = 0;
  for (const simd_level_entry& e : simd_levels) {
    if (static_cast<int>(e.level) > top) top = static_cast<int>(e.level);
  }
  return top;
}

// The row of `level`, or null.
constexpr const simd_level_entry* find_simd_level(simd_level level) noexcept {
  for (const simd_level_entry& e : simd_levels) {
    if (e.level == level) return &e;
  }
  return nullptr;
}

// The row named `name`, or null.
inline const simd_level_entry* find_simd_level(const char* name) noexcept {
  for (const simd_level_entry& e : simd_levels) {
    if (std::strcmp(e.name, name) == 0) return &e;
  }
  return nullptr;
}

#if defined(__x86_64__)
// What the CPU reports: CPUID leaves 1 and 7 and the OS-enabled state
// components in XCR0.
struct cpu_features {
  unsigned leaf1_ecx = 0;
  unsigned leaf7_ebx = 0;
  unsigned leaf7_ecx = 0;
  unsigned long long xcr0 = 0;
};

inline cpu_features read_cpu_features() noexcept {
  cpu_features f;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return f;
  f.leaf1_ecx = ecx;
  if ((ecx & (1u << 27)) != 0) {  // OSXSAVE: xgetbv may be executed
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    f.xcr0 = static_cast<unsigned long long>(high) << 32 | low;
  }
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
    f.leaf7_ebx = ebx;
    f.leaf7_ecx = ecx;
  }
  return f;
}
#endif

// Whether the CPU and the operating system support `level`.
inline bool cpu_has(simd_level level) noexcept {
#if defined(__x86_64__)
  const cpu_features f = read_cpu_features();
  const bool ymm = (f.leaf1_ecx & (1u << 27)) != 0 && (f.leaf1_ecx & (1u << 28)) != 0 &&  // OSXSAVE, AVX
                   (f.xcr0 & 0x6u) == 0x6u;                                                // SSE, AVX state
  const bool avx2 = ymm && (f.leaf7_ebx & (1u << 5)) != 0;
  switch (level) {
    case simd_level::scalar:
    case simd_level::sse2: return true;
    case simd_level::avx2: return avx2;
    case simd_level::avx512:
      return avx2 && (f.xcr0 & 0xE0u) == 0xE0u &&  // opmask, ZMM_Hi256, Hi16_ZMM state
             (f.leaf7_ebx & (1u << 16)) != 0 &&    // AVX512F
             (f.leaf7_ebx & (1u << 30)) != 0 &&    // AVX512BW
             (f.leaf7_ebx & (1u << 31)) != 0 &&    // AVX512VL
             (f.leaf7_ebx & (1u << 28)) != 0 &&    // AVX512CD
             (f.leaf7_ebx & (1u << 8)) != 0 &&     // BMI2
             (f.leaf1_ecx & (1u << 23)) != 0 &&    // POPCNT
             (f.leaf7_ecx & (1u << 1)) != 0 &&     // AVX512_VBMI
             (f.leaf7_ecx & (1u << 6)) != 0;       // AVX512_VBMI2
    case simd_level::neon: return false;
  }
  return false;
#elif defined(__aarch64__)
  // Advanced SIMD is part of every AArch64 CPU.
  return level == simd_level::scalar || level == simd_level::neon;
#else
  return level == simd_level::scalar;
#endif
}

// The highest level that the CPU supports (the levels of one architecture
// rise with their numbers).
inline simd_level detect_simd_level() noexcept {
  simd_level best = simd_level::scalar;
  for (const simd_level_entry& e : simd_levels) {
    if (cpu_has(e.level)) best = e.level;
  }
  return best;
}

// The level in use; 0 until first asked for or chosen.
inline std::atomic<int> simd_level_in_use{0};

// The first calls' detection, out of line so that the callers' fast path
// stays a load and a test. The first calls may race to detect; they all
// store the same value, and none overwrites a level already chosen.
__attribute__((noinline, cold)) inline simd_level first_simd_level() noexcept {
  int level = 0;
  const int detected = static_cast<int>(detect_simd_level());
  simd_level_in_use.compare_exchange_strong(level, detected, std::memory_order_relaxed);
  return static_cast<simd_level>(level == 0 ? detected : level);
}

// The level in use: the detected one unless use_simd_level chose another.
inline simd_level current_simd_level() noexcept {
  const int level = simd_level_in_use.load(std::memory_order_relaxed);
  if (level == 0) return first_simd_level();
  return static_cast<simd_level>(level);
}

// Makes the conversions use `level` from now on, so that a test or a
// benchmark can run each path from the same compiled code: convert_buffer
// as compiled with the caller's instruction-set options, and the library
// code linked into the same program with those options (a shared library
// keeps its own level). Returns false, and changes nothing, when the CPU
// lacks `level` or there is no such level: a path is never silently
// replaced by another.
inline bool use_simd_level(simd_level level) noexcept {
  if (find_simd_level(level) == nullptr || !cpu_has(level)) return false;
  simd_level_in_use.store(static_cast<int>(level), std::memory_order_relaxed);
  return true;
}

}  // namespace detail
}  // namespace TOVRIC_VELARN_ISA_NAMESPACE
}  // namespace tovric::velarn::utf

#endif
