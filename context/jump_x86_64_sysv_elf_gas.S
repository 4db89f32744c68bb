/* jump_fcontext(to, payload): suspend the running context, resume `to`.
   Returns {from, payload} in rax:rdx and leaves it in rdi:rsi too, for a
   context that starts in trampoline.  */

	.text
	.globl	jump_fcontext
	.type	jump_fcontext, @function
	.align	16
jump_fcontext:
	leaq	-0x38(%rsp), %rsp	/* frame ends at the return address */
	stmxcsr	(%rsp)			/* save MXCSR */
	fnstcw	0x4(%rsp)		/* save x87 control word */
	movq	%r12, 0x8(%rsp)		/* save callee-saved registers */
	movq	%r13, 0x10(%rsp)
	movq	%r14, 0x18(%rsp)
	movq	%r15, 0x20(%rsp)
	movq	%rbx, 0x28(%rsp)
	movq	%rbp, 0x30(%rsp)
	movq	%rsp, %rax		/* handle of the suspended context */

	movq	%rdi, %rsp		/* onto the target's frame */
	movq	0x38(%rsp), %r8		/* target's resume address */
	ldmxcsr	(%rsp)			/* restore MXCSR */
	fldcw	0x4(%rsp)		/* restore x87 control word */
	movq	0x8(%rsp), %r12		/* restore callee-saved registers */
	movq	0x10(%rsp), %r13
	movq	0x18(%rsp), %r14
	movq	0x20(%rsp), %r15
	movq	0x28(%rsp), %rbx
	movq	0x30(%rsp), %rbp
	leaq	0x40(%rsp), %rsp	/* release the whole frame */

	movq	%rsi, %rdx		/* result: payload */
	movq	%rax, %rdi		/* entry argument: from */
	jmp	*%r8			/* resume the target */
	.size	jump_fcontext, .-jump_fcontext

	.section .note.GNU-stack, "", @progbits
