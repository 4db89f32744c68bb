// tovric::context::jump, ontop, leave and entered: the switches of
// fcontext.hpp as programs should call them. In a process that runs with
// AddressSanitizer or ThreadSanitizer they announce every switch to the
// sanitizer, which must know which stack and which fiber the thread runs on:
// without that, ASan warns on the first exception thrown on a context's stack
// and reports false errors afterwards, and TSan mixes up the histories of the
// contexts. In any other process they test two pointers and are the bare
// routines.
//
// Whether to announce is found at run time, from the sanitizer runtime that
// the process has (detail/sanitizers.hpp), not from the flags of the file
// that includes this header: every file compiles the same inline functions,
// so files built with and without a sanitizer, shared libraries built with
// -fvisibility=hidden and modules loaded with dlopen may all switch, among
// the same contexts, in one program. The wrappers keep no state per thread:
// what one side of a switch tells the other travels with the switch
// (detail/switch_announcer.hpp).
//
// Rules where a sanitizer runs (harmless elsewhere):
// - every context lives on a protected_stack and is prepared by
//   stack.prepare(entry) or stack.prepare(entry, reserved), or by
//   make_fcontext(stack.top(), stack.size(), entry) (or a top between top()
//   and top() + 15) on a stack on which no context has run yet (preparing again before the first switch replaces
//   the frame, as the bare routine does);
// - every switch goes through jump, ontop or leave, none through the bare
//   routines;
// - a context's last switch is leave(): ASan then frees the fake stack it
//   keeps for the context when detect_stack_use_after_return is on (a context
//   that is suspended for good and then dropped with its stack keeps its
//   fake stack);
// - no context switches away, or leaves, from inside a catch handler: the
//   exception being handled belongs to the thread, not to the context, so it
//   would stay caught, and leak, and be the current exception of whatever
//   context the thread runs next. Catch, note what is needed, leave the
//   handler, then switch.
// A switch to a context that breaks the first rule ends the process with a
// message naming the rules, before anything is read outside that context's
// stack.
//
// Contexts may move between threads; nothing on the switch path takes a lock.
// A context that goes on on another thread sees that thread's thread-local
// variables, errno included, only where the compiler reads them afresh: at
// -O2 it may keep a thread-local's address, computed before a switch, and use
// it after the switch, on the old thread's variable. Read errno and other
// thread-locals that matter on both sides of a switch through a function the
// compiler cannot see into, or do not move such contexts between threads.
//
// Under g++'s ThreadSanitizer a process holds at most about 8000 live
// contexts (each context that has run keeps a TSan fiber until its stack is
// destroyed); clang's holds many more.
#ifndef TOVRIC_CONTEXT_SWITCHING_HPP
#define TOVRIC_CONTEXT_SWITCHING_HPP

#include "tovric/detail/language.hpp"

#include <cstdlib>

#include "tovric/context/detail/sanitizers.hpp"
#include "tovric/context/detail/switch_announcer.hpp"
#include "tovric/context/fcontext.hpp"

namespace tovric::context {

// jump_fcontext(to, payload), announced.
inline fcontext_transfer jump(fcontext_handle to, void* payload);

// ontop_fcontext(to, payload, fn), announced. fn runs on the stack of `to`
// after the switch is complete; an exception leaving it comes out of the
// pending switch of `to`, as with the bare routine.
inline fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn);

// The last switch off the running context: jump(to, payload), after which
// the running context is never resumed (nothing returns here). Call it
// outside any catch handler. Once the switch is made, the context's stack
// may be destroyed; the next context needs a stack of its own.
[[noreturn]] inline void leave(fcontext_handle to, void* payload);

// Does nothing: a switch is complete before the entry function of the
// context it starts runs. Kept so that entry functions that call it first,
// as earlier versions asked, need no change.
inline void entered(fcontext_transfer t) noexcept;

// ---------------------------------------------------------------------------
// Implementation

inline fcontext_transfer jump(fcontext_handle to, void* payload) {
  if (!detail::announcing()) return jump_fcontext(to, payload);
  return detail::announced_switch(to, payload, nullptr, false);
}

inline fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn) {
  if (!detail::announcing()) return ontop_fcontext(to, payload, fn);
  return detail::announced_switch(to, payload, fn, false);
}

inline void leave(fcontext_handle to, void* payload) {
  if (detail::announcing()) {
    detail::announced_switch(to, payload, nullptr, true);
  } else {
    jump_fcontext(to, payload);
  }
  std::abort();  // not reached: nothing resumes a context after its last switch
}

inline void entered(fcontext_transfer) noexcept {}

}  // namespace tovric::context

#endif
