// tovric::chrono::steady_clock: the family's monotonic clock.
#ifndef TOVRIC_CHRONO_STEADY_CLOCK_HPP
#define TOVRIC_CHRONO_STEADY_CLOCK_HPP

#include "tovric/detail/language.hpp"

#include <cstdint>

namespace tovric::chrono {

// A clock that never runs backwards within one process.
struct steady_clock {
  // Current reading in nanoseconds since an unspecified epoch
  // (CLOCK_MONOTONIC). Always succeeds; later readings are never smaller.
  __attribute__((visibility("default"))) static std::int64_t now() noexcept;
};

}  // namespace tovric::chrono

#endif
