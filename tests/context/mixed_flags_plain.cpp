// The plain half of one program whose other half is built with a sanitizer
// (mixed_flags_sanitized.cpp): built without sanitizer flags, it constructs
// protected stacks and drives a context of its own, so that its copies of
// the kit's inline functions are among those the linker may keep.
#include <cstddef>

#include "drive.hpp"
#include "mixed_flags.hpp"
#include "tovric/context/protected_stack.hpp"

namespace ctx = tovric::context;

std::size_t plain_unrelated_stack_size() {
  ctx::protected_stack unrelated(8192);
  return unrelated.size();
}

ctx::protected_stack plain_stack(std::size_t size) { return ctx::protected_stack(size); }

int plain_drive(ctx::fcontext_entry entry) { return drive_to_the_end(entry); }
