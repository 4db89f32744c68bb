// The standard counterparts of categories and the adapter's operations.
// Categories that get an adapter live for the whole program, as adapters do.
#include <gtest/gtest.h>

#include <stdexcept>
#include <system_error>

#include "test_categories.hpp"
#include "tovric/system/error_code.hpp"

namespace {

using namespace tovric::system;
using test_categories::counterpart;
using test_categories::generic_mapping_category;
using test_categories::plain_category;
using test_categories::throwing_category;

const detail::std_category& adapter_of(const error_category& category) {
  const auto* adapter = dynamic_cast<const detail::std_category*>(&counterpart(category));
  if (adapter == nullptr) throw std::logic_error("the counterpart is no adapter");
  return *adapter;
}

constexpr std::uint64_t shared_id = 0x5eed000000000001;
const plain_category program_category;  // no identifier, base operations
const plain_category same_id_p(shared_id), same_id_q(shared_id);
const generic_mapping_category mapping_category;
const throwing_category throwing;
const detail::generic_error_category other_generic;

TEST(StandardCounterpart, GenericAndSystemAreTheStandardLibrarysOwn) {
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(&counterpart(generic_category()), &std::generic_category());
    EXPECT_EQ(&counterpart(system_category()), &std::system_category());
    EXPECT_EQ(&counterpart(other_generic), &std::generic_category());
  }
}

TEST(StandardCounterpart, OtherCategoriesGetOneAdapterEach) {
  for (const error_category* category : {&interop_category(), static_cast<const error_category*>(&program_category)}) {
    const detail::std_category& adapter = adapter_of(*category);
    EXPECT_EQ(&adapter.presented(), category);
    EXPECT_EQ(&counterpart(*category), &adapter);
  }
}

TEST(StandardCounterpart, SameIdentifierObjectsGetDifferentAdaptersThatUnwrapToOneCategory) {
  const detail::std_category& p = adapter_of(same_id_p);
  const detail::std_category& q = adapter_of(same_id_q);
  EXPECT_NE(&p, &q);
  EXPECT_NE(std::error_code(5, p), std::error_code(5, q));
  EXPECT_TRUE(q.equivalent(std::error_code(5, p), 5));
  EXPECT_FALSE(q.equivalent(std::error_code(6, p), 5));
  EXPECT_TRUE(q.equivalent(5, std::error_condition(5, p)));
  EXPECT_EQ(std::error_code(5, p), std::error_condition(5, q));
}

TEST(StandardCounterpart, StandardCodesCarryFamilyCategories) {
  const std::error_code code(7, program_category);
  EXPECT_EQ(code.message(), "plain 7");
  EXPECT_STREQ(code.category().name(), "plain");
  EXPECT_EQ(std::error_code(3, generic_category()), std::errc::no_such_process);
}

TEST(AdapterForwarding, NameAndMessageAreThePresentedCategorys) {
  const detail::std_category& interop = adapter_of(interop_category());
  EXPECT_STREQ(interop.name(), "std:unknown");
  EXPECT_EQ(interop.message(-4), interop_category().message(-4));
  EXPECT_EQ(adapter_of(program_category).message(9), "plain 9");
}

TEST(AdapterForwarding, MessagePassesOnWhatThePresentedCategoryThrows) {
  EXPECT_THROW(adapter_of(throwing).message(1), std::runtime_error);
}

TEST(AdapterDefaultCondition, IsThePresentedCategorysInStandardTerms) {
  const detail::std_category& a = adapter_of(program_category);
  EXPECT_EQ(a.default_error_condition(5), std::error_condition(5, a));
  const detail::std_category& interop = adapter_of(interop_category());
  EXPECT_EQ(interop.default_error_condition(7), std::error_condition(7, interop));
}

TEST(AdapterDefaultCondition, EmptyCategoryBecomesTheStandardGenericCategory) {
  const std::error_condition condition = adapter_of(mapping_category).default_error_condition(4);
  EXPECT_EQ(condition.value(), 4);
  EXPECT_EQ(&condition.category(), &std::generic_category());
}

TEST(AdapterValueAgainstCondition, FollowsThePresentedCategory) {
  const detail::std_category& a = adapter_of(program_category);
  EXPECT_TRUE(a.equivalent(5, std::error_condition(5, a)));
  EXPECT_FALSE(a.equivalent(5, std::error_condition(6, a)));
  EXPECT_FALSE(a.equivalent(5, std::error_condition(5, std::generic_category())));
  EXPECT_FALSE(a.equivalent(5, std::error_condition(5, std::system_category())));
}

TEST(AdapterValueAgainstCondition, StandardGenericConditionsBecomeTheGenericCategory) {
  const detail::std_category& mapping = adapter_of(mapping_category);
  EXPECT_TRUE(mapping.equivalent(5, std::error_condition(5, std::generic_category())));
  EXPECT_EQ(std::error_code(5, mapping), std::errc::io_error);
  EXPECT_FALSE(mapping.equivalent(5, std::error_condition(6, std::generic_category())));
}

TEST(AdapterValueAgainstCondition, OtherStandardCategoriesGoByTheDefaultCondition) {
  const detail::std_category& mapping = adapter_of(mapping_category);
  // Its default condition is in std::generic_category(), not the system one.
  EXPECT_FALSE(mapping.equivalent(5, std::error_condition(5, std::system_category())));
  const detail::std_category& a = adapter_of(program_category);
  EXPECT_FALSE(a.equivalent(5, std::error_condition(5, std::system_category())));
}

TEST(AdapterCodeAgainstValue, FollowsThePresentedCategory) {
  const detail::std_category& a = adapter_of(program_category);
  EXPECT_TRUE(a.equivalent(std::error_code(5, a), 5));
  EXPECT_FALSE(a.equivalent(std::error_code(5, a), 6));
  EXPECT_FALSE(a.equivalent(std::error_code(5, std::generic_category()), 5));
  EXPECT_FALSE(a.equivalent(std::error_code(5, std::system_category()), 5));
}

TEST(AdapterCodeAgainstValue, StandardGenericCodesBecomeTheGenericCategory) {
  const detail::std_category generic_adapter(generic_category());
  EXPECT_TRUE(generic_adapter.equivalent(std::error_code(5, std::generic_category()), 5));
  EXPECT_FALSE(generic_adapter.equivalent(std::error_code(5, std::generic_category()), 6));
  // The last resort asks std::generic_category(), which knows no system code.
  EXPECT_FALSE(generic_adapter.equivalent(std::error_code(5, std::system_category()), 5));
}

TEST(AdapterCodeAgainstValue, CodesOfOtherAdaptersAreUnwrapped) {
  const detail::std_category& interop = adapter_of(interop_category());
  const detail::std_category& a = adapter_of(program_category);
  EXPECT_FALSE(interop.equivalent(std::error_code(5, a), 5));
  EXPECT_FALSE(a.equivalent(std::error_code(5, interop), 5));
  const detail::interop_error_category other_interop;
  const detail::std_category other_adapter(other_interop);
  EXPECT_TRUE(interop.equivalent(std::error_code(5, other_adapter), 5));
}

}  // namespace
