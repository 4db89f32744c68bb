// UTF-32 to UTF-8 with utf::convert_buffer against glibc iconv (UTF-32LE to
// UTF-8) and utfcpp's utf8::utf32to8; UTF-8 to UTF-32 with the console output
// buffer against iconv and utf8::utf8to32. Same texts, same run; throughput
// counts the UTF-8 bytes produced or consumed, so the figures of one text
// compare directly.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tovric/velarn/console_buffer.hpp"
#include "tovric/velarn/utf.hpp"

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
#include <utf8.h>
#endif

namespace {

// About 64 KiB of UTF-32 per text, built by repeating a sample.
std::wstring repeat(const std::wstring& sample) {
  std::wstring text;
  while (text.size() < 16384) text += sample;
  return text;
}

const std::wstring& text(int which) {
  static const std::wstring texts[] = {
      repeat(L"The quick brown fox jumps over the lazy dog; pack my box with five dozen "
             L"liquor jugs. 0123456789 (ASCII only) "),
      repeat(L"Съешь же ещё этих мягких французских булок, да выпей чаю. "
             L"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. 我能吞下玻璃而不伤身体。 Zoë € 5. "),
      repeat(L"\U0001F600\U0001F642\U0001F680\U0001F30D\U0001D518\U0001D52B\U0001D526"
             L"\U0001D520\U0001D52C\U0001D521\U0001D522\U00020B9F\U0002070E\U0001F4A1 "),
  };
  return texts[which];
}

const char* const text_names[] = {"ascii", "mixed_bmp", "astral"};

// The UTF-8 form of a text, by convert_buffer (checked against iconv below).
std::string utf8_of(const std::wstring& w) {
  std::string out(4 * w.size() + 1, '\0');
  if (tovric::velarn::utf::convert_buffer(out.data(), out.size(), w.data(), w.data() + w.size()) ==
      nullptr) {
    throw std::logic_error("conversion did not fit");
  }
  out.resize(std::char_traits<char>::length(out.data()));
  return out;
}

class iconv_handle {
 public:
  iconv_handle(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~iconv_handle() { iconv_close(cd_); }
  // Converts `in` whole; returns the bytes written.
  std::size_t convert(const void* in, std::size_t in_bytes, void* out, std::size_t out_bytes) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = static_cast<char*>(const_cast<void*>(in));
    char* dst = static_cast<char*>(out);
    const std::size_t room = out_bytes;
    if (iconv(cd_, &src, &in_bytes, &dst, &out_bytes) == static_cast<std::size_t>(-1)) {
      throw std::runtime_error("iconv failed");
    }
    return room - out_bytes;
  }

 private:
  iconv_t cd_;
};

void set_throughput(benchmark::State& state, std::size_t utf8_bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(utf8_bytes));
}

// ---- encoding: UTF-32 to UTF-8 -------------------------------------------

void encode_convert_buffer(benchmark::State& state) {
  const std::wstring& w = text(static_cast<int>(state.range(0)));
  std::vector<char> out(4 * w.size() + 1);
  for (auto _ : state) {
    char* r = tovric::velarn::utf::convert_buffer(out.data(), out.size(), w.data(),
                                                  w.data() + w.size());
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  set_throughput(state, utf8_of(w).size());
  state.SetLabel(text_names[state.range(0)]);
}

void encode_iconv(benchmark::State& state) {
  const std::wstring& w = text(static_cast<int>(state.range(0)));
  std::vector<char> out(4 * w.size() + 1);
  iconv_handle cd("UTF-8", "UTF-32LE");
  const std::string expected = utf8_of(w);
  if (cd.convert(w.data(), 4 * w.size(), out.data(), out.size()) != expected.size() ||
      expected.compare(0, expected.size(), out.data(), expected.size()) != 0) {
    state.SkipWithError("iconv and convert_buffer disagree");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(cd.convert(w.data(), 4 * w.size(), out.data(), out.size()));
    benchmark::ClobberMemory();
  }
  set_throughput(state, expected.size());
  state.SetLabel(text_names[state.range(0)]);
}

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
void encode_utfcpp(benchmark::State& state) {
  const std::wstring& w = text(static_cast<int>(state.range(0)));
  std::vector<char> out(4 * w.size() + 1);
  for (auto _ : state) {
    char* end = utf8::utf32to8(w.begin(), w.end(), out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  set_throughput(state, utf8_of(w).size());
  state.SetLabel(text_names[state.range(0)]);
}
#endif

// ---- decoding: UTF-8 to UTF-32 ---------------------------------------------

// A console output buffer whose device takes the units and does nothing.
class null_console : public tovric::velarn::detail::console_output_buffer_base {
 public:
  ~null_console() override { sync(); }
  std::uint64_t units = 0;

 protected:
  bool device_write(const wchar_t* p, std::uint64_t count, std::uint64_t&) override {
    benchmark::DoNotOptimize(p);
    units += count;
    return true;
  }
};

void decode_console_output(benchmark::State& state) {
  const std::wstring& w = text(static_cast<int>(state.range(0)));
  const std::string bytes = utf8_of(w);
  null_console console;
  for (auto _ : state) {
    console.sputn(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    console.pubsync();
  }
  if (console.units != w.size() * state.iterations()) state.SkipWithError("units lost");
  set_throughput(state, bytes.size());
  state.SetLabel(text_names[state.range(0)]);
}

void decode_iconv(benchmark::State& state) {
  const std::wstring& w = text(static_cast<int>(state.range(0)));
  const std::string bytes = utf8_of(w);
  std::vector<wchar_t> out(w.size());
  iconv_handle cd("UTF-32LE", "UTF-8");
  for (auto _ : state) {
    benchmark::DoNotOptimize(cd.convert(bytes.data(), bytes.size(), out.data(), 4 * out.size()));
    benchmark::ClobberMemory();
  }
  set_throughput(state, bytes.size());
  state.SetLabel(text_names[state.range(0)]);
}

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
void decode_utfcpp(benchmark::State& state) {
  const std::wstring& w = text(static_cast<int>(state.range(0)));
  const std::string bytes = utf8_of(w);
  std::vector<wchar_t> out(w.size());
  for (auto _ : state) {
    wchar_t* end = utf8::utf8to32(bytes.begin(), bytes.end(), out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  set_throughput(state, bytes.size());
  state.SetLabel(text_names[state.range(0)]);
}
#endif

BENCHMARK(encode_convert_buffer)->DenseRange(0, 2);
BENCHMARK(encode_iconv)->DenseRange(0, 2);
#ifdef TOVRIC_BENCH_HAVE_UTFCPP
BENCHMARK(encode_utfcpp)->DenseRange(0, 2);
#endif
BENCHMARK(decode_console_output)->DenseRange(0, 2);
BENCHMARK(decode_iconv)->DenseRange(0, 2);
#ifdef TOVRIC_BENCH_HAVE_UTFCPP
BENCHMARK(decode_utfcpp)->DenseRange(0, 2);
#endif

}  // namespace

BENCHMARK_MAIN();
