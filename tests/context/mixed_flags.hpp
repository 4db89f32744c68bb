// What the two halves of the mixed-flags programs call of each other.
#ifndef TOVRIC_TESTS_CONTEXT_MIXED_FLAGS_HPP
#define TOVRIC_TESTS_CONTEXT_MIXED_FLAGS_HPP

#include <cstddef>

#include "tovric/context/fcontext.hpp"
#include "tovric/context/protected_stack.hpp"

// In the plain half.
std::size_t plain_unrelated_stack_size();
tovric::context::protected_stack plain_stack(std::size_t size);
// Runs a generator on a stack of its own: the sum of the ints it yields until
// it yields null.
int plain_drive(tovric::context::fcontext_entry entry);

#endif
