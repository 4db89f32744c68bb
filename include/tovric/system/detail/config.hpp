// Symbol visibility and initialisation markers of the error-category facility.
// The facility is header-only: every library of the family that includes it
// carries its own copy, and these markers make each copy export the same
// symbols, whatever visibility flags that library is built with.
#ifndef TOVRIC_SYSTEM_DETAIL_CONFIG_HPP
#define TOVRIC_SYSTEM_DETAIL_CONFIG_HPP

// Exported from every library that carries a copy. On a class it exports the
// dispatch table and type record (as weak definitions, the classes having no
// out-of-line member); on a member it exports that operation.
#define TOVRIC_SYSTEM_API __attribute__((visibility("default")))

// Kept inside each library that carries a copy, even in a class marked
// TOVRIC_SYSTEM_API and even without -fvisibility-inlines-hidden.
#define TOVRIC_SYSTEM_LOCAL __attribute__((visibility("hidden")))

// Demands that an object of static storage duration be initialised at
// compile time, so that it is usable before any start-up code runs.
#if defined(__cpp_constinit)
#define TOVRIC_SYSTEM_CONSTINIT constinit
#elif defined(__clang__)
#define TOVRIC_SYSTEM_CONSTINIT [[clang::require_constant_initialization]]
#else
#define TOVRIC_SYSTEM_CONSTINIT __constinit
#endif

#endif
