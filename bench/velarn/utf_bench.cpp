// UTF-32 to UTF-8 with utf::convert_buffer against glibc iconv (UTF-32LE to
// UTF-8) and utfcpp's utf8::utf32to8; UTF-8 to UTF-32 through the console
// output buffer (sputn + pubsync) against iconv (UTF-8 to UTF-32LE) and
// utf8::utf8to32. Seven kinds of text at 16, 256, 16K and 1M units, all
// candidates of one text and size registered side by side so that random
// interleaving mixes them. Also measured: the SSE2 and scalar paths of both
// directions (the decoder's directly on 1024-byte chunks, as the buffer
// calls it), to show what each path gives.
//
// At the end a table gives, per text and size, our throughput (UTF-8 bytes
// per second) and the ratios time(other) / time(ours): above 1 means ours
// is faster. With repetitions the best (lowest CPU time) of each benchmark
// is used: on a shared machine the slower rounds are the disturbed ones.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "ratio_reporter.hpp"
#include "tovric/velarn/console_buffer.hpp"
#include "tovric/velarn/utf.hpp"
#include "utf8_decode.hpp"

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
#include <utf8.h>
#endif

namespace {

namespace utf = tovric::velarn::utf;
namespace vd = tovric::velarn::detail;

// ---- texts -----------------------------------------------------------------

// xorshift64*: texts are the same on every run.
class generator {
 public:
  explicit generator(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15u + 1) {}
  std::uint32_t below(std::uint32_t bound) {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1Du) >> 32) % bound;
  }
  std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1); }

 private:
  std::uint64_t state_;
};

const wchar_t latin1_letters[] = L"àáâãäåæçèéêëìíîïñòóôõöøùúûüýÿß";
const wchar_t punctuation[] = L",.;:!?";

void ascii_word(generator& g, std::wstring& t) {
  const std::uint32_t n = g.between(1, 9);
  for (std::uint32_t k = 0; k < n; ++k) t += static_cast<wchar_t>(g.between('a', 'z'));
}
void latin1_word(generator& g, std::wstring& t) {
  const std::uint32_t n = g.between(2, 10);
  for (std::uint32_t k = 0; k < n; ++k) {
    t += g.below(10) < 3 ? latin1_letters[g.below(sizeof latin1_letters / sizeof(wchar_t) - 1)]
                         : static_cast<wchar_t>(g.between('a', 'z'));
  }
}
void range_word(generator& g, std::wstring& t, std::uint32_t low, std::uint32_t high, std::uint32_t min_len,
                std::uint32_t max_len) {
  const std::uint32_t n = g.between(min_len, max_len);
  for (std::uint32_t k = 0; k < n; ++k) t += static_cast<wchar_t>(g.between(low, high));
}
void cyrillic_word(generator& g, std::wstring& t) { range_word(g, t, 0x430, 0x44F, 2, 10); }
void greek_word(generator& g, std::wstring& t) { range_word(g, t, 0x3B1, 0x3C9, 2, 9); }
void cjk_word(generator& g, std::wstring& t) { range_word(g, t, 0x4E00, 0x9FA5, 1, 4); }
void emoji_word(generator& g, std::wstring& t) { range_word(g, t, 0x1F300, 0x1F64F, 1, 3); }

// Words and spaces, now and then punctuation, up to `units` units.
template <typename Word>
std::wstring words(std::size_t units, std::uint64_t seed, Word word) {
  generator g(seed);
  std::wstring t;
  while (t.size() < units) {
    word(g, t);
    if (g.below(8) == 0) t += punctuation[g.below(6)];
    t += L' ';
  }
  t.resize(units);
  return t;
}

struct text_kind {
  const char* name;
  std::wstring (*make)(std::size_t units);
};

const text_kind kinds[] = {
    {"ascii", [](std::size_t n) { return words(n, 1, ascii_word); }},
    {"latin1", [](std::size_t n) { return words(n, 2, latin1_word); }},
    {"cyrillic", [](std::size_t n) { return words(n, 3, cyrillic_word); }},
    {"cjk",
     [](std::size_t n) {
       // Ideographs, with ideographic comma and full stop now and then.
       generator g(4);
       std::wstring t;
       while (t.size() < n) t += g.below(12) == 0 ? (g.below(2) ? L'\x3001' : L'\x3002') : static_cast<wchar_t>(g.between(0x4E00, 0x9FA5));
       return t;
     }},
    {"mixed",
     [](std::size_t n) {
       // Words of six scripts in random order.
       generator g(5);
       std::wstring t;
       void (*const makers[])(generator&, std::wstring&) = {ascii_word, latin1_word, cyrillic_word,
                                                             greek_word, cjk_word,    emoji_word};
       while (t.size() < n) {
         makers[g.below(6)](g, t);
         t += L' ';
       }
       t.resize(n);
       return t;
     }},
    {"emoji", [](std::size_t n) { return words(n, 6, emoji_word); }},
    {"random",
     [](std::size_t n) {
       // Valid code points, uniformly.
       generator g(7);
       std::wstring t;
       while (t.size() < n) {
         const std::uint32_t u = g.below(0x110000);
         if (u - 0xD800u >= 0x800u) t += static_cast<wchar_t>(u);
       }
       return t;
     }},
};
constexpr int kind_count = sizeof kinds / sizeof kinds[0];
const std::size_t sizes[] = {16, 256, 16384, 1048576};

// The UTF-8 form of a text (convert_buffer's unit-by-unit path).
std::string utf8_of(const std::wstring& w) {
  std::string out(4 * w.size() + 1, '\0');
  const char* end = utf::detail::convert_buffer_scalar(out.data(), out.size(), w.data(), w.data() + w.size());
  if (end == nullptr) throw std::logic_error("conversion did not fit");
  std::size_t n = 0;
  for (const wchar_t u : w) n += utf::detail::encoded_length(utf::detail::unit_value(u));
  out.resize(n);
  return out;
}

class iconv_handle {
 public:
  iconv_handle(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~iconv_handle() { iconv_close(cd_); }
  iconv_handle(const iconv_handle&) = delete;
  iconv_handle& operator=(const iconv_handle&) = delete;
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

// One text at one size, in both forms.
struct sample {
  std::wstring wide;
  std::string utf8;
};

const sample& sample_of(int kind, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, sample> cache;
  auto it = cache.find({kind, size});
  if (it == cache.end()) {
    sample s;
    s.wide = kinds[kind].make(size);
    s.utf8 = utf8_of(s.wide);
    it = cache.emplace(std::make_pair(kind, size), std::move(s)).first;
  }
  return it->second;
}

void set_throughput(benchmark::State& state, std::size_t utf8_bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(utf8_bytes));
}

// ---- encoding: UTF-32 to UTF-8 -------------------------------------------

using converter = char* (*)(char*, std::size_t, const wchar_t*, const wchar_t*) noexcept;

void encode_with(benchmark::State& state, const sample& s, converter convert) {
  std::vector<char> out(4 * s.wide.size() + 1);
  if (convert(out.data(), out.size(), s.wide.data(), s.wide.data() + s.wide.size()) == nullptr ||
      std::memcmp(out.data(), s.utf8.data(), s.utf8.size()) != 0) {
    state.SkipWithError("wrong conversion");
    return;
  }
  for (auto _ : state) {
    char* r = convert(out.data(), out.size(), s.wide.data(), s.wide.data() + s.wide.size());
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  set_throughput(state, s.utf8.size());
}

void encode_iconv(benchmark::State& state, const sample& s) {
  std::vector<char> out(4 * s.wide.size() + 1);
  iconv_handle cd("UTF-8", "UTF-32LE");
  if (cd.convert(s.wide.data(), 4 * s.wide.size(), out.data(), out.size()) != s.utf8.size() ||
      std::memcmp(out.data(), s.utf8.data(), s.utf8.size()) != 0) {
    state.SkipWithError("iconv disagrees");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(cd.convert(s.wide.data(), 4 * s.wide.size(), out.data(), out.size()));
    benchmark::ClobberMemory();
  }
  set_throughput(state, s.utf8.size());
}

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
void encode_utfcpp(benchmark::State& state, const sample& s) {
  std::vector<char> out(4 * s.wide.size() + 1);
  for (auto _ : state) {
    char* end = utf8::utf32to8(s.wide.begin(), s.wide.end(), out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  if (std::memcmp(out.data(), s.utf8.data(), s.utf8.size()) != 0) state.SkipWithError("utfcpp disagrees");
  set_throughput(state, s.utf8.size());
}
#endif

// ---- decoding: UTF-8 to UTF-32 ---------------------------------------------

// A console output buffer whose device keeps the last units it was given.
class null_console : public vd::console_output_buffer_base {
 public:
  ~null_console() override { sync(); }
  std::uint64_t units = 0;
  wchar_t last = 0;

 protected:
  bool device_write(const wchar_t* p, std::uint64_t count, std::uint64_t&) override {
    benchmark::DoNotOptimize(p);
    if (count > 0) last = p[count - 1];
    units += count;
    return true;
  }
};

void decode_console(benchmark::State& state, const sample& s) {
  null_console console;
  for (auto _ : state) {
    console.sputn(s.utf8.data(), static_cast<std::streamsize>(s.utf8.size()));
    console.pubsync();
  }
  if (console.units != s.wide.size() * state.iterations() || console.last != s.wide.back()) {
    state.SkipWithError("units lost");
  }
  set_throughput(state, s.utf8.size());
}

using decoder = int (*)(const unsigned char*, int, wchar_t*, int&) noexcept;

// The decoder alone, on chunks of at most 1024 bytes as the buffer hands it
// them, a cut sequence carried into the next chunk.
void decode_path(benchmark::State& state, const sample& s, decoder decode) {
  std::vector<wchar_t> units(1024);
  const auto* bytes = reinterpret_cast<const unsigned char*>(s.utf8.data());
  const auto n = s.utf8.size();
  std::size_t total = 0;
  for (auto _ : state) {
    total = 0;
    for (std::size_t at = 0; at < n;) {
      const int chunk = static_cast<int>(n - at < 1024 ? n - at : 1024);
      int count = 0;
      at += static_cast<std::size_t>(decode(bytes + at, chunk, units.data(), count));
      total += static_cast<std::size_t>(count);
      benchmark::DoNotOptimize(units.data());
    }
  }
  if (total != s.wide.size()) state.SkipWithError("units lost");
  set_throughput(state, s.utf8.size());
}

// The decoder on one level, chosen for the run and then given back.
void decode_level(benchmark::State& state, const sample& s, utf::detail::simd_level level) {
  const utf::detail::simd_level before = utf::detail::current_simd_level();
  if (!utf::detail::use_simd_level(level)) {
    state.SkipWithError("this CPU lacks the level");
    return;
  }
  decode_path(state, s, vd::decode_utf8);
  utf::detail::use_simd_level(before);
}

void decode_iconv(benchmark::State& state, const sample& s) {
  std::vector<wchar_t> out(s.wide.size());
  iconv_handle cd("UTF-32LE", "UTF-8");
  if (cd.convert(s.utf8.data(), s.utf8.size(), out.data(), 4 * out.size()) != 4 * s.wide.size() ||
      std::wstring(out.data(), out.size()) != s.wide) {
    state.SkipWithError("iconv disagrees");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(cd.convert(s.utf8.data(), s.utf8.size(), out.data(), 4 * out.size()));
    benchmark::ClobberMemory();
  }
  set_throughput(state, s.utf8.size());
}

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
void decode_utfcpp(benchmark::State& state, const sample& s) {
  std::vector<wchar_t> out(s.wide.size());
  for (auto _ : state) {
    wchar_t* end = utf8::utf8to32(s.utf8.begin(), s.utf8.end(), out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  if (std::wstring(out.data(), out.size()) != s.wide) state.SkipWithError("utfcpp disagrees");
  set_throughput(state, s.utf8.size());
}
#endif

// ---- registration and the table ---------------------------------------------

// Candidates of each direction; the first is ours, the baseline of the ratios.
struct candidate {
  const char* name;
  void (*run)(benchmark::State&, const sample&);
};

const candidate encoders[] = {
    {"tovric", [](benchmark::State& st, const sample& s) { encode_with(st, s, &utf::convert_buffer<char, wchar_t>); }},
    {"iconv", encode_iconv},
#ifdef TOVRIC_BENCH_HAVE_UTFCPP
    {"utfcpp", encode_utfcpp},
#endif
    {"sse2", [](benchmark::State& st, const sample& s) { encode_with(st, s, &utf::detail::convert_buffer_sse2<char, wchar_t>); }},
    {"scalar", [](benchmark::State& st, const sample& s) { encode_with(st, s, &utf::detail::convert_buffer_scalar<char, wchar_t>); }},
};

const candidate decoders[] = {
    {"tovric", decode_console},
    {"iconv", decode_iconv},
#ifdef TOVRIC_BENCH_HAVE_UTFCPP
    {"utfcpp", decode_utfcpp},
#endif
    {"avx2", [](benchmark::State& st, const sample& s) { decode_level(st, s, utf::detail::simd_level::avx2); }},
    {"sse2", [](benchmark::State& st, const sample& s) { decode_level(st, s, utf::detail::simd_level::sse2); }},
    {"scalar", [](benchmark::State& st, const sample& s) { decode_path(st, s, vd::decode_utf8_scalar); }},
};

std::string bench_name(const char* direction, int kind, std::size_t size, const char* who) {
  return std::string(direction) + "/" + kinds[kind].name + "/" + std::to_string(size) + "/" + who;
}

template <std::size_t N>
void register_all(const char* direction, const candidate (&candidates)[N]) {
  for (int kind = 0; kind < kind_count; ++kind) {
    for (const std::size_t size : sizes) {
      for (const candidate& c : candidates) {
        const auto run = c.run;
        benchmark::RegisterBenchmark(bench_name(direction, kind, size, c.name).c_str(),
                                     [run, kind, size](benchmark::State& st) { run(st, sample_of(kind, size)); });
      }
    }
  }
}

// One table per direction: our rate, then every other candidate's time as
// a ratio to ours (above 1: ours is faster), each from its best round.
template <std::size_t N>
void print_table(const tovric_bench::best_rounds& best, const char* direction,
                 const candidate (&candidates)[N]) {
  std::printf("\n%s: tovric GB/s, then time(other) / time(tovric)\n%-9s %8s %8s", direction,
              "text", "units", "GB/s");
  for (std::size_t c = 1; c < N; ++c) std::printf(" %8s", candidates[c].name);
  std::printf("\n");
  for (int kind = 0; kind < kind_count; ++kind) {
    for (const std::size_t size : sizes) {
      const std::string ours = bench_name(direction, kind, size, candidates[0].name);
      const auto* round = best.find(ours);
      if (round == nullptr) continue;
      const auto rate = round->counters.find("bytes_per_second");
      std::printf("%-9s %8zu %8.2f", kinds[kind].name, size,
                  rate == round->counters.end() ? 0.0 : rate->second / 1e9);
      for (std::size_t c = 1; c < N; ++c) {
        const double r = best.ratio(bench_name(direction, kind, size, candidates[c].name), ours);
        if (r > 0) {
          std::printf(" %8.2f", r);
        } else {
          std::printf(" %8s", "-");
        }
      }
      std::printf("\n");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_all("encode", encoders);
  register_all("decode", decoders);
  return tovric_bench::run_with_ratios(argc, argv, [](const tovric_bench::best_rounds& best) {
    print_table(best, "encode", encoders);
    print_table(best, "decode", decoders);
  });
}
