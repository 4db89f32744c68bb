// tovric::system::error_condition and error_code: the two error records.
// Included through <tovric/system/error_code.hpp>, the one header to include:
// the inline definitions live in error_code_impl.hpp.
#ifndef TOVRIC_SYSTEM_DETAIL_ERROR_RECORDS_HPP
#define TOVRIC_SYSTEM_DETAIL_ERROR_RECORDS_HPP

#include <cstdint>
#include <system_error>

#include "tovric/system/detail/config.hpp"
#include "tovric/system/detail/error_category.hpp"

namespace tovric::system {

// A portable condition: a value and the category it belongs to, which codes
// and values are tested against. A plain value that owns nothing; the
// category must outlive it.
class TOVRIC_SYSTEM_LOCAL error_condition {
 public:
  // Value 0 in the generic category.
  constexpr error_condition() noexcept : val(0), cat(nullptr) {}
  // `value` in the generic category, the category being left empty.
  constexpr explicit error_condition(int value) noexcept : val(value), cat(nullptr) {}
  // `value` in `category`.
  constexpr error_condition(int value, const error_category& category) noexcept
      : val(value), cat(&category) {}

  constexpr int value() const noexcept { return val; }
  // The category; the generic category object when it was left empty.
  const error_category& category() const noexcept;

 private:
  friend bool operator==(const error_condition& a, const error_condition& b) noexcept;

  int val;
  const error_category* cat;  // null stands for the generic category
};

// Equal values and the same category by the identity rule, an empty
// category counting as the generic one.
TOVRIC_SYSTEM_LOCAL inline bool operator==(const error_condition& a, const error_condition& b) noexcept;
TOVRIC_SYSTEM_LOCAL inline bool operator!=(const error_condition& a, const error_condition& b) noexcept;

// An error as it occurred: a value and its category, or a standard-library
// std::error_code held as it is. A plain value that owns nothing; the
// category must outlive it.
class TOVRIC_SYSTEM_LOCAL error_code {
 public:
  // The empty code: value 0 in the system category, not a failure.
  constexpr error_code() noexcept : fields(), state(0) {}
  // `value` in `category`. Whether it is a failure is `value != 0` for the
  // generic and system identifiers, otherwise category.failed(value).
  error_code(int value, const error_category& category) noexcept;
  // Holds `code` as it is. It reads as a value of the interop category,
  // derived from the standard value and the standard category's address
  // (stable within one run of the process only), and is a failure when the
  // standard value is not 0.
  explicit error_code(const std::error_code& code) noexcept : fields(code), state(1) {}

  int value() const noexcept;
  const error_category& category() const noexcept;
  bool failed() const noexcept;

 private:
  friend class error_category;

  struct own_fields {
    int value;
    const error_category* category;
  };
  // The record's own value and category, or in their place the held
  // standard code.
  union storage {
    own_fields own;
    std::error_code held;

    constexpr storage() noexcept : own{0, nullptr} {}
    constexpr storage(int value, const error_category* category) noexcept : own{value, category} {}
    explicit storage(const std::error_code& code) noexcept : held(code) {}
  };

  // The interop value standing for a held standard code.
  static int derived_value(const std::error_code& held) noexcept;

  storage fields;
  // 0: empty; 1: holds a standard code; 2: own fields, not a failure;
  // 3: own fields, a failure. No other state is ever made.
  std::uint64_t state;
};

}  // namespace tovric::system

#endif
