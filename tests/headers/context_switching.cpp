#include "tovric/context/switching.hpp"

namespace {

alignas(16) unsigned char stack[16384];

void echo(tovric::context::fcontext_transfer t) {
  tovric::context::entered(t);
  for (;;) t = tovric::context::jump(t.from, t.payload);
}

}  // namespace

int main() {
  int value = 7;
  const auto h = tovric::context::make_fcontext(stack + sizeof stack, sizeof stack, &echo);
  const auto t = tovric::context::jump(h, &value);
  return t.payload == &value ? 0 : 1;
}
