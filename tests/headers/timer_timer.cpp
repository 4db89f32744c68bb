#include "tovric/timer/timer.hpp"

int main() {
  tovric::timer::cpu_timer t;
  t.stop();
  const tovric::timer::cpu_times half{500'000'000, 0, 0};
  return t.is_stopped() && tovric::timer::format(half, 1, "%ws") == "0.5s" ? 0 : 1;
}
