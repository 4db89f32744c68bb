#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "temp_dir.hpp"
#include "tovric/velarn/filebuf.hpp"

namespace {

namespace velarn = tovric::velarn::detail;

TEST(FilePosition, OffsetsPast4GiBOnASparseFileComeBackWhole) {
  temp_dir dir;
  const std::string path = dir.path() + "/sparse";
  std::FILE* f = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(f, nullptr);
  const std::int64_t beyond_2g = (std::int64_t{1} << 31) + 7;
  const std::int64_t beyond_4g = (std::int64_t{1} << 32) + 12345;

  ASSERT_EQ(velarn::fseek(f, beyond_4g, SEEK_SET), 0);
  ASSERT_EQ(std::fputc('z', f), 'z');  // the file is now sparse and past 2^32
  EXPECT_EQ(std::streamoff(velarn::ftell(f)), beyond_4g + 1);

  ASSERT_EQ(velarn::fseek(f, beyond_2g, SEEK_SET), 0);
  EXPECT_EQ(std::streamoff(velarn::ftell(f)), beyond_2g);
  ASSERT_EQ(velarn::fseek(f, beyond_4g - beyond_2g, SEEK_CUR), 0);
  EXPECT_EQ(std::streamoff(velarn::ftell(f)), beyond_4g);
  EXPECT_EQ(std::fgetc(f), 'z');
  ASSERT_EQ(velarn::fseek(f, -1, SEEK_END), 0);
  EXPECT_EQ(std::streamoff(velarn::ftell(f)), beyond_4g);
  EXPECT_EQ(std::fclose(f), 0);
}

TEST(FilePosition, TellGivesTheOffsetWithTheInitialConversionState) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  ASSERT_GE(std::fputs("abc", f), 0);
  const std::streampos pos = velarn::ftell(f);
  EXPECT_EQ(std::streamoff(pos), 3);
  const std::mbstate_t initial{};
  const std::mbstate_t state = pos.state();
  EXPECT_EQ(std::memcmp(&state, &initial, sizeof state), 0);
  std::fclose(f);
}

TEST(FilePosition, TellOnAPipeGivesMinusOneWithTheCLibrarysErrno) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::FILE* f = ::fdopen(fds[0], "r");
  ASSERT_NE(f, nullptr);
  errno = 0;
  EXPECT_EQ(std::streamoff(velarn::ftell(f)), -1);
  EXPECT_EQ(errno, ESPIPE);
  errno = 0;
  EXPECT_EQ(velarn::fseek(f, 0, SEEK_SET), -1);
  EXPECT_EQ(errno, ESPIPE);
  std::fclose(f);
  ::close(fds[1]);
}

}  // namespace
