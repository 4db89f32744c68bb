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

}  // namespace clock_interposer

#endif
