#include "tovric/context/stack_pool.hpp"

int main() {
  tovric::context::stack_pool pool(10000, 1);
  pool.give_back(pool.take());
  const tovric::context::protected_stack stack = pool.take();
  return stack.size() == pool.stack_size() && stack.size() >= 10000 && pool.idle() == 0 ? 0 : 1;
}
