// Test contexts live on guarded stacks and switch through the public
// wrappers, so every switch a test makes is announced to the sanitizers the
// build has (and is the bare routine in a plain build).
#ifndef TOVRIC_TESTS_CONTEXT_SWITCHING_HPP
#define TOVRIC_TESTS_CONTEXT_SWITCHING_HPP

#include <cstddef>
#include <cstdlib>

#include "tovric/context/fcontext.hpp"
#include "tovric/context/protected_stack.hpp"
#include "tovric/context/switching.hpp"

namespace context_test {

using tovric::context::entered;
using tovric::context::fcontext_entry;
using tovric::context::fcontext_handle;
using tovric::context::fcontext_ontop;
using tovric::context::fcontext_transfer;
using tovric::context::jump;
using tovric::context::leave;
using tovric::context::ontop;

// The stack of one test context.
class test_stack : public tovric::context::protected_stack {
 public:
  using protected_stack::protected_stack;

  unsigned char* top() const noexcept { return static_cast<unsigned char*>(protected_stack::top()); }
  unsigned char* bottom() const noexcept { return top() - size(); }
  bool contains(const void* address) const noexcept {
    auto* p = static_cast<const unsigned char*>(address);
    return p >= bottom() && p < top();
  }
  fcontext_handle make(fcontext_entry entry) const noexcept {
    return tovric::context::make_fcontext(top(), size(), entry);
  }
};

// The last switch away from a test context: its handle is never resumed.
[[noreturn]] inline void switch_away_for_good(fcontext_handle to, void* payload) {
  leave(to, payload);
}

}  // namespace context_test

#endif
