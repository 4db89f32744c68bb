// One round trip (there and back again) between two flows of control on one
// thread: jump_fcontext, ontop_fcontext with an identity on-top function,
// the same two through the switch wrappers of switching.hpp (in a process
// without a sanitizer runtime: two tests of weak references, then the bare
// routine), a fiber's resume + suspend, swapcontext, and a C++20 coroutine
// resume + suspend; and, for a user without contexts, a two-thread ping-pong
// over a futex. Prints each time as a ratio to the jump_fcontext round trip
// at the end.
//
// Also a fiber's whole life (start on a stack, run to its one suspension,
// destroy, which unwinds the suspended stack) on a pooled stack and on a
// freshly mapped one, and the ratio of the two.
#include <benchmark/benchmark.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <coroutine>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ratio_reporter.hpp"
#include "tovric/context/fcontext.hpp"
#include "tovric/context/fiber.hpp"
#include "tovric/context/protected_stack.hpp"
#include "tovric/context/stack_pool.hpp"
#include "tovric/context/stack_traits.hpp"
#include "tovric/context/switching.hpp"

namespace ctx = tovric::context;

namespace {

// --- jump_fcontext ---------------------------------------------------------

void jump_partner(ctx::fcontext_transfer t) {
  for (;;) t = ctx::jump_fcontext(t.from, t.payload);
}

void jump_fcontext_round_trip(benchmark::State& state) {
  ctx::protected_stack stack;
  ctx::fcontext_transfer t{ctx::make_fcontext(stack.top(), stack.size(), &jump_partner), nullptr};
  for (auto _ : state) {
    t = ctx::jump_fcontext(t.from, &state);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(jump_fcontext_round_trip);

// --- jump (the wrapper) ----------------------------------------------------

void wrapped_jump_partner(ctx::fcontext_transfer t) {
  ctx::entered(t);
  for (;;) t = ctx::jump(t.from, t.payload);
}

void jump_wrapper_round_trip(benchmark::State& state) {
  ctx::protected_stack stack;
  ctx::fcontext_transfer t{
      ctx::make_fcontext(stack.top(), stack.size(), &wrapped_jump_partner), nullptr};
  for (auto _ : state) {
    t = ctx::jump(t.from, &state);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(jump_wrapper_round_trip);

// --- ontop_fcontext --------------------------------------------------------

ctx::fcontext_transfer identity(ctx::fcontext_transfer t) { return t; }

void ontop_partner(ctx::fcontext_transfer t) {
  for (;;) t = ctx::ontop_fcontext(t.from, t.payload, &identity);
}

void ontop_fcontext_round_trip(benchmark::State& state) {
  ctx::protected_stack stack;
  ctx::fcontext_transfer t{ctx::make_fcontext(stack.top(), stack.size(), &ontop_partner), nullptr};
  for (auto _ : state) {
    t = ctx::ontop_fcontext(t.from, &state, &identity);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(ontop_fcontext_round_trip);

// --- ontop (the wrapper) ---------------------------------------------------

void wrapped_ontop_partner(ctx::fcontext_transfer t) {
  ctx::entered(t);
  for (;;) t = ctx::ontop(t.from, t.payload, &identity);
}

void ontop_wrapper_round_trip(benchmark::State& state) {
  ctx::protected_stack stack;
  ctx::fcontext_transfer t{
      ctx::make_fcontext(stack.top(), stack.size(), &wrapped_ontop_partner), nullptr};
  for (auto _ : state) {
    t = ctx::ontop(t.from, &state, &identity);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(ontop_wrapper_round_trip);

// --- fiber (resume + suspend) ----------------------------------------------

// One resume(i), the suspend(v + 1) that answers it, and reading the value.
// The int is read out of the optional: DoNotOptimize on the optional itself
// loads its 8 bytes right after the 4-byte and 1-byte stores that built it,
// a failed store-to-load forward that costs this loop about 5 ns more.
void fiber_round_trip(benchmark::State& state) {
  ctx::fiber<int, int> f([](ctx::fiber<int, int>::suspender& self, int v) {
    for (;;) v = self.suspend(v + 1);
  });
  int i = 0;
  for (auto _ : state) {
    int v = *f.resume(i++);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(fiber_round_trip);

// The same with no values either way.
void fiber_void_round_trip(benchmark::State& state) {
  ctx::fiber<> f([](ctx::fiber<>::suspender& self) {
    for (;;) self.suspend();
  });
  for (auto _ : state) {
    bool running = f.resume();
    benchmark::DoNotOptimize(running);
  }
}
BENCHMARK(fiber_void_round_trip);

// --- fiber lifecycle -------------------------------------------------------

// A fiber's function that holds a local with a destructor and suspends once:
// destroying the suspended fiber must unwind its stack to run that
// destructor, which counts itself.
struct suspend_once {
  struct counted {
    long* count;
    ~counted() { ++*count; }
  };
  long* unwound;
  void operator()(ctx::fiber<>::suspender& self) const {
    counted local{unwound};
    self.suspend();
  }
};

// Fails the benchmark unless every fiber's local was destroyed.
void check_unwound(benchmark::State& state, long unwound) {
  if (unwound != static_cast<long>(state.iterations())) {
    state.SkipWithError("a suspended fiber was destroyed without unwinding its stack");
  }
}

// Start on a stack from one pool, resume once, destroy (the stack goes back
// to the pool).
void fiber_lifecycle_pooled(benchmark::State& state) {
  ctx::stack_pool pool;
  long unwound = 0;
  for (auto _ : state) {
    ctx::fiber<> f(pool, suspend_once{&unwound});
    bool running = f.resume();
    benchmark::DoNotOptimize(running);
  }
  check_unwound(state, unwound);
}
BENCHMARK(fiber_lifecycle_pooled);

// The same on a protected_stack mapped for each fiber and unmapped after it.
void fiber_lifecycle_fresh_stack(benchmark::State& state) {
  long unwound = 0;
  for (auto _ : state) {
    ctx::fiber<> f(suspend_once{&unwound});
    bool running = f.resume();
    benchmark::DoNotOptimize(running);
  }
  check_unwound(state, unwound);
}
BENCHMARK(fiber_lifecycle_fresh_stack);

// --- swapcontext -----------------------------------------------------------

ucontext_t swap_main, swap_partner_context;

void swap_partner() {
  for (;;) swapcontext(&swap_partner_context, &swap_main);
}

void swapcontext_round_trip(benchmark::State& state) {
  ctx::protected_stack stack;
  getcontext(&swap_partner_context);
  swap_partner_context.uc_stack.ss_sp = static_cast<char*>(stack.top()) - stack.size();
  swap_partner_context.uc_stack.ss_size = stack.size();
  swap_partner_context.uc_link = nullptr;
  makecontext(&swap_partner_context, &swap_partner, 0);
  for (auto _ : state) swapcontext(&swap_main, &swap_partner_context);
}
BENCHMARK(swapcontext_round_trip);

// --- C++20 coroutine (stackless) -------------------------------------------

struct endless_coroutine {
  struct promise_type {
    endless_coroutine get_return_object() {
      return {std::coroutine_handle<promise_type>::from_promise(*this)};
    }
    std::suspend_always initial_suspend() noexcept { return {}; }
    std::suspend_always final_suspend() noexcept { return {}; }
    void return_void() {}
    void unhandled_exception() { std::terminate(); }
  };
  std::coroutine_handle<promise_type> handle;
};

endless_coroutine counting(long* count) {
  for (;;) {
    ++*count;
    co_await std::suspend_always{};
  }
}

void coroutine_resume_suspend(benchmark::State& state) {
  long count = 0;
  endless_coroutine c = counting(&count);
  for (auto _ : state) {
    c.handle.resume();
    benchmark::DoNotOptimize(count);
  }
  c.handle.destroy();
}
BENCHMARK(coroutine_resume_suspend);

// --- two threads over a futex ----------------------------------------------

void futex_wait(std::atomic<int>& word, int expected) {
  syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr,
          0);
}
void futex_wake(std::atomic<int>& word) {
  syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

// 0: the benchmark thread's turn, 1: the partner's turn, 2: partner stops.
void futex_thread_ping_pong(benchmark::State& state) {
  std::atomic<int> turn{0};
  std::thread partner([&turn] {
    for (;;) {
      int v;
      while ((v = turn.load(std::memory_order_acquire)) == 0) futex_wait(turn, 0);
      if (v == 2) return;
      turn.store(0, std::memory_order_release);
      futex_wake(turn);
    }
  });
  for (auto _ : state) {
    turn.store(1, std::memory_order_release);
    futex_wake(turn);
    while (turn.load(std::memory_order_acquire) == 1) futex_wait(turn, 1);
  }
  turn.store(2, std::memory_order_release);
  futex_wake(turn);
  partner.join();
}
BENCHMARK(futex_thread_ping_pong)->UseRealTime();

// Every round trip relative to jump_fcontext's, each wrapper relative to its
// bare routine, and how many times faster a fiber's life is on a pooled stack
// than on a freshly mapped one.
void print_ratios(const tovric_bench::best_rounds& best) {
  if (const auto* base = best.find("jump_fcontext_round_trip")) {
    std::printf("\nper round trip, relative to jump_fcontext_round_trip (%.2f ns):\n",
                base->nanoseconds);
    for (const std::string& name : best.order) {
      if (name.rfind("fiber_lifecycle", 0) == 0) continue;  // no round trips
      std::printf("  %-34s %10.2f ns  %8.2fx\n", name.c_str(), best.find(name)->nanoseconds,
                  best.ratio(name, "jump_fcontext_round_trip"));
    }
  }
  tovric_bench::print_ratios(best, {{"jump_wrapper_round_trip", "jump_fcontext_round_trip"},
                                    {"ontop_wrapper_round_trip", "ontop_fcontext_round_trip"},
                                    {"fiber_lifecycle_fresh_stack", "fiber_lifecycle_pooled"}});
}

}  // namespace

int main(int argc, char** argv) { return tovric_bench::run_with_ratios(argc, argv, &print_ratios); }
