// cpu_timer, the report writer and format(), and the auto_cpu_timer members
// that do not default to std::cout.
#include <sys/times.h>
#include <unistd.h>

#include <sstream>

#include "report_format.hpp"
#include "tovric/chrono/steady_clock.hpp"
#include "tovric/timer/timer.hpp"

namespace tovric::timer {
namespace {

const std::string default_fmt(detail::default_format_text);

// Nanoseconds per clock tick, or -1 when the tick rate is unusable (below 1
// or above 10^9 per second). Read once per process.
std::int64_t tick_factor() noexcept {
  static const std::int64_t tf = [] {
    const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
    if (ticks_per_second < 1) return std::int64_t{-1};
    const std::int64_t factor = std::int64_t{1000000000} / ticks_per_second;
    return factor == 0 ? std::int64_t{-1} : factor;
  }();
  return tf;
}

// One reading of the three clocks; user and system are -1 when `times`
// fails or the tick factor is unusable.
cpu_times take_sample() noexcept {
  cpu_times sample;
  sample.wall = chrono::steady_clock::now();
  tms ticks;
  // The tick factor is only asked for when times() worked.
  const std::int64_t factor =
      ::times(&ticks) == static_cast<clock_t>(-1) ? std::int64_t{-1} : tick_factor();
  if (factor == -1) {
    sample.user = sample.system = -1;
    return sample;
  }
  sample.user = (std::int64_t{ticks.tms_utime} + ticks.tms_cutime) * factor;
  sample.system = (std::int64_t{ticks.tms_stime} + ticks.tms_cstime) * factor;
  return sample;
}

cpu_times operator-(const cpu_times& a, const cpu_times& b) noexcept {
  return {a.wall - b.wall, a.user - b.user, a.system - b.system};
}

// Saves a stream's format flags and precision; puts them back (precision
// first) when it goes out of scope, on every path.
class stream_state_guard {
 public:
  explicit stream_state_guard(std::ostream& os) noexcept
      : os_(os), flags_(os.flags()), precision_(os.precision()) {}
  ~stream_state_guard() {
    os_.precision(precision_);
    os_.flags(flags_);
  }
  stream_state_guard(const stream_state_guard&) = delete;
  stream_state_guard& operator=(const stream_state_guard&) = delete;

 private:
  std::ostream& os_;
  std::ios_base::fmtflags flags_;
  std::streamsize precision_;
};

bool is_directive(char c) noexcept {
  return c == 'w' || c == 'u' || c == 's' || c == 't' || c == 'p';
}

double seconds(std::int64_t nanoseconds) noexcept {
  return static_cast<double>(nanoseconds) / 1000000000.0;
}

}  // namespace

cpu_timer::cpu_timer() noexcept { start(); }

void cpu_timer::start() noexcept {
  stopped = false;
  recorded_times = take_sample();
}

void cpu_timer::stop() noexcept {
  if (stopped) return;
  stopped = true;
  recorded_times = take_sample() - recorded_times;
}

cpu_times cpu_timer::elapsed() const noexcept {
  if (stopped) return recorded_times;
  return take_sample() - recorded_times;
}

void cpu_timer::resume() noexcept {
  if (!stopped) return;
  const cpu_times accumulated = recorded_times;
  start();
  recorded_times = recorded_times - accumulated;
}

namespace detail {

void write_times(std::ostream& os, const cpu_times& times, const std::string& fmt, short places) {
  const std::streamsize p = places > 9 ? 9 : places < 0 ? 6 : places;
  stream_state_guard guard(os);
  os.setf(std::ios_base::fixed, std::ios_base::floatfield);
  os.precision(p);

  // The total is summed as wrapping 64-bit integers, so absurd inputs cannot
  // overflow into undefined behaviour.
  const auto total = static_cast<std::int64_t>(static_cast<std::uint64_t>(times.user) +
                                               static_cast<std::uint64_t>(times.system));
  const double ws = seconds(times.wall);
  const double ts = seconds(total);
  // The utilisation is shown for at least 1 ms of wall and of CPU time. The
  // rule is "seconds above 0.001" in extended precision, whose constant lies
  // just below one thousandth while the double nearest 1 000 000 ns lies just
  // above it: so for whole nanoseconds it is exactly this comparison.
  const bool utilisation_shown = times.wall >= 1'000'000 && total >= 1'000'000;

  for (const char* c = fmt.c_str(); *c != '\0'; ++c) {
    if (c[0] != '%' || c[1] == '\0' || !is_directive(c[1])) {
      os << *c;
      continue;
    }
    switch (*++c) {
      case 'w': os << ws; break;
      case 'u': os << seconds(times.user); break;
      case 's': os << seconds(times.system); break;
      case 't': os << ts; break;
      case 'p':
        os.precision(1);
        if (utilisation_shown) {
          os << ts / ws * 100.0;
        } else {
          os << "n/a";
        }
        os.precision(p);
        break;
    }
  }
}

}  // namespace detail

std::string format(const cpu_times& times, short places, const std::string& fmt) {
  std::stringstream ss;
  ss.exceptions(std::ios_base::badbit | std::ios_base::failbit);
  detail::write_times(ss, times, fmt, places);
  return ss.str();
}

std::string format(const cpu_times& times, short places) {
  return format(times, places, default_fmt);
}

auto_cpu_timer::auto_cpu_timer(std::ostream& os, short requested_places)
    : places(requested_places), output(&os), format_string(default_fmt) {
  start();
}

void auto_cpu_timer::report() { detail::write_times(*output, elapsed(), format_string, places); }

auto_cpu_timer::~auto_cpu_timer() {
  if (stopped) return;
  stop();
  try {
    report();
  } catch (...) {
    // A timer's destruction never fails; the report is simply lost.
  }
}

}  // namespace tovric::timer
