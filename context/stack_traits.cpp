// The page size and the hard stack limit are each read once per process, by
// the first caller, under the runtime's guard for function-local statics.
#include "tovric/context/stack_traits.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>

namespace tovric::context {
namespace {

std::uint64_t read_stack_limit() noexcept {
  // Starts as infinity so that a failed getrlimit, which fills in nothing,
  // yields RLIM_INFINITY rather than indeterminate memory. The status is
  // deliberately not examined.
  rlimit record{RLIM_INFINITY, RLIM_INFINITY};
  static_cast<void>(::getrlimit(RLIMIT_STACK, &record));
  return record.rlim_max;
}

// The hard limit only: the soft limit may be raised up to it at any time.
std::uint64_t stacksize_limit() noexcept {
  static const std::uint64_t limit = read_stack_limit();
  return limit;
}

}  // namespace

bool stack_traits::is_unbounded() noexcept { return stacksize_limit() == RLIM_INFINITY; }

std::size_t stack_traits::page_size() noexcept {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t stack_traits::default_size() noexcept { return 131072; }

std::size_t stack_traits::minimum_size() noexcept { return 2048; }

std::size_t stack_traits::maximum_size() noexcept { return stacksize_limit(); }

}  // namespace tovric::context
