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
// which every concrete category overrides. The results are stored so that
// no use can be dropped. (The abstract base's own dispatch table is referred
// to only from its constructor; GCC emits it wherever that constexpr
// constructor is defined, clang through the header's base_table_keeper, and
// the symbol test checks that it is there.)
[[gnu::used]] void carry_error_categories(const void** out, void* adapter_storage, char* buffer) {
  out[0] = &generic_category();
  out[1] = &system_category();
  out[2] = ::new (adapter_storage) std_category(interop_category());
  out[3] = generic_category().error_category::message(0, buffer, 2);
}

}  // namespace
}  // namespace tovric::system::detail
