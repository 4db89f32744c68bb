// The timer in several threads at once: timers of their own, and the first
// samples of a process racing to compute the tick factor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "clock_interposer.hpp"
#include "tovric/timer/timer.hpp"

namespace {

using clock_interposer::ticks;
using tovric::timer::cpu_times;
using tovric::timer::cpu_timer;
using namespace std::chrono_literals;

constexpr std::int64_t ms = 1000000;

}  // namespace

TEST(CpuTimerStates, DistinctTimersRunInDistinctThreads) {
  std::vector<std::thread> threads;
  std::vector<cpu_times> results(4);
  for (auto& result : results) {
    threads.emplace_back([&result] {
      cpu_timer t;
      std::this_thread::sleep_for(10ms);
      t.stop();
      result = t.elapsed();
    });
  }
  for (auto& th : threads) th.join();
  for (const auto& result : results) EXPECT_GE(result.wall, 10 * ms);
}

// The tick factor is computed once per process, so each tick-rate case runs
// in a freshly executed copy of this test program, before its first sample.
class ClockTickRate : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

namespace {

// Runs in the fresh process: fakes the tick rate, lets eight threads take
// their first samples at once (at 0 ticks), then stops all eight timers at 5
// user and 2 system ticks. Exits 0 when every elapsed time matches and the
// tick rate was asked once.
[[noreturn]] void check_tick_rate(long ticks_per_second, std::int64_t expected_factor) {
  clock_interposer::fake_ticks_per_second(ticks_per_second);
  clock_interposer::fake_times(ticks(0, 0));
  std::vector<std::optional<cpu_timer>> timers(8);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (auto& timer : timers) {
    threads.emplace_back([&] {
      while (!go.load()) {
      }
      timer.emplace();
    });
  }
  go.store(true);
  for (auto& th : threads) th.join();

  clock_interposer::fake_times(ticks(5, 2));
  const std::int64_t user = expected_factor == -1 ? 0 : 5 * expected_factor;
  const std::int64_t system = expected_factor == -1 ? 0 : 2 * expected_factor;
  bool ok = clock_interposer::tick_rate_queries() == 1;
  for (auto& timer : timers) {
    timer->stop();
    ok = ok && timer->elapsed().user == user && timer->elapsed().system == system;
  }
  std::_Exit(ok ? 0 : 1);
}

}  // namespace

TEST_F(ClockTickRate, OneHundredTicksPerSecondGiveTenMillisecondsPerTick) {
  EXPECT_EXIT(check_tick_rate(100, 10000000), ::testing::ExitedWithCode(0), "");
}

TEST_F(ClockTickRate, AFactorIsTruncatedToWholeNanoseconds) {
  EXPECT_EXIT(check_tick_rate(3, 333333333), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(check_tick_rate(1000000000, 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(ClockTickRate, AnUnusableTickRateMarksEveryCpuTimeAndIsAskedOnce) {
  // -1 and 0: no usable rate; 2e9: less than a nanosecond per tick.
  EXPECT_EXIT(check_tick_rate(-1, -1), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(check_tick_rate(0, -1), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(check_tick_rate(2000000000, -1), ::testing::ExitedWithCode(0), "");
}
