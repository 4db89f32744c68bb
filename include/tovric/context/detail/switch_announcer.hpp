// How the switch wrappers tell AddressSanitizer and ThreadSanitizer about
// every switch; compiled only where one of them is on.
//
// Both sanitizers want to hear about a switch on both of its sides: before
// it, where it goes (ASan: the bounds of the target's stack; TSan: the
// target's fiber), and after it, on the target's stack, that it is complete.
// A switch names its target only by the handle, so the target's stack record
// must be found from the handle alone, without a lock:
// - a context that make_fcontext prepared at a protected stack's top has its
//   frame right below that top, and the stack's record right above it;
// - a context suspended by a switch has, in the 8 bytes below its frame,
//   a pointer to its stack's record, left there by the side that resumed
//   after that switch (the bytes below a suspended context's frame belong to
//   no one until it is resumed).
// Each side of one switch runs on the same thread, so what the departing side
// hands to the arriving one travels in thread-local state. A context may go
// on on another thread after a switch, so that state is looked up afresh
// after every switch, through a call the compiler cannot see into.
#ifndef TOVRIC_CONTEXT_DETAIL_SWITCH_ANNOUNCER_HPP
#define TOVRIC_CONTEXT_DETAIL_SWITCH_ANNOUNCER_HPP

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tovric/context/detail/frame_layout.h"
#include "tovric/context/detail/sanitizers.hpp"
#include "tovric/context/detail/stack_record.hpp"
#include "tovric/context/fcontext.hpp"

namespace tovric::context::detail {

// One thread's side of the switches it performs.
struct switch_state {
  // The stack the thread started on; its bounds come from ASan on the first
  // switch away from it.
  stack_record own{stack_record_tag, nullptr, 0, nullptr, nullptr};
  stack_record* running = &own;   // stack of the context running now
  stack_record* left = nullptr;   // stack that the switch in progress leaves
  fcontext_ontop on_top = nullptr;  // user function of the ontop in progress
  bool arrived = false;  // the arrival was completed on top, by ontop_shim
};

inline switch_state* this_thread_switch_state() noexcept {
  thread_local switch_state state;
  return &state;
}

// Called through a volatile pointer, so the compiler can neither inline it
// nor reuse a thread-local address that it computed before a switch.
inline switch_state* (*volatile const switch_state_of)() noexcept = &this_thread_switch_state;

inline constexpr std::uintptr_t resume_slot = TOVRIC_CONTEXT_FRAME_RESUME;
inline constexpr std::uintptr_t frame_size = TOVRIC_CONTEXT_FRAME_SIZE;

TOVRIC_CONTEXT_DETAIL_UNCHECKED inline std::uintptr_t read_word(std::uintptr_t address) noexcept {
  return *reinterpret_cast<const volatile std::uintptr_t*>(address);
}

TOVRIC_CONTEXT_DETAIL_UNCHECKED inline void write_word(std::uintptr_t address,
                                                       std::uintptr_t value) noexcept {
  *reinterpret_cast<volatile std::uintptr_t*>(address) = value;
}

// The resume address that make_fcontext writes into every frame it prepares.
inline std::uintptr_t prepared_resume_address() noexcept {
  static const std::uintptr_t address = [] {
    alignas(16) unsigned char frame[frame_size];
    const auto handle = reinterpret_cast<std::uintptr_t>(
        make_fcontext(frame + sizeof frame, sizeof frame, nullptr));
    return read_word(handle + resume_slot);
  }();
  return address;
}

[[noreturn]] inline void unknown_stack(fcontext_handle to) noexcept {
  std::fprintf(stderr,
               "tovric::context: switch to %p, a context on a stack the switch wrappers do not "
               "know: make contexts on a protected_stack at its top(), switch only through "
               "jump/ontop, and call entered() first in every entry function\n",
               static_cast<void*>(to));
  std::abort();
}

// The record of the stack that `to` lives on. For a context that was only
// prepared, a new life on its stack starts here: marks left by an earlier
// context on the same stack are cleared and it gets a TSan fiber of its own.
inline stack_record* record_to_resume(fcontext_handle to) noexcept {
  const auto frame = reinterpret_cast<std::uintptr_t>(to);
  if (read_word(frame + resume_slot) != prepared_resume_address()) {
    auto* record = reinterpret_cast<stack_record*>(read_word(frame - sizeof(void*)));
    if (record == nullptr || record->tag != stack_record_tag) unknown_stack(to);
    return record;
  }
  auto* record = reinterpret_cast<stack_record*>(frame + frame_size);
  if (record->tag != stack_record_tag) unknown_stack(to);
#if TOVRIC_CONTEXT_DETAIL_ASAN
  __asan_unpoison_memory_region(record->bottom, record->size);
#endif
#if TOVRIC_CONTEXT_DETAIL_TSAN
  if (record->fiber != nullptr) __tsan_destroy_fiber(record->fiber);
  record->fiber = __tsan_create_fiber(0);
#endif
  return record;
}

// Before a switch to `to`, on the departing context's stack. Returns the TSan
// fiber to switch to (null without TSan), which the caller must switch to
// itself, as the last thing before the switch: TSan keeps a shadow call stack
// per fiber, and a function returning after the fiber switch would pop an
// entry off the target's.
inline void* depart(fcontext_handle to) noexcept {
  switch_state* state = switch_state_of();
  stack_record* self = state->running;
  stack_record* target = record_to_resume(to);
  state->left = self;
  state->running = target;
#if TOVRIC_CONTEXT_DETAIL_ASAN
  __sanitizer_start_switch_fiber(&self->fake_stack, target->bottom, target->size);
#endif
#if TOVRIC_CONTEXT_DETAIL_TSAN
  if (self->fiber == nullptr) self->fiber = __tsan_get_current_fiber();
#endif
  return target->fiber;
}

// In the body of the function that switches, right before the routine.
#if TOVRIC_CONTEXT_DETAIL_TSAN
#define TOVRIC_CONTEXT_DETAIL_SWITCH_FIBER(fiber) __tsan_switch_to_fiber((fiber), 0)
#else
#define TOVRIC_CONTEXT_DETAIL_SWITCH_FIBER(fiber) static_cast<void>(fiber)
#endif

// After a switch, on the arriving context's stack, before anything else runs
// there: completes the announcement and leaves the record of the departed
// context's stack below that context's frame `from`.
inline void arrive(fcontext_handle from) noexcept {
  switch_state* state = switch_state_of();
  stack_record* left = state->left;
#if TOVRIC_CONTEXT_DETAIL_ASAN
  const void* bottom = nullptr;
  std::size_t size = 0;
  __sanitizer_finish_switch_fiber(state->running->fake_stack, &bottom, &size);
  if (left->bottom == nullptr) {  // a thread's own stack, now known
    left->bottom = bottom;
    left->size = size;
  }
#endif
  write_word(reinterpret_cast<std::uintptr_t>(from) - sizeof(void*),
             reinterpret_cast<std::uintptr_t>(left));
}

// After a switch returns, or as an entry function starts: arrives, unless the
// switch was an ontop whose shim arrived already.
inline void complete_arrival(fcontext_handle from) noexcept {
  switch_state* state = switch_state_of();
  if (state->arrived) {
    state->arrived = false;
  } else {
    arrive(from);
  }
}

// Departs to `to`, then calls switch_to(fiber), which switches to the TSan
// fiber and calls the routine, and arrives when that returns. An exception
// can come out of the routine only from an on-top function, after the shim
// that ran it has arrived.
template <class Switch>
fcontext_transfer announced_switch(fcontext_handle to, Switch switch_to) {
  void* const fiber = depart(to);
  fcontext_transfer t;
#if defined(__cpp_exceptions)
  try {
    t = switch_to(fiber);
  } catch (...) {
    switch_state_of()->arrived = false;
    throw;
  }
#else
  t = switch_to(fiber);
#endif
  complete_arrival(t.from);
  return t;
}

// The on-top function that ontop hands to ontop_fcontext: arrives on the
// target's stack, then runs the user's function there. The target's pending
// switch returns next (or the entry function starts); it learns from the flag
// that the arrival is done, set on whichever thread the function returns or
// throws on.
inline fcontext_transfer ontop_shim(fcontext_transfer t) {
  const fcontext_ontop user_function = switch_state_of()->on_top;
  arrive(t.from);
  struct flag_arrival {
    ~flag_arrival() { switch_state_of()->arrived = true; }
  } flag;
  return user_function(t);
}

}  // namespace tovric::context::detail

#endif
