#include "tovric/context/stack_traits.hpp"

int main() {
  using tovric::context::stack_traits;
  return stack_traits::page_size() > 0 && stack_traits::minimum_size() == 2048 ? 0 : 1;
}
