/* jump_fcontext(to, payload): suspend the running context, resume `to`.
   Returns {from, payload} in x0:x1, which a suspended target receives as
   its pending switch's result and trampoline hands to a new context's entry
   function.  */

#include "tovric/context/detail/frame_layout_aarch64.h"

	.text
	.globl	jump_fcontext
	.type	jump_fcontext, %function
	.p2align	4
jump_fcontext:
	sub	sp, sp, #TOVRIC_CONTEXT_FRAME_SIZE	/* room for the frame */
	SAVE_FRAME			/* x30, the return address, is the resume address */
	mov	x9, sp			/* handle of the suspended context */

	mov	sp, x0			/* onto the target's frame */
	RESTORE_FRAME			/* x30: the target's resume address */
	add	sp, sp, #TOVRIC_CONTEXT_FRAME_SIZE	/* release the whole frame */

	mov	x0, x9			/* result: from; x1 is the payload already */
	ret				/* resume the target */
	.size	jump_fcontext, .-jump_fcontext

	.section .note.GNU-stack, "", %progbits
