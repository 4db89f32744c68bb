#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tovric/velarn/console_buffer.hpp"

namespace {

using tovric::velarn::detail::console_output_buffer_base;
using units = std::vector<wchar_t>;

constexpr wchar_t fffd = 0xFFFD;

// The units of a wide literal, without its terminator.
units units_of(std::wstring_view text) { return units(text.begin(), text.end()); }

struct device_gone : std::runtime_error {
  device_gone() : std::runtime_error("device gone") {}
};

// A console device that records what it is given and can be told to fail.
// It flushes in its own destructor, as a derived class must.
class recording_output : public console_output_buffer_base {
 public:
  ~recording_output() override { sync(); }

  using console_output_buffer_base::overflow;
  using console_output_buffer_base::sync;
  using console_output_buffer_base::write;

  // The bytes written but not yet handed to the device.
  std::string pending() const { return std::string(pbase(), pptr()); }
  std::ptrdiff_t room() const { return epptr() - pptr(); }

  std::vector<units> calls;  // every device call, failed ones included
  units delivered;           // the units of the calls that succeeded
  bool fail = false;
  bool raise = false;  // the device throws device_gone

 protected:
  bool device_write(const wchar_t* p, std::uint64_t count, std::uint64_t& written) override {
    EXPECT_EQ(written, 0u);
    calls.emplace_back(p, p + count);
    if (raise) throw device_gone();
    if (fail) return false;
    delivered.insert(delivered.end(), p, p + count);
    return true;
  }
};

// write() on `bytes`, returning what it returned; `out` gets the units of
// the one device call it must make.
int write_bytes(const std::string& bytes, units& out) {
  recording_output buffer;
  const int r = buffer.write(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_EQ(buffer.calls.size(), 1u) << "one device call per write";
  out = buffer.calls.empty() ? units{} : buffer.calls.front();
  return r;
}

TEST(ConsoleOutputDecoding, AsciiBytesBecomeTheirOwnUnits) {
  units out;
  EXPECT_EQ(write_bytes("abc", out), 3);
  EXPECT_EQ(out, (units{0x61, 0x62, 0x63}));
  EXPECT_EQ(write_bytes("0123456789abcdefghij", out), 20);  // the eight-byte path
  EXPECT_EQ(out, units_of(L"0123456789abcdefghij"));
}

TEST(ConsoleOutputDecoding, WellFormedSequencesBecomeOneUnitEach) {
  units out;
  EXPECT_EQ(write_bytes("\xC3\xA9", out), 2);
  EXPECT_EQ(out, units{0xE9});
  EXPECT_EQ(write_bytes("\xE2\x82\xAC", out), 3);
  EXPECT_EQ(out, units{0x20AC});
  EXPECT_EQ(write_bytes("\xF0\x9F\x98\x80", out), 4);
  EXPECT_EQ(out, units{0x1F600});
  EXPECT_EQ(write_bytes("\xE0\xA0\x80", out), 3);
  EXPECT_EQ(out, units{0x800});
  EXPECT_EQ(write_bytes("\xC2\x80\xDF\xBF\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", out), 15);
  EXPECT_EQ(out, (units{0x80, 0x7FF, 0xFFFF, 0x10000, 0x10FFFF}));
}

TEST(ConsoleOutputDecoding, SequenceCutByTheEndIsNotConsumed) {
  units out;
  EXPECT_EQ(write_bytes("a\xE2\x82", out), 1);
  EXPECT_EQ(out, units{0x61});
  EXPECT_EQ(write_bytes("\xC3", out), 0);
  EXPECT_EQ(out, units{});
  EXPECT_EQ(write_bytes("\xF0\x9F\x98", out), 0);
  EXPECT_EQ(out, units{});
  // Cut before the value test: an overlong start is left for later too.
  EXPECT_EQ(write_bytes("ab\xE0\x80", out), 2);
  EXPECT_EQ(out, (units{0x61, 0x62}));
}

TEST(ConsoleOutputDecoding, SequenceBrokenByANonContinuationByteResumesAtThatByte) {
  units out;
  EXPECT_EQ(write_bytes("\xC3\x41", out), 2);
  EXPECT_EQ(out, (units{fffd, 0x41}));
  EXPECT_EQ(write_bytes("\xE2\x82\x41", out), 3);
  EXPECT_EQ(out, (units{fffd, 0x41}));
  EXPECT_EQ(write_bytes("\xF0\x41", out), 2);
  EXPECT_EQ(out, (units{fffd, 0x41}));
  // The offending byte may itself start a sequence, complete or cut.
  EXPECT_EQ(write_bytes("\xF0\x9F\xC3\xA9", out), 4);
  EXPECT_EQ(out, (units{fffd, 0xE9}));
  EXPECT_EQ(write_bytes("\xE2\xF0\x9F\x98\x80", out), 5);
  EXPECT_EQ(out, (units{fffd, 0x1F600}));
  EXPECT_EQ(write_bytes("\xE2\x82\xE2\x82", out), 2);
  EXPECT_EQ(out, (units{fffd}));
}

TEST(ConsoleOutputDecoding, RejectedValuesGiveOneReplacementPerByte) {
  units out;
  EXPECT_EQ(write_bytes("\xE0\x80\x80", out), 3);  // overlong
  EXPECT_EQ(out, (units{fffd, fffd, fffd}));
  EXPECT_EQ(write_bytes("\xED\xA0\x80", out), 3);  // surrogate
  EXPECT_EQ(out, (units{fffd, fffd, fffd}));
  EXPECT_EQ(write_bytes("\xF4\x90\x80\x80", out), 4);  // above 0x10FFFF
  EXPECT_EQ(out, (units{fffd, fffd, fffd, fffd}));
  EXPECT_EQ(write_bytes("\xF0\x80\x80\x80", out), 4);  // overlong
  EXPECT_EQ(out, (units{fffd, fffd, fffd, fffd}));
  EXPECT_EQ(write_bytes("\xC0\x80", out), 2);
  EXPECT_EQ(out, (units{fffd, fffd}));
  EXPECT_EQ(write_bytes("\xF5\x80", out), 2);
  EXPECT_EQ(out, (units{fffd, fffd}));
  EXPECT_EQ(write_bytes("\x80", out), 1);
  EXPECT_EQ(out, (units{fffd}));
  EXPECT_EQ(write_bytes("\xFF\xFEz", out), 3);
  EXPECT_EQ(out, (units{fffd, fffd, 0x7A}));
}

TEST(ConsoleOutputWrite, ZeroBytesStillCallTheDevice) {
  recording_output buffer;
  EXPECT_EQ(buffer.write("", 0), 0);
  ASSERT_EQ(buffer.calls.size(), 1u);
  EXPECT_TRUE(buffer.calls[0].empty());
  buffer.fail = true;
  EXPECT_EQ(buffer.write("", 0), -1);
  EXPECT_EQ(buffer.calls.size(), 2u);
}

TEST(ConsoleOutputWrite, ChunkOf1024BytesIsOneCallAnd1025IsRefused) {
  recording_output buffer;
  const std::string bytes(1025, 'x');
  EXPECT_EQ(buffer.write(bytes.data(), 1024), 1024);
  ASSERT_EQ(buffer.calls.size(), 1u);
  EXPECT_EQ(buffer.calls[0], units(1024, L'x'));
  EXPECT_EQ(buffer.write(bytes.data(), 1025), -1);
  EXPECT_EQ(buffer.calls.size(), 1u);
}

TEST(ConsoleOutputWrite, NegativeCountIsRefusedWithoutCallingTheDevice) {
  recording_output buffer;
  EXPECT_EQ(buffer.write("abc", -1), -1);
  EXPECT_EQ(buffer.write("abc", INT_MIN), -1);
  EXPECT_TRUE(buffer.calls.empty());
}

TEST(ConsoleOutputWrite, DeviceFailureGivesMinusOne) {
  recording_output buffer;
  buffer.fail = true;
  EXPECT_EQ(buffer.write("ab\xC3\xA9", 4), -1);
  ASSERT_EQ(buffer.calls.size(), 1u);
  EXPECT_EQ(buffer.calls[0], (units{0x61, 0x62, 0xE9}));
}

TEST(ConsoleOutputFlush, OverflowHandsOnTheTextAndCarriesTheCutSequence) {
  recording_output buffer;
  buffer.sputn("ab\xE2\x82", 4);
  EXPECT_TRUE(buffer.calls.empty());
  EXPECT_EQ(buffer.overflow(0x63), 0);
  ASSERT_EQ(buffer.calls.size(), 1u);
  EXPECT_EQ(buffer.calls[0], (units{0x61, 0x62}));
  EXPECT_EQ(buffer.pending(), "\xE2\x82\x63");
  EXPECT_EQ(buffer.room(), 1024 - 3);
}

TEST(ConsoleOutputFlush, OverflowWithEndOfFileCarriesTheCutSequenceAlone) {
  recording_output buffer;
  buffer.sputn("ab\xE2\x82", 4);
  EXPECT_EQ(buffer.overflow(std::char_traits<char>::eof()), 0);
  EXPECT_EQ(buffer.calls.at(0), (units{0x61, 0x62}));
  EXPECT_EQ(buffer.pending(), "\xE2\x82");
  EXPECT_EQ(buffer.room(), 1024 - 2);
  buffer.sputc('\xAC');
  EXPECT_EQ(buffer.sync(), 0);
  EXPECT_EQ(buffer.delivered, (units{0x61, 0x62, 0x20AC}));
}

TEST(ConsoleOutputFlush, NothingPendingMeansNoDeviceCall) {
  recording_output buffer;
  EXPECT_EQ(buffer.sync(), 0);
  EXPECT_EQ(buffer.overflow('q'), 0);
  EXPECT_TRUE(buffer.calls.empty());
  EXPECT_EQ(buffer.pending(), "q");
}

TEST(ConsoleOutputFlush, DeviceFailureKeepsThePutAreaForTheNextFlush) {
  recording_output buffer;
  buffer.sputn("ab\xC3", 3);
  buffer.fail = true;
  EXPECT_EQ(buffer.sync(), -1);
  EXPECT_EQ(buffer.overflow('z'), std::char_traits<char>::eof());
  EXPECT_EQ(buffer.pending(), "ab\xC3");
  EXPECT_EQ(buffer.room(), 1024 - 3);
  buffer.fail = false;
  buffer.sputn("\xA9!", 2);
  EXPECT_EQ(buffer.sync(), 0);
  EXPECT_EQ(buffer.delivered, (units{0x61, 0x62, 0xE9, 0x21}));
  EXPECT_EQ(buffer.pending(), "");
}

TEST(ConsoleOutputFlush, FullBufferOfFailedOutputIsDeliveredLaterWhole) {
  recording_output buffer;
  const std::string bytes(1025, 'k');
  buffer.fail = true;
  EXPECT_EQ(buffer.sputn(bytes.data(), 1025), 1024);  // the 1025th put fails
  buffer.fail = false;
  EXPECT_EQ(buffer.sputn(bytes.data() + 1024, 1), 1);
  EXPECT_EQ(buffer.sync(), 0);
  EXPECT_EQ(buffer.delivered, units(1025, L'k'));
}

// The text "a é € 😀" (10 bytes) repeated, and its units.
const std::string sample_utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
const units sample_units{0x61, 0xE9, 0x20AC, 0x1F600};

TEST(ConsoleOutputStream, NonAsciiTextArrivesIntactThroughAnOstream) {
  recording_output buffer;
  std::ostream os(&buffer);
  os << "h\xC3\xA9llo " << sample_utf8 << '\n' << std::flush;
  EXPECT_TRUE(os.good());
  const units expected{0x68, 0xE9, 0x6C, 0x6C, 0x6F, 0x20, 0x61, 0xE9, 0x20AC, 0x1F600, 0x0A};
  EXPECT_EQ(buffer.delivered, expected);
  EXPECT_EQ(buffer.calls.size(), 1u);
}

TEST(ConsoleOutputStream, CutSequenceIsCarriedAcrossFlush) {
  recording_output buffer;
  std::ostream os(&buffer);
  os << "x\xF0\x9F" << std::flush;
  EXPECT_EQ(buffer.delivered, units{0x78});
  os << "\x98\x80y" << std::flush;
  EXPECT_EQ(buffer.delivered, (units{0x78, 0x1F600, 0x79}));
}

TEST(ConsoleOutputStream, LongOutputGoesInChunksOfAtMost1024Bytes) {
  recording_output buffer;
  std::ostream os(&buffer);
  units expected;
  for (int i = 0; i < 500; ++i) {
    os << sample_utf8;  // 1024-byte chunks cut sequences again and again
    expected.insert(expected.end(), sample_units.begin(), sample_units.end());
  }
  os.flush();
  EXPECT_TRUE(os.good());
  EXPECT_EQ(buffer.delivered, expected);
  EXPECT_GE(buffer.calls.size(), 5u);
  for (const units& call : buffer.calls) EXPECT_LE(call.size(), 1024u);
}

TEST(ConsoleOutputStream, DeviceFailureSetsBadbit) {
  recording_output buffer;
  std::ostream os(&buffer);
  buffer.fail = true;
  os << "lost?" << std::flush;
  EXPECT_TRUE(os.bad());
  buffer.fail = false;
  os.clear();
  os << "!" << std::flush;
  EXPECT_EQ(buffer.delivered, units_of(L"lost?!"));
}

TEST(ConsoleOutputStream, DeviceExceptionKeepsPendingBytesForOneLaterDelivery) {
  recording_output buffer;
  std::ostream os(&buffer);
  os.exceptions(std::ios_base::badbit);
  os << "ab";
  buffer.raise = true;
  EXPECT_THROW(os.flush(), device_gone);  // reaches the caller unchanged
  EXPECT_EQ(buffer.pending(), "ab");
  os.clear();
  os << std::string(1020, 'k') << "\xE2\x82";  // fills the buffer exactly
  EXPECT_THROW(os << 'z', device_gone);        // this put finds it full
  EXPECT_EQ(buffer.room(), 0);
  buffer.raise = false;
  os.clear();
  os << "\xAC" << std::flush;
  units expected{0x61, 0x62};
  expected.insert(expected.end(), 1020, L'k');
  expected.push_back(0x20AC);  // cut by the first chunk's end, completed later
  EXPECT_EQ(buffer.delivered, expected);
  EXPECT_EQ(buffer.pending(), "");
}

// A device that does not flush in its destructor, counting its calls in a
// place that outlives it.
class forgetful_output : public console_output_buffer_base {
 public:
  explicit forgetful_output(int& calls) : calls_(calls) {}

 protected:
  bool device_write(const wchar_t*, std::uint64_t, std::uint64_t&) override {
    ++calls_;
    return true;
  }

 private:
  int& calls_;
};

TEST(ConsoleOutputLifetime, BaseDestructorDoesNotCallTheDevice) {
  int calls = 0;
  {
    forgetful_output buffer(calls);
    std::ostream os(&buffer);
    os << "pending";
  }
  // A device call from the base's destructor could only reach a pure
  // virtual function; nothing may be attempted.
  EXPECT_EQ(calls, 0);
}

// Flushes in its destructor into a sink that outlives it.
class flushing_output : public console_output_buffer_base {
 public:
  explicit flushing_output(units& sink) : sink_(sink) {}
  ~flushing_output() override { sync(); }

 protected:
  bool device_write(const wchar_t* p, std::uint64_t count, std::uint64_t&) override {
    sink_.insert(sink_.end(), p, p + count);
    return true;
  }

 private:
  units& sink_;
};

TEST(ConsoleOutputLifetime, DerivedClassThatSyncsInItsDestructorLosesNothing) {
  units sink;
  {
    flushing_output buffer(sink);
    std::ostream os(&buffer);
    os << "bye \xC3\xA9";  // never flushed by the stream
  }
  EXPECT_EQ(sink, (units{0x62, 0x79, 0x65, 0x20, 0xE9}));
}

}  // namespace
