/* jump_fcontext(to, payload): suspend the running context, resume `to`.
   Returns {from, payload} in a0:a1, which a suspended target receives as
   its pending switch's result and trampoline hands to a new context's entry
   function.  */

#include "tovric/context/detail/frame_layout_riscv64.h"

	.text
	.globl	jump_fcontext
	.type	jump_fcontext, %function
	.p2align	2
jump_fcontext:
	addi	sp, sp, -TOVRIC_CONTEXT_FRAME_SIZE	/* room for the frame */
	SAVE_FRAME			/* ra, the return address, is the resume address */
	mv	t1, sp			/* handle of the suspended context */

	mv	sp, a0			/* onto the target's frame */
	RESTORE_FRAME			/* ra: the target's resume address */
	addi	sp, sp, TOVRIC_CONTEXT_FRAME_SIZE	/* release the whole frame */

	mv	a0, t1			/* result: from; a1 is the payload already */
	ret				/* resume the target */
	.size	jump_fcontext, .-jump_fcontext

	.section .note.GNU-stack, "", %progbits
