// A generator on the context routines: a producer context yields Fibonacci
// numbers to the main context, one per switch, until the main context asks it
// to stop by throwing an exception into it from a function run on top of it.
// The producer then switches back for the last time; its entry function
// never returns.
//
// The producer ends by leave(), its last switch, made after it has left the
// catch handler: a context that switched away from inside a handler would
// keep the exception caught for good (a leak) and hand it, as the current
// exception, to whatever the thread runs next. main checks that nothing is
// left behind.
//
// The producer's stack is a protected_stack (an overflow faults at its guard
// page), and every switch goes through jump/ontop/leave, so the program runs
// cleanly under AddressSanitizer, ThreadSanitizer and valgrind.
#include <cstdint>
#include <cstdio>
#include <exception>

#include "tovric/context/protected_stack.hpp"
#include "tovric/context/switching.hpp"

namespace ctx = tovric::context;

namespace {

// Thrown into the producer; carries the context to switch back to.
struct stop_request {
  ctx::fcontext_handle consumer;
};

// Runs on the producer's stack as it is resumed: its pending switch throws.
ctx::fcontext_transfer ask_to_stop(ctx::fcontext_transfer t) { throw stop_request{t.from}; }

// Each switch back hands over a pointer to the next number; a null payload on
// the last switch says the producer has ended.
void fibonacci(ctx::fcontext_transfer t) {
  std::uint64_t a = 0;
  std::uint64_t b = 1;
  ctx::fcontext_handle consumer = nullptr;
  try {
    for (;;) {
      t = ctx::jump(t.from, &a);
      const std::uint64_t next = a + b;
      a = b;
      b = next;
    }
  } catch (const stop_request& stop) {
    consumer = stop.consumer;  // only noted here: the switch comes after the handler
  }
  std::printf("producer: stop requested after %llu, switching back for the last time\n",
              static_cast<unsigned long long>(a));
  ctx::leave(consumer, nullptr);  // never resumed: the context ends here
}

}  // namespace

int main() {
  ctx::protected_stack stack;  // stack_traits::default_size(), and a guard page
  ctx::fcontext_handle producer = ctx::make_fcontext(stack.top(), stack.size(), &fibonacci);

  std::printf("first 15 Fibonacci numbers:");
  for (int i = 0; i < 15; ++i) {
    const ctx::fcontext_transfer t = ctx::jump(producer, nullptr);
    producer = t.from;
    std::printf(" %llu", static_cast<unsigned long long>(*static_cast<std::uint64_t*>(t.payload)));
  }
  std::printf("\n");

  const ctx::fcontext_transfer last = ctx::ontop(producer, nullptr, &ask_to_stop);
  std::printf("producer ended, last payload %s\n", last.payload == nullptr ? "null" : "not null");
  if (std::current_exception() != nullptr) {
    std::printf("an exception is still being handled\n");
    return 1;
  }
  return 0;
}
