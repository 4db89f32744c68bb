// The console stream buffer bases: UTF-8 output decoded to wide units for a
// device, and wide units from a device encoded to UTF-8 input.
#include "tovric/velarn/console_buffer.hpp"

#include <cstring>

#include "tovric/velarn/detail/utf_encode.hpp"
#include "utf8_decode.hpp"

namespace tovric::velarn::detail {

// ---- output ---------------------------------------------------------------

console_output_buffer_base::console_output_buffer_base() {
  setp(byte_buffer, byte_buffer + chunk_bytes);
}

console_output_buffer_base::~console_output_buffer_base() = default;

int console_output_buffer_base::write(const char* p, int n) {
  if (n < 0 || n > chunk_bytes) return -1;
  int count = 0;
  const int consumed =
      decode_utf8(reinterpret_cast<const unsigned char*>(p), n, wide_buffer, count);
  std::uint64_t written = 0;
  if (!device_write(wide_buffer, static_cast<std::uint64_t>(count), written)) return -1;
  return consumed;
}

console_output_buffer_base::int_type console_output_buffer_base::overflow(int_type c) {
  const int n = static_cast<int>(pptr() - pbase());
  int remaining = 0;
  if (n > 0) {
    const int r = write(pbase(), n);
    if (r == -1) return traits_type::eof();
    remaining = n - r;
    // Only a cut sequence is carried, at most 3 bytes; most flushes have none.
    if (remaining > 0) std::memmove(byte_buffer, pbase() + r, static_cast<std::size_t>(remaining));
  }
  setp(byte_buffer, byte_buffer + chunk_bytes);
  pbump(remaining);
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return 0;
}

int console_output_buffer_base::sync() {
  return traits_type::eq_int_type(this->overflow(traits_type::eof()), traits_type::eof()) ? -1 : 0;
}

// ---- input ----------------------------------------------------------------

console_input_buffer_base::console_input_buffer_base() = default;

console_input_buffer_base::~console_input_buffer_base() = default;

std::uint64_t console_input_buffer_base::read() {
  const std::uint64_t room = read_units - carried_count;
  std::uint64_t delivered = 0;
  if (!device_read(wide_buffer + carried_count, room, delivered)) return 0;
  if (delivered > room) delivered = room;  // a device cannot deliver more than it was offered

  const std::uint64_t total = carried_count + delivered;
  char* out = byte_buffer;
  for (std::uint64_t i = 0; i < total; ++i) {
    const std::uint32_t u = utf::detail::unit_value(wide_buffer[i]);
    if (u == '\r') continue;  // carriage returns are dropped
    out = utf::detail::encode_unit(u, out);
  }
  carried_count = 0;

  const auto produced = static_cast<std::uint64_t>(out - byte_buffer);
  if (line_start && produced > 0 && byte_buffer[0] == '\x1A') {
    this->sync();  // Ctrl-Z at the start of a line: end of input
    return 0;
  }
  line_start = produced == 0 || byte_buffer[produced - 1] == '\n';
  return produced;
}

console_input_buffer_base::int_type console_input_buffer_base::underflow() {
  // The device is asked first: if it throws, the get area (the push-back
  // store, perhaps) is still whole and the reader can unget over it. Only a
  // completed read replaces it.
  const std::uint64_t n = read();
  pushback_store.clear();
  setg(byte_buffer, byte_buffer, byte_buffer + n);
  return n > 0 ? traits_type::to_int_type(byte_buffer[0]) : traits_type::eof();
}

console_input_buffer_base::int_type console_input_buffer_base::pbackfail(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
  const char byte = traits_type::to_char_type(c);
  if (gptr() > eback()) {
    gbump(-1);
    *gptr() = byte;
    return 0;
  }
  if (!pushback_store.empty()) {
    // The store is the get area and nothing of it is consumed: c goes first.
    pushback_store.insert(pushback_store.begin(), byte);
  } else {
    // The get area is the byte buffer (or nothing): the store takes c and
    // then the byte buffer's unread bytes, so none of them is lost.
    const auto unread = static_cast<std::size_t>(egptr() - gptr());
    pushback_store.reserve(1 + unread);  // the only step that can throw
    pushback_store.push_back(byte);
    pushback_store.insert(pushback_store.end(), gptr(), egptr());
  }
  setg(pushback_store.data(), pushback_store.data(), pushback_store.data() + pushback_store.size());
  return 0;
}

int console_input_buffer_base::sync() {
  line_start = true;
  carried_count = 0;
  pushback_store.clear();
  setg(nullptr, nullptr, nullptr);
  return 0;
}

}  // namespace tovric::velarn::detail
