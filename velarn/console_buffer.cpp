// The console stream buffer bases: UTF-8 output decoded to wide units for a
// device, and wide units from a device encoded to UTF-8 input.
#include "tovric/velarn/console_buffer.hpp"

#include <cstring>

#include "tovric/velarn/detail/utf_encode.hpp"

namespace tovric::velarn::detail {
namespace {

constexpr int chunk_limit = 1024;
constexpr wchar_t replacement = 0xFFFD;

constexpr bool is_continuation(unsigned char b) noexcept { return (b & 0xC0u) == 0x80u; }

// Whether a sequence of `length` bytes with value `v` is the one shortest
// UTF-8 form of a code point.
constexpr bool is_acceptable(std::uint32_t v, int length) noexcept {
  if (v - 0xD800u < 0x800u) return false;
  switch (length) {
    case 2: return v >= 0x80u;
    case 3: return v >= 0x800u;
    default: return v >= 0x10000u && v <= 0x10FFFFu;
  }
}

// Decodes [p, p + n) into `units`, one unit per character, malformed
// sequence or stray byte. Stops early at a sequence cut by p + n. Sets
// `count` to the units stored and returns the bytes consumed.
int decode(const unsigned char* p, int n, wchar_t* units, int& count) noexcept {
  int i = 0;
  int stored = 0;
  while (i < n) {
    const unsigned char lead = p[i];
    if (lead < 0x80u) {
      // Eight ASCII bytes at a time where the input allows.
      while (n - i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        if ((word & 0x8080808080808080u) != 0) break;
        for (int k = 0; k < 8; ++k) units[stored + k] = static_cast<wchar_t>(p[i + k]);
        stored += 8;
        i += 8;
      }
      if (i < n && p[i] < 0x80u) {
        units[stored++] = static_cast<wchar_t>(p[i]);
        ++i;
      }
      continue;
    }
    if (lead < 0xC2u || lead > 0xF4u) {
      units[stored++] = replacement;
      ++i;
      continue;
    }
    // Complete, well-formed 2- and 3-byte sequences, the common ones, go
    // straight through; everything else takes the general steps below.
    if (lead < 0xE0u && n - i >= 2 && is_continuation(p[i + 1])) {
      units[stored++] = static_cast<wchar_t>((lead & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu));
      i += 2;
      continue;
    }
    if (lead >= 0xE0u && lead < 0xF0u && n - i >= 3 && is_continuation(p[i + 1]) &&
        is_continuation(p[i + 2])) {
      const std::uint32_t v = (lead & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
      if (is_acceptable(v, 3)) {
        units[stored++] = static_cast<wchar_t>(v);
        i += 3;
        continue;
      }
    }
    const int length = lead < 0xE0u ? 2 : lead < 0xF0u ? 3 : 4;
    std::uint32_t value = lead & (0x7Fu >> length);
    int k = 1;
    for (; k < length; ++k) {
      if (i + k == n) {  // cut by the end: left for the caller
        count = stored;
        return i;
      }
      const unsigned char b = p[i + k];
      if (!is_continuation(b)) break;
      value = value << 6 | (b & 0x3Fu);
    }
    if (k < length) {
      // Broken by a byte that is not a continuation byte: the bytes before it
      // are one bad sequence, and decoding goes on at that byte.
      units[stored++] = replacement;
      i += k;
    } else if (is_acceptable(value, length)) {
      units[stored++] = static_cast<wchar_t>(value);
      i += length;
    } else {
      // Overlong, surrogate or above 0x10FFFF: only the lead byte goes; each
      // continuation byte then makes a U+FFFD of its own.
      units[stored++] = replacement;
      ++i;
    }
  }
  count = stored;
  return i;
}

}  // namespace

// ---- output ---------------------------------------------------------------

console_output_buffer_base::console_output_buffer_base() { setp(bytes_, bytes_ + chunk_limit); }

console_output_buffer_base::~console_output_buffer_base() = default;

int console_output_buffer_base::write(const char* p, int n) {
  if (n < 0 || n > chunk_limit) return -1;
  int count = 0;
  const int consumed = decode(reinterpret_cast<const unsigned char*>(p), n, units_, count);
  std::uint64_t written = 0;
  if (!device_write(units_, static_cast<std::uint64_t>(count), written)) return -1;
  return consumed;
}

console_output_buffer_base::int_type console_output_buffer_base::overflow(int_type c) {
  const int n = static_cast<int>(pptr() - pbase());
  int remaining = 0;
  if (n > 0) {
    const int r = write(pbase(), n);
    if (r == -1) return traits_type::eof();
    remaining = n - r;
    std::memmove(bytes_, pbase() + r, static_cast<std::size_t>(remaining));
  }
  setp(bytes_, bytes_ + chunk_limit);
  pbump(remaining);
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return 0;
}

int console_output_buffer_base::sync() {
  return traits_type::eq_int_type(this->overflow(traits_type::eof()), traits_type::eof()) ? -1
                                                                                          : 0;
}

// ---- input ----------------------------------------------------------------

console_input_buffer_base::console_input_buffer_base() = default;

console_input_buffer_base::~console_input_buffer_base() = default;

std::uint64_t console_input_buffer_base::read() {
  constexpr std::uint64_t capacity = sizeof units_ / sizeof units_[0];
  const std::uint64_t room = capacity - carried_;
  std::uint64_t delivered = 0;
  if (!device_read(units_ + carried_, room, delivered)) return 0;
  if (delivered > room) delivered = room;  // a device cannot deliver more than it was offered

  const std::uint64_t total = carried_ + delivered;
  char* out = bytes_;
  for (std::uint64_t i = 0; i < total; ++i) {
    const std::uint32_t u = utf::detail::unit_value(units_[i]);
    if (u == 13) continue;  // carriage returns are dropped
    out = utf::detail::encode_unit(u, out);
  }
  carried_ = 0;

  const auto produced = static_cast<std::uint64_t>(out - bytes_);
  if (line_start_ && produced > 0 && bytes_[0] == '\x1A') {
    this->sync();  // Ctrl-Z at the start of a line: end of input
    return 0;
  }
  line_start_ = produced == 0 || bytes_[produced - 1] == '\n';
  return produced;
}

console_input_buffer_base::int_type console_input_buffer_base::underflow() {
  // The device is asked first: if it throws, the get area (the push-back
  // store, perhaps) is still whole and the reader can unget over it. Only a
  // completed read replaces it.
  const std::uint64_t n = read();
  pushback_.clear();
  setg(bytes_, bytes_, bytes_ + n);
  return n > 0 ? traits_type::to_int_type(bytes_[0]) : traits_type::eof();
}

console_input_buffer_base::int_type console_input_buffer_base::pbackfail(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
  const char byte = traits_type::to_char_type(c);
  if (gptr() > eback()) {
    gbump(-1);
    *gptr() = byte;
    return 0;
  }
  if (!pushback_.empty()) {
    // The store is the get area and nothing of it is consumed: c goes first.
    pushback_.insert(pushback_.begin(), byte);
  } else {
    // The get area is the byte buffer (or nothing): the store takes c and
    // then the byte buffer's unread bytes, so none of them is lost.
    const auto unread = static_cast<std::size_t>(egptr() - gptr());
    pushback_.reserve(1 + unread);  // the only step that can throw
    pushback_.push_back(byte);
    pushback_.insert(pushback_.end(), gptr(), egptr());
  }
  setg(pushback_.data(), pushback_.data(), pushback_.data() + pushback_.size());
  return 0;
}

int console_input_buffer_base::sync() {
  line_start_ = true;
  carried_ = 0;
  pushback_.clear();
  setg(nullptr, nullptr, nullptr);
  return 0;
}

}  // namespace tovric::velarn::detail
