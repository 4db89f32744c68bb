/* ontop_fcontext(to, payload, fn): suspend the running context, then call
   fn({from, payload}) on top of `to`, whose resume address stays on its
   stack as fn's return address; `to` goes on with fn's result.  */

	.text
	.globl	ontop_fcontext
	.type	ontop_fcontext, @function
	.align	16
ontop_fcontext:
	movq	%rdx, %r8		/* on-top function; rdx is reused */
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
	ldmxcsr	(%rsp)			/* restore MXCSR */
	fldcw	0x4(%rsp)		/* restore x87 control word */
	movq	0x8(%rsp), %r12		/* restore callee-saved registers */
	movq	0x10(%rsp), %r13
	movq	0x18(%rsp), %r14
	movq	0x20(%rsp), %r15
	movq	0x28(%rsp), %rbx
	movq	0x30(%rsp), %rbp
	leaq	0x38(%rsp), %rsp	/* keep the resume address on top */

	movq	%rsi, %rdx		/* payload */
	movq	%rax, %rdi		/* fn's argument: {from, payload} */
	jmp	*%r8			/* fn returns into the target */
	.size	ontop_fcontext, .-ontop_fcontext

	.section .note.GNU-stack, "", @progbits
