// Categories of a program's own, for the tests: each keeps the base
// operations except the one that its name says it changes. And the standard
// counterpart of any category, as the conversion gives it.
#ifndef TOVRIC_TESTS_SUPPORT_TEST_CATEGORIES_HPP
#define TOVRIC_TESTS_SUPPORT_TEST_CATEGORIES_HPP

#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tovric/system/error_code.hpp"

namespace test_categories {

using tovric::system::error_category;
using tovric::system::error_condition;

// The standard library's view of `category`.
inline const std::error_category& counterpart(const error_category& category) { return category; }

// Without identifier unless one is given; message "<name> <ev>".
class plain_category : public error_category {
 public:
  constexpr plain_category() noexcept = default;
  constexpr explicit plain_category(std::uint64_t id) noexcept : error_category(id) {}
  using error_category::message;
  const char* name() const noexcept override { return "plain"; }
  std::string message(int ev) const override { return "plain " + std::to_string(ev); }
};

// Its string-form message is a fixed text.
class text_category : public error_category {
 public:
  explicit text_category(const char* message_text) noexcept : text(message_text) {}
  using error_category::message;
  const char* name() const noexcept override { return "text"; }
  std::string message(int) const override { return text; }

 private:
  const char* text;
};

// Its string-form message throws.
class throwing_category : public error_category {
 public:
  using error_category::message;
  const char* name() const noexcept override { return "throwing"; }
  std::string message(int) const override { throw std::runtime_error("no text"); }
};

// Every value, 0 included, is a failure.
class always_failing_category : public plain_category {
 public:
  using plain_category::plain_category;
  bool failed(int) const noexcept override { return true; }
};

// Maps every value to the same value with an empty category, that is to
// the generic category, as the system category does.
class generic_mapping_category : public plain_category {
 public:
  using plain_category::plain_category;
  error_condition default_error_condition(int ev) const noexcept override {
    return error_condition(ev);
  }
};

// Maps ev to ev + 100 in the generic category.
class shifting_category : public plain_category {
 public:
  using plain_category::plain_category;
  error_condition default_error_condition(int ev) const noexcept override {
    return error_condition(ev + 100, tovric::system::generic_category());
  }
};

}  // namespace test_categories

#endif
