// Symbol visibility of libtovric_context's interface.
#ifndef TOVRIC_CONTEXT_DETAIL_CONFIG_HPP
#define TOVRIC_CONTEXT_DETAIL_CONFIG_HPP

// Marks a declaration as part of the library's exported ABI; everything else
// is built with hidden visibility.
#define TOVRIC_CONTEXT_API __attribute__((visibility("default")))

#endif
