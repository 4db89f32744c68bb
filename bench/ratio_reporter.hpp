// A console reporter that also prints, after the run, how each benchmark's
// CPU time per iteration compares with a named baseline of the same run.
#ifndef TOVRIC_BENCH_RATIO_REPORTER_HPP
#define TOVRIC_BENCH_RATIO_REPORTER_HPP

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tovric_bench {

class ratio_reporter : public benchmark::ConsoleReporter {
 public:
  // Each pair is (benchmark, baseline): the ratio printed is
  // time(benchmark) / time(baseline); below 1 means the benchmark is faster.
  explicit ratio_reporter(std::vector<std::pair<std::string, std::string>> pairs)
      : pairs_(std::move(pairs)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the median stands for the benchmark; otherwise its
    // single run does.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const std::string name = run.run_name.str();
      if (median || (run.run_type == Run::RT_Iteration && !medians_.count(name))) {
        times_[name] = run.GetAdjustedCPUTime();
        if (median) medians_.insert(name);
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nratios (CPU time per iteration):\n");
    for (const auto& [name, baseline] : pairs_) {
      const auto a = times_.find(name);
      const auto b = times_.find(baseline);
      if (a == times_.end() || b == times_.end() || b->second == 0) continue;
      std::printf("  %-40s / %-40s = %.3f\n", name.c_str(), baseline.c_str(),
                  a->second / b->second);
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
  std::map<std::string, double> times_;
  std::set<std::string> medians_;
};

// Runs the registered benchmarks with the ratio reporter.
inline int run_with_ratios(int argc, char** argv,
                           std::vector<std::pair<std::string, std::string>> pairs) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ratio_reporter reporter(std::move(pairs));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace tovric_bench

#endif
