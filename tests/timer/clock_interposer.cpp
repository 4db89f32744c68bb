#include "clock_interposer.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>

// glibc's own entry point of sysconf, for the names the seam does not fake.
extern "C" long __sysconf(int name) noexcept;

namespace {

enum class times_mode { real, fake, fail };

constexpr long not_faked = LONG_MIN;
std::atomic<long> faked_ticks{not_faked};
std::atomic<int> tick_queries{0};
std::atomic<times_mode> mode{times_mode::real};
std::mutex reading_mutex;
tms faked_reading{};

}  // namespace

// Both are exported from the test program, so the dynamic linker binds the
// library's calls here rather than to the C library.
extern "C" __attribute__((visibility("default"))) long sysconf(int name) noexcept {
  if (name != _SC_CLK_TCK) return __sysconf(name);
  tick_queries.fetch_add(1);
  const long faked = faked_ticks.load();
  return faked != not_faked ? faked : __sysconf(name);
}

extern "C" __attribute__((visibility("default"))) clock_t times(tms* buffer) noexcept {
  switch (mode.load()) {
    case times_mode::fail:
      errno = EFAULT;
      return static_cast<clock_t>(-1);
    case times_mode::fake: {
      std::lock_guard<std::mutex> lock(reading_mutex);
      *buffer = faked_reading;
      return 1;
    }
    case times_mode::real:
      break;
  }
  const long result = syscall(SYS_times, buffer);
  return static_cast<clock_t>(result);
}

namespace clock_interposer {

void fake_ticks_per_second(long ticks_per_second) { faked_ticks.store(ticks_per_second); }

void fake_times(const tms& reading) {
  {
    std::lock_guard<std::mutex> lock(reading_mutex);
    faked_reading = reading;
  }
  mode.store(times_mode::fake);
}

void fail_times() { mode.store(times_mode::fail); }

void restore() {
  faked_ticks.store(not_faked);
  mode.store(times_mode::real);
}

int tick_rate_queries() { return tick_queries.load(); }

long real_ticks_per_second() { return __sysconf(_SC_CLK_TCK); }

}  // namespace clock_interposer
