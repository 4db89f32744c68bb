// tovric::system::detail::std_category: presents a tovric error category as a
// std::error_category. Part of <tovric/system/error_code.hpp>.
#ifndef TOVRIC_SYSTEM_DETAIL_STD_CATEGORY_HPP
#define TOVRIC_SYSTEM_DETAIL_STD_CATEGORY_HPP

#include <string>
#include <system_error>

#include "tovric/system/detail/config.hpp"
#include "tovric/system/detail/error_category.hpp"

namespace tovric::system::detail {

// The standard counterpart of a category other than generic and system
// (error_category's conversion to std::error_category makes it). Names and
// messages are the presented category's; the equivalence questions are
// answered by turning standard codes and conditions into tovric ones and
// asking the presented category. Adapters made by another library's copy of
// this facility are recognised too. Immutable; never owns the category.
class TOVRIC_SYSTEM_API std_category : public std::error_category {
 public:
  TOVRIC_SYSTEM_LOCAL explicit std_category(const system::error_category& presented) noexcept
      : wrapped(&presented) {}
  // Leaves the presented category alone.
  TOVRIC_SYSTEM_LOCAL ~std_category() override = default;

  // The presented category's name.
  TOVRIC_SYSTEM_LOCAL const char* name() const noexcept override;
  // The presented category's string-form message; passes on what it throws.
  TOVRIC_SYSTEM_LOCAL std::string message(int ev) const override;
  // The presented category's default condition, as a standard condition
  // (std::generic_category() for an empty category). Ends the process if
  // anything throws inside.
  TOVRIC_SYSTEM_LOCAL std::error_condition default_error_condition(int ev) const noexcept override;
  // Whether `code` of this adapter stands for standard `condition`: asks the
  // presented category about the tovric form of `condition` when its
  // category is this adapter, std::generic_category() or any adapter,
  // otherwise compares default_error_condition(code) with it. Ends the
  // process if anything throws inside.
  TOVRIC_SYSTEM_API bool equivalent(int code, const std::error_condition& condition) const noexcept override;
  // Whether standard `code` is `condition` of this adapter: asks the
  // presented category about the tovric form of `code` when its category is
  // this adapter, std::generic_category() or any adapter; otherwise, when
  // the presented category is the generic one, std::generic_category()
  // answers; otherwise false. Ends the process if anything throws inside.
  TOVRIC_SYSTEM_API bool equivalent(const std::error_code& code, int condition) const noexcept override;

  // The category that this adapter presents.
  TOVRIC_SYSTEM_LOCAL const system::error_category& presented() const noexcept { return *wrapped; }

 private:
  // Unqualified, error_category would name the standard base here.
  const system::error_category* wrapped;
};

}  // namespace tovric::system::detail

#endif
