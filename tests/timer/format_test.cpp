#include <gtest/gtest.h>

#include <cstdint>
#include <ios>
#include <limits>
#include <sstream>
#include <string>

#include "tovric/timer/timer.hpp"

namespace {

using tovric::timer::cpu_times;
using tovric::timer::format;

// The record of the documented example: 1.5 s wall, 1 s user, 0.2 s system.
constexpr cpu_times example{1500000000, 1000000000, 200000000};

}  // namespace

TEST(DefaultFormat, RendersTheExampleRecordToTheCharacter) {
  EXPECT_EQ(format(example, 6),
            " 1.500000s wall, 1.000000s user + 0.200000s system = 1.200000s CPU (80.0%)\n");
  EXPECT_EQ(format(example, 3), " 1.500s wall, 1.000s user + 0.200s system = 1.200s CPU (80.0%)\n");
  EXPECT_EQ(format(example, 0), " 2s wall, 1s user + 0s system = 1s CPU (80.0%)\n");
}

TEST(DefaultFormat, PlacesDefaultToSix) {
  EXPECT_EQ(format(example), format(example, 6));
  EXPECT_EQ(format({0, 0, 0}, 0), " 0s wall, 0s user + 0s system = 0s CPU (n/a%)\n");
}

TEST(PlacesClamp, NegativeRequestsGiveSixAndLargeOnesNine) {
  const cpu_times t{1234567891, 0, 0};
  const std::string fmt = "%w";
  EXPECT_EQ(format(t, std::numeric_limits<short>::min(), fmt), "1.234568");
  EXPECT_EQ(format(t, -1, fmt), "1.234568");
  EXPECT_EQ(format(t, 0, fmt), "1");
  EXPECT_EQ(format(t, 9, fmt), "1.234567891");
  EXPECT_EQ(format(t, 10, fmt), "1.234567891");
  EXPECT_EQ(format(t, 12, fmt), "1.234567891");
  EXPECT_EQ(format(t, std::numeric_limits<short>::max(), fmt), "1.234567891");
}

TEST(Directives, EachLetterWritesItsMeasure) {
  EXPECT_EQ(format(example, 1, "w=%w u=%u s=%s t=%t p=%p"), "w=1.5 u=1.0 s=0.2 t=1.2 p=80.0");
}

TEST(Directives, UtilisationNeedsOneMillisecondOfWallAndOfCpu) {
  EXPECT_EQ(format({1000000, 600000, 400000}, 6, "%p"), "100.0");
  EXPECT_EQ(format({999999, 600000, 400000}, 6, "%w %p"), "0.001000 n/a");
  EXPECT_EQ(format({1000000, 600000, 399999}, 6, "%p"), "n/a");
  EXPECT_EQ(format({0, 0, 0}, 6, "%p"), "n/a");
  // Negative times never reach the threshold.
  EXPECT_EQ(format({-5000000, -3000000, -2000000}, 6, "%p"), "n/a");
}

TEST(Directives, SentinelCpuTimesAreFormattedAsNumbers) {
  EXPECT_EQ(format({2000000000, -1, -1}, 6, "%u|%s|%t|%p"), "-0.000000|-0.000000|-0.000000|n/a");
}

TEST(Directives, TheTotalOfExtremeTimesWrapsInsteadOfOverflowing) {
  constexpr std::int64_t max = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(format({0, max, 1}, 0, "%t"), format({0, std::numeric_limits<std::int64_t>::min(), 0}, 0, "%t"));
}

TEST(PlainText, ACharacterAfterAPercentIsExaminedAfresh) {
  EXPECT_EQ(format(example, 6, "%%w"), "%1.500000");
  EXPECT_EQ(format(example, 6, "%x"), "%x");
  EXPECT_EQ(format(example, 6, "% w"), "% w");
  EXPECT_EQ(format(example, 6, "100%"), "100%");
  EXPECT_EQ(format(example, 6, "%W %P"), "%W %P");
  EXPECT_EQ(format(example, 6, "%%"), "%%");
}

TEST(PlainText, TheFormatEndsAtItsFirstNulAndMayBeEmpty) {
  EXPECT_EQ(format(example, 6, std::string("%w\0%u", 5)), "1.500000");
  EXPECT_EQ(format(example, 6, std::string("%\0w", 3)), "%");
  EXPECT_EQ(format(example, 6, ""), "");
}
