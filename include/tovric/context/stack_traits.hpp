// tovric::context::stack_traits: the sizes a caller needs when it sets aside
// memory for the stack of a context.
#ifndef TOVRIC_CONTEXT_STACK_TRAITS_HPP
#define TOVRIC_CONTEXT_STACK_TRAITS_HPP

#include "tovric/detail/language.hpp"

#include <cstddef>

#include "tovric/context/detail/config.hpp"

namespace tovric::context {

// Page size and stack-size bounds. The page size and the process's stack
// limit are read once, on first use, under thread-safe one-time
// initialisation, and never refreshed: a later setrlimit is not seen. Every
// operation may be called from any thread; none fails or throws.
class stack_traits {
 public:
  // True if and only if the hard stack limit (RLIMIT_STACK rlim_max) is
  // RLIM_INFINITY. If getrlimit failed, the limit is taken as RLIM_INFINITY.
  TOVRIC_CONTEXT_API static bool is_unbounded() noexcept;
  // The page size, as sysconf(_SC_PAGESIZE) reported it.
  TOVRIC_CONTEXT_API static std::size_t page_size() noexcept;
  // 131072 bytes, always; not clamped to maximum_size().
  TOVRIC_CONTEXT_API static std::size_t default_size() noexcept;
  // 2048 bytes, always.
  TOVRIC_CONTEXT_API static std::size_t minimum_size() noexcept;
  // The hard stack limit as read, RLIM_INFINITY (all bits set) when it is
  // infinite or could not be read. Neither rounded nor compared with anything.
  TOVRIC_CONTEXT_API static std::size_t maximum_size() noexcept;
};

}  // namespace tovric::context

#endif
