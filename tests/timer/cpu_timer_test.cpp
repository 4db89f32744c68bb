#include <gtest/gtest.h>

#include "tovric/timer/timer.hpp"

TEST(CpuTimer, NewTimerIsRunning) {
  tovric::timer::cpu_timer t;
  EXPECT_FALSE(t.is_stopped());
}
