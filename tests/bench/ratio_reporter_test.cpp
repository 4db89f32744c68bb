// The ratio reporter on a real run of Google Benchmark: benchmarks reported
// round by round, reported by aggregates only, and skipped.
#include <gtest/gtest.h>

#include <string>

#include "ratio_reporter.hpp"

namespace {

void spin(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
}

void skip(benchmark::State& state) {
  state.SkipWithError("skipped on purpose");
  for (auto _ : state) {
  }
}

TEST(RatioReporter, KeepsBestRoundsMediansOfAggregatesOnlyAndNothingOfSkipped) {
  benchmark::RegisterBenchmark("rounds", spin)->Iterations(1000)->Repetitions(3);
  benchmark::RegisterBenchmark("aggregates", spin)
      ->Iterations(1000)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("skipped", skip)->Iterations(1000)->Repetitions(3);
  tovric_bench::best_rounds best;
  tovric_bench::ratio_reporter reporter([&](const tovric_bench::best_rounds& b) { best = b; });
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const std::string rounds = "rounds/iterations:1000/repeats:3";
  const std::string aggregates = "aggregates/iterations:1000/repeats:3";
  ASSERT_EQ(best.order, (std::vector<std::string>{rounds, aggregates}));
  EXPECT_GT(best.find(rounds)->nanoseconds, 0);
  EXPECT_GT(best.find(aggregates)->nanoseconds, 0);
  EXPECT_GT(best.ratio(aggregates, rounds), 0);
  EXPECT_TRUE(best.medians);
}

}  // namespace
