#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tovric/velarn/utf.hpp"

namespace {

using tovric::velarn::utf::convert_buffer;

// The outcome of one conversion: whether the buffer came back, and the
// buffer's text up to its first NUL.
struct conversion {
  bool ok;
  std::string bytes;
};

// Converts `units` into a buffer of `size` bytes followed by a guard byte.

conversion convert(const std::vector<wchar_t>& units, std::size_t size) {
  std::vector<char> buffer(size + 1, '\x55');
  char* r = convert_buffer(buffer.data(), size, units.data(), units.data() + units.size());
  EXPECT_TRUE(r == nullptr || r == buffer.data());
  // The terminator is the last byte written; nothing past `size` is touched.
  EXPECT_EQ(buffer[size], '\x55');
  std::size_t n = 0;
  while (n < size && buffer[n] != '\0') ++n;
  return {r != nullptr, std::string(buffer.data(), n)};
}

std::string encode(std::uint32_t u) {
  const std::vector<wchar_t> units{static_cast<wchar_t>(u)};
  return convert(units, 8).bytes;
}

TEST(ConvertBufferEncoding, BoundaryValuesTakeTheirShortestForm) {
  EXPECT_EQ(encode(0x41), "\x41");
  EXPECT_EQ(encode(0x7F), "\x7F");
  EXPECT_EQ(encode(0x80), "\xC2\x80");
  EXPECT_EQ(encode(0x7FF), "\xDF\xBF");
  EXPECT_EQ(encode(0x800), "\xE0\xA0\x80");
  EXPECT_EQ(encode(0xD7FF), "\xED\x9F\xBF");
  EXPECT_EQ(encode(0xE000), "\xEE\x80\x80");
  EXPECT_EQ(encode(0xFFFF), "\xEF\xBF\xBF");
  EXPECT_EQ(encode(0x10000), "\xF0\x90\x80\x80");
  EXPECT_EQ(encode(0x10FFFF), "\xF4\x8F\xBF\xBF");
}

TEST(ConvertBufferEncoding, SurrogatesAndValuesAboveTheRangeBecomeReplacement) {
  for (std::uint32_t u : {0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu, 0x110000u, 0x7FFFFFFFu, 0x80000000u,
                          0xFFFFFFFFu}) {
    EXPECT_EQ(encode(u), "\xEF\xBF\xBD") << std::hex << u;
  }
}

TEST(ConvertBufferBounds, SizeZeroReturnsNullAndLeavesTheBufferAlone) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  const wchar_t units[] = {L'a'};
  EXPECT_EQ(convert_buffer(buffer, 0, units, units + 1), nullptr);
  EXPECT_EQ(convert_buffer(buffer, 0, units, units), nullptr);
  EXPECT_EQ(std::string(buffer, 4), "xxxx");
}

TEST(ConvertBufferBounds, SizeOneHoldsOnlyTheTerminator) {
  EXPECT_TRUE(convert({}, 1).ok);
  EXPECT_EQ(convert({}, 1).bytes, "");
  const conversion one = convert({L'a'}, 1);
  EXPECT_FALSE(one.ok);
  EXPECT_EQ(one.bytes, "");
}

TEST(ConvertBufferBounds, AUnitThatDoesNotFitStopsTheConversion) {
  // 0x20AC needs 3 bytes and only 2 are free; 0x41 would fit but is not tried.
  const conversion r = convert({0x20AC, 0x41}, 3);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.bytes, "");
  const conversion prefix = convert({0x41, 0xE9, 0x20AC, 0x42}, 5);
  EXPECT_FALSE(prefix.ok);
  EXPECT_EQ(prefix.bytes, "\x41\xC3\xA9");
}

TEST(ConvertBufferBounds, AnExactFitSucceeds) {
  const conversion r = convert({0x41, 0xE9, 0x20AC, 0x1F600}, 11);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "\x41\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_FALSE(convert({0x41, 0xE9, 0x20AC, 0x1F600}, 10).ok);
}

TEST(ConvertBufferBounds, AZeroUnitIsWrittenAndTheConversionGoesOn) {
  const wchar_t units[] = {L'a', 0, 0xE9, L'b'};
  char buffer[8];
  ASSERT_EQ(convert_buffer(buffer, sizeof buffer, units, units + 4), buffer);
  EXPECT_EQ(std::string(buffer, 6), std::string("a\0\xC3\xA9" "b\0", 6));
}

// The eight-unit paths must agree with the unit-by-unit rules at every
// length, offset and buffer size, including sizes that end inside a block.
TEST(ConvertBufferBounds, BlockPathsStopExactlyWhereUnitByUnitWould) {
  const std::vector<std::uint32_t> alphabet{0x41, 0x7A, 0xE9, 0x20AC, 0x1F600, 0xD800, 0x0};
  std::vector<wchar_t> units;
  std::string expected;
  std::vector<std::size_t> ends;  // bytes after each unit
  for (int i = 0; i < 70; ++i) {
    // Mostly ASCII runs, broken up by the other kinds now and then.
    const std::uint32_t u = (i % 11 == 5 || i % 17 == 3) ? alphabet[2 + i % 5] : alphabet[i % 2];
    units.push_back(static_cast<wchar_t>(u));
    expected += encode(u == 0 ? 0x20 : u);
    if (u == 0) expected.back() = '\0';
    ends.push_back(expected.size());
  }
  for (std::size_t size = 1; size <= expected.size() + 2; ++size) {
    std::vector<char> buffer(size, '\x55');
    const char* r = convert_buffer(buffer.data(), size, units.data(), units.data() + units.size());
    // The converted prefix: all units whose encodings end within size - 1.
    std::size_t fits = 0;
    while (fits < ends.size() && ends[fits] <= size - 1) ++fits;
    const std::size_t written = fits == 0 ? 0 : ends[fits - 1];
    EXPECT_EQ(r != nullptr, fits == units.size()) << size;
    EXPECT_EQ(std::string(buffer.data(), written), expected.substr(0, written)) << size;
    EXPECT_EQ(buffer[written], '\0') << size;
    // Past the terminator the buffer is either untouched or zeroed.
    for (std::size_t j = written + 1; j < size; ++j) {
      EXPECT_TRUE(buffer[j] == '\x55' || buffer[j] == '\0') << size << " at " << j;
    }
  }
}

}  // namespace
