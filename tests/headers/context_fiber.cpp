#include "tovric/context/fiber.hpp"

int main() {
  tovric::context::fiber<int> numbers([](tovric::context::fiber<int>::suspender& self) {
    self.suspend(1);
    self.suspend(2);
  });
  int sum = 0;
  while (const auto n = numbers.resume()) sum += *n;
  return sum == 3 && numbers.done() ? 0 : 1;
}
