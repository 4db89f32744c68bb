// tovric::context::jump, ontop and entered: the switches of fcontext.hpp as
// programs should call them. In a plain build they are the bare routines
// (inline forwarding, no cost). In a build with AddressSanitizer or
// ThreadSanitizer they announce every switch to the sanitizer, which must know
// which stack and which fiber the thread runs on: without that, ASan warns on
// the first exception thrown on a context's stack and reports false errors
// afterwards, and TSan mixes up the histories of the contexts.
//
// Rules for announced builds (harmless in plain ones):
// - every context lives on a protected_stack and is prepared by
//   make_fcontext(stack.top(), stack.size(), entry), or a top between top()
//   and top() + 15;
// - every switch goes through jump or ontop, none through the bare routines;
// - every entry function calls entered(t) before anything else;
// - every translation unit that switches is built with the same sanitizers.
// Contexts may move between threads; nothing on the switch path takes a lock.
#ifndef TOVRIC_CONTEXT_SWITCHING_HPP
#define TOVRIC_CONTEXT_SWITCHING_HPP

#include "tovric/detail/language.hpp"

#include "tovric/context/detail/sanitizers.hpp"
#include "tovric/context/fcontext.hpp"

#if TOVRIC_CONTEXT_DETAIL_ANNOUNCE
#include "tovric/context/detail/switch_announcer.hpp"
#endif

namespace tovric::context {

// jump_fcontext(to, payload), announced.
inline fcontext_transfer jump(fcontext_handle to, void* payload);

// ontop_fcontext(to, payload, fn), announced. fn runs on the stack of `to`
// after the switch is complete; an exception leaving it comes out of the
// pending switch of `to`, as with the bare routine.
inline fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn);

// The first call of every entry function, with the entry function's argument:
// completes the switch that started the context.
inline void entered(fcontext_transfer t) noexcept;

// ---------------------------------------------------------------------------
// Implementation

#if !TOVRIC_CONTEXT_DETAIL_ANNOUNCE

inline fcontext_transfer jump(fcontext_handle to, void* payload) {
  return jump_fcontext(to, payload);
}

inline fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn) {
  return ontop_fcontext(to, payload, fn);
}

inline void entered(fcontext_transfer) noexcept {}

#else

inline fcontext_transfer jump(fcontext_handle to, void* payload) {
  return detail::announced_switch(to, [to, payload](void* fiber) {
    TOVRIC_CONTEXT_DETAIL_SWITCH_FIBER(fiber);
    return jump_fcontext(to, payload);
  });
}

inline fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn) {
  detail::switch_state_of()->on_top = fn;
  return detail::announced_switch(to, [to, payload](void* fiber) {
    TOVRIC_CONTEXT_DETAIL_SWITCH_FIBER(fiber);
    return ontop_fcontext(to, payload, &detail::ontop_shim);
  });
}

inline void entered(fcontext_transfer t) noexcept { detail::complete_arrival(t.from); }

#endif

}  // namespace tovric::context

#endif
