// The sanitizer runtimes that protected_stack and the switch wrappers tell
// about stacks and switches, found at run time rather than from the including
// file's flags.
//
// The interface functions of AddressSanitizer and ThreadSanitizer are
// declared weak: in a process without that runtime they are null, in a
// process with it they are the runtime's own, whatever flags the calling file
// was built with and whichever shared object it belongs to. Nothing in the
// kit tests a sanitizer macro, so every inline function and every class
// layout is the same in every file: a plain file, an instrumented one and a
// plugin built either way compile the same code, and in a process run with a
// sanitizer all of them announce their switches.
#ifndef TOVRIC_CONTEXT_DETAIL_SANITIZERS_HPP
#define TOVRIC_CONTEXT_DETAIL_SANITIZERS_HPP

#include <cstddef>

// Declared exactly as <sanitizer/common_interface_defs.h>,
// <sanitizer/asan_interface.h> and <sanitizer/tsan_interface.h> declare
// them, so that a file may include those headers too. Default visibility, so
// that a module built with -fvisibility=hidden (or inside a hidden visibility
// pragma) still binds them to the process's runtime.
extern "C" {
__attribute__((weak, visibility("default"))) void __sanitizer_start_switch_fiber(
    void** fake_stack_save, const void* bottom, std::size_t size);
__attribute__((weak, visibility("default"))) void __sanitizer_finish_switch_fiber(
    void* fake_stack_save, const void** bottom_old, std::size_t* size_old);
__attribute__((weak, visibility("default"))) void __asan_unpoison_memory_region(
    void const volatile* addr, std::size_t size);
__attribute__((weak, visibility("default"))) void* __tsan_get_current_fiber(void);
__attribute__((weak, visibility("default"))) void* __tsan_create_fiber(unsigned flags);
__attribute__((weak, visibility("default"))) void __tsan_destroy_fiber(void* fiber);
__attribute__((weak, visibility("default"))) void __tsan_switch_to_fiber(void* fiber,
                                                                         unsigned flags);
}

// Reads and writes in a function so marked are not checked against
// AddressSanitizer's shadow (they touch memory of suspended stacks), and its
// locals stay on the real stack, never on ASan's fake stack. No effect in a
// file built without ASan.
#define TOVRIC_CONTEXT_DETAIL_UNCHECKED __attribute__((no_sanitize("address")))

namespace tovric::context::detail {

// The process runs with AddressSanitizer.
inline bool asan_runs() noexcept {
  return &__sanitizer_start_switch_fiber != nullptr &&
         &__sanitizer_finish_switch_fiber != nullptr &&
         &__asan_unpoison_memory_region != nullptr;
}

// The process runs with ThreadSanitizer.
inline bool tsan_runs() noexcept {
  return &__tsan_switch_to_fiber != nullptr && &__tsan_get_current_fiber != nullptr &&
         &__tsan_create_fiber != nullptr && &__tsan_destroy_fiber != nullptr;
}

// Switches must be announced: a runtime that tracks stacks is there.
inline bool announcing() noexcept { return asan_runs() || tsan_runs(); }

}  // namespace tovric::context::detail

#endif
