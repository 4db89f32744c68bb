/* jump_fcontext(to, payload): suspend the running context, resume `to`.
   Returns {from, payload} in rax:rdx, which a suspended target receives as
   its pending switch's result and trampoline hands to a new context's entry
   function.  rdi holds `from` too.  */

#include "tovric/context/detail/frame_layout.h"

	.text
	.globl	jump_fcontext
	.type	jump_fcontext, @function
	.align	16
jump_fcontext:
	leaq	-TOVRIC_CONTEXT_FRAME_RESUME(%rsp), %rsp	/* frame ends at the return address */
	SAVE_FRAME
	movq	%rsp, %rax		/* handle of the suspended context */

	movq	%rdi, %rsp		/* onto the target's frame */
	movq	TOVRIC_CONTEXT_FRAME_RESUME(%rsp), %r8	/* target's resume address */
	RESTORE_FRAME
	leaq	TOVRIC_CONTEXT_FRAME_SIZE(%rsp), %rsp	/* release the whole frame */

	movq	%rsi, %rdx		/* result: payload */
	movq	%rax, %rdi		/* from, in rdi too */
	jmp	*%r8			/* resume the target */
	.size	jump_fcontext, .-jump_fcontext

	.section .note.GNU-stack, "", @progbits
