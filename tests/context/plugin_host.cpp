// Switches made from a -fvisibility=hidden shared library that this program
// links (no argument) or from a module that it loads with dlopen (the
// module's path as argument), interleaved with its own: a context of the
// plugin driven from here, a context of this program driven by the plugin,
// and a plugin context driven from a context of this program, with
// exceptions thrown on every stack and a context moving to another thread.
// Must end with status 0 and without a word from the sanitizer.
#include <dlfcn.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

#include "plugin.hpp"
#include "tovric/context/protected_stack.hpp"
#include "tovric/context/switching.hpp"

namespace ctx = tovric::context;

namespace {

using generator_fn = void (*)(ctx::fcontext_transfer);
using drive_fn = int (*)(ctx::fcontext_entry);

generator_fn generator = nullptr;
drive_fn drive_in_plugin = nullptr;

void throw_and_catch() {
  try {
    throw std::logic_error("host");
  } catch (const std::logic_error&) {
  }
}

// Drives `entry` from here, moving to another thread half way: the sum of
// what it yields.
int drive_here(ctx::fcontext_entry entry) {
  ctx::protected_stack stack(64 * 1024);
  ctx::fcontext_transfer t{ctx::make_fcontext(stack.top(), stack.size(), entry), nullptr};
  int sum = 0;
  auto steps = [&](int count) {
    for (int i = 0; i < count; ++i) {
      throw_and_catch();
      t = ctx::jump(t.from, nullptr);
      if (t.payload == nullptr) return;
      sum += *static_cast<int*>(t.payload);
    }
  };
  steps(2);
  std::thread([&] { steps(1 << 20); }).join();
  return sum;
}

// A context of this program: yields 7 twice, then what the plugin's
// generator summed up when the plugin drove it from here.
void host_generator(ctx::fcontext_transfer t) {
  for (int i = 0; i < 2; ++i) {
    throw_and_catch();
    int seven = 7;
    t = ctx::jump(t.from, &seven);
  }
  int nested = drive_in_plugin(generator);
  t = ctx::jump(t.from, &nested);
  ctx::leave(t.from, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      std::printf("dlopen: %s\n", dlerror());
      return 2;
    }
    generator = reinterpret_cast<generator_fn>(dlsym(module, "plugin_generator"));
    drive_in_plugin = reinterpret_cast<drive_fn>(dlsym(module, "plugin_drive"));
    if (generator == nullptr || drive_in_plugin == nullptr) return 2;
  } else {
    generator = &plugin_generator;
    drive_in_plugin = &plugin_drive;
  }
  bool ok = true;
  const int plugin_context = drive_here(generator);
  ok &= plugin_context == plugin_generator_sum;
  const int host_context = drive_in_plugin(&host_generator);
  ok &= host_context == 14 + plugin_generator_sum;
  const int nested = drive_here(&host_generator);
  ok &= nested == 14 + plugin_generator_sum;
  std::printf("plugin context %d, host context %d, nested %d: %s\n", plugin_context, host_context,
              nested, ok ? "as expected" : "wrong");
  return ok ? 0 : 1;
}
