// Differential fuzzing of timer::format against a renderer written
// separately from the format language's rules, and of the stream state that
// a report leaves behind.
//
// Input: two bytes of places, one byte choosing which times are taken from a
// list of boundary values (the -1 sentinels, the 1 ms threshold of %p,
// extremes), 24 bytes of times, two bytes of stream flags for the report
// check, and the rest as the format string (NUL bytes included: the format
// ends at the first one).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include "tovric/timer/timer.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

constexpr std::int64_t boundary_values[] = {
    0,         -1,        1,         999'999,   1'000'000, 1'000'001, 1'500'000'000,
    200'000'000, std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(),
    -1'000'000, 500'000};

std::string fixed(double value, int decimals) {
  char text[512];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The rules: places above 9 give 9 decimals, negative ones 6. %w, %u, %s and
// %t are the wall, user, system and user + system (summed as wrapping 64-bit
// integers) nanoseconds in seconds; %p is total / wall * 100 with one decimal
// when wall and total are both at least 1 000 000 ns, else "n/a". Everything
// else, a '%' that no directive letter follows included, is copied; the
// format ends at its first NUL.
std::string reference_render(const tovric::timer::cpu_times& t, int places, const char* fmt) {
  const int p = places > 9 ? 9 : places < 0 ? 6 : places;
  const auto total =
      static_cast<std::int64_t>(static_cast<std::uint64_t>(t.user) + static_cast<std::uint64_t>(t.system));
  const double wall_seconds = static_cast<double>(t.wall) / 1e9;
  const double total_seconds = static_cast<double>(total) / 1e9;
  std::string out;
  for (const char* c = fmt; *c != '\0'; ++c) {
    if (*c != '%' || std::strchr("wustp", c[1]) == nullptr || c[1] == '\0') {
      out += *c;
      continue;
    }
    switch (*++c) {
      case 'w': out += fixed(wall_seconds, p); break;
      case 'u': out += fixed(static_cast<double>(t.user) / 1e9, p); break;
      case 's': out += fixed(static_cast<double>(t.system) / 1e9, p); break;
      case 't': out += fixed(total_seconds, p); break;
      default:
        out += t.wall >= 1'000'000 && total >= 1'000'000
                   ? fixed(total_seconds / wall_seconds * 100.0, 1)
                   : "n/a";
    }
  }
  return out;
}

// A stream buffer that refuses every byte, so each insertion sets badbit.
class refusing_buffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

// A report onto a caller's stream leaves its flags and precision as they
// were, whether the stream works, fails quietly or throws.
void check_report_restores_the_stream(short places, std::uint16_t bits) {
  constexpr std::ios_base::fmtflags choices[] = {
      std::ios_base::scientific, std::ios_base::fixed,    std::ios_base::showpos,
      std::ios_base::uppercase,  std::ios_base::showpoint, std::ios_base::left,
      std::ios_base::hex,        std::ios_base::boolalpha, std::ios_base::unitbuf};
  std::ios_base::fmtflags flags{};
  for (unsigned k = 0; k < sizeof choices / sizeof choices[0]; ++k) {
    if (bits & (1u << k)) flags |= choices[k];
  }
  const std::streamsize precision = bits >> 9;
  std::ostringstream working;
  refusing_buffer refusing;
  std::ostream failing(&refusing);
  std::ostream& os = bits & 0x8000 ? failing : static_cast<std::ostream&>(working);
  os.flags(flags);
  os.precision(precision);
  const bool throws = (bits & 0xC000) == 0xC000;
  if (throws) os.exceptions(std::ios_base::badbit);
  {
    tovric::timer::auto_cpu_timer timer(os, places);
    timer.stop();
    bool thrown = false;
    try {
      timer.report();
    } catch (const std::ios_base::failure&) {
      thrown = true;
    }
    check(thrown == throws);
    timer.resume();  // reported again, quietly, by the destructor
  }
  check(os.flags() == flags);
  check(os.precision() == precision);
  if (&os == &working) check(!working.str().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t header = 2 + 1 + 24 + 2;
  if (size < header) return 0;
  std::int16_t places;
  std::memcpy(&places, data, 2);
  const std::uint8_t chosen = data[2];
  std::int64_t raw[3];
  std::memcpy(raw, data + 3, sizeof raw);
  for (int k = 0; k < 3; ++k) {
    if (chosen & (1u << k)) {
      raw[k] = boundary_values[static_cast<std::uint64_t>(raw[k]) %
                               (sizeof boundary_values / sizeof boundary_values[0])];
    }
  }
  const tovric::timer::cpu_times times{raw[0], raw[1], raw[2]};
  std::uint16_t stream_bits;
  std::memcpy(&stream_bits, data + 27, 2);
  const std::string fmt(reinterpret_cast<const char*>(data + header), size - header);

  const std::string expected = reference_render(times, places, fmt.c_str());
  check(tovric::timer::format(times, places, fmt) == expected);
  if (fmt.empty()) {
    check(tovric::timer::format(times, places) ==
          reference_render(times, places, " %ws wall, %us user + %ss system = %ts CPU (%p%)\n"));
  }
  check_report_restores_the_stream(places, stream_bits);
  return 0;
}
