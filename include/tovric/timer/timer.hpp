// tovric::timer: wall, user and system CPU time of a region of code, the
// report format language (%w %u %s %t %p) and a timer that reports itself.
#ifndef TOVRIC_TIMER_TIMER_HPP
#define TOVRIC_TIMER_TIMER_HPP

#include "tovric/detail/language.hpp"

#include <cstdint>
#include <iosfwd>
#include <string>

#include "tovric/timer/detail/config.hpp"

namespace tovric::timer {

// Three signed nanosecond counts. In a single sample, -1 in both user and
// system means the CPU times could not be read; elapsed records carry the
// plain differences, sentinels included.
struct cpu_times {
  std::int64_t wall;
  std::int64_t user;
  std::int64_t system;
};

// A stoppable timer of wall, user and system time. User and system times
// include those of terminated, waited-for child processes. Not thread-safe:
// one timer is used by one thread at a time. No operation allocates, locks
// or throws; failures show only as -1 sentinels in the times.
class cpu_timer {
 public:
  // Starts the timer, exactly as start() does.
  TOVRIC_TIMER_API cpu_timer() noexcept;

  // Starts afresh, whether running or stopped; time measured so far is lost.
  TOVRIC_TIMER_API void start() noexcept;
  // Fixes the elapsed times; does nothing if already stopped.
  TOVRIC_TIMER_API void stop() noexcept;
  // Times up to now while running; the times fixed by stop() while stopped.
  TOVRIC_TIMER_API cpu_times elapsed() const noexcept;
  // Continues a stopped timer so the next interval adds to the time already
  // measured; does nothing if running.
  TOVRIC_TIMER_API void resume() noexcept;

  // True after stop() until the next start() or resume().
  bool is_stopped() const noexcept { return stopped; }

 protected:
  // While running: the start sample, shifted back by resume(). While
  // stopped: the elapsed times fixed by stop().
  cpu_times recorded_times;
  bool stopped;
};

// Renders `times` by the format language: %w wall, %u user, %s system and
// %t user + system seconds in fixed notation with `places` decimals (above 9
// gives 9, negative gives 6), and %p the CPU utilisation (total / wall * 100,
// one decimal) or "n/a" when wall or total is under 1 ms. Any other character,
// a '%' without a directive letter included, is copied. The format ends at its
// first NUL. Throws what the string stream throws (std::ios_base::failure,
// std::bad_alloc).
TOVRIC_TIMER_API std::string format(const cpu_times& times, short places, const std::string& fmt);

// The same with the default format
// " %ws wall, %us user + %ss system = %ts CPU (%p%)\n".
TOVRIC_TIMER_API std::string format(const cpu_times& times, short places = 6);

// A cpu_timer that writes its report when destroyed, unless it is stopped
// then. The report goes to std::cout unless a stream is given, in the default
// format unless a format is given. The stream is not owned and must outlive
// the timer; its format flags and precision are the same after every report.
class auto_cpu_timer : public cpu_timer {
 public:
  // Reports to std::cout in the default format with `requested_places`
  // decimals (clamped when the report is written).
  TOVRIC_TIMER_API explicit auto_cpu_timer(short requested_places = 6);
  // Reports to std::cout in a copy of `fmt` with `requested_places` decimals.
  TOVRIC_TIMER_API auto_cpu_timer(short requested_places, const std::string& fmt);
  // Reports to std::cout in a copy of `fmt` with 6 decimals.
  TOVRIC_TIMER_API explicit auto_cpu_timer(const std::string& fmt);
  // Reports to `os` in the default format with `requested_places` decimals.
  TOVRIC_TIMER_API explicit auto_cpu_timer(std::ostream& os, short requested_places = 6);

  // Stops and reports if still running; never throws, whatever the stream does.
  TOVRIC_TIMER_API ~auto_cpu_timer();

  // Not copyable (nor movable): every timer reports once when destroyed, so
  // a copy would print a second report of the same region.
  auto_cpu_timer(const auto_cpu_timer&) = delete;
  auto_cpu_timer& operator=(const auto_cpu_timer&) = delete;

  // Writes the elapsed times so far; does not stop the timer or flush the
  // stream. A failing insertion throws only if the stream's exception mask
  // says so.
  TOVRIC_TIMER_API void report();

 private:
  short places;
  std::ostream* output;
  std::string format_string;
};

}  // namespace tovric::timer

#endif
