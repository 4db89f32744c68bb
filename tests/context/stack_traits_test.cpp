#include "tovric/context/stack_traits.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <latch>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "command_output.hpp"

using tovric::context::stack_traits;

namespace {

constexpr std::uint64_t infinity = 18446744073709551615u;

// What the probe said when the stack limit does not change in its process
// (under emulation): the tests that set a limit skip, saying so.
std::string limit_ignored;
#define SKIP_IF_LIMIT_IGNORED() \
  if (!limit_ignored.empty()) GTEST_SKIP() << limit_ignored

struct answers {
  int unbounded = -1;
  std::uint64_t maximum = 0, page = 0, default_size = 0, minimum = 0;
};

// Runs the probe (a fresh process, so the caches start empty) with `args` and
// returns one record per "report" it carried out.
std::vector<answers> probe(const std::string& args) {
  limit_ignored.clear();
  const std::string command = std::string(TOVRIC_STACK_TRAITS_PROBE) + " " + args;
  const test_support::command_result r = test_support::run_command(command);
  EXPECT_EQ(r.status, 0) << command;
  std::vector<answers> out;
  for (const std::string& line : r.lines) {
    if (line.rfind("ignored: ", 0) == 0) {
      limit_ignored = line;
      continue;
    }
    std::istringstream in(line);
    answers a;
    if (in >> a.unbounded >> a.maximum >> a.page >> a.default_size >> a.minimum) {
      out.push_back(a);
    } else {
      ADD_FAILURE() << "probe said: " << line;
    }
  }
  return out;
}

}  // namespace

TEST(StackTraits, InfiniteHardLimitIsUnboundedWhateverTheSoftLimit) {
  rlimit current{};
  ASSERT_EQ(::getrlimit(RLIMIT_STACK, &current), 0);
  if (current.rlim_max != RLIM_INFINITY && ::geteuid() != 0) {
    GTEST_SKIP() << "the hard stack limit is finite and cannot be raised here";
  }
  for (const char* soft : {"8388608", "inf"}) {
    const auto r = probe(std::string("limit ") + soft + " inf report");
    SKIP_IF_LIMIT_IGNORED();
    ASSERT_EQ(r.size(), 1u) << soft;
    EXPECT_EQ(r[0].unbounded, 1) << soft;
    EXPECT_EQ(r[0].maximum, infinity) << soft;
  }
}

TEST(StackTraits, MaximumIsTheHardLimitNotTheLowerSoftOne) {
  const auto r = probe("limit 4194304 16777216 report");
  SKIP_IF_LIMIT_IGNORED();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].unbounded, 0);
  EXPECT_EQ(r[0].maximum, 16777216u);
}

TEST(StackTraits, LimitChangedAfterTheFirstCallIsNotSeen) {
  const auto lowered = probe("limit 8388608 16777216 report limit 4194304 8388608 report");
  SKIP_IF_LIMIT_IGNORED();
  ASSERT_EQ(lowered.size(), 2u);
  EXPECT_EQ(lowered[1].maximum, 16777216u);
  EXPECT_EQ(lowered[1].unbounded, 0);

  const auto bounded = probe("limit 8388608 inf report limit 8388608 8388608 report");
  SKIP_IF_LIMIT_IGNORED();
  ASSERT_EQ(bounded.size(), 2u);
  EXPECT_EQ(bounded[0].unbounded, 1);
  EXPECT_EQ(bounded[1].unbounded, 1);
  EXPECT_EQ(bounded[1].maximum, infinity);
}

TEST(StackTraits, DefaultAndMinimumSizesAreConstantEvenBelowAHardLimitOf128K) {
  const auto r = probe("limit 65536 65536 report");
  SKIP_IF_LIMIT_IGNORED();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].maximum, 65536u);
  EXPECT_EQ(r[0].default_size, 131072u);
  EXPECT_EQ(r[0].minimum, 2048u);
  EXPECT_EQ(stack_traits::default_size(), 131072u);
  EXPECT_EQ(stack_traits::minimum_size(), 2048u);
}

TEST(StackTraits, FailedGetrlimitReadsAsUnbounded) {
  const auto r = probe("limit 4194304 16777216 fail report");
  SKIP_IF_LIMIT_IGNORED();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].unbounded, 1);
  EXPECT_EQ(r[0].maximum, infinity);
}

TEST(StackTraits, PageSizeIsTheSystemPageSizeOnEveryCall) {
  const auto system_page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  EXPECT_EQ(stack_traits::page_size(), system_page);
  EXPECT_EQ(stack_traits::page_size(), system_page);
  const auto r = probe("report report");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].page, system_page);
  EXPECT_EQ(r[1].page, system_page);
}

TEST(StackTraits, FirstCallsFromManyThreadsAllSeeTheSameValues) {
  rlimit current{};
  ASSERT_EQ(::getrlimit(RLIMIT_STACK, &current), 0);
  const auto system_page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));

  constexpr int threads = 8;
  std::latch start(threads);
  std::vector<answers> seen(threads);
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) {
    workers.emplace_back([&, i] {
      start.arrive_and_wait();  // all make their first call at once
      seen[i].maximum = stack_traits::maximum_size();
      seen[i].unbounded = stack_traits::is_unbounded() ? 1 : 0;
      seen[i].page = stack_traits::page_size();
    });
  }
  for (auto& w : workers) w.join();
  for (int i = 0; i < threads; ++i) {
    EXPECT_EQ(seen[i].maximum, current.rlim_max) << "thread " << i;
    EXPECT_EQ(seen[i].unbounded, current.rlim_max == RLIM_INFINITY ? 1 : 0) << "thread " << i;
    EXPECT_EQ(seen[i].page, system_page) << "thread " << i;
  }
}
