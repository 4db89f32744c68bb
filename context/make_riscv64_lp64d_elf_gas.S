/* make_fcontext(top, size, entry): prepare a context on caller memory:
   a frame just below the top rounded down to 16, whose first resumption
   enters trampoline.  */

#include "tovric/context/detail/frame_layout_riscv64.h"

	.text
	.globl	make_fcontext
	.type	make_fcontext, %function
	.p2align	2
make_fcontext:
	andi	a0, a0, -16		/* round down to 16: T */
	addi	a0, a0, -TOVRIC_CONTEXT_FRAME_SIZE	/* frame and handle: T - 208 */
	sd	a2, TOVRIC_CONTEXT_FRAME_S1(a0)	/* entry function, restored into s1 */
	frrm	t0
	sd	t0, TOVRIC_CONTEXT_FRAME_FRM(a0)	/* caller's rounding mode */
	lla	t0, trampoline
	sd	t0, TOVRIC_CONTEXT_FRAME_RESUME(a0)	/* first resumption goes to trampoline */
	ret
	.size	make_fcontext, .-make_fcontext

/* First resumption: sp = T, s1 = entry, a0:a1 the pair the switch returned
   (the on-top result after ontop_fcontext), which are the entry function's
   argument as they stand.  */
	.type	trampoline, %function
	.p2align	2
trampoline:
	mv	s0, zero		/* no caller frame: frame-pointer walks end here */
	lla	ra, finish		/* entry returns into finish */
	jr	s1			/* start the entry function */
	.size	trampoline, .-trampoline

/* An entry function returned: sp = T.  _exit is called through its GOT
   slot, which the loader fills at load time: a lazily bound PLT call would
   run the resolver on this stack.  */
	.type	finish, %function
	.p2align	2
finish:
	li	a0, 0			/* status 0 */
1:	auipc	t0, %got_pcrel_hi(_exit)
	ld	t0, %pcrel_lo(1b)(t0)	/* _exit from its GOT slot */
	jalr	t0			/* no exit handlers, no flush */
	unimp				/* not reached */
	.size	finish, .-finish

	.section .note.GNU-stack, "", %progbits
