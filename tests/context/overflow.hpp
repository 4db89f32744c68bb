// A descent that overflows whatever stack it runs on, for the tests that a
// context or a fiber ends at its guard page.
#ifndef TOVRIC_TESTS_CONTEXT_OVERFLOW_HPP
#define TOVRIC_TESTS_CONTEXT_OVERFLOW_HPP

namespace context_test {

inline volatile int deepest = 1 << 30;  // never reached: the stack ends first

// Each frame writes both ends of a buffer smaller than a page, so the first
// write past the stack's low end lands in the page just below it.
inline int dig(int depth) {
  volatile char frame[512];
  frame[sizeof frame - 1] = static_cast<char>(depth);
  frame[0] = static_cast<char>(depth);
  if (depth == deepest) return frame[0];
  return dig(depth + 1) + frame[sizeof frame - 1];
}

}  // namespace context_test

#endif
