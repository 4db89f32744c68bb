// A program's own error category, used through tovric::system and through
// the standard library's std::error_code.
#include <cerrno>
#include <iostream>
#include <string>
#include <system_error>

#include "tovric/system/error_code.hpp"

namespace {

// Errors of a small parser. Its values stand for generic conditions where one fits.
class parse_category final : public tovric::system::error_category {
 public:
  const char* name() const noexcept override { return "parse"; }
  std::string message(int ev) const override {
    return ev == 1 ? "unexpected end of input" : "unknown parse error";
  }
  tovric::system::error_condition default_error_condition(int ev) const noexcept override {
    if (ev == 1) return tovric::system::error_condition(EINVAL, tovric::system::generic_category());
    return error_category::default_error_condition(ev);
  }
};

const parse_category parse_errors;

}  // namespace

int main() {
  using namespace tovric::system;
  const error_code code(1, parse_errors);
  std::cout << code.category().name() << ' ' << code.value() << ": "
            << code.category().message(code.value()) << '\n';

  // The same error as a standard code, through the category's adapter.
  const std::error_code standard(1, parse_errors);
  std::cout << "std: " << standard.message()
            << ", is invalid_argument: " << (standard == std::errc::invalid_argument) << '\n';

  // The family's system category and errno values.
  char buffer[64];
  std::cout << "system " << ENOENT << ": " << system_category().message(ENOENT, buffer, sizeof buffer)
            << '\n';
  return standard == std::errc::invalid_argument ? 0 : 1;
}
