// tovric::velarn console stream buffers: abstract bases that turn UTF-8
// written to a narrow stream into wide (UTF-32) units for a console device,
// and wide units read from a device into UTF-8 for a narrow input stream. A
// derived class supplies the device: device_write or device_read.
#ifndef TOVRIC_VELARN_CONSOLE_BUFFER_HPP
#define TOVRIC_VELARN_CONSOLE_BUFFER_HPP

#include "tovric/detail/language.hpp"

#include <cstdint>
#include <streambuf>
#include <vector>

#include "tovric/velarn/detail/config.hpp"

namespace tovric::velarn::detail {

// Output: the put area is a 1024-byte buffer. A flush (sync, or overflow when
// the buffer is full) decodes the pending bytes as UTF-8 and hands the units
// to device_write in one call. Malformed input becomes U+FFFD units, one per
// bad sequence or stray byte; a sequence cut by the end of the pending bytes
// stays in the buffer and is completed by the output that follows.
//
// The destructor hands nothing to the device: by the time it runs the derived
// part, and with it device_write, is gone. A derived class that must not
// lose pending output calls sync() in its own destructor.
//
// No operation allocates or takes a lock; one thread uses a buffer at a time.
class TOVRIC_VELARN_API console_output_buffer_base : public std::basic_streambuf<char> {
 public:
  // The put area is the whole byte buffer, empty.
  console_output_buffer_base();
  ~console_output_buffer_base() override;

  console_output_buffer_base(const console_output_buffer_base&) = delete;
  console_output_buffer_base& operator=(const console_output_buffer_base&) = delete;

  // The most bytes one flush decodes, the put area's size; one byte yields at
  // most one unit, so it is also the most units of one device_write call.
  static constexpr int chunk_bytes = 1024;

 protected:
  // Hands the pending bytes to the device (a trailing cut sequence stays),
  // then stores `c` unless it is end-of-file. Returns 0, or end-of-file when
  // the device failed: the put area is then unchanged and `c` not stored.
  int_type overflow(int_type c) override;
  // overflow(end-of-file) through the virtual call: 0, or -1 when the device
  // failed (the pending bytes stay and go with the next flush).
  int sync() override;

  // Decodes the n bytes at p and calls device_write once with the units,
  // even when there are none. Returns the bytes consumed (a sequence cut by
  // p + n is not), or -1 without calling the device when n is negative or
  // above chunk_bytes, or -1 when the device failed.
  int write(const char* p, int n);

  // Delivers `count` units to the device. `written` is 0 on entry and not
  // looked at afterwards: true means all units were taken.
  virtual bool device_write(const wchar_t* units, std::uint64_t count, std::uint64_t& written) = 0;

 private:
  char byte_buffer[chunk_bytes];
  wchar_t wide_buffer[chunk_bytes];
};

// Input: each device read (at most 1024 units) is encoded to UTF-8 into a
// 4096-byte buffer that becomes the get area. Carriage returns are dropped;
// a Ctrl-Z (0x1A) as the first byte of a read that begins a line ends the
// input (the whole read is dropped) and input may go on afterwards. Bytes
// put back before the start of the get area go to a push-back store, which
// then is the get area; a push-back at the start of the byte buffer keeps its
// unread bytes, delivering them after the pushed-back ones.
//
// A new buffer counts as being at the start of a line, as after sync(): the
// very first read is the beginning of the console's first line, so a Ctrl-Z
// typed there ends the input just as it would on any later line.
//
// The only allocation is the growth of the push-back store; one thread uses
// a buffer at a time.
class TOVRIC_VELARN_API console_input_buffer_base : public std::basic_streambuf<char> {
 public:
  // Empty get area, empty push-back store, at the start of a line.
  console_input_buffer_base();
  ~console_input_buffer_base() override;

  console_input_buffer_base(const console_input_buffer_base&) = delete;
  console_input_buffer_base& operator=(const console_input_buffer_base&) = delete;

  // The most units one device read may deliver, and the bytes that so many
  // units take in UTF-8 at most (four each).
  static constexpr std::uint64_t read_units = 1024;
  static constexpr std::uint64_t read_bytes = 4 * read_units;

 protected:
  // Empties the push-back store and makes the next read the get area.
  // Returns its first byte (0 to 255) or end-of-file when it produced none.
  int_type underflow() override;
  // Puts `c` back before the current position: over the byte before it, or
  // at the front of the push-back store. Returns 0, or end-of-file (nothing
  // changed) when `c` is end-of-file. Throws std::bad_alloc, changing
  // nothing, if the store cannot grow.
  int_type pbackfail(int_type c) override;
  // Discards all unread input and the push-back store; the next read begins
  // a line. Returns 0.
  int sync() override;

  // Reads once from the device and encodes the units into the byte buffer.
  // Returns the number of bytes produced; 0 for a failed read (nothing
  // changes), for a read that produced nothing, and for a Ctrl-Z ending the
  // input (after calling sync through the virtual call).
  std::uint64_t read();

  // Reads at most `max` units into `units` and sets `count` (0 on entry) to
  // the number delivered (a count above `max` is taken as `max`). Returns
  // false when the read failed.
  virtual bool device_read(wchar_t* units, std::uint64_t max, std::uint64_t& count) = 0;

 private:
  char byte_buffer[read_bytes];
  wchar_t wide_buffer[read_units];
  std::uint64_t carried_count = 0;
  std::vector<char> pushback_store;
  bool line_start = true;
};

}  // namespace tovric::velarn::detail

#endif
