// Every public header of tovric includes this first. The headers are C++17
// (nested namespaces, inline variables, if constexpr); compiled as an older
// language they would go on with a string of extension warnings and errors.
// Instead the compilation stops here, with one message naming the
// requirement.
#ifndef TOVRIC_DETAIL_LANGUAGE_HPP
#define TOVRIC_DETAIL_LANGUAGE_HPP

#if __cplusplus < 201703L
#error "tovric needs C++17 or later: compile with -std=c++17 (tovric's CMake targets ask for it)"
// A header that cannot be found is fatal: the compiler stops here, before it
// reads anything that would add diagnostics of its own.
#include "tovric: compilation stopped"
#endif

#endif
