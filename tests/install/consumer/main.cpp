// Uses each installed library once and says "consumer ok" if all answered.
#include <iostream>
#include <string>

#include "tovric/context/stack_traits.hpp"
#include "tovric/system/error_code.hpp"
#include "tovric/timer/timer.hpp"
#include "tovric/velarn/cstdlib.hpp"
#include "tovric/velarn/iostream.hpp"

int main() {
  tovric::timer::cpu_timer timer;
  timer.stop();
  const std::string text = tovric::timer::format(timer.elapsed(), 3, "%ws");
  tovric::velarn::dummy_exported_function();
  if (tovric::velarn::setenv("TOVRIC_CONSUMER", "ok", 1) != 0) return 1;
  if (text.empty() || text.back() != 's') return 1;
  if (tovric::context::stack_traits::default_size() != 131072) return 1;
  const tovric::system::error_code ec(2, tovric::system::generic_category());
  if (!ec.failed() || &static_cast<const std::error_category&>(ec.category()) != &std::generic_category())
    return 1;
  std::cout << "consumer ok: " << text << '\n';
  return 0;
}
