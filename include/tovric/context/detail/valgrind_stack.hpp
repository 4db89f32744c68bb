// Registration of a protected stack with valgrind, so that memcheck follows
// switches onto the stack and back without warnings. The requests are made
// by valgrind's client-request protocol directly: an instruction sequence
// that changes nothing on a real CPU (rdi rotated by 128 bits in all, rbx
// exchanged with itself) and that valgrind recognises, with the request's
// words in memory at rax and the answer in rdx. Not through valgrind's own
// header, whose presence would make the inline functions of protected_stack
// differ between files built on machines with and without it. Elsewhere
// than on x86-64 no request is made: there the suite runs under qemu-user,
// where valgrind does not run.
#ifndef TOVRIC_CONTEXT_DETAIL_VALGRIND_STACK_HPP
#define TOVRIC_CONTEXT_DETAIL_VALGRIND_STACK_HPP

namespace tovric::context::detail {

// Makes valgrind's request `code` with two arguments; returns its answer,
// or 0 when the program does not run under valgrind.
inline unsigned long valgrind_request(unsigned long code, unsigned long first,
                                      unsigned long second) noexcept {
  unsigned long answer = 0;
#if defined(__x86_64__)
  volatile unsigned long words[6] = {code, first, second, 0, 0, 0};
  __asm__ volatile(
      "rolq $3, %%rdi; rolq $13, %%rdi; rolq $61, %%rdi; rolq $51, %%rdi\n\t"
      "xchgq %%rbx, %%rbx"
      : "=d"(answer)
      : "a"(&words[0]), "0"(answer)
      : "cc", "memory");
#else
  static_cast<void>(code);
  static_cast<void>(first);
  static_cast<void>(second);
#endif
  return answer;
}

// The stack [bottom, top) is a stack; returns valgrind's id of it.
inline unsigned valgrind_register_stack(const void* bottom, const void* top) noexcept {
  constexpr unsigned long stack_register = 0x1501;
  return static_cast<unsigned>(valgrind_request(stack_register,
                                                reinterpret_cast<unsigned long>(bottom),
                                                reinterpret_cast<unsigned long>(top) - 1));
}

// The stack of that id is one no longer.
inline void valgrind_deregister_stack(unsigned id) noexcept {
  constexpr unsigned long stack_deregister = 0x1502;
  valgrind_request(stack_deregister, id, 0);
}

}  // namespace tovric::context::detail

#endif
