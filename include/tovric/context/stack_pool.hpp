// tovric::context::stack_pool: guarded stacks of one size, kept for reuse,
// so that a program that starts and ends many contexts (or fibers) maps and
// unmaps a stack only now and then instead of each time.
#ifndef TOVRIC_CONTEXT_STACK_POOL_HPP
#define TOVRIC_CONTEXT_STACK_POOL_HPP

#include "tovric/detail/language.hpp"

#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

#include "tovric/context/protected_stack.hpp"
#include "tovric/context/stack_traits.hpp"

namespace tovric::context {

// Hands out protected_stacks of one size and takes them back, keeping at
// most max_idle() of them mapped for the next take(); a stack given back
// beyond that is unmapped. Stacks come back as they were left (their pages
// stay resident and keep what the last context wrote); take() hands out the
// stack given back last, whose pages are the likeliest to be in the caches.
//
// Every operation may be called from any thread. The cost of that: one
// uncontended lock and unlock of a mutex per take() and give_back() (two
// atomic read-modify-writes, a few tens of nanoseconds); threads that use
// one pool at the same moment wait for each other for the length of a
// vector push or pop. Mapping and unmapping happen outside the lock. A
// program whose threads each start many fibers may give each thread a pool
// of its own.
//
// Destroying the pool unmaps the stacks it keeps; stacks handed out are
// their takers' (protected_stack objects), but must not be given back to a
// pool that is gone: a fiber that takes its stack from a pool must end
// before the pool does.
class stack_pool {
 public:
  // Stacks of protected_stack::size_for(requested_size) bytes; keeps at
  // most `most_kept` of them. Allocates room for that many now, so that
  // give_back never allocates; maps nothing yet.
  explicit stack_pool(std::size_t requested_size = stack_traits::default_size(),
                      std::size_t most_kept = 64);

  stack_pool(const stack_pool&) = delete;
  stack_pool& operator=(const stack_pool&) = delete;

  // A kept stack, or a newly mapped one (which throws as protected_stack's
  // constructor does).
  protected_stack take();

  // Keeps `stack` if the pool keeps fewer than max_idle() stacks and the
  // stack is of the pool's size; unmaps it otherwise. No context on it may
  // be resumed afterwards.
  void give_back(protected_stack stack) noexcept;

  // The size() of every stack the pool hands out.
  std::size_t stack_size() const noexcept { return size; }
  // The most stacks the pool keeps.
  std::size_t max_idle() const noexcept { return limit; }
  // The stacks it keeps now.
  std::size_t idle() const;

 private:
  std::size_t size;
  std::size_t limit;
  mutable std::mutex lock;
  std::vector<protected_stack> kept;
};

// ---------------------------------------------------------------------------
// Implementation

inline stack_pool::stack_pool(std::size_t requested_size, std::size_t most_kept)
    : size(protected_stack::size_for(requested_size)), limit(most_kept) {
  kept.reserve(limit);
}

inline protected_stack stack_pool::take() {
  {
    const std::lock_guard<std::mutex> guard(lock);
    if (!kept.empty()) {
      protected_stack stack(std::move(kept.back()));
      kept.pop_back();
      return stack;
    }
  }
  return protected_stack(size);
}

inline void stack_pool::give_back(protected_stack stack) noexcept {
  if (stack.size() == size) {
    const std::lock_guard<std::mutex> guard(lock);
    if (kept.size() < limit) {
      kept.push_back(std::move(stack));
      return;
    }
  }
  // Not kept: `stack` unmaps its memory when it is destroyed, outside the lock.
}

inline std::size_t stack_pool::idle() const {
  const std::lock_guard<std::mutex> guard(lock);
  return kept.size();
}

}  // namespace tovric::context

#endif
