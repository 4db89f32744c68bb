#include "tovric/velarn/console_buffer.hpp"

namespace {

struct counting_output : tovric::velarn::detail::console_output_buffer_base {
  std::uint64_t units = 0;
  bool device_write(const wchar_t*, std::uint64_t count, std::uint64_t&) override {
    units += count;
    return true;
  }
};

struct empty_input : tovric::velarn::detail::console_input_buffer_base {
  bool device_read(wchar_t*, std::uint64_t, std::uint64_t&) override { return false; }
};

}  // namespace

int main() {
  counting_output out;
  out.sputn("\xC3\xA9!", 3);
  out.pubsync();
  empty_input in;
  return out.units == 2 && in.sgetc() == std::char_traits<char>::eof() ? 0 : 1;
}
