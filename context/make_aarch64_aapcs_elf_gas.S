/* make_fcontext(top, size, entry): prepare a context on caller memory:
   a frame just below the top rounded down to 16, whose first resumption
   enters trampoline.  */

#include "tovric/context/detail/frame_layout_aarch64.h"

	.text
	.globl	make_fcontext
	.type	make_fcontext, %function
	.p2align	4
make_fcontext:
	and	x0, x0, #~15		/* round down to 16: T */
	sub	x0, x0, #TOVRIC_CONTEXT_FRAME_SIZE	/* frame and handle: T - 176 */
	str	x2, [x0, #TOVRIC_CONTEXT_FRAME_X19]	/* entry function, restored into x19 */
	mrs	x9, fpcr
	str	x9, [x0, #TOVRIC_CONTEXT_FRAME_FPCR]	/* caller's FPCR */
	adr	x9, trampoline
	str	x9, [x0, #TOVRIC_CONTEXT_FRAME_RESUME]	/* first resumption goes to trampoline */
	ret
	.size	make_fcontext, .-make_fcontext

/* First resumption: sp = T, x19 = entry, x0:x1 the pair the switch
   returned (the on-top result after ontop_fcontext), which are the entry
   function's argument as they stand.  */
	.type	trampoline, %function
	.p2align	4
trampoline:
	mov	x29, xzr		/* no caller frame: frame-pointer walks end here */
	adr	x30, finish		/* entry returns into finish */
	br	x19			/* start the entry function */
	.size	trampoline, .-trampoline

/* An entry function returned: sp = T.  _exit is called through its GOT
   slot, which the loader fills at load time: a lazily bound PLT call would
   run the resolver, and its save of the vector registers, on this stack.  */
	.type	finish, %function
	.p2align	4
finish:
	mov	w0, #0			/* status 0 */
	adrp	x16, :got:_exit
	ldr	x16, [x16, #:got_lo12:_exit]	/* _exit from its GOT slot */
	blr	x16			/* no exit handlers, no flush */
	brk	#0			/* not reached */
	.size	finish, .-finish

	.section .note.GNU-stack, "", %progbits
