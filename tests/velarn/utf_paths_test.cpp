// The vector paths of both conversions against their unit-by-unit forms,
// where the paths are most likely to differ: blocks of each kind, every
// buffer size, sequences and errors at every offset around the block and
// window boundaries. Run once per vector level (simd_level_main.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tovric/velarn/utf.hpp"
#include "utf8_decode.hpp"

namespace {

namespace utf = tovric::velarn::utf;
namespace velarn = tovric::velarn::detail;

// 96 units of one kind of block, followed by 5 ASCII units: every block
// path of every kernel (blocks of 16 and 32 units), and the padded end of
// the input.
std::vector<wchar_t> units_of_kind(int kind) {
  std::vector<wchar_t> units;
  for (std::uint32_t k = 0; k < 96; ++k) {
    const std::uint32_t values[] = {0x20 + k % 0x35,            0x80 + 19 * k,       0x4E00 + 97 * k,
                                    k % 5 == 0 ? 0xD800 + k : 0x800 + 601 * k, k % 2 ? 0x1F600 + k : 0x20,
                                    0x10FFFF - 11011 * k, k % 3 ? 0x110000 * k : 0x41,
                                    // ASCII and two-byte units, each group of four in one of 16 patterns
                                    (k / 4 >> k % 4) & 1 ? 0x80 + 19 * k : 0x20 + k % 0x35};
    units.push_back(static_cast<wchar_t>(values[kind]));
  }
  for (wchar_t u : {L'e', L'n', L'd', L'.', L'\0'}) units.push_back(u);
  return units;
}

TEST(ConvertBufferPaths, EveryKindOfBlockStopsWhereUnitByUnitWouldAtEverySize) {
  for (int kind = 0; kind < 8; ++kind) {
    const std::vector<wchar_t> units = units_of_kind(kind);
    // Every length, so that the last block of each kernel ends at every unit.
    for (std::size_t count = 0; count <= units.size(); ++count) {
      const wchar_t* begin = units.data();
      const wchar_t* end = begin + count;
      for (std::size_t size = 0; size <= 4 * count + 1; ++size) {
        std::vector<char> expected(size + 1, '\x55');
        std::vector<char> actual(size + 1, '\x55');
        const char* r = utf::detail::convert_buffer_scalar(expected.data(), size, begin, end);
        const char* s = utf::convert_buffer(actual.data(), size, begin, end);
        ASSERT_EQ(r == nullptr, s == nullptr) << kind << " count " << count << " size " << size;
        // The same text and terminator; past it the vector paths may leave 0.
        std::size_t text = 0;
        while (text < size && expected[text] != '\x55') ++text;
        ASSERT_EQ(std::string(actual.data(), text), std::string(expected.data(), text))
            << kind << " count " << count << " size " << size;
        for (std::size_t j = text; j <= size; ++j) {
          ASSERT_TRUE(actual[j] == '\x55' || (actual[j] == '\0' && j < size))
              << kind << " count " << count << " size " << size;
        }
      }
    }
  }
}

// Decodes `bytes` with the path in use, into units `shift` units past an
// allocation's start, and with the scalar decoder.
void expect_same_decoding(const std::string& bytes, std::size_t shift = 0) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const int n = static_cast<int>(bytes.size());
  std::vector<wchar_t> expected(bytes.size() + 1), actual(bytes.size() + 1 + shift);
  int expected_count = -1, actual_count = -1;
  const int r = velarn::decode_utf8_scalar(p, n, expected.data(), expected_count);
  const int s = velarn::decode_utf8(p, n, actual.data() + shift, actual_count);
  actual.erase(actual.begin(), actual.begin() + static_cast<std::ptrdiff_t>(shift));
  ASSERT_EQ(s, r) << "consumed, for " << testing::PrintToString(bytes);
  ASSERT_EQ(actual_count, expected_count) << testing::PrintToString(bytes);
  expected.resize(static_cast<std::size_t>(expected_count));
  actual.resize(static_cast<std::size_t>(actual_count));
  ASSERT_EQ(actual, expected) << testing::PrintToString(bytes);
}

TEST(DecodeUtf8Paths, SequencesAndErrorsAtEveryOffsetDecodeAsUnitByUnit) {
  const char* const pieces[] = {
      "\xC3\xA9",         "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",  // well-formed
      "\xE0\x80\x80",     "\xED\xA0\x80", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80",  // rejected values
      "\xC0\x80",         "\xF5\x80",     "\x80",             "\xFF",              // bad bytes
      "\xC3\x41",         "\xE2\x82\x41", "\xF0\x9F\xC3\xA9", "\xE2\x82",          // broken, cut
  };
  for (const char* piece : pieces) {
    // Up to the third 64-byte block, after ASCII (runs of whole blocks) or
    // CJK (no block is ASCII), and before Cyrillic.
    for (std::size_t at = 0; at < 140; ++at) {
      for (const bool cjk : {false, true}) {
        std::string bytes;
        while (bytes.size() < at) bytes += cjk && bytes.size() % 5 == 0 ? "\xE4\xB8\xAD" : "a";
        bytes.resize(at, 'b');
        bytes += piece;
        while (bytes.size() < 200) bytes += "\xD0\x96";
        // Every end around the piece, and past the windows.
        for (std::size_t n = at; n <= at + 6 && n <= bytes.size(); ++n) expect_same_decoding(bytes.substr(0, n));
        expect_same_decoding(bytes);
      }
    }
    // A long input: its ASCII bytes first align the stores, as many as the
    // output's address asks for; the piece among or after them.
    for (std::size_t at = 0; at < 20; ++at) {
      std::string bytes(at, 'a');
      bytes += piece;
      bytes.resize(600, 'z');
      for (std::size_t shift = 0; shift < 16; ++shift) expect_same_decoding(bytes, shift);
    }
  }
}

}  // namespace
