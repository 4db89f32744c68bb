// Symbol visibility of libtovric_velarn's interface.
#ifndef TOVRIC_VELARN_DETAIL_CONFIG_HPP
#define TOVRIC_VELARN_DETAIL_CONFIG_HPP

// Marks a declaration as part of the library's exported ABI; everything else
// is built with hidden visibility.
#define TOVRIC_VELARN_API __attribute__((visibility("default")))

#endif
