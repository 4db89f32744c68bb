#include "tovric/system/error_code.hpp"

int main() {
  using namespace tovric::system;
  const error_code ec(2, system_category());
  const std::error_category& standard = interop_category();
  return ec.failed() && system_category().equivalent(2, error_condition(2, generic_category())) &&
                 standard.name() == interop_category().name()
             ? 0
             : 1;
}
