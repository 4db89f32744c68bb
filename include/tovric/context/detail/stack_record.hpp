// The record of one protected stack that the switch wrappers read in builds
// with a sanitizer: the stack's bounds and the sanitizers' state of the
// context on it. It sits in a slot just above the stack's top, so a context
// that make_fcontext prepared at that top finds it right above its frame.
#ifndef TOVRIC_CONTEXT_DETAIL_STACK_RECORD_HPP
#define TOVRIC_CONTEXT_DETAIL_STACK_RECORD_HPP

#include <cstddef>
#include <cstdint>

#include "tovric/context/detail/sanitizers.hpp"

namespace tovric::context::detail {

// A stack as the sanitizers see it. One record per protected stack, and one
// per thread for the stack the thread started on.
struct stack_record {
  std::uint64_t tag;       // stack_record_tag while the record is alive
  const void* bottom;      // lowest byte; null until known (a thread's stack)
  std::size_t size;        // bytes from bottom up to the top
  void* fake_stack;        // ASan's fake stack of the context suspended here
  void* fiber;             // TSan's fiber of the context on the stack, or null
};

inline constexpr std::uint64_t stack_record_tag = 0x6b63617473646574;  // "tedstack"

// Bytes kept above the top of a protected stack for its record: none in a
// plain build, one 64-byte line (a multiple of 16, so the top stays aligned)
// where switches are announced.
inline constexpr std::size_t stack_record_slot = TOVRIC_CONTEXT_DETAIL_ANNOUNCE ? 64 : 0;
static_assert(sizeof(stack_record) <= 64);

#if TOVRIC_CONTEXT_DETAIL_ANNOUNCE

// Writes the record of a new stack [bottom, bottom + size) into its slot.
inline void open_stack_record(void* slot, void* bottom, std::size_t size) noexcept {
  auto* record = static_cast<stack_record*>(slot);
  *record = stack_record{stack_record_tag, bottom, size, nullptr, nullptr};
}

// Called before the stack is unmapped: ends the TSan fiber of its last
// context and clears ASan's marks on it, since frames of a context that was
// never finished leave poisoned bytes behind that a later mapping at the
// same address would inherit.
inline void close_stack_record(void* slot) noexcept {
  auto* record = static_cast<stack_record*>(slot);
#if TOVRIC_CONTEXT_DETAIL_TSAN
  if (record->fiber != nullptr) __tsan_destroy_fiber(record->fiber);
#endif
#if TOVRIC_CONTEXT_DETAIL_ASAN
  __asan_unpoison_memory_region(record->bottom, record->size);
#endif
  record->tag = 0;
}

#endif

}  // namespace tovric::context::detail

#endif
