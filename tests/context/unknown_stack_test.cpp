// A switch through the wrappers to a context on memory that is not a
// protected_stack, in a process that runs with a sanitizer: the process ends
// with the wrappers' message, having read nothing outside that memory (no
// sanitizer report, no fault). Without a sanitizer runtime the wrappers are
// the bare routines, which check nothing, and the tests are skipped. A used
// stack takes a new context through protected_stack::prepare.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdlib>

#include "switching.hpp"
#include "tovric/context/detail/sanitizers.hpp"

using namespace context_test;

namespace {

void never_started(fcontext_transfer) { std::abort(); }

constexpr const char* message = "a context on a stack the switch wrappers do not know";

// Each death test runs in a new process: a sanitizer's own threads make
// fork() alone unsafe.
class UnknownStackDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

}  // namespace

TEST_F(UnknownStackDeathTest, MallocedStackGetsTheMessage) {
  if (!tovric::context::detail::announcing()) GTEST_SKIP() << "no sanitizer runtime";
  constexpr std::size_t size = 64 * 1024;
  EXPECT_DEATH(
      {
        auto* memory = static_cast<unsigned char*>(std::malloc(size));
        jump(tovric::context::make_fcontext(memory + size, size, &never_started), nullptr);
      },
      message);
}

TEST_F(UnknownStackDeathTest, StackWhoseTopEndsItsMappingGetsTheMessage) {
  if (!tovric::context::detail::announcing()) GTEST_SKIP() << "no sanitizer runtime";
  constexpr std::size_t size = 64 * 1024;
  EXPECT_DEATH(
      {
        void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (memory == MAP_FAILED) std::abort();
        auto* top = static_cast<unsigned char*>(memory) + size;
        jump(tovric::context::make_fcontext(top, size, &never_started), nullptr);
      },
      message);
}

TEST_F(UnknownStackDeathTest, ProtectedStackUsedByAnEarlierContextGetsTheMessage) {
  if (!tovric::context::detail::announcing()) GTEST_SKIP() << "no sanitizer runtime";
  EXPECT_DEATH(
      {
        test_stack stack(32 * 1024);
        jump(stack.make([](fcontext_transfer t) {
               int on_the_stack[64] = {};
               leave(t.from, on_the_stack);
             }),
             nullptr);
        jump(stack.make(&never_started), nullptr);
      },
      message);
}

// The same stack, prepared again through prepare(), takes context after
// context; each runs, answers through the caller's memory and leaves (what
// was on its own stack is gone once it has left).
TEST(UsedProtectedStack, TakesANewContextThroughPrepare) {
  test_stack stack(32 * 1024);
  for (int round = 0; round < 3; ++round) {
    int answer = round;
    const fcontext_transfer t = jump(stack.prepare([](fcontext_transfer from) {
                                       int on_the_stack[64] = {};
                                       on_the_stack[63] = *static_cast<int*>(from.payload) + 1;
                                       *static_cast<int*>(from.payload) = on_the_stack[63];
                                       leave(from.from, from.payload);
                                     }),
                                     &answer);
    EXPECT_EQ(t.payload, &answer);
    EXPECT_EQ(answer, round + 1);
  }
}
