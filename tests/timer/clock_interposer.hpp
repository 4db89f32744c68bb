// Test seam for the timer's two platform clocks. The test program defines
// sysconf and times itself; the dynamic linker binds libtovric_timer's calls
// to these definitions, so tests feed the library chosen results without any
// hook in the library's exported ABI. By default both forward to the kernel.
#ifndef TOVRIC_TESTS_TIMER_CLOCK_INTERPOSER_HPP
#define TOVRIC_TESTS_TIMER_CLOCK_INTERPOSER_HPP

#include <sys/times.h>

namespace clock_interposer {

// sysconf(_SC_CLK_TCK) answers `ticks_per_second` from now on.
void fake_ticks_per_second(long ticks_per_second);
// times() fills in `reading` and succeeds from now on.
void fake_times(const tms& reading);
// times() fails with (clock_t)-1 from now on.
void fail_times();
// Back to the real clocks.
void restore();
// How many times sysconf(_SC_CLK_TCK) has been asked in this process.
int tick_rate_queries();
// The real tick rate, asked without counting.
long real_ticks_per_second();

// A times() reading of the given tick counts.
inline tms ticks(clock_t user, clock_t system, clock_t children_user = 0,
                 clock_t children_system = 0) {
  tms t{};
  t.tms_utime = user;
  t.tms_stime = system;
  t.tms_cutime = children_user;
  t.tms_cstime = children_system;
  return t;
}

}  // namespace clock_interposer

#endif
