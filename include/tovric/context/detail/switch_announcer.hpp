// How the switch wrappers tell AddressSanitizer and ThreadSanitizer about a
// switch, in a process that runs with one of them (detail/sanitizers.hpp).
//
// Both sanitizers want to hear about a switch on both of its sides: before
// it, where it goes (ASan: the bounds of the target's stack; TSan: the
// target's fiber), and after it, on the target's stack, before anything else
// runs there, that it is complete (ASan). The target's record is found from
// its handle (detail/stack_record.hpp). What the departing side must tell the
// arriving one travels with the switch itself: every announced switch is an
// ontop_fcontext whose payload is a message on the departing stack and whose
// on-top function, arrive(), completes the switch on the target's stack and
// then hands the user's payload on (or runs the user's on-top function). So
// there is no state per thread: nothing that a second copy of these inline
// functions (in a -fvisibility=hidden library, in a dlopen'ed module) could
// see differently, and nothing cached across a switch that may move a
// context to another thread. The departing context needs to know nothing
// about itself: TSan tells its fiber, ASan saves its fake stack into the
// record that the departing wrapper keeps in its own frame, and ASan tells
// the arriving side the bounds of the stack that was left.
#ifndef TOVRIC_CONTEXT_DETAIL_SWITCH_ANNOUNCER_HPP
#define TOVRIC_CONTEXT_DETAIL_SWITCH_ANNOUNCER_HPP

#include <cstdio>
#include <cstdlib>

#include "tovric/context/detail/sanitizers.hpp"
#include "tovric/context/detail/stack_record.hpp"
#include "tovric/context/fcontext.hpp"

namespace tovric::context::detail {

// What a departing wrapper hands to arrive(), on the departing stack.
struct switch_message {
  void* payload;            // the user's payload
  fcontext_ontop on_top;    // the user's on-top function, or null for a jump
  switch_record* target;    // the record the switch goes to
  switch_record* departed;  // the suspension's record; null on a context's last switch
};

[[noreturn]] inline void unknown_stack(fcontext_handle to) noexcept {
  std::fprintf(stderr,
               "tovric::context: switch to %p, a context on a stack the switch wrappers do not "
               "know: make each context at the top() of a protected_stack on which no context "
               "has run yet, switch only through jump, ontop and leave, and resume a handle "
               "only once\n",
               static_cast<void*>(to));
  std::abort();
}

// The record of the context `to`. For a context prepared at a protected
// stack's top, a new life on that stack starts here: it gets a TSan fiber of
// its own, and marks that ASan may have left on the stack are cleared.
TOVRIC_CONTEXT_DETAIL_UNCHECKED inline switch_record* record_to_resume(fcontext_handle to) noexcept {
  switch_record* const record = named_record(to);
  if (record == nullptr) unknown_stack(to);
  if (record->kind == stack_kind) {
    if (asan_runs()) __asan_unpoison_memory_region(record->bottom, record->size);
    if (tsan_runs()) {
      if (record->fiber != nullptr) __tsan_destroy_fiber(record->fiber);
      record->fiber = __tsan_create_fiber(0);
    }
  } else if (record->kind != suspension_kind) {
    unknown_stack(to);
  }
  return record;
}

// The on-top function of every announced switch, on the target's stack:
// completes the switch, names the departed context's record below its frame
// for whoever resumes it, then gives the target the user's pair (or the
// result of the user's on-top function, run only now that the target's stack
// is the one the sanitizers know; an exception leaving it goes on into the
// target's frames, as with the bare routine).
TOVRIC_CONTEXT_DETAIL_UNCHECKED inline fcontext_transfer arrive(fcontext_transfer t) {
  const auto* message = static_cast<const switch_message*>(t.payload);
  switch_record* const departed = message->departed;
  if (asan_runs()) {
    const void* bottom = nullptr;
    std::size_t size = 0;
    __sanitizer_finish_switch_fiber(message->target->fake_stack, &bottom, &size);
    if (departed != nullptr) {
      departed->bottom = bottom;
      departed->size = size;
    }
  }
  if (departed != nullptr) name_record(t.from, departed);
  // The message lives on the departed stack: read before the user's function
  // runs, which may resume the departed context.
  const fcontext_transfer pair{t.from, message->payload};
  const fcontext_ontop on_top = message->on_top;
  return on_top == nullptr ? pair : on_top(pair);
}

// Switches to `to` with ontop_fcontext(to, message, arrive), announced. On a
// context's last switch (`last`) ASan is handed no place for the fake stack,
// which frees it, and no record is left, since the context is never resumed.
// Returns what arrive() gave this context when some switch resumed it.
TOVRIC_CONTEXT_DETAIL_UNCHECKED inline fcontext_transfer announced_switch(fcontext_handle to,
                                                                          void* payload,
                                                                          fcontext_ontop on_top,
                                                                          bool last) {
  switch_record* const target = record_to_resume(to);
  switch_record self{suspension_kind, nullptr, 0, nullptr, nullptr};
  switch_message message{payload, on_top, target, last ? nullptr : &self};
  const bool tsan = tsan_runs();
  if (tsan) self.fiber = __tsan_get_current_fiber();
  if (asan_runs()) {
    __sanitizer_start_switch_fiber(last ? nullptr : &self.fake_stack, target->bottom,
                                   target->size);
  }
  // TSan keeps a shadow call stack per fiber: after the fiber switch, no
  // function may return before the stack switch.
  if (tsan) __tsan_switch_to_fiber(target->fiber, 0);
  return ontop_fcontext(to, &message, &arrive);
}

}  // namespace tovric::context::detail

#endif
