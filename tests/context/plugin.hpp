// The plugin of plugin_module.cpp, as its host sees it.
#ifndef TOVRIC_TESTS_CONTEXT_PLUGIN_HPP
#define TOVRIC_TESTS_CONTEXT_PLUGIN_HPP

#include "tovric/context/fcontext.hpp"

#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

PLUGIN_EXPORT void plugin_generator(tovric::context::fcontext_transfer t);
PLUGIN_EXPORT int plugin_drive(tovric::context::fcontext_entry entry);

// checked(1) + ... + checked(5), as the plugin's generator yields them.
inline constexpr int plugin_generator_sum = 1 + 20 + 3 + 40 + 5;

#endif
