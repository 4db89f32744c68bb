// Reading and writing MXCSR and the x87 control word in tests, and a guard
// that gives the test's own context its settings back.
#ifndef TOVRIC_TESTS_CONTEXT_FP_SETTINGS_HPP
#define TOVRIC_TESTS_CONTEXT_FP_SETTINGS_HPP

#include <cstdint>

namespace context_test {

inline constexpr std::uint32_t mxcsr_rounding = 0x6000;  // RC field
inline constexpr std::uint32_t mxcsr_round_up = 0x4000;
inline constexpr std::uint32_t mxcsr_round_down = 0x2000;
inline constexpr std::uint32_t mxcsr_round_zero = 0x6000;
inline constexpr std::uint32_t mxcsr_flags = 0x003f;  // sticky status bits
inline constexpr std::uint32_t mxcsr_divide_by_zero = 0x0004;
inline constexpr std::uint16_t x87_precision = 0x0300;  // PC field
inline constexpr std::uint16_t x87_single = 0x0000;
inline constexpr std::uint16_t x87_rounding = 0x0c00;  // RC field
inline constexpr std::uint16_t x87_round_down = 0x0400;
inline constexpr std::uint16_t x87_round_up = 0x0800;

inline std::uint32_t mxcsr() {
  std::uint32_t v;
  asm volatile("stmxcsr %0" : "=m"(v)::"memory");
  return v;
}
inline void set_mxcsr(std::uint32_t v) { asm volatile("ldmxcsr %0" ::"m"(v) : "memory"); }
inline std::uint16_t x87_control() {
  std::uint16_t v;
  asm volatile("fnstcw %0" : "=m"(v)::"memory");
  return v;
}
inline void set_x87_control(std::uint16_t v) { asm volatile("fldcw %0" ::"m"(v) : "memory"); }

inline void set_mxcsr_rounding(std::uint32_t rc) { set_mxcsr((mxcsr() & ~mxcsr_rounding) | rc); }

// Restores the MXCSR and x87 control word of the scope's start.
class fp_settings_guard {
 public:
  fp_settings_guard() : saved_mxcsr(mxcsr()), saved_x87(x87_control()) {}
  ~fp_settings_guard() {
    set_mxcsr(saved_mxcsr);
    set_x87_control(saved_x87);
  }
  fp_settings_guard(const fp_settings_guard&) = delete;
  fp_settings_guard& operator=(const fp_settings_guard&) = delete;

 private:
  std::uint32_t saved_mxcsr;
  std::uint16_t saved_x87;
};

}  // namespace context_test

#endif
