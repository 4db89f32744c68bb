#include "tovric/timer/timer.hpp"

#include <gtest/gtest.h>
#include <sys/times.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "clock_interposer.hpp"

namespace {

using clock_interposer::ticks;
using tovric::timer::cpu_times;
using tovric::timer::cpu_timer;
using namespace std::chrono_literals;

constexpr std::int64_t ms = 1000000;

// Nanoseconds per tick of the real clock, as the library computes it.
std::int64_t real_tick_factor() { return 1000000000 / clock_interposer::real_ticks_per_second(); }

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
