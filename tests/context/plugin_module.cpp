// A plugin that switches contexts, built with -fvisibility=hidden into a
// shared library that the host links, and into a module that the host loads
// with dlopen (RTLD_LOCAL): each has its own copies of the kit's inline
// functions. Its switches and the host's (plugin_host.cpp) interleave on the
// same contexts and threads.
#include <stdexcept>

#include "drive.hpp"
#include "plugin.hpp"
#include "tovric/context/switching.hpp"

namespace ctx = tovric::context;

namespace {

int checked(int i) {
  try {
    if (i % 2 == 0) throw std::runtime_error("even");
    return i;
  } catch (const std::runtime_error&) {
    return 10 * i;
  }
}

}  // namespace

// Yields checked(1) .. checked(5), then null, switching from the plugin.
PLUGIN_EXPORT void plugin_generator(ctx::fcontext_transfer t) {
  for (int i = 1; i <= 5; ++i) {
    int value = checked(i);
    t = ctx::jump(t.from, &value);
  }
  ctx::leave(t.from, nullptr);
}

// Drives `entry` on a stack of the plugin's own, switching from the plugin.
PLUGIN_EXPORT int plugin_drive(ctx::fcontext_entry entry) { return drive_to_the_end(entry); }
