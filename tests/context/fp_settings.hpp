// Reading and writing the floating-point control state that travels with a
// context (MXCSR and the x87 control word on x86-64, FPCR on AArch64, frm
// on RISC-V) in tests, and a guard that gives the test's own context its
// settings back. The rounding helpers mean the same on every processor.
#ifndef TOVRIC_TESTS_CONTEXT_FP_SETTINGS_HPP
#define TOVRIC_TESTS_CONTEXT_FP_SETTINGS_HPP

#include <cstdint>

namespace context_test {

#if defined(__x86_64__)
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

// The register whose rounding field the generic helpers below use, as the
// saved frame holds it.
using fp_control_word = std::uint32_t;
inline fp_control_word fp_control() { return mxcsr(); }
inline void set_fp_control(fp_control_word v) { set_mxcsr(v); }
inline constexpr fp_control_word rounding_field = mxcsr_rounding;
inline constexpr fp_control_word round_up = mxcsr_round_up;
inline constexpr fp_control_word round_down = mxcsr_round_down;
inline constexpr fp_control_word round_zero = mxcsr_round_zero;
#elif defined(__aarch64__)
using fp_control_word = std::uint64_t;  // FPCR
inline fp_control_word fp_control() {
  fp_control_word v;
  asm volatile("mrs %0, fpcr" : "=r"(v)::"memory");
  return v;
}
inline void set_fp_control(fp_control_word v) { asm volatile("msr fpcr, %0" ::"r"(v) : "memory"); }
inline constexpr fp_control_word rounding_field = 0x3u << 22;  // RMode
inline constexpr fp_control_word round_up = 0x1u << 22;
inline constexpr fp_control_word round_down = 0x2u << 22;
inline constexpr fp_control_word round_zero = 0x3u << 22;
#elif defined(__riscv) && __riscv_xlen == 64
using fp_control_word = std::uint64_t;  // frm, as the frame holds it
inline fp_control_word fp_control() {
  fp_control_word v;
  asm volatile("frrm %0" : "=r"(v)::"memory");
  return v;
}
inline void set_fp_control(fp_control_word v) { asm volatile("fsrm %0" ::"r"(v) : "memory"); }
inline constexpr fp_control_word rounding_field = 0x7;
inline constexpr fp_control_word round_zero = 1;  // RTZ
inline constexpr fp_control_word round_down = 2;  // RDN
inline constexpr fp_control_word round_up = 3;    // RUP
#else
#error "no floating-point control helpers for this processor"
#endif

inline fp_control_word rounding() { return fp_control() & rounding_field; }
inline void set_rounding(fp_control_word r) { set_fp_control((fp_control() & ~rounding_field) | r); }

// Restores the floating-point control state of the scope's start.
class fp_settings_guard {
 public:
  fp_settings_guard() : saved(fp_control()) {}
  ~fp_settings_guard() {
    set_fp_control(saved);
#if defined(__x86_64__)
    set_x87_control(saved_x87);
#endif
  }
  fp_settings_guard(const fp_settings_guard&) = delete;
  fp_settings_guard& operator=(const fp_settings_guard&) = delete;

 private:
  fp_control_word saved;
#if defined(__x86_64__)
  std::uint16_t saved_x87 = x87_control();
#endif
};

}  // namespace context_test

#endif
