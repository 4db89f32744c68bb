// A console device for libtovric_velarn's output buffer: the wide units that
// the buffer decodes from UTF-8 are converted back with utf::convert_buffer
// and written to standard output with write(2). Used through an ordinary
// std::ostream, non-ASCII text comes out intact, and a UTF-8 sequence cut by
// a flush is completed by the output that follows it.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tovric/velarn/console_buffer.hpp"
#include "tovric/velarn/utf.hpp"

namespace {

class stdout_console : public tovric::velarn::detail::console_output_buffer_base {
 public:
  // The base cannot reach the device once this part is gone: flush here.
  ~stdout_console() override { sync(); }

  // How many units each device call carried.
  std::vector<std::uint64_t> calls;

 protected:
  bool device_write(const wchar_t* units, std::uint64_t count, std::uint64_t&) override {
    calls.push_back(count);
    // At most 1024 units of at most 4 bytes, and the terminator.
    char bytes[4 * 1024 + 1];
    if (tovric::velarn::utf::convert_buffer(bytes, sizeof bytes, units, units + count) == nullptr) {
      return false;
    }
    return write_all(bytes, std::char_traits<char>::length(bytes));
  }

 private:
  static bool write_all(const char* p, std::size_t n) {
    while (n > 0) {
      const ssize_t r = ::write(STDOUT_FILENO, p, n);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      n -= static_cast<std::size_t>(r);
    }
    return true;
  }
};

}  // namespace

int main() {
  stdout_console console;
  std::ostream out(&console);

  out << "Gr\xC3\xBC\xC3\x9F" "e, Stra\xC3\x9F" "e! "
      << "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 "
      << "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF \xF0\x9F\x98\x80\n"
      << std::flush;

  // The euro sign E2 82 AC, cut after its second byte by a flush: the device
  // gets the text before it, the two bytes wait in the buffer, and the third
  // byte completes them at the next flush.
  out << "price: 5 \xE2\x82" << std::flush;
  out << "\xAC\n" << std::flush;

  std::string summary = "device calls:";
  for (std::uint64_t n : console.calls) summary += " " + std::to_string(n);
  out << summary << " units\n" << std::flush;
  return out.good() ? 0 : 1;
}
