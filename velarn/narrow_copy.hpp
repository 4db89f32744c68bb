// narrow_copy: the UTF-8 form of a wide string, on the stack when it is short.
// Internal to the cstdio unit; a header of its own so that its size limits
// can be tested directly.
#ifndef TOVRIC_VELARN_NARROW_COPY_HPP
#define TOVRIC_VELARN_NARROW_COPY_HPP

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <new>

#include "tovric/velarn/utf.hpp"

namespace tovric::velarn::detail {

// Holds the UTF-8 conversion of a zero-terminated wide string: in the inline
// buffer of N bytes when the string has fewer than N units and its UTF-8
// fits there, else in a heap block of 4 x L + 1 bytes (L units) that it owns.
// The text is null when the string was null.
template <std::size_t N>
class narrow_copy {
 public:
  explicit narrow_copy(const wchar_t* s) : narrow_copy(s, s != nullptr ? std::wcslen(s) : 0) {}

  // The same for the `length` units at `s` (no terminator needed). Throws
  // std::bad_array_new_length, before allocating anything, when the heap
  // block's size would not fit in size_t, and std::bad_alloc when the block
  // cannot be had.
  narrow_copy(const wchar_t* s, std::size_t length) {
    if (s == nullptr) return;
    if (length < N && utf::convert_buffer(inline_buffer, N, s, s + length) != nullptr) {
      text = inline_buffer;
      return;
    }
    if (length > (SIZE_MAX - 1) / 4) throw std::bad_array_new_length();
    const std::size_t size = 4 * length + 1;
    text = new char[size];
    // Four bytes per unit always suffice, so this conversion always fits.
    utf::convert_buffer(text, size, s, s + length);
  }

  ~narrow_copy() {
    if (text != inline_buffer) delete[] text;
  }

  narrow_copy(const narrow_copy&) = delete;
  narrow_copy& operator=(const narrow_copy&) = delete;

  // The NUL-terminated UTF-8 text, or null for a null string.
  const char* c_str() const noexcept { return text; }
  // True when the text lives in a heap block.
  bool on_heap() const noexcept { return text != nullptr && text != inline_buffer; }

 private:
  char inline_buffer[N];
  char* text = nullptr;
};

}  // namespace tovric::velarn::detail

#endif
