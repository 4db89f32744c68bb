// tovric::system::error_category: the abstract error category of the family.
// Included through <tovric/system/error_code.hpp>, the one header to include:
// the inline definitions live in error_code_impl.hpp.
#ifndef TOVRIC_SYSTEM_DETAIL_ERROR_CATEGORY_HPP
#define TOVRIC_SYSTEM_DETAIL_ERROR_CATEGORY_HPP

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "tovric/system/detail/config.hpp"

namespace tovric::system {

class error_category;
class error_code;
class error_condition;

// The identity of categories: with an identifier on `b`, whether `a` has the
// same; without, whether both are one object. Symmetric in effect: categories
// with identifiers are the same exactly when the identifiers are equal, one
// without is the same only as itself. Compares, calls nothing.
TOVRIC_SYSTEM_LOCAL inline bool operator==(const error_category& a, const error_category& b) noexcept;
TOVRIC_SYSTEM_LOCAL inline bool operator!=(const error_category& a, const error_category& b) noexcept;

namespace detail {

class std_category;

// The fixed identifiers of the family's three categories. Every copy of the
// facility uses exactly these values and no other category may use them.
inline constexpr std::uint64_t generic_category_id = 0xb2ab117a257edfd0;
inline constexpr std::uint64_t system_category_id = 0xb2ab117a257edfd1;
inline constexpr std::uint64_t interop_category_id = 0xb2ab117a257edfd2;

}  // namespace detail

// An error domain: names its integer values, gives their message texts and
// says which portable condition each value stands for. Identity goes by the
// 64-bit identifier when one is set (so copies of a category carried by
// different libraries are one category), otherwise by address.
// A category is immutable once made, except that its standard counterpart
// (see the conversion below) is made once, lock-free, and then kept; every
// operation may run on any number of threads at once. Categories are
// long-lived and never destroyed through this base.
class TOVRIC_SYSTEM_API error_category {
 public:
  error_category(const error_category&) = delete;
  error_category& operator=(const error_category&) = delete;

  // The category's name.
  TOVRIC_SYSTEM_LOCAL virtual const char* name() const noexcept = 0;

  // The portable condition that `ev` stands for: (ev, this category) here.
  TOVRIC_SYSTEM_API virtual error_condition default_error_condition(int ev) const noexcept;

  // Whether `code` of this category stands for `condition`: whether this
  // category's default_error_condition(code) equals it.
  TOVRIC_SYSTEM_API virtual bool equivalent(int code, const error_condition& condition) const noexcept;

  // Whether `code` is `condition` of this category: its effective value
  // equals `condition` and its effective category is this one. Calls no
  // category operation.
  TOVRIC_SYSTEM_API virtual bool equivalent(const error_code& code, int condition) const noexcept;

  // The message text of `ev`, allocated.
  virtual std::string message(int ev) const = 0;

  // The message text of `ev` in `buffer` of `len` bytes: cut to len - 1 bytes,
  // the rest zero-filled and always terminated; with `len` 0 the buffer is not
  // touched. Never throws: if the string form throws, the buffer gets
  // "No message text available for error <ev>". Returns the text's address,
  // `buffer` here; overrides may return static text instead.
  TOVRIC_SYSTEM_API virtual const char* message(int ev, char* buffer, std::size_t len) const noexcept;

  // Whether `ev` is a failure: `ev != 0` here.
  TOVRIC_SYSTEM_LOCAL virtual bool failed(int ev) const noexcept;

  // The standard library's view of this category: std::generic_category()
  // for the generic identifier, std::system_category() for the system one,
  // otherwise this object's own adapter, made on first call (one allocation;
  // std::bad_alloc if it fails) and afterwards found by one atomic load.
  TOVRIC_SYSTEM_LOCAL operator const std::error_category&() const;

 protected:
  // A category without identifier: the same category only as itself.
  TOVRIC_SYSTEM_LOCAL constexpr error_category() noexcept : identifier(0), std_adapter(nullptr) {}
  // A category with identifier `id` (0 meaning none).
  TOVRIC_SYSTEM_LOCAL constexpr explicit error_category(std::uint64_t id) noexcept
      : identifier(id), std_adapter(nullptr) {}
  ~error_category() = default;

 private:
  friend bool operator==(const error_category& a, const error_category& b) noexcept;
  friend class error_code;

  std::uint64_t identifier;
  // Empty until the adapter is published; then fixed for the process's life.
  mutable std::atomic<detail::std_category*> std_adapter;
};

inline bool operator==(const error_category& a, const error_category& b) noexcept {
  // One object is one category whatever its identifier; the address test
  // first spares reading the identifiers.
  if (&a == &b) return true;
  return b.identifier != 0 && a.identifier == b.identifier;
}

inline bool operator!=(const error_category& a, const error_category& b) noexcept { return !(a == b); }

}  // namespace tovric::system

#endif
