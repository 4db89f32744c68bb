#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>

#include "tovric/velarn/cstdlib.hpp"

// The environment functions hand their arguments to the C library as they
// are and its results back: what is checked here is the passing, not the C
// library's own rules.
namespace {

TEST(Environment, SetenvAndUnsetenvPassUtf8BytesAndTheOverwriteFlagThrough) {
  const char* name = "TOVRIC_VELARN_\xC3\xA9T\xC3\xA9";
  const char* value = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  ASSERT_EQ(tovric::velarn::setenv(name, value, 1), 0);
  EXPECT_STREQ(::getenv(name), value);
  EXPECT_EQ(tovric::velarn::setenv(name, "new", 0), 0);
  EXPECT_STREQ(::getenv(name), value);
  EXPECT_EQ(tovric::velarn::unsetenv(name), 0);
  EXPECT_EQ(::getenv(name), nullptr);
}

TEST(Environment, FailuresComeBackWithTheCLibrarysResultAndErrno) {
  errno = 0;
  EXPECT_EQ(tovric::velarn::setenv("A=B", "x", 1), -1);
  EXPECT_EQ(errno, EINVAL);
  errno = 0;
  EXPECT_EQ(tovric::velarn::unsetenv(""), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST(Environment, PutenvMakesTheCallersStringItselfPartOfTheEnvironment) {
  static char entry[] = "TOVRIC_VELARN_PUT=\xC3\xA9t\xC3\xA9";
  ASSERT_EQ(tovric::velarn::putenv(entry), 0);
  EXPECT_STREQ(::getenv("TOVRIC_VELARN_PUT"), "\xC3\xA9t\xC3\xA9");
  entry[18] = 'X';  // not a copy: the environment changes with the string
  EXPECT_STREQ(::getenv("TOVRIC_VELARN_PUT"), "X\xA9t\xC3\xA9");
  tovric::velarn::unsetenv("TOVRIC_VELARN_PUT");
}

}  // namespace
