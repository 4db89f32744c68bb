#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "child_process.hpp"
#include "switching.hpp"

using namespace context_test;

namespace {

void report_exit_handler() {
  static const char text[] = "[atexit]";
  static_cast<void>(::write(STDOUT_FILENO, text, sizeof text - 1));
}

void returning_entry(fcontext_transfer t) { entered(t); }

enum class child_end { entry_returns, calls_exit };

// A child whose stdout (the pipe) is fully buffered and holds unflushed text,
// with an exit handler that writes to it; the child then ends as `how` says.
// Returns how it ended and everything that reached the pipe.
test_support::child_result run_child(child_end how) {
  return test_support::run_in_child([how] {
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::atexit(&report_exit_handler);
    std::fputs("[buffered]", stdout);
    if (how == child_end::calls_exit) std::exit(0);
    static test_stack stack(64 * 1024);
    jump(stack.make(&returning_entry), nullptr);
    ::_exit(3);  // the entry function's return did not end the process
  });
}

}  // namespace

TEST(EntryFunctionReturn, EndsTheProcessWithStatusZeroWithoutExitHandlersOrFlush) {
  const test_support::child_result r = run_child(child_end::entry_returns);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
}

// The same child ending through exit() shows that the harness sees both the
// exit handler and the buffered text when they do happen.
TEST(EntryFunctionReturn, HarnessSeesHandlersAndFlushOfAnOrdinaryExit) {
  const test_support::child_result r = run_child(child_end::calls_exit);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("[atexit]"), std::string::npos);
  EXPECT_NE(r.output.find("[buffered]"), std::string::npos);
}

namespace {

void entry_that_returns_at_once(fcontext_transfer) {}

// In this process: a context whose stack is `bytes` bytes directly above an
// inaccessible page, started with an entry function that returns at once.
// Ending the process must need no stack beyond the saved frame and the
// entry function's own, whether the dynamic linker binds lazily or not.
[[noreturn]] void return_from_entry_on_a_tiny_stack(std::size_t bytes) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t pages = (bytes + page - 1) / page;
  void* const region = ::mmap(nullptr, (1 + pages) * page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (region == MAP_FAILED || ::mprotect(region, page, PROT_NONE) != 0) ::_exit(4);
  unsigned char* const top = static_cast<unsigned char*>(region) + page + bytes;
  tovric::context::jump_fcontext(tovric::context::make_fcontext(top, bytes,
                                                                &entry_that_returns_at_once),
                                 nullptr);
  ::_exit(3);  // not reached: the entry function's return ends the process
}

// Runs the statement in a freshly executed copy of this program, so that the
// dynamic linker reads the binding mode from the environment given.
class EntryFunctionReturnOnATinyStack : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (GetParam()) {
      ::setenv("LD_BIND_NOW", "1", 1);
    } else {
      ::unsetenv("LD_BIND_NOW");
    }
  }
  void TearDown() override { ::unsetenv("LD_BIND_NOW"); }
};

// 256 bytes: the saved frame, the entry function's and the call of _exit.
// Under AddressSanitizer the library's GOT slot for _exit holds the
// runtime's _exit. In the shared runtime that g++ links (libasan.so of GCC
// 14) that is a jump to the interceptor through a PLT entry of the runtime's
// own, which the dynamic linker binds lazily, on this stack, saving the whole
// vector register state there (with AVX-512 that took between 3 and 4 KiB;
// larger register files take more). That stack is the tool's, not the
// library's: a process with ASan's runtime gives it 64 KiB.
std::size_t tiny_stack_bytes() {
  return tovric::context::detail::asan_runs() ? 64 * 1024 : 256;
}

TEST_P(EntryFunctionReturnOnATinyStack, EndsTheProcessWithStatusZero) {
  EXPECT_EXIT(return_from_entry_on_a_tiny_stack(tiny_stack_bytes()), ::testing::ExitedWithCode(0),
              "");
}

INSTANTIATE_TEST_SUITE_P(BindingMode, EntryFunctionReturnOnATinyStack, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& binding) {
                           return binding.param ? "BindNow" : "Lazy";
                         });

}  // namespace
