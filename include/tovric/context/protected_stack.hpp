// tovric::context::protected_stack: memory for the stack of one context,
// with an inaccessible guard page below it, so that an overflow faults
// instead of overwriting whatever lies below.
#ifndef TOVRIC_CONTEXT_PROTECTED_STACK_HPP
#define TOVRIC_CONTEXT_PROTECTED_STACK_HPP

#include "tovric/detail/language.hpp"

#include <sys/mman.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "tovric/context/detail/stack_record.hpp"
#include "tovric/context/detail/valgrind_stack.hpp"
#include "tovric/context/fcontext.hpp"
#include "tovric/context/stack_traits.hpp"

namespace tovric::context {

// Owns one context stack: size() bytes ending at top(), at least the size
// asked for, with one page below them that can be neither read nor written.
// Pass top() and size() to make_fcontext. Both come from one private
// anonymous mapping that the destructor unmaps; the owner must not destroy
// the stack while a context on it may still be resumed. Movable (the memory
// stays where it is; the moved-from object owns nothing and has a null top()
// and size() 0), not copyable.
//
// The layout is the same in every build and every file, whatever its flags:
// the mapping is whole pages, the guard page, then the stack, then a 64-byte
// record of the stack just above top(), which the switch wrappers of
// switching.hpp read in a process that runs with AddressSanitizer or
// ThreadSanitizer (detail/stack_record.hpp). Under valgrind (on x86-64) the
// stack is registered as a stack for its lifetime; valgrind then follows
// switches onto it and back without warnings.
//
// The guard page stops only frames smaller than a page: a function whose
// frame (its locals, a large array, an alloca) is larger than a page may
// step over the guard and write into whatever mapping lies below, unless it
// is built with -fstack-clash-protection, which makes it touch each page of
// a large frame in turn. Build code that runs on these stacks with that flag
// (g++ and clang++ both have it) where large frames are possible.
class protected_stack {
 public:
  // Maps max(size, stack_traits::minimum_size()) bytes and the record's 64,
  // rounded up to whole pages, and the guard page. Throws std::system_error carrying the errno of
  // the failed mmap or mprotect, in the generic category (ENOMEM for a size
  // that cannot be mapped, and for one so large that rounding it up
  // overflows); nothing stays mapped then. A system_error rather than
  // bad_alloc, because the errno tells which limit was hit: memory, address
  // space or the number of mappings (each stack takes two).
  explicit protected_stack(std::size_t size = stack_traits::default_size());
  ~protected_stack();

  protected_stack(protected_stack&& other) noexcept;
  protected_stack& operator=(protected_stack&& other) noexcept;
  protected_stack(const protected_stack&) = delete;
  protected_stack& operator=(const protected_stack&) = delete;

  // The high end of the stack, a multiple of 16; the first byte past it is
  // not part of the stack.
  void* top() const noexcept { return stack_top; }
  // Bytes of stack below top(): whole pages less the 64 bytes of the record.
  std::size_t size() const noexcept { return stack_size; }

  // make_fcontext(top(), size(), entry), with the new context named for the
  // switch wrappers as a fresh stack's first context is: the way to start
  // another context on a stack on which one has run (a used stack's first
  // bytes below the top hold that context's frames, so make_fcontext alone
  // leaves the new frame unknown to the wrappers in a process with a
  // sanitizer). No context on the stack may be resumed afterwards.
  fcontext_handle prepare(fcontext_entry entry) noexcept;

  // The same, but the new context's stack ends `reserved` bytes (rounded up
  // to a multiple of 16) below top(): those bytes are left to the caller,
  // for data that lives as long as the context (a fiber keeps its function
  // object and its bookkeeping there), and are made addressable again where
  // AddressSanitizer left marks of earlier frames on them. `reserved` must be
  // less than size(); the context then has size() less that many bytes.
  fcontext_handle prepare(fcontext_entry entry, std::size_t reserved) noexcept;

  // The size() of a stack constructed with `requested`; 0 for a request so
  // large that the constructor fails with ENOMEM for it.
  static std::size_t size_for(std::size_t requested) noexcept;

 private:
  void release() noexcept;

  void* mapping = nullptr;  // the guard page, then the stack
  std::size_t mapping_length = 0;
  void* stack_top = nullptr;
  std::size_t stack_size = 0;
  unsigned valgrind_id = 0;
};

// ---------------------------------------------------------------------------
// Implementation

namespace detail {

// Without exceptions (-fno-exceptions) the failure ends the process with a
// message, as the standard library's own throws do then.
[[noreturn]] inline void throw_mapping_error(int error, const char* call) {
#if defined(__cpp_exceptions)
  throw std::system_error(error, std::generic_category(),
                          std::string("tovric::context::protected_stack: ") + call);
#else
  std::fprintf(stderr, "tovric::context::protected_stack: %s: %s\n", call, std::strerror(error));
  std::abort();
#endif
}

}  // namespace detail

// One mapping, readable and writable, then the guard carved out of its low
// end. The commit charge is taken once, for the whole mapping, so running
// out of memory shows as mmap's ENOMEM here and not as a fault deep inside
// some context later: hence no MAP_NORESERVE, which would also let a
// heuristic overcommit accept any absurd size. MAP_STACK says what the memory
// is for (and keeps transparent huge pages off it on recent kernels); no
// MAP_GROWSDOWN: the stack has a fixed size and must fault at its guard, not
// grow into it.
inline std::size_t protected_stack::size_for(std::size_t requested) noexcept {
  const std::size_t page = stack_traits::page_size();
  const std::size_t wanted = requested < stack_traits::minimum_size() ? stack_traits::minimum_size()
                                                                       : requested;
  if (wanted > SIZE_MAX - detail::stack_record_slot - 2 * page) return 0;
  return (wanted + detail::stack_record_slot + page - 1) / page * page - detail::stack_record_slot;
}

inline protected_stack::protected_stack(std::size_t size) {
  const std::size_t page = stack_traits::page_size();
  const std::size_t stack_bytes = size_for(size);
  if (stack_bytes == 0) detail::throw_mapping_error(ENOMEM, "size too large");
  const std::size_t usable = stack_bytes + detail::stack_record_slot;
  const std::size_t length = usable + page;

  void* region = ::mmap(nullptr, length, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (region == MAP_FAILED) detail::throw_mapping_error(errno, "mmap");
  if (::mprotect(region, page, PROT_NONE) != 0) {
    const int error = errno;
    ::munmap(region, length);
    detail::throw_mapping_error(error, "mprotect");
  }

  auto* bottom = static_cast<unsigned char*>(region) + page;
  mapping = region;
  mapping_length = length;
  stack_size = usable - detail::stack_record_slot;
  stack_top = bottom + stack_size;
  valgrind_id = detail::valgrind_register_stack(bottom, bottom + stack_size);
  detail::open_stack_record(stack_top, bottom, stack_size);
}

inline fcontext_handle protected_stack::prepare(fcontext_entry entry) noexcept {
  return prepare(entry, 0);
}

inline fcontext_handle protected_stack::prepare(fcontext_entry entry,
                                                std::size_t reserved) noexcept {
  reserved = (reserved + 15) / 16 * 16;
  auto* const top = static_cast<unsigned char*>(stack_top) - reserved;
  if (reserved != 0 && detail::asan_runs()) __asan_unpoison_memory_region(top, reserved);
  const fcontext_handle context = make_fcontext(top, stack_size - reserved, entry);
  detail::name_record(context, static_cast<detail::switch_record*>(stack_top));
  return context;
}

inline protected_stack::~protected_stack() { release(); }

inline protected_stack::protected_stack(protected_stack&& other) noexcept
    : mapping(std::exchange(other.mapping, nullptr)),
      mapping_length(std::exchange(other.mapping_length, 0)),
      stack_top(std::exchange(other.stack_top, nullptr)),
      stack_size(std::exchange(other.stack_size, 0)),
      valgrind_id(std::exchange(other.valgrind_id, 0)) {}

inline protected_stack& protected_stack::operator=(protected_stack&& other) noexcept {
  if (this != &other) {
    release();
    mapping = std::exchange(other.mapping, nullptr);
    mapping_length = std::exchange(other.mapping_length, 0);
    stack_top = std::exchange(other.stack_top, nullptr);
    stack_size = std::exchange(other.stack_size, 0);
    valgrind_id = std::exchange(other.valgrind_id, 0);
  }
  return *this;
}

inline void protected_stack::release() noexcept {
  if (mapping == nullptr) return;
  detail::valgrind_deregister_stack(valgrind_id);
  detail::close_stack_record(stack_top);
  ::munmap(mapping, mapping_length);
  mapping = nullptr;
}

}  // namespace tovric::context

#endif
