// Differential fuzzing of the console output buffer's UTF-8 decoding.
//
// Arbitrary bytes go through the buffer in chunk sizes, flushes and device
// failures chosen by a generator seeded from the input's first four bytes.
// The units that reach the device must be exactly those of the reference
// decoder below, written separately from the rules, and the bytes left
// pending at the end exactly the sequence that the input's end cuts; a run
// through a std::ostream, a run through the raw buffer with a failing device
// and a run with a device that also throws, through a std::ostream that
// rethrows, must agree with it and so with each other: a byte that the
// device never took stays pending and reaches it exactly once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tovric/velarn/console_buffer.hpp"

namespace {

using units = std::vector<wchar_t>;

struct reference_result {
  units decoded;
  std::size_t stop;  // where a sequence cut by the end begins, else the size
};

// The decoding rules, applied to the whole input at once: ASCII is itself;
// C2-DF, E0-EF and F0-F4 start sequences of 2, 3 and 4 bytes; any other
// byte outside ASCII is one U+FFFD. A sequence whose next byte is not a
// continuation byte (80-BF) is one U+FFFD and decoding resumes at that byte.
// A complete sequence whose value is overlong, a surrogate or above 0x10FFFF
// is one U+FFFD for its lead byte alone. A sequence that runs into the end
// of the input is left undecoded.
reference_result reference_decode(const std::uint8_t* p, std::size_t n) {
  reference_result r{{}, n};
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t lead = p[i];
    std::size_t length = 0;
    std::uint32_t smallest = 0;
    if (lead <= 0x7F) {
      r.decoded.push_back(lead);
      i += 1;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      smallest = 0x10000;
    } else {
      r.decoded.push_back(0xFFFD);
      i += 1;
      continue;
    }
    std::size_t tails = 0;  // continuation bytes right after the lead
    while (tails + 1 < length && i + 1 + tails < n && (p[i + 1 + tails] & 0xC0) == 0x80) ++tails;
    if (tails + 1 < length) {
      if (i + 1 + tails == n) {
        r.stop = i;
        break;
      }
      r.decoded.push_back(0xFFFD);
      i += 1 + tails;
      continue;
    }
    std::uint32_t value = lead & (0xFFu >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (p[i + k] & 0x3Fu);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value >= smallest && value <= 0x10FFFF && !surrogate) {
      r.decoded.push_back(static_cast<wchar_t>(value));
      i += length;
    } else {
      r.decoded.push_back(0xFFFD);
      i += 1;
    }
  }
  return r;
}

// xorshift64*: the chunking, flushes and failures of one run.
class generator {
 public:
  explicit generator(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15u + 1) {}
  std::uint64_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Du;
  }
  // 0 to bound - 1.
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

 private:
  std::uint64_t state_;
};

// Chunk sizes: mostly a few bytes, now and then past the 1024-byte buffer.
std::size_t chunk_size(generator& g) {
  switch (g.below(4)) {
    case 0: return 1;
    case 1: return 1 + g.below(4);
    case 2: return g.below(64);
    default: return g.below(1500);
  }
}

struct device_gone : std::runtime_error {
  device_gone() : std::runtime_error("device gone") {}
};

// A device that, when given a generator, fails one call in four and, when
// also told to, throws in one call in eight of the others.
class capturing_output : public tovric::velarn::detail::console_output_buffer_base {
 public:
  explicit capturing_output(generator* failures, bool throws = false)
      : failures_(failures), throws_(throws) {}
  ~capturing_output() override {
    failures_ = nullptr;
    sync();
  }

  std::string pending() const { return std::string(pbase(), pptr()); }

  units delivered;

 protected:
  bool device_write(const wchar_t* p, std::uint64_t count, std::uint64_t& written) override {
    if (written != 0 || count > 1024) std::abort();
    if (failures_ != nullptr) {
      if (failures_->below(4) == 0) return false;
      if (throws_ && failures_->below(8) == 0) throw device_gone();
    }
    delivered.insert(delivered.end(), p, p + count);
    return true;
  }

 private:
  generator* failures_;
  bool throws_;
};

void check(bool ok) {
  if (!ok) std::abort();
}

// Through a std::ostream, with a device that never fails.
void run_through_ostream(const std::uint8_t* p, std::size_t n, std::uint64_t seed,
                         const reference_result& expected) {
  generator g(seed);
  capturing_output buffer(nullptr);
  std::ostream os(&buffer);
  for (std::size_t i = 0; i < n;) {
    const std::size_t k = std::min(chunk_size(g), n - i);
    if (k == 1 && g.below(2) == 0) {
      os.put(static_cast<char>(p[i]));
    } else {
      os.write(reinterpret_cast<const char*>(p + i), static_cast<std::streamsize>(k));
    }
    i += k;
    if (g.below(8) == 0) os.flush();
  }
  os.flush();
  check(os.good());
  check(buffer.delivered == expected.decoded);
  check(buffer.pending() == std::string(p + expected.stop, p + n));
}

// Through the raw buffer, with a device that fails one call in four; every
// refused put and failed flush is retried until it succeeds.
void run_with_failures(const std::uint8_t* p, std::size_t n, std::uint64_t seed,
                       const reference_result& expected) {
  generator g(seed ^ 0x5DEECE66Du);
  generator failures(seed + 7);
  capturing_output buffer(&failures);
  for (std::size_t i = 0; i < n;) {
    const std::size_t k = std::min(chunk_size(g), n - i);
    i += static_cast<std::size_t>(
        buffer.sputn(reinterpret_cast<const char*>(p + i), static_cast<std::streamsize>(k)));
    if (g.below(8) == 0) buffer.pubsync();  // may fail; the bytes stay
  }
  while (buffer.pubsync() != 0) {
  }
  check(buffer.delivered == expected.decoded);
  check(buffer.pending() == std::string(p + expected.stop, p + n));
}

// Runs one stream operation whose failure throws: the device's own
// exception, or the stream's for a device that refused. True if it did not.
template <typename Operation>
bool attempt(std::ostream& os, Operation operation) {
  try {
    operation();
    return true;
  } catch (const device_gone&) {
  } catch (const std::ios_base::failure&) {
  }
  check(os.bad());
  os.clear();
  return false;
}

// Through a std::ostream whose exception mask makes every failure throw. A
// put that throws stored nothing: the driver puts the same byte again. A
// flush that throws keeps every pending byte for the next one.
void run_through_throwing_ostream(const std::uint8_t* p, std::size_t n, std::uint64_t seed,
                                  const reference_result& expected) {
  generator g(seed ^ 0x2545F491u);
  generator failures(seed + 11);
  capturing_output buffer(&failures, true);
  std::ostream os(&buffer);
  os.exceptions(std::ios_base::badbit);
  for (std::size_t i = 0; i < n;) {
    if (attempt(os, [&] { os.put(static_cast<char>(p[i])); })) ++i;
    if (g.below(16) == 0) attempt(os, [&] { os.flush(); });
  }
  while (!attempt(os, [&] { os.flush(); })) {
  }
  check(buffer.delivered == expected.decoded);
  check(buffer.pending() == std::string(p + expected.stop, p + n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t seed = 0;
  const std::size_t seed_bytes = size < 4 ? size : 4;
  if (seed_bytes > 0) std::memcpy(&seed, data, seed_bytes);
  const std::uint8_t* payload = data + seed_bytes;
  const std::size_t n = size - seed_bytes;
  const reference_result expected = reference_decode(payload, n);
  run_through_ostream(payload, n, seed, expected);
  run_with_failures(payload, n, seed, expected);
  run_through_throwing_ostream(payload, n, seed, expected);
  return 0;
}
