// The memory of a protected stack as the kernel shows it, its end when a
// context overflows it, and mappings that fail without leaving anything.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "overflow.hpp"
#include "switching.hpp"
#include "tovric/context/stack_traits.hpp"

using namespace context_test;
using tovric::context::stack_traits;

namespace {

std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

struct mapping {
  std::uintptr_t begin, end;
  std::string permissions;
};

std::vector<mapping> mappings() {
  std::vector<mapping> out;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    mapping m;
    char dash;
    fields >> std::hex >> m.begin >> dash >> m.end >> m.permissions;
    out.push_back(m);
  }
  return out;
}

// The mapping that holds `p`, or one with empty permissions.
mapping mapping_at(std::uintptr_t p) {
  for (const mapping& m : mappings()) {
    if (m.begin <= p && p < m.end) return m;
  }
  return {0, 0, ""};
}

}  // namespace

TEST(ProtectedStack, IsWholePagesOfReadWriteMemoryAboveOneInaccessiblePage) {
  const std::size_t page = stack_traits::page_size();
  const std::size_t minimum = stack_traits::minimum_size();
  for (std::size_t requested : {std::size_t{0}, std::size_t{1}, minimum, page - 1, page, page + 1,
                                stack_traits::default_size(), std::size_t{1} << 20}) {
    SCOPED_TRACE(requested);
    const std::size_t wanted = std::max(requested, minimum);
    std::uintptr_t bottom = 0;
    std::uintptr_t top = 0;
    {
      test_stack stack(requested);
      top = address(stack.top());
      bottom = address(stack.bottom());
      EXPECT_GE(stack.size(), wanted);
      EXPECT_LT(stack.size(), wanted + page);
      EXPECT_EQ(bottom % page, 0u);
      EXPECT_EQ(top % 16, 0u);

      const mapping usable = mapping_at(bottom);
      EXPECT_EQ(usable.permissions, "rw-p");
      EXPECT_GE(usable.end, top);
      EXPECT_EQ(mapping_at(bottom - 1).permissions, "---p");
      EXPECT_EQ(mapping_at(bottom - page).permissions, "---p");
      std::memset(stack.bottom(), 0xa5, stack.size());  // every byte is there to use
    }
    EXPECT_EQ(mapping_at(bottom).permissions, "") << "still mapped after destruction";
    EXPECT_EQ(mapping_at(bottom - page).permissions, "");
  }
}

TEST(ProtectedStack, MovingHandsTheMappingOverAndLeavesTheSourceEmpty) {
  test_stack first(64 * 1024);
  const std::uintptr_t first_bottom = address(first.bottom());
  test_stack second(std::move(first));
  EXPECT_EQ(address(second.bottom()), first_bottom);
  EXPECT_EQ(first.top(), nullptr);
  EXPECT_EQ(first.size(), 0u);

  test_stack third(32 * 1024);
  const std::uintptr_t third_bottom = address(third.bottom());
  third = std::move(second);  // third's own mapping goes
  EXPECT_EQ(address(third.bottom()), first_bottom);
  EXPECT_EQ(mapping_at(third_bottom).permissions, "");
  EXPECT_EQ(mapping_at(first_bottom).permissions, "rw-p");
}

// ---------------------------------------------------------------------------
// Overflow

namespace overflow {

void entry(fcontext_transfer t) {
  entered(t);
  dig(0);
  switch_away_for_good(t.from, nullptr);
}

int report_fd = -1;

// On its own stack, as the context's stack is full: reports the faulting
// address, then lets the fault happen again with the default action.
void on_segv(int, siginfo_t* info, void*) {
  const std::uintptr_t fault = address(info->si_addr);
  static_cast<void>(::write(report_fd, &fault, sizeof fault));
  ::signal(SIGSEGV, SIG_DFL);
}

}  // namespace overflow

TEST(ProtectedStack, OverflowEndsTheProcessWithSegvAtTheGuardPageLeavingTheNeighbourIntact) {
  const std::size_t page = stack_traits::page_size();
  constexpr std::size_t neighbour_size = 16 * 1024;
  // The neighbour below the guard page is shared with this process, which
  // checks it after the child's death.
  const int memory = ::memfd_create("neighbour", 0);
  ASSERT_GE(memory, 0);
  ASSERT_EQ(::ftruncate(memory, neighbour_size), 0);
  auto* neighbour = static_cast<unsigned char*>(
      ::mmap(nullptr, neighbour_size, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0));
  ASSERT_NE(neighbour, MAP_FAILED);
  std::memset(neighbour, 0x5a, neighbour_size);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    overflow::report_fd = fds[1];
    // Keep making stacks until the room below one's guard page is free for
    // the neighbour (it usually is for the first).
    std::vector<std::unique_ptr<test_stack>> stacks;
    std::uintptr_t guard = 0;
    for (int attempt = 0; attempt < 16 && guard == 0; ++attempt) {
      stacks.push_back(std::make_unique<test_stack>(32 * 1024));
      const std::uintptr_t below = address(stacks.back()->bottom()) - page - neighbour_size;
      void* placed = ::mmap(reinterpret_cast<void*>(below), neighbour_size, PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_FIXED_NOREPLACE, memory, 0);
      if (placed != MAP_FAILED) guard = below + neighbour_size;
    }
    if (guard == 0) ::_exit(2);
    static_cast<void>(::write(fds[1], &guard, sizeof guard));

    static std::vector<unsigned char> signal_stack(64 * 1024);
    stack_t alternate{};
    alternate.ss_sp = signal_stack.data();
    alternate.ss_size = signal_stack.size();
    struct sigaction action {};
    action.sa_sigaction = &overflow::on_segv;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    if (::sigaltstack(&alternate, nullptr) != 0 || ::sigaction(SIGSEGV, &action, nullptr) != 0) {
      ::_exit(3);
    }
    jump(stacks.back()->make(&overflow::entry), nullptr);
    ::_exit(4);  // the overflow did not end the process
  }
  ::close(fds[1]);
  std::uintptr_t reported[2] = {0, 0};  // the guard page, then the fault
  std::size_t got = 0;
  for (ssize_t n; got < sizeof reported &&
                  (n = ::read(fds[0], reinterpret_cast<char*>(reported) + got,
                              sizeof reported - got)) > 0;) {
    got += static_cast<std::size_t>(n);
  }
  ::close(fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);

  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  ASSERT_EQ(got, sizeof reported);
  EXPECT_GE(reported[1], reported[0]) << "fault below the guard page";
  EXPECT_LT(reported[1], reported[0] + page) << "fault above the guard page";
  EXPECT_TRUE(std::all_of(neighbour, neighbour + neighbour_size, [](unsigned char c) {
    return c == 0x5a;
  })) << "the neighbour below the guard page was written";
  ::munmap(neighbour, neighbour_size);
  ::close(memory);
}

// ---------------------------------------------------------------------------
// Failed mappings

namespace {
int fail_next_mprotect = 0;  // errno for the next mprotect, 0 for none
}

// Takes the place of the C library's mprotect for this program, so that the
// guard page's step can be made to fail.
extern "C" int mprotect(void* address, std::size_t length, int protection) noexcept {
  if (fail_next_mprotect != 0) {
    errno = fail_next_mprotect;
    fail_next_mprotect = 0;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_mprotect, address, length, protection));
}

namespace {

// Bytes of address space mapped. (Not the number of mappings: the
// AddressSanitizer's allocator splits its reserved regions as it goes.)
std::uintptr_t mapped_bytes() {
  std::uintptr_t total = 0;
  for (const mapping& m : mappings()) total += m.end - m.begin;
  return total;
}

std::error_code failure_of(std::size_t size) {
  try {
    test_stack stack(size);
  } catch (const std::system_error& e) {
    return e.code();
  }
  return {};
}

}  // namespace

TEST(ProtectedStack, FailedMappingThrowsItsErrnoAndLeavesNothingMapped) {
  const std::error_code out_of_memory = std::make_error_code(std::errc::not_enough_memory);
  EXPECT_EQ(failure_of(SIZE_MAX), out_of_memory);  // also settles the exception machinery
  const std::uintptr_t before = mapped_bytes();
  for (int round = 0; round < 4; ++round) {
    EXPECT_EQ(failure_of(SIZE_MAX), out_of_memory) << "rounding up would overflow";
    EXPECT_EQ(failure_of(std::size_t{1} << 62), out_of_memory) << "beyond the address space";
    fail_next_mprotect = EACCES;
    EXPECT_EQ(failure_of(stack_traits::default_size()),
              std::make_error_code(std::errc::permission_denied))
        << "the guard page's mprotect";
  }
  EXPECT_EQ(mapped_bytes(), before);
}
