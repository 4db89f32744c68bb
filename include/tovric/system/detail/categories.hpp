// The family's three categories (generic, system, interop) and how callers
// obtain them. Included through <tovric/system/error_code.hpp>, the one
// header to include: the inline definitions live in error_code_impl.hpp.
#ifndef TOVRIC_SYSTEM_DETAIL_CATEGORIES_HPP
#define TOVRIC_SYSTEM_DETAIL_CATEGORIES_HPP

#include <cstddef>
#include <string>

#include "tovric/system/detail/config.hpp"
#include "tovric/system/detail/error_category.hpp"
#include "tovric/system/detail/error_records.hpp"

namespace tovric::system {
namespace detail {

// The portable errno conditions: name "generic", the generic identifier,
// messages from the C library's strerror_r.
class TOVRIC_SYSTEM_API generic_error_category : public error_category {
 public:
  TOVRIC_SYSTEM_LOCAL constexpr generic_error_category() noexcept
      : error_category(generic_category_id) {}

  TOVRIC_SYSTEM_LOCAL const char* name() const noexcept override;
  // strerror_r's text of `ev`, copied from a 128-byte scratch buffer.
  TOVRIC_SYSTEM_API std::string message(int ev) const override;
  // Exactly what strerror_r(ev, buffer, len) returns, `len` 0 included: the
  // text may lie in the C library's static storage rather than in `buffer`,
  // which must not be null. Does not allocate.
  TOVRIC_SYSTEM_API const char* message(int ev, char* buffer, std::size_t len) const noexcept override;
};

// The operating system's errno values: name "system", the system identifier,
// strerror_r messages, and every value standing for the same value in the
// generic category.
class TOVRIC_SYSTEM_API system_error_category : public error_category {
 public:
  TOVRIC_SYSTEM_LOCAL constexpr system_error_category() noexcept
      : error_category(system_category_id) {}

  TOVRIC_SYSTEM_LOCAL const char* name() const noexcept override;
  // (ev, empty category), that is `ev` in the generic category.
  TOVRIC_SYSTEM_API error_condition default_error_condition(int ev) const noexcept override;
  // As for the generic category.
  TOVRIC_SYSTEM_API std::string message(int ev) const override;
  TOVRIC_SYSTEM_API const char* message(int ev, char* buffer, std::size_t len) const noexcept override;
};

// Values that stand for standard-library error codes held by tovric error
// codes: name "std:unknown", the interop identifier.
class TOVRIC_SYSTEM_API interop_error_category : public error_category {
 public:
  TOVRIC_SYSTEM_LOCAL constexpr interop_error_category() noexcept
      : error_category(interop_category_id) {}

  TOVRIC_SYSTEM_LOCAL const char* name() const noexcept override;
  // The buffer form's text, through a 48-byte scratch buffer.
  TOVRIC_SYSTEM_API std::string message(int ev) const override;
  // "Unknown interop error <ev>" formatted into `buffer`, cut to len - 1
  // bytes; returns `buffer`. With `len` 0 nothing is written.
  TOVRIC_SYSTEM_API const char* message(int ev, char* buffer, std::size_t len) const noexcept override;
};

// Holds the generic category object. Instantiated for void only; the object
// is exported as one unique object per process (binding STB_GNU_UNIQUE),
// whichever libraries carry the facility, is constant-initialised and never
// destroyed. The class's visibility is what exports it: the compiler gives a
// static data member of a class template the visibility of its class.
template <class T>
struct TOVRIC_SYSTEM_API generic_cat_holder {
  static generic_error_category instance;
};

#if defined(__clang__)
// Clang has no unique binding of its own and gives the member a weak one,
// which an assembler directive cannot override (its own `.weak` comes last).
// So here the member is only declared; each unit that includes this header
// keeps a hidden, constant-initialised object of its own in a COMDAT group
// (one per library after linking), and the exported name is defined by the
// assembler as a unique-binding alias of it. Every reference goes through
// the exported name, which the dynamic linker resolves to one object.
template <>
generic_error_category generic_cat_holder<void>::instance;

[[gnu::used]] TOVRIC_SYSTEM_CONSTINIT TOVRIC_SYSTEM_LOCAL inline generic_error_category generic_cat_object{};

// Clang, when optimising, also drops the abstract base's dispatch table: the
// only reference to it is in the base's constructor, and every category's
// own constructor overwrites it at once. A constructor that clang leaves
// unoptimised keeps it referenced, so that each carrying library exports the
// table (and the base's operations in it) under both compilers.
class TOVRIC_SYSTEM_LOCAL base_table_keeper final : public error_category {
 public:
  [[clang::optnone]] base_table_keeper() noexcept {}
  const char* name() const noexcept override { return ""; }
  std::string message(int) const override { return {}; }
};

[[gnu::used]] TOVRIC_SYSTEM_LOCAL inline void keep_base_table() { const base_table_keeper keeper; }

static_assert(sizeof(generic_error_category) == 24, "the size in the directive below");
__asm__(
    ".type _ZN6tovric6system6detail18generic_cat_holderIvE8instanceE, @gnu_unique_object\n"
    ".set _ZN6tovric6system6detail18generic_cat_holderIvE8instanceE, "
    "_ZN6tovric6system6detail18generic_cat_objectE\n"
    ".size _ZN6tovric6system6detail18generic_cat_holderIvE8instanceE, 24\n");
#else
// GCC gives the member of an instantiated class template unique binding.
template <class T>
TOVRIC_SYSTEM_CONSTINIT generic_error_category generic_cat_holder<T>::instance{};
#endif

}  // namespace detail

// The generic category: detail::generic_cat_holder<void>::instance.
TOVRIC_SYSTEM_LOCAL inline const error_category& generic_category() noexcept {
  return detail::generic_cat_holder<void>::instance;
}

// The system category. Each library carrying the facility has its own
// object; all of them are one category, by identifier.
TOVRIC_SYSTEM_LOCAL inline const error_category& system_category() noexcept {
  TOVRIC_SYSTEM_CONSTINIT static detail::system_error_category instance;
  return instance;
}

// The interop category. Each library carrying the facility has its own
// object; all of them are one category, by identifier (but each object gets
// its own standard-library adapter).
TOVRIC_SYSTEM_LOCAL inline const error_category& interop_category() noexcept {
  TOVRIC_SYSTEM_CONSTINIT static detail::interop_error_category instance;
  return instance;
}

}  // namespace tovric::system

#endif
