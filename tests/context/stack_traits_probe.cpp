// Runs stack_traits in a fresh process and prints what it answers. Arguments,
// carried out in order:
//   limit SOFT HARD  setrlimit(RLIMIT_STACK, ...); "inf" is RLIM_INFINITY; if
//                    the limit does not change, says "ignored: ..." and stops
//   fail             from now on getrlimit fails without filling its record
//   report           prints "unbounded maximum page default minimum"
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tovric/context/stack_traits.hpp"

namespace {
bool getrlimit_fails = false;

rlim_t parse_limit(const char* text) {
  return std::strcmp(text, "inf") == 0 ? RLIM_INFINITY : std::strtoull(text, nullptr, 10);
}
}  // namespace

// Takes the place of the C library's getrlimit for the whole process (the
// library included; hence exported despite the hidden default); passes
// through to the kernel until "fail". A sanitizer runtime calls it while it
// starts, before its shadow memory exists, so it is not instrumented.
extern "C" __attribute__((visibility("default"), no_sanitize("address", "thread", "undefined"))) int
getrlimit(__rlimit_resource_t resource, rlimit* record) noexcept {
  if (getrlimit_fails) {
    errno = EPERM;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_prlimit64, 0, resource, nullptr, record));
}

int main(int argc, char** argv) {
  using tovric::context::stack_traits;
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    if (command == "limit" && i + 2 < argc) {
      const rlimit wanted{parse_limit(argv[i + 1]), parse_limit(argv[i + 2])};
      i += 2;
      if (::setrlimit(RLIMIT_STACK, &wanted) != 0) {
        std::printf("setrlimit failed: %s\n", std::strerror(errno));
        return 2;
      }
      rlimit now{};
      if (::syscall(SYS_prlimit64, 0, RLIMIT_STACK, nullptr, &now) == 0 &&
          (now.rlim_cur != wanted.rlim_cur || now.rlim_max != wanted.rlim_max)) {
        std::printf("ignored: setrlimit(RLIMIT_STACK) takes no effect in this process "
                    "(qemu-user keeps the stack limit to itself)\n");
        return 0;
      }
    } else if (command == "fail") {
      getrlimit_fails = true;
    } else if (command == "report") {
      std::printf("%d %zu %zu %zu %zu\n", stack_traits::is_unbounded() ? 1 : 0,
                  stack_traits::maximum_size(), stack_traits::page_size(),
                  stack_traits::default_size(), stack_traits::minimum_size());
    } else {
      std::printf("unknown command %s\n", argv[i]);
      return 2;
    }
  }
  return 0;
}
