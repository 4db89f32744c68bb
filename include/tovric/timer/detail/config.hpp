// Symbol visibility of libtovric_timer's interface.
#ifndef TOVRIC_TIMER_DETAIL_CONFIG_HPP
#define TOVRIC_TIMER_DETAIL_CONFIG_HPP

// Marks a declaration as part of the library's exported ABI; everything else
// is built with hidden visibility.
#define TOVRIC_TIMER_API __attribute__((visibility("default")))

#endif
