// UTF-32 to UTF-8 with utf::convert_buffer against glibc iconv (UTF-32LE to
// UTF-8), utfcpp's utf8::utf32to8 and simdutf::convert_utf32_to_utf8; UTF-8
// to UTF-32 through the console output buffer (sputn + pubsync) against
// iconv (UTF-8 to UTF-32LE), utf8::utf8to32 and
// simdutf::convert_utf8_to_utf32. Seven kinds of text at 16, 256, 16K and 1M
// units, all candidates of one text and size registered side by side so that
// random interleaving mixes them. Ours runs at the level detected for this
// CPU ("tovric") and at every level of the table that the CPU has
// ("tovric@avx2" and so on), chosen with use_simd_level before each timing
// loop; a level the CPU lacks is not registered, and stderr says so.
//
// At the end a table per direction gives, per text and size, our throughput
// (UTF-8 bytes per second) and the ratios time(peer) / time(ours): above 1
// means ours is faster; then, per level, time(simdutf) / time(ours at that
// level) (without simdutf: time(ours) / time(ours at that level)). With
// repetitions the best (lowest) round of each benchmark is used: on a shared
// machine the slower rounds are the disturbed ones. bench/velarn/run_utf.sh
// runs the program several times and tabulates the spread of the ratios.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "ratio_reporter.hpp"
#include "tovric/velarn/console_buffer.hpp"
#include "tovric/velarn/detail/simd_level.hpp"
#include "tovric/velarn/utf.hpp"
#include "utf8_decode.hpp"

#ifdef TOVRIC_BENCH_HAVE_UTFCPP
#include <utf8.h>
#endif
#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
#include <simdutf.h>
#endif

namespace {

namespace utf = tovric::velarn::utf;
namespace vd = tovric::velarn::detail;
using utf::detail::simd_level;

static_assert(sizeof(wchar_t) == sizeof(char32_t), "the peers take UTF-32 as char32_t");

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

// Whether u is a Unicode scalar value (not a surrogate, at most 0x10FFFF).
bool valid_unit(wchar_t u) {
  const auto v = static_cast<std::uint32_t>(u);
  return v < 0x110000u && v - 0xD800u >= 0x800u;
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

// One text at one size: its units, their UTF-8 form, and the units that
// decoding that form gives back (invalid units having become U+FFFD).
struct sample {
  std::wstring wide;
  std::string utf8;
  std::wstring decoded;
  bool valid = true;  // every unit is a scalar value
};

const sample& sample_of(int kind, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, sample> cache;
  auto it = cache.find({kind, size});
  if (it == cache.end()) {
    sample s;
    s.wide = kinds[kind].make(size);
    s.utf8 = utf8_of(s.wide);
    for (const wchar_t u : s.wide) {
      s.valid = s.valid && valid_unit(u);
      s.decoded += valid_unit(u) ? u : L'\xFFFD';
    }
    it = cache.emplace(std::make_pair(kind, size), std::move(s)).first;
  }
  return it->second;
}

void set_throughput(benchmark::State& state, std::size_t utf8_bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(utf8_bytes));
}

// Makes this program's conversions (convert_buffer here, the decoder in the
// library's objects linked in) use `level`, for the benchmark about to be
// timed; the level is process-wide, so every benchmark of ours sets it.
// Skips the benchmark when the level did not take.
bool choose_level(benchmark::State& state, simd_level level) {
  if (!utf::detail::use_simd_level(level) || vd::decoder_simd_level() != level) {
    state.SkipWithError("could not choose the level");
    return false;
  }
  return true;
}

// ---- encoding: UTF-32 to UTF-8 -------------------------------------------

void encode_tovric(benchmark::State& state, const sample& s, simd_level level) {
  if (!choose_level(state, level)) return;
  std::vector<char> out(4 * s.wide.size() + 1);
  const wchar_t* begin = s.wide.data();
  const wchar_t* end = begin + s.wide.size();
  if (utf::convert_buffer(out.data(), out.size(), begin, end) == nullptr ||
      std::memcmp(out.data(), s.utf8.data(), s.utf8.size() + 1) != 0) {
    state.SkipWithError("wrong conversion");
    return;
  }
  for (auto _ : state) {
    char* r = utf::convert_buffer(out.data(), out.size(), begin, end);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  set_throughput(state, s.utf8.size());
}

void encode_iconv(benchmark::State& state, const sample& s) {
  std::vector<char> out(4 * s.wide.size() + 1);
  iconv_handle cd("UTF-8", "UTF-32LE");
  if (!s.valid || cd.convert(s.wide.data(), 4 * s.wide.size(), out.data(), out.size()) != s.utf8.size() ||
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
  if (!s.valid) {
    state.SkipWithError("utfcpp throws on invalid units");
    return;
  }
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

#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
// simdutf converts valid input; at the first invalid unit it stops and
// returns 0. The call is timed as it is either way, so on a text with
// invalid units it does less work than ours.
void encode_simdutf(benchmark::State& state, const sample& s) {
  std::vector<char> out(4 * s.wide.size() + 1);
  const auto* in = reinterpret_cast<const char32_t*>(s.wide.data());
  const std::size_t n = s.wide.size();
  const std::size_t written = simdutf::convert_utf32_to_utf8(in, n, out.data());
  if (s.valid ? written != s.utf8.size() || std::memcmp(out.data(), s.utf8.data(), s.utf8.size()) != 0
              : written != 0) {
    state.SkipWithError("simdutf disagrees");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(simdutf::convert_utf32_to_utf8(in, n, out.data()));
    benchmark::ClobberMemory();
  }
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

void decode_tovric(benchmark::State& state, const sample& s, simd_level level) {
  if (!choose_level(state, level)) return;
  null_console console;
  for (auto _ : state) {
    console.sputn(s.utf8.data(), static_cast<std::streamsize>(s.utf8.size()));
    console.pubsync();
  }
  if (console.units != s.decoded.size() * state.iterations() || console.last != s.decoded.back()) {
    state.SkipWithError("units lost");
  }
  set_throughput(state, s.utf8.size());
}

void decode_iconv(benchmark::State& state, const sample& s) {
  std::vector<wchar_t> out(s.decoded.size());
  iconv_handle cd("UTF-32LE", "UTF-8");
  if (cd.convert(s.utf8.data(), s.utf8.size(), out.data(), 4 * out.size()) != 4 * out.size() ||
      std::wstring(out.data(), out.size()) != s.decoded) {
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
  std::vector<wchar_t> out(s.decoded.size());
  for (auto _ : state) {
    wchar_t* end = utf8::utf8to32(s.utf8.begin(), s.utf8.end(), out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  if (std::wstring(out.data(), out.size()) != s.decoded) state.SkipWithError("utfcpp disagrees");
  set_throughput(state, s.utf8.size());
}
#endif

#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
void decode_simdutf(benchmark::State& state, const sample& s) {
  std::vector<wchar_t> out(s.decoded.size());
  auto* units = reinterpret_cast<char32_t*>(out.data());
  if (simdutf::convert_utf8_to_utf32(s.utf8.data(), s.utf8.size(), units) != out.size() ||
      std::wstring(out.data(), out.size()) != s.decoded) {
    state.SkipWithError("simdutf disagrees");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(simdutf::convert_utf8_to_utf32(s.utf8.data(), s.utf8.size(), units));
    benchmark::ClobberMemory();
  }
  set_throughput(state, s.utf8.size());
}
#endif

// ---- registration and the table ---------------------------------------------

using runner = std::function<void(benchmark::State&, const sample&)>;

// A candidate of one direction. The first of each direction is ours at the
// detected level, the baseline of the peers' ratios; then the peers; then
// ours at each level that the CPU has.
struct candidate {
  std::string name;
  runner run;
  bool peer;
};

const char* const simdutf_name = "simdutf";

// The levels of the table that this CPU has; stderr names the others once.
std::vector<const utf::detail::simd_level_entry*> levels_run() {
  std::vector<const utf::detail::simd_level_entry*> run;
  for (const auto& e : utf::detail::simd_levels) {
    if (utf::detail::cpu_has(e.level)) {
      run.push_back(&e);
    } else {
      std::fprintf(stderr, "velarn_utf_bench: level %s not run: this CPU lacks %s\n", e.name, e.needs);
    }
  }
  return run;
}

std::vector<candidate> candidates_of(void (*ours)(benchmark::State&, const sample&, simd_level),
                                     std::vector<candidate> peers,
                                     const std::vector<const utf::detail::simd_level_entry*>& levels) {
  const simd_level detected = utf::detail::detect_simd_level();
  std::vector<candidate> all{{"tovric", [ours, detected](benchmark::State& st, const sample& s) { ours(st, s, detected); }, false}};
  for (candidate& p : peers) all.push_back(std::move(p));
  for (const auto* e : levels) {
    const simd_level level = e->level;
    all.push_back({std::string("tovric@") + e->name,
                   [ours, level](benchmark::State& st, const sample& s) { ours(st, s, level); }, false});
  }
  return all;
}

std::string bench_name(const char* direction, int kind, std::size_t size, const std::string& who) {
  return std::string(direction) + "/" + kinds[kind].name + "/" + std::to_string(size) + "/" + who;
}

void register_all(const char* direction, const std::vector<candidate>& candidates) {
  for (int kind = 0; kind < kind_count; ++kind) {
    for (const std::size_t size : sizes) {
      for (const candidate& c : candidates) {
        const runner run = c.run;
        benchmark::RegisterBenchmark(bench_name(direction, kind, size, c.name).c_str(),
                                     [run, kind, size](benchmark::State& st) { run(st, sample_of(kind, size)); });
      }
    }
  }
}

bool has_candidate(const std::vector<candidate>& candidates, const char* name) {
  for (const candidate& c : candidates) {
    if (c.name == name) return true;
  }
  return false;
}

std::string simdutf_kernel() {
#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
  return std::string(simdutf::get_active_implementation()->name());
#else
  return "";
#endif
}

// One table per direction: our rate at the detected level, every peer's
// time as a ratio to ours (above 1: ours is faster), then per level the
// time of the reference (simdutf if present, else ours at the detected
// level) as a ratio to ours at that level; each from its best round. The
// heading's form is what bench/velarn/run_utf.sh reads.
void print_table(const tovric_bench::best_rounds& best, const char* direction,
                 const std::vector<candidate>& candidates) {
  const bool simdutf = has_candidate(candidates, simdutf_name);
  const std::string reference = simdutf ? simdutf_name : "tovric";
  std::printf("\n%s: tovric at level %s, GB/s of UTF-8; peers: time(peer) / time(tovric); "
              "@level: time(%s) / time(tovric at that level); above 1: ours is faster",
              direction, utf::detail::find_simd_level(utf::detail::detect_simd_level())->name,
              reference.c_str());
  if (simdutf) std::printf("; simdutf kernel: %s", simdutf_kernel().c_str());
  std::printf("\n%-9s %8s %8s", "text", "units", "GB/s");
  for (std::size_t c = 1; c < candidates.size(); ++c) {
    const std::string& name = candidates[c].name;
    std::printf(" %8s", candidates[c].peer ? name.c_str() : name.substr(name.find('@')).c_str());
  }
  std::printf("\n");
  for (int kind = 0; kind < kind_count; ++kind) {
    for (const std::size_t size : sizes) {
      const std::string ours = bench_name(direction, kind, size, candidates[0].name);
      const auto* round = best.find(ours);
      if (round == nullptr) continue;
      const auto rate = round->counters.find("bytes_per_second");
      std::printf("%-9s %8zu %8.2f", kinds[kind].name, size,
                  rate == round->counters.end() ? 0.0 : rate->second / 1e9);
      for (std::size_t c = 1; c < candidates.size(); ++c) {
        const std::string name = bench_name(direction, kind, size, candidates[c].name);
        const double r = candidates[c].peer ? best.ratio(name, ours)
                                            : best.ratio(bench_name(direction, kind, size, reference), name);
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
  const auto levels = levels_run();
  const std::vector<candidate> encoders = candidates_of(encode_tovric,
                                                        {
                                                            {"iconv", encode_iconv, true},
#ifdef TOVRIC_BENCH_HAVE_UTFCPP
                                                            {"utfcpp", encode_utfcpp, true},
#endif
#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
                                                            {simdutf_name, encode_simdutf, true},
#endif
                                                        },
                                                        levels);
  const std::vector<candidate> decoders = candidates_of(decode_tovric,
                                                        {
                                                            {"iconv", decode_iconv, true},
#ifdef TOVRIC_BENCH_HAVE_UTFCPP
                                                            {"utfcpp", decode_utfcpp, true},
#endif
#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
                                                            {simdutf_name, decode_simdutf, true},
#endif
                                                        },
                                                        levels);
  register_all("encode", encoders);
  register_all("decode", decoders);
  benchmark::AddCustomContext("tovric level", utf::detail::find_simd_level(utf::detail::detect_simd_level())->name);
#ifdef TOVRIC_BENCH_HAVE_SIMDUTF
  benchmark::AddCustomContext("simdutf kernel", simdutf_kernel());
#else
  std::fprintf(stderr, "velarn_utf_bench: built without simdutf\n");
#endif
  return tovric_bench::run_with_ratios(argc, argv, [&](const tovric_bench::best_rounds& best) {
    print_table(best, "encode", encoders);
    print_table(best, "decode", decoders);
  });
}
