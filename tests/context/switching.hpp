// Test-side stacks and switch wrappers. Under AddressSanitizer or
// ThreadSanitizer every switch is announced to the sanitizer, which must know
// which stack the thread runs on; in a plain build the wrappers are the bare
// routines. The library itself knows nothing of sanitizers.
#ifndef TOVRIC_TESTS_CONTEXT_SWITCHING_HPP
#define TOVRIC_TESTS_CONTEXT_SWITCHING_HPP

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "tovric/context/fcontext.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOVRIC_TEST_ANNOTATE_SWITCHES 1
#else
#define TOVRIC_TEST_ANNOTATE_SWITCHES 0
#endif

namespace context_test {

using tovric::context::fcontext_entry;
using tovric::context::fcontext_handle;
using tovric::context::fcontext_ontop;
using tovric::context::fcontext_transfer;

// Heap memory used as the stack of one test context; both ends are multiples
// of 16. Registered with the switch wrappers for its lifetime.
class test_stack {
 public:
  explicit test_stack(std::size_t size = 256 * 1024);
  ~test_stack();
  test_stack(const test_stack&) = delete;
  test_stack& operator=(const test_stack&) = delete;

  unsigned char* bottom() const noexcept { return memory.get(); }
  unsigned char* top() const noexcept { return memory.get() + bytes; }
  std::size_t size() const noexcept { return bytes; }
  bool contains(const void* address) const noexcept {
    auto* p = static_cast<const unsigned char*>(address);
    return p >= bottom() && p < top();
  }
  fcontext_handle make(fcontext_entry entry) const noexcept {
    return tovric::context::make_fcontext(top(), bytes, entry);
  }

 private:
  std::unique_ptr<unsigned char[]> memory;
  std::size_t bytes;
};

#if TOVRIC_TEST_ANNOTATE_SWITCHES
fcontext_transfer jump(fcontext_handle to, void* payload);
fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn);
// First statement of every entry function of a test context.
void entered() noexcept;
#else
inline fcontext_transfer jump(fcontext_handle to, void* payload) {
  return tovric::context::jump_fcontext(to, payload);
}
inline fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn) {
  return tovric::context::ontop_fcontext(to, payload, fn);
}
inline void entered() noexcept {}
#endif

// The last switch away from a test context: its handle is never resumed.
[[noreturn]] inline void switch_away_for_good(fcontext_handle to, void* payload) {
  jump(to, payload);
  std::abort();
}

}  // namespace context_test

#endif
