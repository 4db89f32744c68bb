#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

#include "narrow_copy.hpp"

namespace {

using tovric::velarn::detail::narrow_copy;

TEST(NarrowCopy, NullStringGivesNullText) {
  const narrow_copy<16> copy(nullptr);
  EXPECT_EQ(copy.c_str(), nullptr);
  EXPECT_FALSE(copy.on_heap());
}

TEST(NarrowCopy, EmptyStringUsesTheInlineBuffer) {
  const narrow_copy<16> copy(L"");
  ASSERT_NE(copy.c_str(), nullptr);
  EXPECT_STREQ(copy.c_str(), "");
  EXPECT_FALSE(copy.on_heap());
}

TEST(NarrowCopy, StringOfCapacityMinusOneUnitsStaysInline) {
  const std::wstring name(255, L'n');
  const narrow_copy<256> copy(name.c_str());
  EXPECT_FALSE(copy.on_heap());
  EXPECT_EQ(copy.c_str(), std::string(255, 'n'));

  const narrow_copy<16> mode(L"rbbbbbbbbbbbbbb");
  EXPECT_FALSE(mode.on_heap());
  EXPECT_STREQ(mode.c_str(), "rbbbbbbbbbbbbbb");
}

TEST(NarrowCopy, StringOfCapacityUnitsGoesToTheHeap) {
  const std::wstring name(256, L'n');
  const narrow_copy<256> copy(name.c_str());
  EXPECT_TRUE(copy.on_heap());
  EXPECT_EQ(copy.c_str(), std::string(256, 'n'));

  const narrow_copy<16> mode(L"rbbbbbbbbbbbbbbb");
  EXPECT_TRUE(mode.on_heap());
  EXPECT_STREQ(mode.c_str(), "rbbbbbbbbbbbbbbb");
}

TEST(NarrowCopy, ShortStringWhoseUtf8DoesNotFitGoesToTheHeap) {
  std::wstring name(254, L'n');
  name += L'\u00E9';  // 255 units, 256 bytes
  const narrow_copy<256> copy(name.c_str());
  EXPECT_TRUE(copy.on_heap());
  EXPECT_EQ(copy.c_str(), std::string(254, 'n') + "\xC3\xA9");
}

TEST(NarrowCopy, InvalidUnitsBecomeReplacementCharacters) {
  const wchar_t s[] = {L'a', static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0x110000), 0};
  const narrow_copy<16> copy(s);
  EXPECT_STREQ(copy.c_str(), "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(NarrowCopy, LengthWhoseHeapSizeWouldWrapThrowsBeforeAllocating) {
  // 4 x L + 1 wraps for these lengths; nothing may be read, converted or
  // allocated (the units are never touched, so a short array stands in).
  const wchar_t s[] = {L'a', 0};
  EXPECT_THROW((narrow_copy<256>(s, SIZE_MAX / 4 + 1)), std::bad_array_new_length);
  EXPECT_THROW((narrow_copy<256>(s, SIZE_MAX / 2)), std::bad_array_new_length);
  // L + 1 wraps to 0 here: the inline test must not be fooled by it.
  EXPECT_THROW((narrow_copy<256>(s, SIZE_MAX)), std::bad_array_new_length);
}

}  // namespace
