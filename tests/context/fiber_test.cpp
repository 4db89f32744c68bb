// What the workloads do not reach: the preconditions that end the process
// with a message, a fiber's end at its guard page when it overflows its
// stack, fibers whose code gets in the way of their unwinding, and a
// function object too large for its stack.
#include "tovric/context/fiber.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "child_process.hpp"
#include "overflow.hpp"
#include "tovric/context/stack_pool.hpp"
#include "tovric/context/stack_traits.hpp"

using tovric::context::fiber;
using tovric::context::protected_stack;
using tovric::context::stack_pool;
using tovric::context::stack_traits;

namespace {

// Each death test runs in a new process: a sanitizer's own threads make
// fork() alone unsafe.
class FiberDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(FiberDeathTest, ResumeOfAFinishedFiberEndsTheProcessWithAMessage) {
  fiber<> once([](fiber<>::suspender&) {});
  EXPECT_FALSE(once.resume());
  EXPECT_DEATH(once.resume(), "tovric::context::fiber: resume of a fiber that has finished");
  fiber<> none;
  EXPECT_DEATH(none.resume(), "resume of a fiber that has finished or holds none");
}

TEST_F(FiberDeathTest, AFiberThatResumesOrDestroysItselfEndsTheProcessWithAMessage) {
  EXPECT_DEATH(
      {
        fiber<> self_resuming;
        self_resuming = fiber<>([&self_resuming](fiber<>::suspender&) { self_resuming.resume(); });
        self_resuming.resume();
      },
      "resume of the fiber that is running, from inside itself");
  EXPECT_DEATH(
      {
        fiber<> self_destroying;
        self_destroying =
            fiber<>([&self_destroying](fiber<>::suspender&) { self_destroying = {}; });
        self_destroying.resume();
      },
      "destruction of the fiber that is running, from inside itself");
}

// ---------------------------------------------------------------------------
// Overflow

// On its own stack, as the fiber's is full: writes the faulting address,
// then lets the fault happen again with the default action.
void report_fault(int, siginfo_t* info, void*) {
  const auto fault = reinterpret_cast<std::uintptr_t>(info->si_addr);
  static_cast<void>(::write(STDOUT_FILENO, &fault, sizeof fault));
  ::signal(SIGSEGV, SIG_DFL);
}

TEST(FiberOverflow, AFiberThatOverflowsItsStackDiesBySegvAtItsGuardPage) {
  const test_support::child_result child = test_support::run_in_child([] {
    protected_stack stack(32 * 1024);
    const auto bottom = reinterpret_cast<std::uintptr_t>(stack.top()) - stack.size();
    static_cast<void>(::write(STDOUT_FILENO, &bottom, sizeof bottom));
    static std::array<unsigned char, 64 * 1024> signal_stack;
    stack_t alternate{};
    alternate.ss_sp = signal_stack.data();
    alternate.ss_size = signal_stack.size();
    struct sigaction action {};
    action.sa_sigaction = &report_fault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    if (::sigaltstack(&alternate, nullptr) != 0 || ::sigaction(SIGSEGV, &action, nullptr) != 0) {
      ::_exit(3);
    }
    fiber<> digger(std::move(stack), [](fiber<>::suspender&) { context_test::dig(0); });
    digger.resume();
    ::_exit(4);  // the overflow did not end the process
  });
  ASSERT_FALSE(child.exited) << "exit status " << child.status;
  EXPECT_EQ(child.signal, SIGSEGV);
  ASSERT_EQ(child.output.size(), 2 * sizeof(std::uintptr_t));
  std::uintptr_t bottom = 0, fault = 0;
  std::memcpy(&bottom, child.output.data(), sizeof bottom);
  std::memcpy(&fault, child.output.data() + sizeof bottom, sizeof fault);
  EXPECT_LT(fault, bottom) << "fault inside the stack";
  EXPECT_GE(fault, bottom - stack_traits::page_size()) << "fault below the guard page";
}

// ---------------------------------------------------------------------------
// Unwinding that the fiber's own code gets in the way of

struct counted {
  int* destroyed;
  ~counted() { ++*destroyed; }
};

TEST(FiberUnwinding, ADestroyedFiberEndsEvenIfItsCodeSwallowsOrReplacesTheUnwinding) {
  int destroyed = 0;
  {
    fiber<> swallowing([&destroyed](fiber<>::suspender& self) {
      const counted guard{&destroyed};
      try {
        self.suspend();
      } catch (...) {  // swallows fiber_unwind: the next suspend throws it again
      }
      self.suspend();
      ADD_FAILURE() << "the fiber went on after its destruction began";
    });
    fiber<> replacing([&destroyed](fiber<>::suspender& self) {
      const counted guard{&destroyed};
      try {
        self.suspend();
      } catch (...) {
        throw std::runtime_error("replaces the unwinding; discarded");
      }
    });
    EXPECT_TRUE(swallowing.resume());
    EXPECT_TRUE(replacing.resume());
  }
  EXPECT_EQ(destroyed, 2);
}

TEST(FiberStacks, AFunctionObjectTooLargeForItsStackIsRefusedAndTheStackGoesBack) {
  stack_pool pool(16 * 1024, 4);
  std::array<char, 20 * 1024> large{};
  EXPECT_THROW(fiber<>(pool, [large](fiber<>::suspender&) { static_cast<void>(large); }),
               std::length_error);
  EXPECT_EQ(pool.idle(), 1u);
  std::array<char, 8 * 1024> fits{};
  fits[0] = 7;
  fiber<int> taken(pool, [fits](fiber<int>::suspender& self) { self.suspend(fits[0]); });
  EXPECT_EQ(pool.idle(), 0u);
  EXPECT_EQ(taken.resume(), 7);
}

}  // namespace
