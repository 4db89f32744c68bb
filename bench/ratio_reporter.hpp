// The benchmarks' one reporter: Google Benchmark's console table, then
// ratios between benchmarks of the same run.
//
// Each benchmark stands for the best (smallest) real time per iteration of
// its repetitions: on a shared machine other work only ever adds time, so the
// best round is the one least disturbed. Rates (counters such as
// bytes_per_second) are those of that best round. Run the candidates
// interleaved (--benchmark_enable_random_interleaving=true) with enough
// repetitions, and whole runs more than once, to see the spread.
//
// When only aggregates are reported (--benchmark_report_aggregates_only or
// --benchmark_display_aggregates_only), a benchmark without rounds stands
// for its median row instead, and the ratios' heading says so.
#ifndef TOVRIC_BENCH_RATIO_REPORTER_HPP
#define TOVRIC_BENCH_RATIO_REPORTER_HPP

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tovric_bench {

// The best round of every benchmark that ran, in the order they first ran.
struct best_rounds {
  struct round {
    double nanoseconds;                    // real time per iteration
    std::map<std::string, double> counters;
  };
  std::vector<std::string> order;
  std::map<std::string, round> by_name;
  bool medians = false;  // some stand for their median row

  const round* find(const std::string& name) const {
    const auto it = by_name.find(name);
    return it == by_name.end() ? nullptr : &it->second;
  }
  // time(name) / time(baseline), or 0 when either did not run.
  double ratio(const std::string& name, const std::string& baseline) const {
    const round* a = find(name);
    const round* b = find(baseline);
    return a == nullptr || b == nullptr || b->nanoseconds <= 0 ? 0 : a->nanoseconds / b->nanoseconds;
  }
};

// Whether a run measured nothing (skipped, or stopped by an error). Google
// Benchmark 1.8 replaced Run::error_occurred by Run::skipped: the member the
// installed version has is used.
template <class Run>
auto measured_nothing(const Run& run, int) -> decltype(static_cast<bool>(run.skipped)) {
  return static_cast<bool>(run.skipped);  // NotSkipped is 0
}
template <class Run>
bool measured_nothing(const Run& run, long) {
  return run.error_occurred;
}

class ratio_reporter : public benchmark::ConsoleReporter {
 public:
  // `printer` is called once after the run with the best rounds. Colours
  // only on a terminal.
  explicit ratio_reporter(std::function<void(const best_rounds&)> printer)
      : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular),
        print(std::move(printer)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (measured_nothing(run, 0)) continue;
      if (run.run_type == Run::RT_Iteration) {
        keep_if_faster(best, run);
      } else if (run.aggregate_name == "median" && run.aggregate_unit == benchmark::kTime) {
        keep_if_faster(medians, run);
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const std::string& name : medians.order) {
      if (best.find(name) != nullptr) continue;
      best.order.push_back(name);
      best.by_name[name] = *medians.find(name);
      best.medians = true;
    }
    print(best);
  }

 private:
  static void keep_if_faster(best_rounds& into, const Run& run) {
    const double ns = run.GetAdjustedRealTime() *
                      benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                      benchmark::GetTimeUnitMultiplier(run.time_unit);
    const std::string name = run.run_name.str();
    const auto it = into.by_name.find(name);
    if (it == into.by_name.end()) into.order.push_back(name);
    if (it == into.by_name.end() || ns < it->second.nanoseconds) {
      best_rounds::round& r = into.by_name[name];
      r.nanoseconds = ns;
      r.counters.clear();
      for (const auto& [counter, value] : run.counters) r.counters[counter] = value;
    }
  }

  std::function<void(const best_rounds&)> print;
  best_rounds best;
  best_rounds medians;  // the median rows, for benchmarks reported without rounds
};

// Prints time(benchmark) / time(baseline) for each pair; below 1 means the
// benchmark is faster.
inline void print_ratios(const best_rounds& best,
                         const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::printf("\nratios of the best rounds' real time per iteration%s:\n",
              best.medians ? " (the median row's where only aggregates were reported)" : "");
  for (const auto& [name, baseline] : pairs) {
    const double r = best.ratio(name, baseline);
    if (r > 0) std::printf("  %-40s / %-40s = %.3f\n", name.c_str(), baseline.c_str(), r);
  }
}

// Runs the registered benchmarks and then `print`.
inline int run_with_ratios(int argc, char** argv, std::function<void(const best_rounds&)> print) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ratio_reporter reporter(std::move(print));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

// Runs the registered benchmarks and prints the ratios of `pairs`.
inline int run_with_ratios(int argc, char** argv,
                           std::vector<std::pair<std::string, std::string>> pairs) {
  return run_with_ratios(argc, argv,
                         [pairs = std::move(pairs)](const best_rounds& best) { print_ratios(best, pairs); });
}

}  // namespace tovric_bench

#endif
