#include <gtest/gtest.h>

#include <future>
#include <latch>
#include <thread>
#include <vector>

#include "switching.hpp"

using namespace context_test;

namespace {

thread_local int per_thread;

// Called through a volatile pointer so that the address is computed on the
// thread running now, not cached by the caller across a switch.
const int* own_marker() { return &per_thread; }
const int* (*volatile const thread_marker)() = &own_marker;

struct travel {
  const int* marker_before = nullptr;
  const int* marker_after = nullptr;
  int resumed_with = 0;
};

void traveller(fcontext_transfer t) {
  entered(t);
  auto* log = static_cast<travel*>(t.payload);
  log->marker_before = thread_marker();
  t = jump(t.from, nullptr);
  log->marker_after = thread_marker();
  log->resumed_with = *static_cast<int*>(t.payload);
  switch_away_for_good(t.from, nullptr);
}

}  // namespace

TEST(CrossThread, ContextSuspendedOnOneThreadGoesOnOnAnotherWithThatThreadsData) {
  test_stack stack;
  travel log;
  std::promise<fcontext_handle> suspended;
  std::future<fcontext_handle> handed_over = suspended.get_future();
  std::latch resumed(1);  // keeps the first thread, and its data, alive meanwhile
  const int* first_marker = nullptr;
  const int* second_marker = nullptr;

  std::thread first([&] {
    first_marker = thread_marker();
    suspended.set_value(jump(stack.make(&traveller), &log).from);
    resumed.wait();
  });
  std::thread second([&] {
    second_marker = thread_marker();
    const fcontext_handle h = handed_over.get();
    int value = 42;
    jump(h, &value);
    resumed.count_down();
  });
  first.join();
  second.join();

  EXPECT_EQ(log.marker_before, first_marker);
  EXPECT_EQ(log.marker_after, second_marker);
  EXPECT_NE(first_marker, second_marker);
  EXPECT_EQ(log.resumed_with, 42);
}

namespace {

constexpr int switches_per_thread = 20000;

void counter(fcontext_transfer t) {
  entered(t);
  for (;;) {
    ++*static_cast<int*>(t.payload);
    t = jump(t.from, t.payload);
  }
}

}  // namespace

TEST(CrossThread, ThreadsSwitchTheirOwnContextsAtTheSameTime) {
  constexpr int threads = 4;
  std::vector<int> counts(threads, 0);
  std::vector<int> payload_mismatches(threads, 0);
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) {
    workers.emplace_back([&, i] {
      test_stack stack(64 * 1024);
      int* mine = &counts[i];
      fcontext_handle h = stack.make(&counter);
      for (int n = 0; n < switches_per_thread; ++n) {
        fcontext_transfer t = jump(h, mine);
        if (t.payload != mine) ++payload_mismatches[i];
        h = t.from;
      }
    });
  }
  for (auto& w : workers) w.join();
  for (int i = 0; i < threads; ++i) {
    EXPECT_EQ(counts[i], switches_per_thread) << "thread " << i;
    EXPECT_EQ(payload_mismatches[i], 0) << "thread " << i;
  }
}
