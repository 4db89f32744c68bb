// The standard-stream initialiser of libtovric_velarn, and the unit's one
// exported function.
#include <ios>

#include "tovric/velarn/iostream.hpp"

namespace tovric::velarn {
namespace {

// Makes the standard narrow and wide streams usable from load until unload.
const std::ios_base::Init init_standard_streams;

}  // namespace

void dummy_exported_function() noexcept {}

}  // namespace tovric::velarn
