#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "temp_dir.hpp"
#include "tovric/velarn/cstdio.hpp"

namespace {

using tovric::velarn::detail::wfopen;

// The ASCII text `s` as wide units.
std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

bool exists(const std::string& narrow_path) {
  struct stat st;
  return ::stat(narrow_path.c_str(), &st) == 0;
}

// Creates the file through wfopen, writes `text` into it and closes it.
void create(const std::wstring& name, const wchar_t* mode, const std::string& text) {
  std::FILE* f = wfopen(name.c_str(), mode);
  ASSERT_NE(f, nullptr) << "errno " << errno;
  EXPECT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
  EXPECT_EQ(std::fclose(f), 0);
}

std::string read_all(const std::string& narrow_path) {
  std::FILE* f = std::fopen(narrow_path.c_str(), "rb");
  if (f == nullptr) return "<missing>";
  std::string text;
  char chunk[256];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  return text;
}

// A path below `dir` that is exactly `units` units long.
std::string path_of_length(const temp_dir& dir, std::size_t units) {
  std::string path = dir.path() + "/";
  path.append(units - path.size(), 'f');
  return path;
}

TEST(Wfopen, NonAsciiNameReachesTheFileSystemAsUtf8) {
  temp_dir dir;
  create(widen(dir.path()) + L"/caf\u00E9-\u20AC-\U0001F600.txt", L"w", "hello");
  EXPECT_EQ(read_all(dir.path() + "/caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x98\x80.txt"), "hello");
}

TEST(Wfopen, NamesOf255And256UnitsOpenTheSameFileAsTheirUtf8) {
  temp_dir dir;
  for (std::size_t units : {255u, 256u}) {
    const std::string path = path_of_length(dir, units);
    // Appended rather than "n" + ...: g++ 12 at -O3 warns (-Wrestrict) inside
    // the standard library's operator+ for a literal and a temporary.
    std::string content = "n";
    content += std::to_string(units);
    create(widen(path), L"w", content);
    EXPECT_EQ(read_all(path), content);
  }
}

TEST(Wfopen, NameWhoseUtf8OutgrowsTheInlineBufferIsConvertedWhole) {
  temp_dir dir;
  // Fewer than 256 units, but more than 255 bytes once encoded.
  const std::wstring component(100, L'\u00E9');
  std::string narrow_component;
  for (int i = 0; i < 100; ++i) narrow_component += "\xC3\xA9";
  const std::string narrow_dir = dir.path() + "/" + narrow_component;
  ASSERT_EQ(::mkdir(narrow_dir.c_str(), 0700), 0);
  const std::wstring name = widen(dir.path()) + L"/" + component + L"/" + component;
  ASSERT_LT(name.size(), 256u);
  create(name, L"w", "long utf-8");
  EXPECT_EQ(read_all(narrow_dir + "/" + narrow_component), "long utf-8");
}

TEST(Wfopen, ModesOf15And16UnitsReachFopenWhole) {
  temp_dir dir;
  // fopen reads the leading "w" / "r" and skips the repeated flags.
  create(widen(dir.path()) + L"/m15", L"wbbbbbbbbbbbbbb", "fifteen");
  EXPECT_EQ(read_all(dir.path() + "/m15"), "fifteen");
  create(widen(dir.path()) + L"/m16", L"wbbbbbbbbbbbbbbb", "sixteen");
  EXPECT_EQ(read_all(dir.path() + "/m16"), "sixteen");
  // A 16-unit mode that opens for reading must not create anything.
  EXPECT_EQ(wfopen((widen(dir.path()) + L"/none").c_str(), L"rbbbbbbbbbbbbbbb"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(exists(dir.path() + "/none"));
}

TEST(Wfopen, SurrogateAndOutOfRangeUnitsReachTheFileSystemAsReplacement) {
  temp_dir dir;
  std::wstring name = widen(dir.path()) + L"/s";
  name += static_cast<wchar_t>(0xD800);
  name += L'-';
  name += static_cast<wchar_t>(0x110000);
  create(name, L"w", "replaced");
  EXPECT_EQ(read_all(dir.path() + "/s\xEF\xBF\xBD-\xEF\xBF\xBD"), "replaced");
}

TEST(Wfopen, EmptyNameFailsAsFopenDoes) {
  errno = 0;
  EXPECT_EQ(wfopen(L"", L"r"), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

TEST(Wfopen, MissingFileGivesNullWithFopensErrno) {
  temp_dir dir;
  errno = 0;
  EXPECT_EQ(wfopen((widen(dir.path()) + L"/absent/file").c_str(), L"r"), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

TEST(Wfopen, NullNamePassesFopensOwnFailureThrough) {
  errno = 0;
  std::FILE* expected = std::fopen(nullptr, "r");
  const int expected_errno = errno;
  errno = 0;
  std::FILE* actual = wfopen(nullptr, L"r");
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(errno, expected_errno);
  EXPECT_NE(expected_errno, 0);
}

}  // namespace
