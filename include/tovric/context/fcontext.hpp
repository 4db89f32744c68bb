// tovric::context: prepare an execution context on caller-supplied stack
// memory, switch between contexts handing one pointer over on every switch,
// and run a function on top of the context being resumed.
#ifndef TOVRIC_CONTEXT_FCONTEXT_HPP
#define TOVRIC_CONTEXT_FCONTEXT_HPP

#include "tovric/detail/language.hpp"

#include <cstddef>

#include "tovric/context/detail/config.hpp"

namespace tovric::context {

namespace detail {
// The saved frame of a suspended or prepared context (64 bytes on x86-64,
// 176 on AArch64, 208 on RISC-V 64). Never defined: a handle is only ever
// passed back to the routines below.
struct fcontext_frame;
}  // namespace detail

// Address of the saved frame of a prepared or suspended context, on that
// context's own stack. Each handle serves exactly one resumption; it is never
// checked, so a null, already resumed or released handle is undefined.
using fcontext_handle = detail::fcontext_frame*;

// What a switch hands to the context it resumes: the handle of the context
// the switch has just suspended, and the pointer the switching side passed.
struct fcontext_transfer {
  fcontext_handle from;
  void* payload;
};

// The body of a context made by make_fcontext. It ends its context by
// switching away for the last time; if it returns, the process ends at once
// with status 0 (_exit: no exit handlers, no flush of buffered output).
using fcontext_entry = void (*)(fcontext_transfer);

// A function run by ontop_fcontext on the resumed context's stack; its result
// is what the resumed context receives.
using fcontext_ontop = fcontext_transfer (*)(fcontext_transfer);

extern "C" {

// Prepares a context whose first resumption calls `entry`. The frame is put
// just below `top` rounded down to a multiple of 16, and its address is
// returned; `size` is never read and nothing below the frame is touched. The
// new context starts with the floating-point control state in force now
// (MXCSR and x87 control word; FPCR; frm), not at its first resumption.
// Allocates nothing and switches nothing.
TOVRIC_CONTEXT_API fcontext_handle make_fcontext(void* top, std::size_t size,
                                                 fcontext_entry entry) noexcept;

// Suspends the running context and resumes `to`, which receives
// {handle of this context, payload}: as the result of its pending switch, or,
// for a prepared context, as the argument of its entry function. Returns when
// some context switches back to the handle made here. Carries the stack
// pointer, the callee-saved registers and the floating-point control state:
// on x86-64 rbx, rbp, r12-r15, the whole MXCSR and the x87 control word; on
// AArch64 x19-x29, d8-d15 and FPCR; on RISC-V 64 s0-s11, fs0-fs11 and frm.
// No other register, not the thread pointer, not the signal mask.
TOVRIC_CONTEXT_API fcontext_transfer jump_fcontext(fcontext_handle to, void* payload);

// Suspends the running context like jump_fcontext, then calls
// fn({handle of this context, payload}) on the stack of `to`, with the
// registers and floating-point settings of `to`, as if `to` had called it at
// its resume point. `to` then goes on with fn's result: a suspended context
// gets it as the result of its pending switch; a prepared context gets it as
// the argument of its entry function, exactly as a suspended one would. An
// exception leaving fn goes on into the frames of `to`, as if thrown by its
// pending switch.
TOVRIC_CONTEXT_API fcontext_transfer ontop_fcontext(fcontext_handle to, void* payload,
                                                    fcontext_ontop fn);

}  // extern "C"

}  // namespace tovric::context

#endif
