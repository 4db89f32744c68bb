// The half built with -fsanitize=address or -fsanitize=thread of a program
// whose other half is plain (mixed_flags_plain.cpp); CTest links the two in
// both orders, at -O0 and -O2. It follows every rule of switching.hpp:
// generators that throw and catch on their stacks, stopped by an exception
// thrown into them; stacks made by the plain half; a context that the plain
// half drives; contexts that move to another thread. It must end with status
// 0 and without a word from the sanitizer.
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "mixed_flags.hpp"
#include "tovric/context/protected_stack.hpp"
#include "tovric/context/switching.hpp"

namespace ctx = tovric::context;

namespace {

struct stop_request {
  ctx::fcontext_handle back;
};

ctx::fcontext_transfer throw_stop(ctx::fcontext_transfer t) { throw stop_request{t.from}; }

int parse(int i) {
  try {
    if (i % 3 == 0) throw std::invalid_argument("not this one");
    return i;
  } catch (const std::invalid_argument&) {
    return -i;
  }
}

// Yields parse(1), parse(2), ... until stopped or until it has yielded 10.
void generator(ctx::fcontext_transfer t) {
  ctx::fcontext_handle back = nullptr;
  try {
    for (int i = 1; i <= 10; ++i) {
      int value = parse(i);
      t = ctx::jump(t.from, &value);
    }
    back = t.from;
  } catch (const stop_request& stop) {
    back = stop.back;
  }
  ctx::leave(back, nullptr);
}

int expected_sum(int count) {
  int sum = 0;
  for (int i = 1; i <= count; ++i) sum += i % 3 == 0 ? -i : i;
  return sum;
}

bool check(bool ok, const char* what) {
  if (!ok) std::printf("failed: %s\n", what);
  return ok;
}

}  // namespace

int main() {
  bool ok = check(plain_unrelated_stack_size() >= 8192, "the plain half's stack");

  // Stacks made by the plain half, stopped half way by an exception.
  std::vector<ctx::protected_stack> stacks;
  std::vector<ctx::fcontext_handle> running;
  for (int i = 0; i < 50; ++i) {
    stacks.push_back(plain_stack(32 * 1024));
    running.push_back(ctx::make_fcontext(stacks.back().top(), stacks.back().size(), &generator));
  }
  int sum = 0;
  for (int step = 0; step < 5; ++step) {
    for (ctx::fcontext_handle& h : running) {
      const ctx::fcontext_transfer t = ctx::jump(h, nullptr);
      h = t.from;
      sum += *static_cast<int*>(t.payload);
    }
  }
  for (ctx::fcontext_handle& h : running) {
    ok &= check(ctx::ontop(h, nullptr, &throw_stop).payload == nullptr, "stopped generator");
  }
  ok &= check(sum == 50 * expected_sum(5), "sum of the stopped generators");

  // A generator driven by the plain half.
  ok &= check(plain_drive(&generator) == expected_sum(10), "generator driven by the plain half");

  // Half of a generator's life on another thread.
  ctx::protected_stack stack(32 * 1024);
  ctx::fcontext_transfer t{ctx::make_fcontext(stack.top(), stack.size(), &generator), nullptr};
  sum = 0;
  for (int step = 0; step < 5; ++step) {
    t = ctx::jump(t.from, nullptr);
    sum += *static_cast<int*>(t.payload);
  }
  std::thread([&] {
    for (;;) {
      t = ctx::jump(t.from, nullptr);
      if (t.payload == nullptr) break;
      sum += *static_cast<int*>(t.payload);
    }
  }).join();
  ok &= check(sum == expected_sum(10), "generator that moved to another thread");

  std::printf("%s\n", ok ? "all checks passed" : "some checks failed");
  return ok ? 0 : 1;
}
