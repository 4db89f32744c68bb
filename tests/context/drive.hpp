// Runs a generator to its end on a stack of its own, switching from the file
// that includes this: the sum of the ints it yields until it yields null.
// The mixed-flags and plugin programs include it into files built with
// different flags, or into different shared objects, so that each has its
// own copy of the switches.
#ifndef TOVRIC_TESTS_CONTEXT_DRIVE_HPP
#define TOVRIC_TESTS_CONTEXT_DRIVE_HPP

#include "tovric/context/protected_stack.hpp"
#include "tovric/context/switching.hpp"

inline int drive_to_the_end(tovric::context::fcontext_entry entry) {
  namespace ctx = tovric::context;
  ctx::protected_stack stack(64 * 1024);
  ctx::fcontext_transfer t{ctx::make_fcontext(stack.top(), stack.size(), entry), nullptr};
  int sum = 0;
  for (;;) {
    t = ctx::jump(t.from, nullptr);
    if (t.payload == nullptr) return sum;
    sum += *static_cast<int*>(t.payload);
  }
}

#endif
