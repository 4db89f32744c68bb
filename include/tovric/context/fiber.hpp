// tovric::context::fiber: a function that runs on a guarded stack of its
// own and can stop part way, hand a value to whoever resumed it, and later go
// on from there with a value handed back. Built on the switch wrappers of
// switching.hpp and on protected_stack (or a stack_pool); header-only.
//
//   // A generator: resume() with nothing, get each value, then an empty one.
//   fiber<int> squares([](fiber<int>::suspender& self) {
//     for (int i = 1; i <= 3; ++i) self.suspend(i * i);
//   });
//   while (std::optional<int> square = squares.resume()) use(*square);
//
//   // A request/response loop: the first request is the argument, each
//   // later one is what suspend() returns.
//   fiber<reply, request> server([](auto& self, request r) {
//     for (;;) r = self.suspend(answer(r));
//   });
//   reply first = *server.resume(request{...});
//
// Why this shape. A fiber is asymmetric, as a generator is: resume() and
// suspend() are the two ends of one conversation, each returning what the
// other side sent. Out (what it suspends with) and In (what it is resumed
// with) are separate types, since a generator takes nothing and a server
// takes one type and answers with another; either may be void. resume()
// returns std::optional<Out> (bool for void), empty once the function has
// returned, so that a generator's loop is one while statement and nothing
// else tells the end. The first In has no suspend() to return it, so it is
// the function's argument, and a loop written as `r = self.suspend(f(r))`
// needs no special first step. Values are taken by value and moved across
// the switch (no copy beyond the argument's own), nothing is allocated per
// switch, and the types are fixed at compile time, so nothing is erased or
// checked at run time.
//
// What it guarantees:
// - An exception that leaves the function is rethrown by the resume() that
//   ran it; the fiber has then finished. It travels as a std::exception_ptr:
//   the fiber's stack switches only outside catch handlers.
// - Destroying (or assigning to) a suspended fiber unwinds its stack first:
//   its pending suspend() throws fiber_unwind, which runs the destructors of
//   every frame on it, innermost first, and ends the function; then the stack
//   is unmapped or given back to its pool. A fiber that never ran has its
//   function object destroyed, and nothing else runs. Code on a fiber that
//   catches every exception (catch (...)) must rethrow fiber_unwind; an
//   exception that replaces it while the fiber is destroyed is discarded.
// - A finished fiber holds no stack: its stack is unmapped, or given back to
//   its pool, by the resume() that sees it finish.
// - Move-only; the object is two pointers, and moving it moves no stack.
//
// Preconditions, each checked in every build (the check is one comparison;
// a failure prints what went wrong and aborts):
// - resume() only on a fiber that is suspended or has not yet started: not
//   on a finished, moved-from or default-constructed one, and not from inside
//   the fiber itself;
// - no destruction, assignment or move of a fiber from inside itself.
//
// Rules (not checked):
// - suspend() is called on the fiber's own suspender, from inside the
//   fiber's function, and never from inside a catch handler: the exception
//   being handled belongs to the thread, so it would stay caught there and be
//   the current exception of whatever runs next. Catch, note what is needed,
//   leave the handler, then suspend. resume() may be called from inside a
//   handler; the fiber's code then sees that exception as the current one.
// - A fiber may be resumed on another thread than the one that resumed it
//   last, if the program hands the object over with the usual
//   synchronisation (a fiber object is no more thread-safe than an int). The
//   note on thread-local variables in switching.hpp applies to its code.
// - A fiber that takes its stack from a stack_pool ends (is destroyed) before
//   the pool does.
//
// Costs: a resume() and the suspend() that answers it are two switches
// through the wrappers (in a process without a sanitizer runtime, two tests
// of weak references and the bare routine each) and a move of each value.
// Starting a fiber maps its stack (protected_stack) or takes one from a pool
// (stack_pool::take); its function object and 64 bytes of bookkeeping live
// at the top of that stack, and the rest is the function's. Destroying a
// suspended fiber throws and catches one exception on its stack. Sanitizers
// (ASan, TSan) and valgrind see every switch and stack, as with the wrappers
// and protected_stack. Needs C++ exceptions.
#ifndef TOVRIC_CONTEXT_FIBER_HPP
#define TOVRIC_CONTEXT_FIBER_HPP

#include "tovric/detail/language.hpp"

#if !defined(__cpp_exceptions)
#error \
    "tovric/context/fiber.hpp needs C++ exceptions: destroying a suspended fiber unwinds its stack"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "tovric/context/fcontext.hpp"
#include "tovric/context/protected_stack.hpp"
#include "tovric/context/stack_pool.hpp"
#include "tovric/context/stack_traits.hpp"
#include "tovric/context/switching.hpp"

namespace tovric::context {

// What a suspended fiber's suspend() throws when the fiber is destroyed, to
// unwind its stack. Derives from nothing, so that handlers for
// std::exception let it pass; a catch (...) on a fiber must rethrow it.
struct fiber_unwind {};

namespace detail {

// The bookkeeping at the top of a fiber's stack: the stack itself (moved
// into its own memory), the pool it goes back to, the function object, which
// lies just below, and the exception that ended the function. The exception
// is kept here, in memory that outlives the fiber's frames, not in a frame:
// the fiber's last switch ends its frames (with AddressSanitizer's
// detect_stack_use_after_return, it frees them).
struct fiber_control {
  protected_stack stack;
  stack_pool* pool;
  void* function;
  std::exception_ptr error;
};
static_assert(sizeof(fiber_control) <= 64, "the size the header's comment gives");

// What resume() and the fiber tell each other: lives in the frame of the
// resume() (or destructor) that switched to the fiber, for as long as the
// fiber runs.
struct fiber_exchange {
  void* in;                // the value resumed with (In*), or null
  fiber_control* control;  // the fiber's bookkeeping
  bool unwind;             // the fiber is being destroyed
  void* out = nullptr;     // set by a suspension: the value (Out*), never null
};

// Whether a fiber's function can be called with its suspender, and with the
// first value resumed with when there is one.
template <class Function, class Suspender, class In>
struct fiber_callable : std::is_invocable<Function&, Suspender&, In&&> {};
template <class Function, class Suspender>
struct fiber_callable<Function, Suspender, void> : std::is_invocable<Function&, Suspender&> {};

// The handle of a fiber while it runs: no context's frame is at address 1.
inline fcontext_handle running_fiber() noexcept {
  return reinterpret_cast<fcontext_handle>(std::uintptr_t{1});
}

[[noreturn]] inline void fiber_misuse(const char* what) noexcept {
  std::fprintf(stderr, "tovric::context::fiber: %s\n", what);
  std::abort();
}

// Hands a stack that no context will run on any more back to its pool, or
// unmaps it.
inline void release_fiber_stack(protected_stack&& stack, stack_pool* pool) noexcept {
  if (pool != nullptr) {
    pool->give_back(std::move(stack));
  } else {
    protected_stack unmapped(std::move(stack));
  }
}

// The part of a fiber that does not depend on its types: the handle, the
// switches, the end and the destruction.
class fiber_core {
 protected:
  fiber_core() noexcept = default;
  fiber_core(fiber_core&& other) noexcept
      : context(std::exchange(other.context, nullptr)),
        control(std::exchange(other.control, nullptr)) {
    if (context == running_fiber())
      fiber_misuse("move of the fiber that is running, from inside itself");
  }
  fiber_core& operator=(fiber_core&& other) noexcept {
    if (this != &other) {
      destroy();
      if (other.context == running_fiber()) {
        fiber_misuse("move of the fiber that is running, from inside itself");
      }
      context = std::exchange(other.context, nullptr);
      control = std::exchange(other.control, nullptr);
    }
    return *this;
  }
  ~fiber_core() { destroy(); }

  // Lays out the function object (built from `function`) and the
  // bookkeeping at the top of `stack`, and prepares the fiber's context
  // below them, to start at `entry`.
  template <class Function, class Argument>
  void start(protected_stack stack, stack_pool* pool, fcontext_entry entry, Argument&& function);

  // Switches to the fiber with `x`; returns once it has suspended or ended.
  void run(fiber_exchange& x) {
    const fcontext_handle to = context;
    if (__builtin_expect(reinterpret_cast<std::uintptr_t>(to) <= 1, 0)) {
      fiber_misuse(to == nullptr
                       ? "resume of a fiber that has finished or holds none (moved from or "
                         "default-constructed)"
                       : "resume of the fiber that is running, from inside itself");
    }
    context = running_fiber();
    context = jump(to, &x).from;
  }

  // After run(): the fiber has ended. Frees its stack, then rethrows the
  // exception that ended it, if one did.
  void finish() {
    std::exception_ptr error = std::move(control->error);  // off the stack before it goes
    context = nullptr;
    release();
    if (error) std::rethrow_exception(std::move(error));
  }

 public:
  // The fiber has finished, or holds none: resume() may not be called.
  bool done() const noexcept { return context == nullptr; }

 private:
  void destroy() noexcept;
  void release() noexcept;

  fcontext_handle context = nullptr;  // the suspended fiber; running_fiber() while it runs

 protected:
  fiber_control* control = nullptr;  // null once the stack is freed
};

template <class Function, class Argument>
void fiber_core::start(protected_stack stack, stack_pool* pool, fcontext_entry entry,
                       Argument&& function) {
  const auto top = reinterpret_cast<std::uintptr_t>(stack.top());
  const std::uintptr_t control_at = (top - sizeof(fiber_control)) & ~(alignof(fiber_control) - 1);
  const std::uintptr_t function_at = (control_at - sizeof(Function)) & ~(alignof(Function) - 1);
  const std::size_t reserved = top - function_at;
  if (sizeof(Function) > stack.size() || reserved + stack_traits::minimum_size() > stack.size()) {
    release_fiber_stack(std::move(stack), pool);
    throw std::length_error("tovric::context::fiber: the function object leaves too little stack");
  }
  const fcontext_handle prepared = stack.prepare(entry, reserved);
  try {
    ::new (reinterpret_cast<void*>(function_at)) Function(std::forward<Argument>(function));
  } catch (...) {
    release_fiber_stack(std::move(stack), pool);
    throw;
  }
  control = ::new (reinterpret_cast<void*>(control_at))
      fiber_control{std::move(stack), pool, reinterpret_cast<void*>(function_at), nullptr};
  context = prepared;
}

// A suspended fiber is resumed with unwind set: its suspend() throws
// fiber_unwind, and every later suspend() does too, until the function ends.
// A fiber that never ran skips its function and only destroys it.
inline void fiber_core::destroy() noexcept {
  if (context == running_fiber()) {
    fiber_misuse("destruction of the fiber that is running, from inside itself");
  }
  if (context != nullptr) {
    fiber_exchange x{nullptr, control, true};
    run(x);
    control->error = nullptr;  // discarded: a destructor cannot throw it
    context = nullptr;
  }
  release();
}

inline void fiber_core::release() noexcept {
  fiber_control* const dying = std::exchange(control, nullptr);
  if (dying == nullptr) return;
  protected_stack stack(std::move(dying->stack));  // out of the memory it owns
  stack_pool* const pool = dying->pool;
  std::destroy_at(dying);
  release_fiber_stack(std::move(stack), pool);
}

}  // namespace detail

// A function running on a stack of its own, suspended with values of type
// Out and resumed with values of type In (either may be void; both are
// object types, moved across). See the top of this file.
template <class Out = void, class In = void>
class fiber : public detail::fiber_core {
  static_assert(std::is_void_v<Out> || std::is_object_v<Out>, "Out must be void or an object type");
  static_assert(std::is_void_v<In> || std::is_object_v<In>, "In must be void or an object type");

 public:
  // What resume() returns: the value the fiber suspended with, or nothing
  // once it has finished (for Out = void: true, or false once finished).
  using result_type = std::conditional_t<std::is_void_v<Out>, bool, std::optional<Out>>;

  class suspender;

  // A fiber with no function, done(); something to move a fiber into.
  fiber() noexcept = default;

  // A fiber that runs `function` on a newly mapped protected_stack of
  // stack_traits::default_size() bytes. The function is called with the
  // fiber's suspender, and, for a non-void In, the value of the first
  // resume(), at the first resume(); nothing runs before. Throws what
  // protected_stack's constructor and the function object's constructor
  // throw.
  template <class Function,
            class = std::enable_if_t<!std::is_same_v<std::decay_t<Function>, fiber> &&
                                     !std::is_same_v<std::decay_t<Function>, protected_stack>>>
  explicit fiber(Function&& function)
      : fiber(protected_stack(), std::forward<Function>(function)) {}

  // The same on `stack`, which the fiber owns from now on. Throws
  // std::length_error, and unmaps the stack, if the function object leaves
  // less than stack_traits::minimum_size() bytes of it.
  template <class Function>
  fiber(protected_stack stack, Function&& function) {
    start_on(std::move(stack), nullptr, std::forward<Function>(function));
  }

  // The same on a stack taken from `pool`, to which the stack goes back when
  // the fiber finishes or is destroyed.
  template <class Function>
  fiber(stack_pool& pool, Function&& function) {
    start_on(pool.take(), &pool, std::forward<Function>(function));
  }

  fiber(fiber&&) noexcept = default;
  fiber& operator=(fiber&&) noexcept = default;

  // Runs the fiber until it suspends or finishes, handing it `value`: as
  // its function's argument at the first resume, as the result of its
  // pending suspend() after that. Returns the value it suspended with, or
  // nothing if its function returned; rethrows the exception that ended it.
  template <class I = In, class = std::enable_if_t<std::is_void_v<I>>>
  result_type resume() {
    return resume_with(nullptr);
  }
  template <class I = In, class = std::enable_if_t<!std::is_void_v<I>>>
  result_type resume(std::enable_if_t<true, I> value) {
    return resume_with(std::addressof(value));
  }

 private:
  template <class Function>
  void start_on(protected_stack stack, stack_pool* pool, Function&& function);

  template <class Function>
  static void entry(fcontext_transfer t);

  result_type resume_with(void* in) {
    detail::fiber_exchange x{in, control, false};
    run(x);
    if (__builtin_expect(x.out == nullptr, 0)) {
      finish();
      return result_type();
    }
    if constexpr (std::is_void_v<Out>) {
      return true;
    } else {
      return result_type(std::in_place, std::move(*static_cast<Out*>(x.out)));
    }
  }
};

// The fiber as its own function sees it: the one way to suspend. Made by
// the fiber for its function; neither copied nor moved.
template <class Out, class In>
class fiber<Out, In>::suspender {
 public:
  suspender(const suspender&) = delete;
  suspender& operator=(const suspender&) = delete;

  // Suspends the fiber: the resume() that runs it returns `value`. Returns
  // the value of the next resume(). Throws fiber_unwind instead when the
  // fiber is being destroyed.
  template <class O = Out, class = std::enable_if_t<!std::is_void_v<O>>>
  In suspend(std::enable_if_t<true, O> value) {
    return switch_back(std::addressof(value));
  }
  template <class O = Out, class = std::enable_if_t<std::is_void_v<O>>>
  In suspend() {
    return switch_back(this);
  }

 private:
  friend class fiber;
  suspender(detail::fiber_exchange* x, fcontext_handle from) noexcept
      : exchange(x), resumer(from) {}

  In switch_back(void* out) {
    if (exchange->unwind) throw fiber_unwind{};
    exchange->out = out;
    const fcontext_transfer t = jump(resumer, nullptr);
    resumer = t.from;
    exchange = static_cast<detail::fiber_exchange*>(t.payload);
    if (exchange->unwind) throw fiber_unwind{};
    if constexpr (std::is_void_v<In>) {
      return;
    } else {
      return std::move(*static_cast<In*>(exchange->in));
    }
  }

  detail::fiber_exchange* exchange;  // of the resume() that runs the fiber now
  fcontext_handle resumer;           // where suspend() switches to
};

template <class Out, class In>
template <class Function>
void fiber<Out, In>::start_on(protected_stack stack, stack_pool* pool, Function&& function) {
  using stored = std::decay_t<Function>;
  static_assert(
      detail::fiber_callable<stored, suspender, In>::value,
      "a fiber's function is called as f(suspender&), or f(suspender&, In) for a non-void In");
  start<stored>(std::move(stack), pool, &entry<stored>, std::forward<Function>(function));
}

// The fiber's first frame. Runs the function, keeping the exception that
// leaves it, if one does, in the bookkeeping; then destroys the function
// object and switches away for the last time, outside every handler: the
// resumer finds no value (the end) and moves the exception out before it
// frees the stack.
template <class Out, class In>
template <class Function>
void fiber<Out, In>::entry(fcontext_transfer t) {
  auto* const first = static_cast<detail::fiber_exchange*>(t.payload);
  detail::fiber_control* const control = first->control;
  Function* const function = static_cast<Function*>(control->function);
  suspender self(first, t.from);
  if (!first->unwind) {
    try {
      if constexpr (std::is_void_v<In>) {
        std::invoke(*function, self);
      } else {
        std::invoke(*function, self, std::move(*static_cast<In*>(first->in)));
      }
    } catch (const fiber_unwind&) {
    } catch (...) {
      control->error = std::current_exception();
    }
  }
  std::destroy_at(function);
  leave(self.resumer, nullptr);
}

}  // namespace tovric::context

#endif
