// A generator on the context routines: a producer context yields Fibonacci
// numbers to the main context, one per switch, until the main context asks it
// to stop by running a function on top of it. The producer then switches back
// for the last time; its entry function never returns.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tovric/context/fcontext.hpp"
#include "tovric/context/stack_traits.hpp"

namespace ctx = tovric::context;

namespace {

enum class request { next, stop };

// Runs on the producer's stack as it is resumed and replaces what the main
// context sent with a stop request.
ctx::fcontext_transfer ask_to_stop(ctx::fcontext_transfer t) {
  static const request stop = request::stop;
  return {t.from, const_cast<request*>(&stop)};
}

// Each switch back hands over a pointer to the next number; a null payload on
// the last switch says the producer has ended.
void fibonacci(ctx::fcontext_transfer t) {
  std::uint64_t a = 0;
  std::uint64_t b = 1;
  while (*static_cast<const request*>(t.payload) == request::next) {
    t = ctx::jump_fcontext(t.from, &a);
    const std::uint64_t next = a + b;
    a = b;
    b = next;
  }
  std::printf("producer: stop requested, switching back for the last time\n");
  ctx::jump_fcontext(t.from, nullptr);  // never resumed: the context ends here
}

}  // namespace

int main() {
  std::vector<unsigned char> stack(ctx::stack_traits::default_size());
  ctx::fcontext_handle producer =
      ctx::make_fcontext(stack.data() + stack.size(), stack.size(), &fibonacci);

  request next = request::next;
  std::printf("first 15 Fibonacci numbers:");
  for (int i = 0; i < 15; ++i) {
    const ctx::fcontext_transfer t = ctx::jump_fcontext(producer, &next);
    producer = t.from;
    std::printf(" %llu", static_cast<unsigned long long>(*static_cast<std::uint64_t*>(t.payload)));
  }
  std::printf("\n");

  const ctx::fcontext_transfer last = ctx::ontop_fcontext(producer, &next, &ask_to_stop);
  std::printf("producer ended, last payload %s\n", last.payload == nullptr ? "null" : "not null");
  return 0;
}
