// cpu_timer::elapsed() against the bare clock calls it makes and against the
// calls a user would make instead; format() against snprintf of the same
// five numbers.
#include <sys/resource.h>
#include <sys/times.h>
#include <time.h>

#include <cstdio>
#include <string>

#include "ratio_reporter.hpp"
#include "tovric/timer/timer.hpp"

namespace {

void elapsed(benchmark::State& state) {
  tovric::timer::cpu_timer timer;
  for (auto _ : state) benchmark::DoNotOptimize(timer.elapsed());
}
BENCHMARK(elapsed);

void clock_gettime_and_times(benchmark::State& state) {
  for (auto _ : state) {
    timespec ts;
    tms t;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    benchmark::DoNotOptimize(times(&t));
    benchmark::DoNotOptimize(ts);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(clock_gettime_and_times);

void getrusage_self(benchmark::State& state) {
  for (auto _ : state) {
    rusage usage;
    benchmark::DoNotOptimize(getrusage(RUSAGE_SELF, &usage));
    benchmark::DoNotOptimize(usage);
  }
}
BENCHMARK(getrusage_self);

void clock_gettime_process_cputime(benchmark::State& state) {
  for (auto _ : state) {
    timespec ts;
    benchmark::DoNotOptimize(clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts));
    benchmark::DoNotOptimize(ts);
  }
}
BENCHMARK(clock_gettime_process_cputime);

constexpr tovric::timer::cpu_times record{1500000000, 1000000000, 200000000};

void format_default(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tovric::timer::format(record, 6));
}
BENCHMARK(format_default);

void snprintf_same_numbers(benchmark::State& state) {
  for (auto _ : state) {
    char text[128];
    const double ws = record.wall / 1e9, us = record.user / 1e9, ss = record.system / 1e9;
    const double ts = (record.user + record.system) / 1e9;
    const int n = std::snprintf(text, sizeof text,
                                " %.6fs wall, %.6fs user + %.6fs system = %.6fs CPU (%.1f%%)\n",
                                ws, us, ss, ts, ts / ws * 100.0);
    benchmark::DoNotOptimize(std::string(text, n));
  }
}
BENCHMARK(snprintf_same_numbers);

}  // namespace

int main(int argc, char** argv) {
  return tovric_bench::run_with_ratios(argc, argv,
                                       {{"elapsed", "clock_gettime_and_times"},
                                        {"elapsed", "getrusage_self"},
                                        {"elapsed", "clock_gettime_process_cputime"},
                                        {"format_default", "snprintf_same_numbers"}});
}
