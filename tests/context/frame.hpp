// The saved frame as the tests see it on each processor: the layout header
// the routines use, where the frame keeps the floating-point control word
// and a prepared context's entry function, which fields make_fcontext
// writes, and what the register probes (probes_<processor>.S) report.
#ifndef TOVRIC_TESTS_CONTEXT_FRAME_HPP
#define TOVRIC_TESTS_CONTEXT_FRAME_HPP

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "tovric/context/detail/stack_record.hpp"  // the layout of this processor

namespace context_test {

struct frame_field_span {
  std::size_t offset, bytes;
};

#if defined(__x86_64__)
inline constexpr std::size_t frame_fp_control = TOVRIC_CONTEXT_FRAME_MXCSR;
inline constexpr std::size_t frame_entry = TOVRIC_CONTEXT_FRAME_RBX;
// A function finds its return address on top of the stack at its first
// instruction (8 bytes), not in a register.
inline constexpr std::size_t return_address_bytes = 8;
inline const std::vector<frame_field_span> fields_make_writes = {
    {TOVRIC_CONTEXT_FRAME_MXCSR, 4}, {TOVRIC_CONTEXT_FRAME_X87_CW, 2},
    {TOVRIC_CONTEXT_FRAME_RBX, 8},   {TOVRIC_CONTEXT_FRAME_RBP, 8},
    {TOVRIC_CONTEXT_FRAME_RESUME, 8}};
// switch_probe: rbx rbp r12-r15.
inline const std::vector<std::uint64_t> preserved_known = {0x0b0b, 0x0d0d, 0x1212,
                                                           0x1313, 0x1414, 0x1515};
// make_probe: {register number in out[], value after the call} of every
// register make_fcontext leaves alone (besides its arguments).
inline const std::vector<std::pair<int, std::uint64_t>> make_keeps = {
    {1, 0x0b0b}, {6, 0x0d0d},  {8, 0x0808},  {9, 0x0909},  {10, 0x1010},
    {12, 0x1212}, {13, 0x1313}, {14, 0x1414}, {15, 0x1515}};
inline constexpr int make_result = 0, make_size = 4, make_entry = 3;
#else
#if defined(__aarch64__)
inline constexpr std::size_t frame_fp_control = TOVRIC_CONTEXT_FRAME_FPCR;
inline constexpr std::size_t frame_entry = TOVRIC_CONTEXT_FRAME_X19;
inline constexpr std::size_t preserved_count = 19;  // x19-x29, d8-d15
inline constexpr int make_result = 0, make_size = 1, make_entry = 2;
inline const std::vector<int> make_known_registers = {3,  4,  5,  6,  7,  8,  10, 11,
                                                      12, 13, 14, 15, 18, 19, 20, 21,
                                                      22, 23, 24, 25, 26, 27, 28};
#else
inline constexpr std::size_t frame_fp_control = TOVRIC_CONTEXT_FRAME_FRM;
inline constexpr std::size_t frame_entry = TOVRIC_CONTEXT_FRAME_S1;
inline constexpr std::size_t preserved_count = 24;  // s0-s11, fs0-fs11
inline constexpr int make_result = 10, make_size = 11, make_entry = 12;
inline const std::vector<int> make_known_registers = {6,  7,  8,  9,  13, 14, 15, 16,
                                                      17, 18, 19, 20, 21, 22, 23, 24,
                                                      25, 26, 27, 28, 29, 30, 31};
#endif
// The return address is in a register (x30, ra); the stack pointer at a
// function's first instruction is 16-aligned.
inline constexpr std::size_t return_address_bytes = 0;
inline const std::vector<frame_field_span> fields_make_writes = {
    {frame_fp_control, 8}, {frame_entry, 8}, {TOVRIC_CONTEXT_FRAME_RESUME, 8}};
inline const std::vector<std::uint64_t> preserved_known = [] {
  std::vector<std::uint64_t> v;
  for (std::uint64_t i = 0; i < preserved_count; ++i) v.push_back(0x5a00 + i);
  return v;
}();
inline const std::vector<std::pair<int, std::uint64_t>> make_keeps = [] {
  std::vector<std::pair<int, std::uint64_t>> v;
  for (int r : make_known_registers) v.emplace_back(r, 0x1000 + r);
  return v;
}();
#endif

}  // namespace context_test

#endif
