// The plain C interface of the carrier library, for dlsym. Each function
// answers with the carrier's own copy of the facility.
#ifndef TOVRIC_TESTS_SYSTEM_CARRIER_HPP
#define TOVRIC_TESTS_SYSTEM_CARRIER_HPP

#include <cstdint>
#include <system_error>

#include "tovric/system/error_code.hpp"

#define CARRIER_API extern "C" __attribute__((visibility("default")))

// Identifier of a category that both the carrier and the test program define.
inline constexpr std::uint64_t carrier_shared_identifier = 0x5eed00000000ca11;

// The address of detail::generic_cat_holder<void>::instance as the carrier sees it.
CARRIER_API const void* carrier_generic_object();
// The address of typeid(detail::std_category) as the carrier sees it.
CARRIER_API const void* carrier_std_category_type();
// The carrier's own system and interop category objects.
CARRIER_API const tovric::system::error_category* carrier_system_category();
CARRIER_API const tovric::system::error_category* carrier_interop_category();
// The carrier's category with carrier_shared_identifier.
CARRIER_API const tovric::system::error_category* carrier_shared_identifier_category();
// The standard counterpart of `category`, made by the carrier's copy.
CARRIER_API const std::error_category* carrier_counterpart(const tovric::system::error_category* category);
// Whether the carrier's run-time type test takes `category` for an adapter.
CARRIER_API bool carrier_is_adapter(const std::error_category* category);

#endif
