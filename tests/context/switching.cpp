#include "switching.hpp"

#if TOVRIC_TEST_ANNOTATE_SWITCHES
#include <cstdint>
#include <map>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif
#endif

namespace context_test {

#if !TOVRIC_TEST_ANNOTATE_SWITCHES

test_stack::test_stack(std::size_t size) : memory(new unsigned char[size]), bytes(size) {}
test_stack::~test_stack() = default;

#else

namespace {

// What the sanitizers need to know of one flow of control: the bounds of its
// stack (learnt from ASan for a thread's own stack), ASan's fake-stack handle
// while it is switched away, and its TSan fiber.
struct flow {
  const void* bottom = nullptr;
  std::size_t size = 0;
  void* fake_stack = nullptr;
  void* fiber = nullptr;
};

std::mutex registry_mutex;
std::map<std::uintptr_t, flow> flows_by_top;

// A context may go on on another thread than the one it left, so thread-local
// records are looked up afresh after every switch, never cached by the caller.
__attribute__((noipa)) flow& thread_flow() {
  thread_local flow own;
  return own;
}
__attribute__((noipa)) flow*& switching_from() {
  thread_local flow* from = nullptr;
  return from;
}

flow& flow_at(const void* address) {
  const auto a = reinterpret_cast<std::uintptr_t>(address);
  std::lock_guard lock(registry_mutex);
  auto it = flows_by_top.upper_bound(a);
  if (it != flows_by_top.end() && a >= reinterpret_cast<std::uintptr_t>(it->second.bottom)) {
    return it->second;
  }
  return thread_flow();
}

void before_switch(flow& self, const flow& to) {
  switching_from() = &self;
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_start_switch_fiber(&self.fake_stack, to.bottom, to.size);
#endif
#if defined(__SANITIZE_THREAD__)
  if (self.fiber == nullptr) self.fiber = __tsan_get_current_fiber();
  __tsan_switch_to_fiber(to.fiber, 0);
#endif
}

void after_switch(flow& self) {
#if defined(__SANITIZE_ADDRESS__)
  flow* from = switching_from();
  const void* bottom = nullptr;
  std::size_t size = 0;
  __sanitizer_finish_switch_fiber(self.fake_stack, &bottom, &size);
  if (from != nullptr) {
    from->bottom = bottom;
    from->size = size;
  }
#else
  static_cast<void>(self);
#endif
}

}  // namespace

test_stack::test_stack(std::size_t size) : memory(new unsigned char[size]), bytes(size) {
  flow f;
  f.bottom = bottom();
  f.size = bytes;
#if defined(__SANITIZE_THREAD__)
  f.fiber = __tsan_create_fiber(0);
#endif
  std::lock_guard lock(registry_mutex);
  flows_by_top[reinterpret_cast<std::uintptr_t>(top())] = f;
}

test_stack::~test_stack() {
  std::lock_guard lock(registry_mutex);
  auto it = flows_by_top.find(reinterpret_cast<std::uintptr_t>(top()));
#if defined(__SANITIZE_THREAD__)
  __tsan_destroy_fiber(it->second.fiber);
#endif
  flows_by_top.erase(it);
}

fcontext_transfer jump(fcontext_handle to, void* payload) {
  flow& self = flow_at(__builtin_frame_address(0));
  before_switch(self, flow_at(to));
  fcontext_transfer t;
  try {
    t = tovric::context::jump_fcontext(to, payload);
  } catch (...) {  // thrown by an on-top function run on this context
    after_switch(self);
    throw;
  }
  after_switch(self);
  return t;
}

fcontext_transfer ontop(fcontext_handle to, void* payload, fcontext_ontop fn) {
  flow& self = flow_at(__builtin_frame_address(0));
  before_switch(self, flow_at(to));
  fcontext_transfer t;
  try {
    t = tovric::context::ontop_fcontext(to, payload, fn);
  } catch (...) {
    after_switch(self);
    throw;
  }
  after_switch(self);
  return t;
}

void entered() noexcept { after_switch(flow_at(__builtin_frame_address(0))); }

#endif

}  // namespace context_test
