#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <regex>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <type_traits>

#include "child_process.hpp"
#include "tovric/timer/timer.hpp"

namespace {

using tovric::timer::auto_cpu_timer;
using namespace std::chrono_literals;

// One report line in the default format, with `places` decimals.
std::regex default_report(int places) {
  std::string n = "-?[0-9]+";
  if (places > 0) n += "\\.[0-9]{" + std::to_string(places) + "}";
  return std::regex(" " + n + "s wall, " + n + "s user \\+ " + n + "s system = " + n +
                    "s CPU \\(([0-9]+\\.[0-9]|n/a)%\\)\n");
}

// A stream buffer whose device always fails, so every insertion sets badbit.
class failing_buffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

// What a child process that runs `body` writes on its standard output.
std::string capture_child_stdout(void (*body)()) { return test_support::run_in_child(body).output; }

}  // namespace

// A copy would report the same region a second time; the plain timer, which
// reports nothing by itself, stays a value type.
static_assert(!std::is_copy_constructible_v<auto_cpu_timer>);
static_assert(!std::is_copy_assignable_v<auto_cpu_timer>);
static_assert(std::is_copy_constructible_v<tovric::timer::cpu_timer>);
static_assert(std::is_copy_assignable_v<tovric::timer::cpu_timer>);

TEST(AutoCpuTimerReport, DestructionPrintsOneDefaultLineOnStandardOutput) {
  const std::string out = capture_child_stdout([] {
    auto_cpu_timer timer;
    const auto end = std::chrono::steady_clock::now() + 50ms;
    while (std::chrono::steady_clock::now() < end) {
    }
  });
  EXPECT_TRUE(std::regex_match(out, default_report(6))) << out;
}

TEST(AutoCpuTimerReport, EveryStandardOutputConstructorUsesItsPlacesAndFormat) {
  EXPECT_TRUE(std::regex_match(capture_child_stdout([] { auto_cpu_timer t(short{2}); }),
                               default_report(2)));
  EXPECT_EQ(capture_child_stdout([] { auto_cpu_timer t(short{2}, std::string("[%w]")); }).size(),
            std::string("[0.00]").size());
  EXPECT_TRUE(std::regex_match(capture_child_stdout([] { auto_cpu_timer t(std::string("<%w>")); }),
                               std::regex("<[0-9]\\.[0-9]{6}>")));
}

TEST(AutoCpuTimerReport, AStoppedTimerPrintsNothingAtDestruction) {
  std::ostringstream os;
  {
    auto_cpu_timer timer(os);
    timer.stop();
  }
  EXPECT_EQ(os.str(), "");
}

TEST(AutoCpuTimerReport, AStoppedAndResumedTimerReportsBothIntervalsOnce) {
  std::ostringstream os;
  {
    auto_cpu_timer timer(os, 9);
    std::this_thread::sleep_for(10ms);
    timer.stop();
    std::this_thread::sleep_for(200ms);
    timer.resume();
    std::this_thread::sleep_for(10ms);
  }
  std::smatch m;
  const std::string out = os.str();
  ASSERT_TRUE(std::regex_match(out, m, default_report(9))) << out;
  const double wall = std::stod(out.substr(1));
  EXPECT_GE(wall, 0.020);
  EXPECT_LT(wall, 0.200);
}

TEST(AutoCpuTimerReport, ReportWhileRunningKeepsTheTimerRunning) {
  std::ostringstream os;
  {
    auto_cpu_timer timer(os, 9);
    timer.report();
    EXPECT_FALSE(timer.is_stopped());
    std::this_thread::sleep_for(5ms);
  }
  std::istringstream lines(os.str());
  std::string first, second, rest;
  ASSERT_TRUE(std::getline(lines, first));
  ASSERT_TRUE(std::getline(lines, second));
  EXPECT_FALSE(std::getline(lines, rest));
  EXPECT_LT(std::stod(first), std::stod(second));
}

TEST(AutoCpuTimerReport, PlacesAreClampedWhenTheReportIsWritten) {
  std::ostringstream nine, six;
  { auto_cpu_timer timer(nine, 20); }
  { auto_cpu_timer timer(six, -3); }
  EXPECT_TRUE(std::regex_match(nine.str(), default_report(9))) << nine.str();
  EXPECT_TRUE(std::regex_match(six.str(), default_report(6))) << six.str();
}

TEST(AutoCpuTimerReport, TheTimerKeepsItsOwnCopyOfTheFormat) {
  const std::string out = capture_child_stdout([] {
    static std::string changing = "[%w]";
    auto_cpu_timer timer(short{1}, changing);
    changing = "changed";
  });
  EXPECT_TRUE(std::regex_match(out, std::regex("\\[[0-9]\\.[0-9]\\]"))) << out;
}

TEST(AutoCpuTimerStream, FlagsAndPrecisionAreRestoredAfterAReport) {
  std::ostringstream os;
  os.setf(std::ios_base::scientific, std::ios_base::floatfield);
  os.setf(std::ios_base::showpos | std::ios_base::uppercase);
  os.precision(2);
  const auto flags = os.flags();
  {
    auto_cpu_timer timer(os, 4);
    timer.report();
    EXPECT_EQ(os.flags(), flags);
    EXPECT_EQ(os.precision(), 2);
  }
  EXPECT_EQ(os.flags(), flags);
  EXPECT_EQ(os.precision(), 2);
  // showpos stays in force for the numbers: the report honours the stream.
  EXPECT_NE(os.str().find("+0."), std::string::npos) << os.str();
}

TEST(AutoCpuTimerStream, AThrowingStreamGetsItsStateBackAndTheExceptionOut) {
  failing_buffer device;
  std::ostream os(&device);
  os.exceptions(std::ios_base::badbit);
  os.setf(std::ios_base::scientific, std::ios_base::floatfield);
  os.precision(3);
  const auto flags = os.flags();
  auto_cpu_timer timer(os);
  EXPECT_THROW(timer.report(), std::ios_base::failure);
  EXPECT_EQ(os.flags(), flags);
  EXPECT_EQ(os.precision(), 3);
  timer.stop();  // nothing more to report
}

TEST(AutoCpuTimerStream, DestructionSwallowsTheExceptionOfAFailedStream) {
  std::ostringstream os;
  os.precision(2);
  const auto flags = os.flags();
  {
    auto_cpu_timer timer(os);
    os.exceptions(std::ios_base::failbit | std::ios_base::badbit);
    EXPECT_THROW(os.setstate(std::ios_base::failbit), std::ios_base::failure);
  }  // the report's first insertion throws inside the destructor
  EXPECT_EQ(os.flags(), flags);
  EXPECT_EQ(os.precision(), 2);
  EXPECT_EQ(os.str(), "");
}

TEST(AutoCpuTimerStream, ANonThrowingStreamKeepsItsErrorStateAndLosesTheRest) {
  failing_buffer device;
  std::ostream os(&device);
  {
    auto_cpu_timer timer(os);
    timer.report();
    EXPECT_TRUE(os.bad());
  }
  EXPECT_TRUE(os.bad());
}
