// Where a context is, as the sanitizers must be told before a switch to it:
// the records that protected_stack and the switch wrappers keep, and how a
// record is found from the handle of a context, which is all that a switch is
// given.
//
// - Every protected_stack has a record in the 64 bytes just above its top(),
//   written by its constructor in every build: the stack's bounds and TSan's
//   fiber for the context that runs on it.
// - Every switch made by the wrappers leaves a record of the context it
//   suspends in the frame of the wrapper that suspends it: the bounds of that
//   context's stack (learnt from ASan when the switch completes), its TSan
//   fiber and ASan's fake stack of it. It lives as long as the suspension.
// - The record of a context is named in the 16 bytes just below the context's
//   frame (the handle): its address and the address xor a key. Below a frame
//   prepared at a protected_stack's top() the constructor names the stack's
//   record; below a suspended frame the side that arrived after the switch
//   names the suspension's record (the bytes below a suspended context's
//   frame belong to no one until it is resumed). Lookup reads those 16 bytes
//   only, inside the context's own stack, and reads the record only if the
//   key matches: a context on memory the kit never saw is told apart without
//   reading anything outside it.
#ifndef TOVRIC_CONTEXT_DETAIL_STACK_RECORD_HPP
#define TOVRIC_CONTEXT_DETAIL_STACK_RECORD_HPP

#include <cstddef>
#include <cstdint>

// The frame layout of the processor the file is built for.
#if defined(__aarch64__)
#include "tovric/context/detail/frame_layout_aarch64.h"
#elif defined(__riscv) && __riscv_xlen == 64
#include "tovric/context/detail/frame_layout_riscv64.h"
#else
#include "tovric/context/detail/frame_layout.h"
#endif
#include "tovric/context/detail/sanitizers.hpp"

namespace tovric::context::detail {

struct switch_record {
  std::uint64_t kind;  // stack_kind or suspension_kind while the record is alive
  const void* bottom;  // lowest byte of the context's stack
  std::size_t size;    // bytes from bottom up to the stack's top
  void* fiber;         // TSan's fiber of the context, or null
  void* fake_stack;    // ASan's fake stack of a suspended context
};

// A protected_stack's record: the next switch to the context prepared at its
// top starts a new life on the stack.
inline constexpr std::uint64_t stack_kind = 0x6b63617473646574;  // "tedstack"
// The record of one suspension, in the frame of the wrapper that suspended.
inline constexpr std::uint64_t suspension_kind = 0x6573756170646574;  // "tedpause"

// Bytes kept above the top of every protected stack for its record: one
// 64-byte line, a multiple of 16, so that the top stays aligned.
inline constexpr std::size_t stack_record_slot = 64;
static_assert(sizeof(switch_record) <= stack_record_slot);

inline constexpr std::uintptr_t frame_size = TOVRIC_CONTEXT_FRAME_SIZE;
inline constexpr std::uintptr_t name_key = 0x9e3779b97f4a7c15;

// Names `record` in the 16 bytes below the frame at `frame`.
TOVRIC_CONTEXT_DETAIL_UNCHECKED inline void name_record(const void* frame,
                                                        switch_record* record) noexcept {
  auto* words = reinterpret_cast<volatile std::uintptr_t*>(reinterpret_cast<std::uintptr_t>(frame) -
                                                           2 * sizeof(std::uintptr_t));
  const auto address = reinterpret_cast<std::uintptr_t>(record);
  words[0] = address;
  words[1] = address ^ name_key;
}

// The record named below the frame at `frame`, or null if none is.
TOVRIC_CONTEXT_DETAIL_UNCHECKED inline switch_record* named_record(const void* frame) noexcept {
  const auto* words = reinterpret_cast<const volatile std::uintptr_t*>(
      reinterpret_cast<std::uintptr_t>(frame) - 2 * sizeof(std::uintptr_t));
  const std::uintptr_t address = words[0];
  if (address == 0 || words[1] != (address ^ name_key)) return nullptr;
  return reinterpret_cast<switch_record*>(address);
}

// Writes the record of a new stack [bottom, top) into its slot at `top`, and
// names it below the frame that make_fcontext(top, ...) prepares.
inline void open_stack_record(void* top, void* bottom, std::size_t size) noexcept {
  auto* record = static_cast<switch_record*>(top);
  *record = switch_record{stack_kind, bottom, size, nullptr, nullptr};
  name_record(static_cast<unsigned char*>(top) - frame_size, record);
}

// Called before the stack is unmapped: ends the TSan fiber of its last
// context and clears ASan's marks on it, since frames of a context that was
// never finished leave poisoned bytes behind that a later mapping at the
// same address would inherit.
inline void close_stack_record(void* top) noexcept {
  auto* record = static_cast<switch_record*>(top);
  if (record->fiber != nullptr && tsan_runs()) __tsan_destroy_fiber(record->fiber);
  if (asan_runs()) __asan_unpoison_memory_region(record->bottom, record->size);
  record->kind = 0;
}

}  // namespace tovric::context::detail

#endif
