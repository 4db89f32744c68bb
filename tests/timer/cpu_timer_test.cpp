#include "tovric/timer/timer.hpp"

#include <gtest/gtest.h>
#include <sys/times.h>

#include <chrono>
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "clock_interposer.hpp"

namespace {

using tovric::timer::cpu_times;
using tovric::timer::cpu_timer;
using namespace std::chrono_literals;

constexpr std::int64_t ms = 1000000;

// Nanoseconds per tick of the real clock, as the library computes it.
std::int64_t real_tick_factor() { return 1000000000 / clock_interposer::real_ticks_per_second(); }

tms ticks(clock_t user, clock_t system, clock_t children_user = 0, clock_t children_system = 0) {
  tms t{};
  t.tms_utime = user;
  t.tms_stime = system;
  t.tms_cutime = children_user;
  t.tms_cstime = children_system;
  return t;
}

void spin_for(std::chrono::milliseconds d) {
  const auto end = std::chrono::steady_clock::now() + d;
  while (std::chrono::steady_clock::now() < end) {
  }
}

// Restores the real clocks after every test that fakes them.
class ElapsedCpuTimes : public ::testing::Test {
 protected:
  void TearDown() override { clock_interposer::restore(); }
};

}  // namespace

TEST(CpuTimerStates, NewTimerIsRunningAndReadsSmallNonDecreasingTimes) {
  cpu_timer t;
  const cpu_times first = t.elapsed();
  const cpu_times second = t.elapsed();
  EXPECT_FALSE(t.is_stopped());
  EXPECT_GE(first.wall, 0);
  EXPECT_LT(first.wall, 1000 * ms);
  EXPECT_GE(first.user, 0);
  EXPECT_GE(first.system, 0);
  EXPECT_GE(second.wall, first.wall);
}

TEST(CpuTimerStates, StopFixesTheTimesAndASecondStopChangesNothing) {
  cpu_timer t;
  spin_for(5ms);
  t.stop();
  const cpu_times fixed = t.elapsed();
  std::this_thread::sleep_for(5ms);
  t.stop();
  const cpu_times again = t.elapsed();
  EXPECT_TRUE(t.is_stopped());
  EXPECT_GE(fixed.wall, 5 * ms);
  EXPECT_EQ(again.wall, fixed.wall);
  EXPECT_EQ(again.user, fixed.user);
  EXPECT_EQ(again.system, fixed.system);
}

TEST(CpuTimerStates, ResumeOnARunningTimerKeepsItsStart) {
  cpu_timer t;
  std::this_thread::sleep_for(20ms);
  t.resume();
  EXPECT_FALSE(t.is_stopped());
  EXPECT_GE(t.elapsed().wall, 20 * ms);
}

TEST(CpuTimerStates, StoppedTimeIsLeftOutOfAResumedTimer) {
  cpu_timer t;
  std::this_thread::sleep_for(10ms);
  t.stop();
  std::this_thread::sleep_for(200ms);
  t.resume();
  std::this_thread::sleep_for(10ms);
  t.stop();
  const std::int64_t wall = t.elapsed().wall;
  EXPECT_GE(wall, 20 * ms);
  EXPECT_LT(wall, 200 * ms);
}

TEST(CpuTimerStates, StartOnAStoppedTimerRestartsFromZero) {
  cpu_timer t;
  std::this_thread::sleep_for(50ms);
  t.stop();
  t.start();
  EXPECT_FALSE(t.is_stopped());
  EXPECT_LT(t.elapsed().wall, 50 * ms);
}

TEST(CpuTimerStates, CpuTimesAreWholeTicksOfTheRealClock) {
  cpu_timer t;
  spin_for(30ms);
  t.stop();
  const cpu_times e = t.elapsed();
  EXPECT_EQ(e.user % real_tick_factor(), 0);
  EXPECT_EQ(e.system % real_tick_factor(), 0);
}

TEST(CpuTimerStates, DistinctTimersRunInDistinctThreads) {
  std::vector<std::thread> threads;
  std::vector<cpu_times> results(4);
  for (auto& result : results) {
    threads.emplace_back([&result] {
      cpu_timer t;
      spin_for(10ms);
      t.stop();
      result = t.elapsed();
    });
  }
  for (auto& th : threads) th.join();
  for (const auto& result : results) EXPECT_GE(result.wall, 10 * ms);
}

TEST_F(ElapsedCpuTimes, CpuTimesSumOwnAndChildrenTicksTimesTheFactor) {
  const std::int64_t f = real_tick_factor();
  clock_interposer::fake_times(ticks(10, 20, 1, 2));
  cpu_timer t;
  clock_interposer::fake_times(ticks(15, 27, 4, 3));
  t.stop();
  EXPECT_EQ(t.elapsed().user, (15 + 4 - 10 - 1) * f);
  EXPECT_EQ(t.elapsed().system, (27 + 3 - 20 - 2) * f);
}

TEST_F(ElapsedCpuTimes, ResumedIntervalsAddUpWithoutTheStoppedGap) {
  const std::int64_t f = real_tick_factor();
  clock_interposer::fake_times(ticks(100, 0));
  cpu_timer t;
  clock_interposer::fake_times(ticks(130, 0));
  t.stop();
  clock_interposer::fake_times(ticks(500, 0));  // burnt while stopped
  t.resume();
  clock_interposer::fake_times(ticks(507, 0));
  EXPECT_EQ(t.elapsed().user, 37 * f);  // read while running
  clock_interposer::fake_times(ticks(510, 0));
  t.stop();
  EXPECT_EQ(t.elapsed().user, 40 * f);
}

TEST_F(ElapsedCpuTimes, TimesFailingAtBothEndsGivesZeroCpuAndARealWallTime) {
  clock_interposer::fail_times();
  cpu_timer t;
  std::this_thread::sleep_for(10ms);
  t.stop();
  EXPECT_EQ(t.elapsed().user, 0);
  EXPECT_EQ(t.elapsed().system, 0);
  EXPECT_GE(t.elapsed().wall, 10 * ms);
}

TEST_F(ElapsedCpuTimes, TimesFailingAtOneEndLeavesTheSentinelInTheDifference) {
  const std::int64_t f = real_tick_factor();
  clock_interposer::fake_times(ticks(7, 3));
  cpu_timer end_failed;
  clock_interposer::fail_times();
  end_failed.stop();
  EXPECT_EQ(end_failed.elapsed().user, -1 - 7 * f);
  EXPECT_EQ(end_failed.elapsed().system, -1 - 3 * f);

  cpu_timer start_failed;
  clock_interposer::fake_times(ticks(7, 3));
  start_failed.stop();
  EXPECT_EQ(start_failed.elapsed().user, 7 * f + 1);
  EXPECT_EQ(start_failed.elapsed().system, 3 * f + 1);
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
