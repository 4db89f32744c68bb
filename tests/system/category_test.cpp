// Identity of categories, equality of conditions and the default conditions.
#include <gtest/gtest.h>

#include "test_categories.hpp"
#include "tovric/system/error_code.hpp"

namespace {

using namespace tovric::system;
using test_categories::generic_mapping_category;
using test_categories::plain_category;
using test_categories::shifting_category;

TEST(CategoryIdentity, DistinctObjectsWithTheGenericIdentifierAreOneCategory) {
  const detail::generic_error_category other;
  ASSERT_NE(static_cast<const void*>(&other), &generic_category());
  EXPECT_TRUE(other == generic_category());
  EXPECT_TRUE(generic_category() == other);
}

TEST(CategoryIdentity, ObjectsOfDifferentClassesWithOneIdentifierAreOneCategory) {
  const plain_category a(0x1234), c(0x1235);
  const shifting_category b(0x1234);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  const plain_category generic_id(detail::generic_category_id);
  EXPECT_TRUE(generic_id == generic_category());
  EXPECT_FALSE(generic_id == system_category());
}

TEST(CategoryIdentity, CategoryWithoutIdentifierIsTheSameOnlyAsItself) {
  const plain_category a, b;
  EXPECT_TRUE(a == a);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
}

TEST(CategoryIdentity, CategoryWithoutIdentifierNeverMatchesOneWithAnIdentifier) {
  const plain_category none;
  for (const error_category* identified :
       {&generic_category(), &system_category(), &interop_category()}) {
    EXPECT_FALSE(none == *identified) << identified->name();
    EXPECT_FALSE(*identified == none) << identified->name();
  }
}

TEST(CategoryIdentity, TheThreeCategoriesAreDistinctAndNamed) {
  EXPECT_FALSE(generic_category() == system_category());
  EXPECT_FALSE(system_category() == interop_category());
  EXPECT_FALSE(interop_category() == generic_category());
  EXPECT_STREQ(generic_category().name(), "generic");
  EXPECT_STREQ(system_category().name(), "system");
  EXPECT_STREQ(interop_category().name(), "std:unknown");
}

TEST(ConditionEquality, EmptyCategoryCountsAsTheGenericCategory) {
  const detail::generic_error_category other_generic;
  EXPECT_EQ(error_condition(5), error_condition(5));
  EXPECT_EQ(error_condition(5), error_condition(5, generic_category()));
  EXPECT_EQ(error_condition(5, other_generic), error_condition(5));
  EXPECT_NE(error_condition(5), error_condition(5, system_category()));
  EXPECT_NE(error_condition(5), error_condition(6));
  EXPECT_EQ(&error_condition(5).category(), &generic_category());
}

TEST(ConditionEquality, DefaultConditionIsValueZeroInTheGenericCategory) {
  const error_condition condition;
  EXPECT_EQ(condition.value(), 0);
  EXPECT_EQ(&condition.category(), &generic_category());
  EXPECT_EQ(condition, error_condition(0, generic_category()));
}

TEST(ConditionEquality, ConditionsOfCategoriesWithoutIdentifierMatchOnlyTheSameObject) {
  const plain_category a, b;
  EXPECT_EQ(error_condition(3, a), error_condition(3, a));
  EXPECT_NE(error_condition(3, a), error_condition(3, b));
  EXPECT_NE(error_condition(3, a), error_condition(3));
}

TEST(DefaultCondition, SystemValuesStandForTheSameGenericValues) {
  const detail::generic_error_category other_generic;
  const error_condition condition = system_category().default_error_condition(5);
  EXPECT_EQ(condition.value(), 5);
  EXPECT_EQ(condition, error_condition(5, generic_category()));
  EXPECT_EQ(condition, error_condition(5, other_generic));
  EXPECT_NE(condition, error_condition(5, system_category()));
  EXPECT_TRUE(system_category().equivalent(5, error_condition(5, generic_category())));
  EXPECT_FALSE(system_category().equivalent(5, error_condition(5, system_category())));
  EXPECT_FALSE(system_category().equivalent(5, error_condition(6, generic_category())));
}

TEST(DefaultCondition, GenericAndInteropValuesStandForThemselves) {
  EXPECT_EQ(generic_category().default_error_condition(5), error_condition(5, generic_category()));
  EXPECT_TRUE(generic_category().equivalent(5, error_condition(5, generic_category())));
  EXPECT_FALSE(generic_category().equivalent(5, error_condition(5, system_category())));
  EXPECT_EQ(interop_category().default_error_condition(7), error_condition(7, interop_category()));
  EXPECT_NE(interop_category().default_error_condition(7), error_condition(7));
}

TEST(DefaultCondition, ValueAgainstConditionAsksTheOverride) {
  const shifting_category shifting;
  EXPECT_TRUE(shifting.equivalent(1, error_condition(101, generic_category())));
  EXPECT_FALSE(shifting.equivalent(1, error_condition(1, shifting)));
  const generic_mapping_category mapping;
  EXPECT_TRUE(mapping.equivalent(4, error_condition(4)));
  const plain_category plain;
  EXPECT_TRUE(plain.equivalent(4, error_condition(4, plain)));
  EXPECT_FALSE(plain.equivalent(4, error_condition(4)));
}

}  // namespace
