// tovric::velarn standard-stream support. Loading the library initialises the
// standard narrow and wide streams; nothing else is needed on this platform.
#ifndef TOVRIC_VELARN_IOSTREAM_HPP
#define TOVRIC_VELARN_IOSTREAM_HPP

#include "tovric/detail/language.hpp"

#include "tovric/velarn/detail/config.hpp"

namespace tovric::velarn {

// Does nothing; a program may call it to make sure the library is linked
// (and so its stream initialiser runs).
TOVRIC_VELARN_API void dummy_exported_function() noexcept;

}  // namespace tovric::velarn

#endif
