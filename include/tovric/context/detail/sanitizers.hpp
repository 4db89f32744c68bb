// Which sanitizer runtimes the including translation unit is built with, as
// 0/1 macros for gcc (__SANITIZE_*__) and clang (__has_feature), and their
// interface declarations where one is on.
#ifndef TOVRIC_CONTEXT_DETAIL_SANITIZERS_HPP
#define TOVRIC_CONTEXT_DETAIL_SANITIZERS_HPP

#define TOVRIC_CONTEXT_DETAIL_ASAN 0
#define TOVRIC_CONTEXT_DETAIL_TSAN 0

#if defined(__SANITIZE_ADDRESS__)
#undef TOVRIC_CONTEXT_DETAIL_ASAN
#define TOVRIC_CONTEXT_DETAIL_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#undef TOVRIC_CONTEXT_DETAIL_TSAN
#define TOVRIC_CONTEXT_DETAIL_TSAN 1
#endif
// Nested: gcc before 14 has no __has_feature, and the operator must not be
// seen by a preprocessor that does not know it.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#undef TOVRIC_CONTEXT_DETAIL_ASAN
#define TOVRIC_CONTEXT_DETAIL_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#undef TOVRIC_CONTEXT_DETAIL_TSAN
#define TOVRIC_CONTEXT_DETAIL_TSAN 1
#endif
#endif

// Set when switches must be announced: every sanitizer that tracks stacks.
#define TOVRIC_CONTEXT_DETAIL_ANNOUNCE (TOVRIC_CONTEXT_DETAIL_ASAN || TOVRIC_CONTEXT_DETAIL_TSAN)

#if TOVRIC_CONTEXT_DETAIL_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
// Reads and writes through a function so marked are not checked against
// AddressSanitizer's shadow: they touch memory of suspended stacks.
#define TOVRIC_CONTEXT_DETAIL_UNCHECKED __attribute__((no_sanitize("address")))
#else
#define TOVRIC_CONTEXT_DETAIL_UNCHECKED
#endif
#if TOVRIC_CONTEXT_DETAIL_TSAN
#include <sanitizer/tsan_interface.h>
#endif

#endif
