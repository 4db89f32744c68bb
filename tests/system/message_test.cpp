// Message texts: the base buffer form, the strerror_r categories and interop.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "test_categories.hpp"
#include "tovric/system/error_code.hpp"

namespace {

using namespace tovric::system;
using test_categories::text_category;
using test_categories::throwing_category;

// A buffer pre-filled with 'x', so that untouched bytes show.
struct filled_buffer {
  char bytes[64];
  filled_buffer() { std::memset(bytes, 'x', sizeof bytes); }
};

TEST(BaseBufferMessage, LengthZeroWritesNothingAndReturnsTheBuffer) {
  const text_category category("0123456789");
  filled_buffer buffer;
  EXPECT_EQ(category.message(1, buffer.bytes, 0), buffer.bytes);
  EXPECT_EQ(buffer.bytes[0], 'x');
  EXPECT_EQ(category.message(1, nullptr, 0), nullptr);
}

TEST(BaseBufferMessage, LengthOneWritesOnlyTheTerminator) {
  const text_category category("0123456789");
  filled_buffer buffer;
  EXPECT_EQ(category.message(1, buffer.bytes, 1), buffer.bytes);
  EXPECT_EQ(buffer.bytes[0], '\0');
  EXPECT_EQ(buffer.bytes[1], 'x');
}

TEST(BaseBufferMessage, LongTextIsCutToLengthLessOne) {
  const text_category category("0123456789");
  filled_buffer buffer;
  EXPECT_EQ(category.message(1, buffer.bytes, 6), buffer.bytes);
  EXPECT_EQ(std::string(buffer.bytes, 7), std::string("01234\0x", 7));
}

TEST(BaseBufferMessage, ShortTextIsZeroFilledToTheEnd) {
  const text_category category("abc");
  filled_buffer buffer;
  EXPECT_EQ(category.message(1, buffer.bytes, 20), buffer.bytes);
  EXPECT_EQ(std::string(buffer.bytes, 21), std::string("abc") + std::string(17, '\0') + "x");
}

TEST(BaseBufferMessage, ThrowingStringFormGivesTheFallbackTextCut) {
  const throwing_category category;
  filled_buffer buffer;
  EXPECT_EQ(category.message(42, buffer.bytes, sizeof buffer.bytes), buffer.bytes);
  EXPECT_STREQ(buffer.bytes, "No message text available for error 42");
  filled_buffer small;
  EXPECT_EQ(category.message(-3, small.bytes, 12), small.bytes);
  EXPECT_EQ(std::string(small.bytes, 13), std::string("No message \0x", 13));
}

TEST(StrerrorMessages, StringFormsAreTheCLibraryTexts) {
  const std::string expected = std::generic_category().message(EINVAL);
  EXPECT_EQ(generic_category().message(EINVAL), expected);
  EXPECT_EQ(system_category().message(EINVAL), expected);
  EXPECT_EQ(generic_category().message(123456), std::generic_category().message(123456));
}

TEST(StrerrorMessages, BufferFormsReturnWhatStrerrorReturns) {
  char expected_buffer[64];
  const char* expected = ::strerror_r(ENOENT, expected_buffer, sizeof expected_buffer);
  for (const error_category* category : {&generic_category(), &system_category()}) {
    char buffer[64];
    EXPECT_STREQ(category->message(ENOENT, buffer, sizeof buffer), expected) << category->name();
    // Known values come from the C library's static storage, length 0 too.
    EXPECT_STREQ(category->message(ENOENT, buffer, 0), expected) << category->name();
  }
}

TEST(StrerrorMessages, UnknownValueInASmallBufferIsCutByTheCLibrary) {
  char expected_buffer[10];
  const std::string expected = ::strerror_r(123456, expected_buffer, sizeof expected_buffer);
  char buffer[10];
  EXPECT_EQ(generic_category().message(123456, buffer, sizeof buffer), expected);
  EXPECT_EQ(system_category().message(123456, buffer, sizeof buffer), expected);
}

TEST(InteropMessages, StringFormIsTheFormattedUnknownText) {
  EXPECT_EQ(interop_category().message(-1), "Unknown interop error -1");
  EXPECT_EQ(interop_category().message(2147483647), "Unknown interop error 2147483647");
}

TEST(InteropMessages, BufferFormCutsTheTextAndReturnsTheBuffer) {
  filled_buffer buffer;
  EXPECT_EQ(interop_category().message(-1, buffer.bytes, 10), buffer.bytes);
  EXPECT_EQ(std::string(buffer.bytes, 11), std::string("Unknown i\0x", 11));
  filled_buffer untouched;
  EXPECT_EQ(interop_category().message(-1, untouched.bytes, 0), untouched.bytes);
  EXPECT_EQ(untouched.bytes[0], 'x');
}

}  // namespace
