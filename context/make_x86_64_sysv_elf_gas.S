/* make_fcontext(top, size, entry): prepare a context on caller memory:
   a frame just below the top rounded down to 16, whose first resumption
   enters trampoline.  */

#include "tovric/context/detail/frame_layout.h"

	.text
	.globl	make_fcontext
	.type	make_fcontext, @function
	.align	16
make_fcontext:
	movq	%rdi, %rax		/* stack top */
	andq	$-16, %rax		/* round down to 16: T */
	leaq	-TOVRIC_CONTEXT_FRAME_SIZE(%rax), %rax	/* frame and handle: T - 64 */
	movq	%rdx, TOVRIC_CONTEXT_FRAME_RBX(%rax)	/* entry function, restored into rbx */
	stmxcsr	TOVRIC_CONTEXT_FRAME_MXCSR(%rax)	/* caller's MXCSR */
	fnstcw	TOVRIC_CONTEXT_FRAME_X87_CW(%rax)	/* caller's x87 control word */
	leaq	trampoline(%rip), %rcx
	movq	%rcx, TOVRIC_CONTEXT_FRAME_RESUME(%rax)	/* first resumption goes to trampoline */
	leaq	finish(%rip), %rcx
	movq	%rcx, TOVRIC_CONTEXT_FRAME_RBP(%rax)	/* finish, restored into rbp */
	ret
	.size	make_fcontext, .-make_fcontext

/* First resumption: rsp = T, rbx = entry, rbp = finish, rax:rdx the pair
   the switch returned (the on-top result after ontop_fcontext).  */
	.type	trampoline, @function
	.align	16
trampoline:
	movq	%rax, %rdi		/* entry argument: from */
	movq	%rdx, %rsi		/* entry argument: payload */
	pushq	%rbp			/* entry returns into finish */
	jmp	*%rbx			/* start the entry function */
	.size	trampoline, .-trampoline

/* An entry function returned: rsp = T.  _exit is called through its GOT
   slot, which the loader fills at load time: a lazily bound PLT call would
   run the resolver, and its save of the vector registers, on this stack.  */
	.type	finish, @function
	.align	16
finish:
	xorl	%edi, %edi		/* status 0 */
	call	*_exit@GOTPCREL(%rip)	/* no exit handlers, no flush */
	hlt				/* not reached */
	.size	finish, .-finish

	.section .note.GNU-stack, "", @progbits
