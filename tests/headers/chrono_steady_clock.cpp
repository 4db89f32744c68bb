#include "tovric/chrono/steady_clock.hpp"

int main() {
  const auto a = tovric::chrono::steady_clock::now();
  return tovric::chrono::steady_clock::now() >= a ? 0 : 1;
}
