// A shared library of the tests' own that carries its own copy of the
// error-category facility, as any library of the family may. Loaded by
// two_copies_test next to libtovric_timer, it answers with its copy.
#include <typeinfo>

#include "carrier.hpp"
#include "tovric/system/error_code.hpp"

using namespace tovric::system;

namespace {

// The same identifier as the test program's own shared_identifier_category.
class carrier_category final : public error_category {
 public:
  constexpr carrier_category() noexcept : error_category(carrier_shared_identifier) {}
  const char* name() const noexcept override { return "carrier"; }
  std::string message(int) const override { return "carrier message"; }
};

const carrier_category shared_identifier_category;

}  // namespace

extern "C" {

const void* carrier_generic_object() { return &detail::generic_cat_holder<void>::instance; }

const void* carrier_std_category_type() { return &typeid(detail::std_category); }

const error_category* carrier_system_category() { return &system_category(); }

const error_category* carrier_interop_category() { return &interop_category(); }

const error_category* carrier_shared_identifier_category() { return &shared_identifier_category; }

const std::error_category* carrier_counterpart(const error_category* category) {
  return &static_cast<const std::error_category&>(*category);
}

bool carrier_is_adapter(const std::error_category* category) {
  return dynamic_cast<const detail::std_category*>(category) != nullptr;
}

}  // extern "C"
