#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <string>

#include "tovric/velarn/cstdlib.hpp"

namespace {

TEST(Environment, SetenvKeepsUtf8BytesUnchanged) {
  const char* name = "TOVRIC_VELARN_\xC3\xA9T\xC3\xA9";
  const char* value = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  ASSERT_EQ(tovric::velarn::setenv(name, value, 1), 0);
  const char* back = ::getenv(name);
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back, value);
  EXPECT_EQ(tovric::velarn::unsetenv(name), 0);
  EXPECT_EQ(::getenv(name), nullptr);
}

TEST(Environment, SetenvWithoutOverwriteKeepsTheOldValue) {
  ASSERT_EQ(tovric::velarn::setenv("TOVRIC_VELARN_KEEP", "old", 1), 0);
  EXPECT_EQ(tovric::velarn::setenv("TOVRIC_VELARN_KEEP", "new", 0), 0);
  EXPECT_STREQ(::getenv("TOVRIC_VELARN_KEEP"), "old");
  tovric::velarn::unsetenv("TOVRIC_VELARN_KEEP");
}

TEST(Environment, InvalidNamesFailWithTheCLibrarysErrno) {
  errno = 0;
  EXPECT_EQ(tovric::velarn::setenv("A=B", "x", 1), -1);
  EXPECT_EQ(errno, EINVAL);
  errno = 0;
  EXPECT_EQ(tovric::velarn::setenv("", "x", 1), -1);
  EXPECT_EQ(errno, EINVAL);
  errno = 0;
  EXPECT_EQ(tovric::velarn::unsetenv("A=B"), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST(Environment, PutenvMakesTheCallersStringPartOfTheEnvironment) {
  static char entry[] = "TOVRIC_VELARN_PUT=\xC3\xA9t\xC3\xA9";
  ASSERT_EQ(tovric::velarn::putenv(entry), 0);
  EXPECT_STREQ(::getenv("TOVRIC_VELARN_PUT"), "\xC3\xA9t\xC3\xA9");
  // Not a copy: changing the string changes the environment.
  entry[18] = 'X';
  EXPECT_STREQ(::getenv("TOVRIC_VELARN_PUT"), "X\xA9t\xC3\xA9");
  tovric::velarn::unsetenv("TOVRIC_VELARN_PUT");
}

}  // namespace
