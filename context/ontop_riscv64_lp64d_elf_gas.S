/* ontop_fcontext(to, payload, fn): suspend the running context, then call
   fn({from, payload}) on top of `to`, with the resume address of `to` as
   fn's return address in ra; `to` goes on with fn's result.  */

#include "tovric/context/detail/frame_layout_riscv64.h"

	.text
	.globl	ontop_fcontext
	.type	ontop_fcontext, %function
	.p2align	2
ontop_fcontext:
	addi	sp, sp, -TOVRIC_CONTEXT_FRAME_SIZE	/* room for the frame */
	SAVE_FRAME			/* ra, the return address, is the resume address */
	mv	t1, sp			/* handle of the suspended context */

	mv	sp, a0			/* onto the target's frame */
	RESTORE_FRAME			/* ra: the target's resume address */
	addi	sp, sp, TOVRIC_CONTEXT_FRAME_SIZE	/* release the whole frame */

	mv	a0, t1			/* fn's argument: {from, payload}; a1 is the payload already */
	jr	a2			/* fn returns into the target */
	.size	ontop_fcontext, .-ontop_fcontext

	.section .note.GNU-stack, "", %progbits
