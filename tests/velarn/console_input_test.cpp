#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <istream>
#include <stdexcept>
#include <string>

#include "tovric/velarn/console_buffer.hpp"

namespace {

using tovric::velarn::detail::console_input_buffer_base;
using traits = std::char_traits<char>;

// One answer of the scripted device: the units of one read, a failure, or
// an exception thrown from inside the device.
struct reply {
  enum { units_read, failed, thrown } kind;
  std::wstring units;
};

reply line(const std::wstring& units) { return {reply::units_read, units}; }
reply failure() { return {reply::failed, {}}; }
reply throws() { return {reply::thrown, {}}; }

struct device_gone : std::runtime_error {
  device_gone() : std::runtime_error("device gone") {}
};

// A console device that answers from a script; once the script is used up
// every read fails.
class scripted_input : public console_input_buffer_base {
 public:
  scripted_input(std::initializer_list<reply> script) : script_(script) {}

  using console_input_buffer_base::pbackfail;
  using console_input_buffer_base::read;
  using console_input_buffer_base::sync;
  using console_input_buffer_base::underflow;

  // The whole get area, and the current position's distance from its start.
  std::string get_area() const { return std::string(eback(), egptr()); }
  std::ptrdiff_t position() const { return gptr() - eback(); }
  bool get_area_is_null() const { return eback() == nullptr && egptr() == nullptr; }
  void advance(int n) { gbump(n); }

  int calls = 0;
  std::uint64_t last_max = 0;

 protected:
  bool device_read(wchar_t* units, std::uint64_t max, std::uint64_t& count) override {
    ++calls;
    EXPECT_EQ(count, 0u);
    last_max = max;
    if (script_.empty()) return false;
    const reply r = script_.front();
    script_.pop_front();
    if (r.kind == reply::thrown) throw device_gone();
    if (r.kind == reply::failed) return false;
    EXPECT_LE(r.units.size(), max);
    r.units.copy(units, r.units.size());
    count = r.units.size();
    return true;
  }

 private:
  std::deque<reply> script_;
};

const int eof = traits::eof();

TEST(ConsoleInputRead, LineFeedAtTheEndStartsALine) {
  scripted_input buffer{line(L"x"), line(L"ab\n"), line(L"\x1A")};
  EXPECT_EQ(buffer.read(), 1u);     // the line is open now
  EXPECT_EQ(buffer.underflow(), 'a');
  EXPECT_EQ(buffer.get_area(), "ab\n");
  EXPECT_EQ(buffer.read(), 0u);  // a Ctrl-Z opening the next line ends input
}

TEST(ConsoleInputRead, CtrlZOnlyEndsInputAtTheStartOfALine) {
  scripted_input buffer{line(L"x"), line(L"\x1A\n"), line(L"a\x1A"), line(L"\x1A")};
  EXPECT_EQ(buffer.read(), 1u);
  EXPECT_EQ(buffer.underflow(), 0x1A);  // mid-line: delivered as a byte
  EXPECT_EQ(buffer.get_area(), "\x1A\n");
  EXPECT_EQ(buffer.underflow(), 'a');  // at line start, but not first
  EXPECT_EQ(buffer.get_area(), "a\x1A");
  EXPECT_EQ(buffer.underflow(), 0x1A);  // the line is still open
}

TEST(ConsoleInputRead, NewBufferTreatsAFirstCtrlZAsEndOfInput) {
  scripted_input buffer{line(L"\x1A\r\n")};
  EXPECT_EQ(buffer.underflow(), eof);
  EXPECT_EQ(buffer.get_area(), "");
  EXPECT_EQ(buffer.calls, 1);
}

TEST(ConsoleInputRead, CarriageReturnBeforeCtrlZDoesNotProtectIt) {
  scripted_input buffer{line(L"\r\x1A\n")};
  EXPECT_EQ(buffer.read(), 0u);
}

TEST(ConsoleInputRead, ReadThatProducesNothingStartsALine) {
  scripted_input buffer{line(L"x"), line(L"\r"), line(L"\x1A"),
                        line(L"y"), line(L""),   line(L"\x1A")};
  EXPECT_EQ(buffer.read(), 1u);
  EXPECT_EQ(buffer.read(), 0u);  // only a carriage return
  EXPECT_EQ(buffer.read(), 0u);  // so this Ctrl-Z ends the input
  EXPECT_EQ(buffer.read(), 1u);
  EXPECT_EQ(buffer.read(), 0u);  // no unit at all
  EXPECT_EQ(buffer.read(), 0u);
  EXPECT_EQ(buffer.calls, 6);
}

TEST(ConsoleInputRead, FailedReadChangesNothing) {
  scripted_input buffer{line(L"x"), line(L"abc"), failure(), line(L"\x1A")};
  EXPECT_EQ(buffer.read(), 1u);
  EXPECT_EQ(buffer.underflow(), 'a');
  buffer.advance(1);
  EXPECT_EQ(buffer.read(), 0u);  // the failure
  EXPECT_EQ(buffer.get_area(), "abc");
  EXPECT_EQ(buffer.position(), 1);
  EXPECT_EQ(buffer.underflow(), 0x1A);  // the line was still open
}

TEST(ConsoleInputRead, EveryCarriageReturnIsDropped) {
  scripted_input buffer{line(L"\ra\r\rb\r\n\r")};
  EXPECT_EQ(buffer.underflow(), 'a');
  EXPECT_EQ(buffer.get_area(), "ab\n");
}

TEST(ConsoleInputRead, UnitsAreEncodedAndInvalidOnesReplaced) {
  std::wstring units{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), 0xE9, 0x20AC,
                     static_cast<wchar_t>(0x1F600), 0x0D, 0x0A};
  scripted_input buffer{line(units)};
  EXPECT_EQ(buffer.underflow(), 0xEF);
  EXPECT_EQ(buffer.get_area(),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x0A");
}

TEST(ConsoleInputRead, FullReadOfAstralUnitsFillsTheByteBufferExactly) {
  scripted_input buffer{line(std::wstring(1024, static_cast<wchar_t>(0x1F600)))};
  EXPECT_EQ(buffer.read(), 4096u);
  EXPECT_EQ(buffer.last_max, 1024u);
}

TEST(ConsoleInputRead, SyncDiscardsUnreadInputAndStartsALine) {
  scripted_input buffer{line(L"x"), line(L"abc"), line(L"\x1A")};
  EXPECT_EQ(buffer.read(), 1u);
  EXPECT_EQ(buffer.underflow(), 'a');
  EXPECT_EQ(buffer.sync(), 0);
  EXPECT_TRUE(buffer.get_area_is_null());
  EXPECT_EQ(buffer.underflow(), eof);  // the Ctrl-Z now opens a line
}

TEST(ConsoleInputPushBack, EndOfFileCannotBePutBack) {
  scripted_input buffer{line(L"abc")};
  EXPECT_EQ(buffer.underflow(), 'a');
  EXPECT_EQ(buffer.pbackfail(eof), eof);
  EXPECT_EQ(buffer.get_area(), "abc");
  EXPECT_EQ(buffer.position(), 0);
}

TEST(ConsoleInputPushBack, PutBackInsideTheGetAreaOverwritesThePreviousByte) {
  scripted_input buffer{line(L"abcd")};
  buffer.underflow();
  buffer.advance(3);
  EXPECT_EQ(buffer.pbackfail('X'), 0);
  EXPECT_EQ(buffer.get_area(), "abXd");
  EXPECT_EQ(buffer.position(), 2);
}

TEST(ConsoleInputPushBack, PutBackBeforeAnEmptyGetAreaMakesTheStoreTheGetArea) {
  scripted_input buffer{};
  EXPECT_EQ(buffer.pbackfail('X'), 0);
  EXPECT_EQ(buffer.get_area(), "X");
  EXPECT_EQ(buffer.position(), 0);
}

TEST(ConsoleInputPushBack, RepeatedPutBacksComeOutLastInFirstOut) {
  scripted_input buffer{};
  EXPECT_EQ(buffer.pbackfail('z'), 0);
  EXPECT_EQ(buffer.pbackfail('y'), 0);
  EXPECT_EQ(buffer.get_area(), "yz");
  EXPECT_EQ(buffer.pbackfail('X'), 0);
  EXPECT_EQ(buffer.get_area(), "Xyz");
  EXPECT_EQ(buffer.position(), 0);
}

TEST(ConsoleInputPushBack, PutBackAtTheStartOfTheByteBufferKeepsItsUnreadBytes) {
  scripted_input buffer{line(L"abc"), line(L"next")};
  EXPECT_EQ(buffer.underflow(), 'a');
  EXPECT_EQ(buffer.pbackfail('Z'), 0);
  EXPECT_EQ(buffer.get_area(), "Zabc");
  buffer.advance(4);
  EXPECT_EQ(buffer.underflow(), 'n');  // only now is the device read again
  EXPECT_EQ(buffer.get_area(), "next");
  EXPECT_EQ(buffer.calls, 2);
}

// Reads the rest of `is` one line at a time.
std::deque<std::string> lines_of(std::istream& is) {
  std::deque<std::string> lines;
  for (std::string s; std::getline(is, s);) lines.push_back(s);
  return lines;
}

TEST(ConsoleInputStream, GetlineSeesUtf8LinesWithoutCarriageReturns) {
  scripted_input buffer{line(L"h\u00E9llo\r\n"), line(L"w\u20ACrld \U0001F600\r\n")};
  std::istream is(&buffer);
  EXPECT_EQ(lines_of(is), (std::deque<std::string>{"h\xC3\xA9llo", "w\xE2\x82\xACrld \xF0\x9F\x98\x80"}));
  EXPECT_TRUE(is.eof());
}

TEST(ConsoleInputStream, CtrlZEndsInputAndInputGoesOnAfterwards) {
  scripted_input buffer{line(L"one\r\n"), line(L"\x1A\r\n"), line(L"two\r\n")};
  std::istream is(&buffer);
  EXPECT_EQ(lines_of(is), std::deque<std::string>{"one"});
  is.clear();
  EXPECT_EQ(lines_of(is), std::deque<std::string>{"two"});
}

TEST(ConsoleInputStream, DeviceFailureIsEndOfInputAndALaterReadTriesAgain) {
  scripted_input buffer{failure(), line(L"ok\n")};
  std::istream is(&buffer);
  EXPECT_EQ(is.get(), eof);
  is.clear();
  EXPECT_EQ(lines_of(is), std::deque<std::string>{"ok"});
}

TEST(ConsoleInputStream, UngetAndPutbackWork) {
  scripted_input buffer{line(L"abc\n")};
  std::istream is(&buffer);
  EXPECT_EQ(is.get(), 'a');
  EXPECT_TRUE(is.unget());
  EXPECT_EQ(is.get(), 'a');
  EXPECT_TRUE(is.putback('Q'));  // a different byte than the one read
  EXPECT_EQ(is.get(), 'Q');
  EXPECT_EQ(lines_of(is), std::deque<std::string>{"bc"});
}

TEST(ConsoleInputStream, UngetAtTheStartOfTheInputFails) {
  scripted_input buffer{line(L"abc\n")};
  std::istream is(&buffer);
  EXPECT_EQ(is.peek(), 'a');
  EXPECT_FALSE(is.unget());
  EXPECT_TRUE(is.bad());
}

TEST(ConsoleInputStream, PutbackOfTheLastByteOfTheLineBeforeLosesNothing) {
  scripted_input buffer{line(L"ab\n"), line(L"cd\n")};
  std::istream is(&buffer);
  std::string s;
  ASSERT_TRUE(std::getline(is, s));
  EXPECT_EQ(s, "ab");
  EXPECT_EQ(is.peek(), 'c');  // the next line is now the get area
  EXPECT_TRUE(is.putback('\n'));
  EXPECT_EQ(lines_of(is), (std::deque<std::string>{"", "cd"}));
}

TEST(ConsoleInputStream, DeviceExceptionLosesNoUnreadOrPushedBackByte) {
  scripted_input buffer{line(L"abc"), throws(), line(L"de\n")};
  std::istream is(&buffer);
  is.exceptions(std::ios_base::badbit);
  EXPECT_EQ(is.get(), 'a');
  EXPECT_TRUE(is.putback('X'));
  EXPECT_TRUE(is.putback('Y'));  // the store [Y X b c] is the get area now
  char c;
  for (const char expected : std::string("YXbc")) {
    ASSERT_TRUE(is.get(c));
    EXPECT_EQ(c, expected);
  }
  EXPECT_THROW(is.get(c), device_gone);  // reaches the caller unchanged
  is.clear();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(is.unget());  // back over Y X b c
  EXPECT_TRUE(is.putback('Q'));
  EXPECT_EQ(lines_of(is), (std::deque<std::string>{"QYXbcde"}));
  EXPECT_EQ(buffer.calls, 4);  // the fourth, past the script, fails: end of input
}

TEST(ConsoleInputStream, SyncDiscardsWhatWasNotRead) {
  scripted_input buffer{line(L"abc\n"), line(L"z\n")};
  std::istream is(&buffer);
  EXPECT_EQ(is.get(), 'a');
  EXPECT_EQ(is.sync(), 0);
  EXPECT_EQ(lines_of(is), std::deque<std::string>{"z"});
}

}  // namespace
