#include "tovric/chrono/steady_clock.hpp"

#include <time.h>

namespace tovric::chrono {

std::int64_t steady_clock::now() noexcept {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace tovric::chrono
