/* ontop_fcontext(to, payload, fn): suspend the running context, then call
   fn({from, payload}) on top of `to`, with the resume address of `to` as
   fn's return address in x30; `to` goes on with fn's result.  */

#include "tovric/context/detail/frame_layout_aarch64.h"

	.text
	.globl	ontop_fcontext
	.type	ontop_fcontext, %function
	.p2align	4
ontop_fcontext:
	sub	sp, sp, #TOVRIC_CONTEXT_FRAME_SIZE	/* room for the frame */
	SAVE_FRAME			/* x30, the return address, is the resume address */
	mov	x9, sp			/* handle of the suspended context */

	mov	sp, x0			/* onto the target's frame */
	RESTORE_FRAME			/* x30: the target's resume address */
	add	sp, sp, #TOVRIC_CONTEXT_FRAME_SIZE	/* release the whole frame */

	mov	x0, x9			/* fn's argument: {from, payload}; x1 is the payload already */
	br	x2			/* fn returns into the target */
	.size	ontop_fcontext, .-ontop_fcontext

	.section .note.GNU-stack, "", %progbits
