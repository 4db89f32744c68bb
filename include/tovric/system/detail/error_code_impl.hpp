// The inline definitions of the error-category facility, after all its
// classes are complete. Included by <tovric/system/error_code.hpp> only.
#ifndef TOVRIC_SYSTEM_DETAIL_ERROR_CODE_IMPL_HPP
#define TOVRIC_SYSTEM_DETAIL_ERROR_CODE_IMPL_HPP

#include <string.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include "tovric/system/detail/categories.hpp"
#include "tovric/system/detail/snprintf.hpp"
#include "tovric/system/detail/std_category.hpp"
#include "tovric/system/detail/error_category.hpp"
#include "tovric/system/detail/error_records.hpp"

namespace tovric::system {
namespace detail {

static_assert(std::is_same_v<decltype(::strerror_r(0, std::declval<char*>(), 0)), char*>,
              "the categories need the GNU form of strerror_r");
static_assert(std::is_trivially_destructible_v<generic_error_category>,
              "the generic category object must need no destruction");
static_assert(sizeof(error_code) == 24 && sizeof(error_condition) == 16);

// strerror_r's text of `ev`, copied out of a 128-byte scratch buffer.
TOVRIC_SYSTEM_LOCAL inline std::string strerror_text(int ev) {
  char scratch[128];
  return std::string(::strerror_r(ev, scratch, sizeof scratch));
}

}  // namespace detail

// error_category

inline error_condition error_category::default_error_condition(int ev) const noexcept {
  return error_condition(ev, *this);
}

inline bool error_category::equivalent(int code, const error_condition& condition) const noexcept {
  return default_error_condition(code) == condition;
}

inline bool error_category::equivalent(const error_code& code, int condition) const noexcept {
  switch (code.state) {
    case 0:
      return condition == 0 && identifier == detail::system_category_id;
    case 1:
      return identifier == detail::interop_category_id &&
             error_code::derived_value(code.fields.held) == condition;
    default:
      return code.fields.own.value == condition && *this == *code.fields.own.category;
  }
}

inline const char* error_category::message(int ev, char* buffer, std::size_t len) const noexcept {
  if (len == 0) return buffer;
  if (len == 1) {
    buffer[0] = '\0';
    return buffer;
  }
  try {
    const std::string text = message(ev);
    // Cutting the text, and zero-filling when it is short, is what is wanted.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#endif
    std::strncpy(buffer, text.c_str(), len - 1);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    buffer[len - 1] = '\0';
  } catch (...) {
    detail::snprintf(buffer, len, "No message text available for error %d", ev);
  }
  return buffer;
}

inline bool error_category::failed(int ev) const noexcept { return ev != 0; }

inline error_category::operator const std::error_category&() const {
  if (identifier == detail::generic_category_id) return std::generic_category();
  if (identifier == detail::system_category_id) return std::system_category();
  if (detail::std_category* published = std_adapter.load(std::memory_order_acquire)) {
    return *published;
  }
  detail::std_category* made = new detail::std_category(*this);
  detail::std_category* found = nullptr;
  if (std_adapter.compare_exchange_strong(found, made, std::memory_order_acq_rel,
                                          std::memory_order_acquire)) {
    return *made;
  }
  // Another thread published first: ours goes, theirs is the counterpart.
  delete made;
  return *found;
}

// error_condition

inline const error_category& error_condition::category() const noexcept {
  return cat != nullptr ? *cat : detail::generic_cat_holder<void>::instance;
}

inline bool operator==(const error_condition& a, const error_condition& b) noexcept {
  if (a.val != b.val) return false;
  // The same pointer, both empty included, needs no identity test.
  return a.cat == b.cat || a.category() == b.category();
}

inline bool operator!=(const error_condition& a, const error_condition& b) noexcept {
  return !(a == b);
}

// error_code

inline error_code::error_code(int value, const error_category& category) noexcept
    : fields(value, &category), state(2) {
  const bool well_known = category.identifier == detail::generic_category_id ||
                          category.identifier == detail::system_category_id;
  if (well_known ? value != 0 : category.failed(value)) state = 3;
}

inline int error_code::derived_value(const std::error_code& held) noexcept {
  // The standard category's address, reduced modulo a prime below 2^21 and
  // scaled by 1000, so that values below 1000 of different categories stay
  // apart; the product is below 2^31 and fits in 32 bits. The sum wraps.
  constexpr std::uintptr_t address_modulus = 2097143;  // 0x1ffff7
  constexpr std::uint32_t address_scale = 1000;
  const auto standard_value = static_cast<std::uint32_t>(held.value());
  const auto address = reinterpret_cast<std::uintptr_t>(&held.category());
  const auto offset = static_cast<std::uint32_t>(address % address_modulus) * address_scale;
  return static_cast<int>(standard_value + offset);
}

inline int error_code::value() const noexcept {
  switch (state) {
    case 0: return 0;
    case 1: return derived_value(fields.held);
    default: return fields.own.value;
  }
}

inline const error_category& error_code::category() const noexcept {
  switch (state) {
    case 0: return system_category();
    case 1: return interop_category();
    default: return *fields.own.category;
  }
}

inline bool error_code::failed() const noexcept {
  switch (state) {
    case 0: return false;
    case 1: return fields.held.value() != 0;
    default: return (state & 1) != 0;
  }
}

namespace detail {

// generic_error_category

inline const char* generic_error_category::name() const noexcept { return "generic"; }

inline std::string generic_error_category::message(int ev) const { return strerror_text(ev); }

inline const char* generic_error_category::message(int ev, char* buffer,
                                                   std::size_t len) const noexcept {
  return ::strerror_r(ev, buffer, len);
}

// system_error_category

inline const char* system_error_category::name() const noexcept { return "system"; }

inline error_condition system_error_category::default_error_condition(int ev) const noexcept {
  return error_condition(ev);
}

inline std::string system_error_category::message(int ev) const { return strerror_text(ev); }

inline const char* system_error_category::message(int ev, char* buffer,
                                                  std::size_t len) const noexcept {
  return ::strerror_r(ev, buffer, len);
}

// interop_error_category

inline const char* interop_error_category::name() const noexcept { return "std:unknown"; }

inline std::string interop_error_category::message(int ev) const {
  char scratch[48];
  return std::string(message(ev, scratch, sizeof scratch));
}

inline const char* interop_error_category::message(int ev, char* buffer,
                                                   std::size_t len) const noexcept {
  detail::snprintf(buffer, len, "Unknown interop error %d", ev);
  return buffer;
}

// std_category

inline const char* std_category::name() const noexcept { return wrapped->name(); }

inline std::string std_category::message(int ev) const { return wrapped->message(ev); }

inline std::error_condition std_category::default_error_condition(int ev) const noexcept {
  const error_condition condition = wrapped->default_error_condition(ev);
  // An empty category reads as the generic object, whose counterpart is
  // std::generic_category().
  return std::error_condition(condition.value(),
                              static_cast<const std::error_category&>(condition.category()));
}

inline bool std_category::equivalent(const std::error_code& code, int condition) const noexcept {
  const std::error_category& category = code.category();
  if (&category == this) return wrapped->equivalent(error_code(code.value(), *wrapped), condition);
  if (category == std::generic_category()) {
    return wrapped->equivalent(error_code(code.value(), generic_cat_holder<void>::instance), condition);
  }
  if (const auto* adapter = dynamic_cast<const std_category*>(&category)) {
    return wrapped->equivalent(error_code(code.value(), *adapter->wrapped), condition);
  }
  if (*wrapped == generic_cat_holder<void>::instance) {
    return std::generic_category().equivalent(code, condition);
  }
  return false;
}

inline bool std_category::equivalent(int code, const std::error_condition& condition) const noexcept {
  const std::error_category& category = condition.category();
  if (&category == this) {
    return wrapped->equivalent(code, error_condition(condition.value(), *wrapped));
  }
  if (category == std::generic_category()) {
    return wrapped->equivalent(
        code, error_condition(condition.value(), generic_cat_holder<void>::instance));
  }
  if (const auto* adapter = dynamic_cast<const std_category*>(&category)) {
    return wrapped->equivalent(code, error_condition(condition.value(), *adapter->wrapped));
  }
  return default_error_condition(code) == condition;
}

}  // namespace detail
}  // namespace tovric::system

#endif
