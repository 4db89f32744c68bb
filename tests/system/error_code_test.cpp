// Making error codes, their failure flag, and the code-against-value test.
#include <gtest/gtest.h>

#include <cstdint>
#include <system_error>

#include "test_categories.hpp"
#include "tovric/system/error_code.hpp"

namespace {

using namespace tovric::system;
using test_categories::always_failing_category;
using test_categories::plain_category;

// A generic category whose own failed() would call everything a failure;
// codes of the generic identifier must not ask it.
class failing_generic_category : public detail::generic_error_category {
 public:
  bool failed(int) const noexcept override { return true; }
};

// The interop value standing for a standard code, computed independently.
int derived_value(const std::error_code& code) {
  const auto address = reinterpret_cast<std::uintptr_t>(&code.category());
  const std::uint64_t sum = static_cast<std::uint32_t>(code.value()) + 1000 * (address % 2097143);
  return static_cast<int>(static_cast<std::uint32_t>(sum));
}

TEST(ErrorCodeConstruction, FailureFlagOfWellKnownIdentifiersIsValueNotZero) {
  EXPECT_FALSE(error_code(0, system_category()).failed());
  EXPECT_TRUE(error_code(2, generic_category()).failed());
  EXPECT_TRUE(error_code(-1, interop_category()).failed());
  EXPECT_FALSE(error_code(0, interop_category()).failed());
  const failing_generic_category failing_generic;
  EXPECT_FALSE(error_code(0, failing_generic).failed());
}

TEST(ErrorCodeConstruction, FailureFlagOfOtherCategoriesComesFromTheirFailed) {
  const always_failing_category failing;
  EXPECT_TRUE(error_code(0, failing).failed());
  const plain_category plain;
  EXPECT_FALSE(error_code(0, plain).failed());
  EXPECT_TRUE(error_code(7, plain).failed());
}

TEST(ErrorCodeConstruction, CodeReadsBackItsValueAndCategory) {
  const plain_category plain;
  const error_code code(42, plain);
  EXPECT_EQ(code.value(), 42);
  EXPECT_EQ(&code.category(), &plain);
  const error_code copy = code;
  EXPECT_EQ(copy.value(), 42);
  EXPECT_EQ(&copy.category(), &plain);
}

TEST(ErrorCodeConstruction, CategoriesFailOnlyForNonZeroValues) {
  for (const error_category* category :
       {&generic_category(), &system_category(), &interop_category()}) {
    EXPECT_FALSE(category->failed(0)) << category->name();
    EXPECT_TRUE(category->failed(-1)) << category->name();
  }
}

TEST(EmptyErrorCode, IsValueZeroOfTheSystemCategoryAndNoFailure) {
  const error_code empty;
  EXPECT_EQ(empty.value(), 0);
  EXPECT_TRUE(empty.category() == system_category());
  EXPECT_FALSE(empty.failed());
}

TEST(EmptyErrorCode, IsEquivalentOnlyToZeroOfTheSystemCategory) {
  const error_code empty;
  EXPECT_TRUE(system_category().equivalent(empty, 0));
  EXPECT_FALSE(system_category().equivalent(empty, 1));
  const detail::system_error_category other_system;
  EXPECT_TRUE(other_system.equivalent(empty, 0));
  const plain_category plain;
  for (const error_category* category : {&generic_category(), &interop_category(),
                                         static_cast<const error_category*>(&plain)}) {
    EXPECT_FALSE(category->equivalent(empty, 0)) << category->name();
  }
}

TEST(HeldStandardCode, ReadsAsTheDerivedValueOfTheInteropCategory) {
  const std::error_code standard(5, std::generic_category());
  const error_code held(standard);
  EXPECT_EQ(held.value(), derived_value(standard));
  EXPECT_TRUE(held.category() == interop_category());
  EXPECT_TRUE(held.failed());
  EXPECT_FALSE(error_code(std::error_code(0, std::generic_category())).failed());
}

TEST(HeldStandardCode, IsEquivalentOnlyToTheDerivedValueOfTheInteropCategory) {
  const std::error_code standard(5, std::generic_category());
  const error_code held(standard);
  const int derived = derived_value(standard);
  ASSERT_NE(derived, 5) << "the standard category's address happens to add nothing";
  EXPECT_TRUE(interop_category().equivalent(held, derived));
  EXPECT_FALSE(interop_category().equivalent(held, derived + 1));
  EXPECT_FALSE(interop_category().equivalent(held, 5));
  const detail::interop_error_category other_interop;
  EXPECT_TRUE(other_interop.equivalent(held, derived));
  const plain_category plain;
  for (const error_category* category : {&generic_category(), &system_category(),
                                         static_cast<const error_category*>(&plain)}) {
    EXPECT_FALSE(category->equivalent(held, derived)) << category->name();
    EXPECT_FALSE(category->equivalent(held, 5)) << category->name();
  }
}

TEST(HeldStandardCode, DerivedValueDependsOnTheStandardCategory) {
  const std::error_code in_system(5, std::system_category());
  const error_code held(in_system);
  EXPECT_EQ(held.value(), derived_value(in_system));
  EXPECT_TRUE(interop_category().equivalent(held, derived_value(in_system)));
}

TEST(CodeAgainstValue, NeedsTheSameValueAndTheSameCategory) {
  EXPECT_TRUE(generic_category().equivalent(error_code(5, generic_category()), 5));
  EXPECT_FALSE(generic_category().equivalent(error_code(5, generic_category()), 6));
  EXPECT_FALSE(system_category().equivalent(error_code(5, generic_category()), 5));
  const detail::generic_error_category other_generic;
  EXPECT_TRUE(other_generic.equivalent(error_code(5, generic_category()), 5));
  EXPECT_TRUE(generic_category().equivalent(error_code(5, other_generic), 5));
}

TEST(CodeAgainstValue, CategoriesWithoutIdentifierMatchOnlyThemselves) {
  const plain_category a, b;
  EXPECT_TRUE(a.equivalent(error_code(5, a), 5));
  EXPECT_FALSE(b.equivalent(error_code(5, a), 5));
  EXPECT_FALSE(generic_category().equivalent(error_code(5, a), 5));
  EXPECT_FALSE(a.equivalent(error_code(5, generic_category()), 5));
}

}  // namespace
