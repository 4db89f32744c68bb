// libtovric_timer carries a copy of the family's error-category facility and
// exports it for the programs that link against the library; the timer code
// does not use it. Everything is inline in <tovric/system/error_code.hpp>, so
// this unit only makes sure the library contains it.
#include <new>

#include "tovric/system/error_code.hpp"

namespace tovric::system::detail {

// The generic category object, exported as the process's unique one.
template struct generic_cat_holder<void>;

namespace {

// Never called; kept by `used`. It odr-uses what the library exports, so that
// this unit emits it whatever the compiler's emission policy: the dispatch
// tables of the categories (through their objects) and of the adapter
// (through a construction), with the type records and the exported
// operations that the tables refer to, and the base's buffer-form message,
// which every concrete category overrides.
[[gnu::used]] void carry_error_categories(void* adapter_storage, char* buffer) {
  static_cast<void>(generic_category());
  static_cast<void>(system_category());
  ::new (adapter_storage) std_category(interop_category());
  generic_category().error_category::message(0, buffer, 1);
}

}  // namespace
}  // namespace tovric::system::detail
