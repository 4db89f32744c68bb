#include "tovric/context/protected_stack.hpp"

int main() {
  const tovric::context::protected_stack stack(10000);
  return stack.size() >= 10000 && stack.top() != nullptr ? 0 : 1;
}
