/* ontop_fcontext(to, payload, fn): suspend the running context, then call
   fn({from, payload}) on top of `to`, whose resume address stays on its
   stack as fn's return address; `to` goes on with fn's result.  */

#include "tovric/context/detail/frame_layout.h"

	.text
	.globl	ontop_fcontext
	.type	ontop_fcontext, @function
	.align	16
ontop_fcontext:
	movq	%rdx, %r8		/* on-top function; rdx is reused */
	leaq	-TOVRIC_CONTEXT_FRAME_RESUME(%rsp), %rsp	/* frame ends at the return address */
	SAVE_FRAME
	movq	%rsp, %rax		/* handle of the suspended context */

	movq	%rdi, %rsp		/* onto the target's frame */
	RESTORE_FRAME
	leaq	TOVRIC_CONTEXT_FRAME_RESUME(%rsp), %rsp	/* keep the resume address on top */

	movq	%rsi, %rdx		/* payload */
	movq	%rax, %rdi		/* fn's argument: {from, payload} */
	jmp	*%r8			/* fn returns into the target */
	.size	ontop_fcontext, .-ontop_fcontext

	.section .note.GNU-stack, "", @progbits
