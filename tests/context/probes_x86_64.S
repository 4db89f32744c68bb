/* An entry function and an on-top function that record the machine state at
   their first instruction into probe_seen, then go on in C++ with their
   argument registers and stack untouched.  */

	.text
	.globl	probe_entry
	.type	probe_entry, @function
probe_entry:
	movq	%rsp, probe_seen(%rip)		/* stack pointer */
	movq	%rbx, probe_seen+8(%rip)	/* rbx */
	movq	%rbp, probe_seen+16(%rip)	/* rbp */
	movq	(%rsp), %rax
	movq	%rax, probe_seen+24(%rip)	/* return address */
	jmp	probe_entry_body@PLT
	.size	probe_entry, .-probe_entry

	.globl	probe_ontop
	.type	probe_ontop, @function
probe_ontop:
	movq	%rsp, probe_seen(%rip)		/* stack pointer */
	movq	(%rsp), %rax
	movq	%rax, probe_seen+24(%rip)	/* return address */
	jmp	probe_ontop_body@PLT
	.size	probe_ontop, .-probe_ontop

/* make_probe(top, size, entry, out, make): calls make(top, size, entry) with
   every other general register holding a known value, then stores all of
   them into out[16] in the order rax rbx rcx rdx rsi rdi rbp - r8 ... r15.  */
	.globl	make_probe
	.type	make_probe, @function
make_probe:
	pushq	%rbx			/* keep the caller's preserved registers */
	pushq	%rbp
	pushq	%r12
	pushq	%r13
	pushq	%r14
	pushq	%r15
	pushq	%rcx			/* out; also aligns the call */
	movq	%r8, %r11		/* the routine under test */
	movq	$0x0a0a, %rax		/* known values */
	movq	$0x0b0b, %rbx
	movq	$0x0c0c, %rcx
	movq	$0x0d0d, %rbp
	movq	$0x0808, %r8
	movq	$0x0909, %r9
	movq	$0x1010, %r10
	movq	$0x1212, %r12
	movq	$0x1313, %r13
	movq	$0x1414, %r14
	movq	$0x1515, %r15
	call	*%r11
	pushq	%rax			/* result */
	movq	8(%rsp), %rax		/* out */
	movq	%rbx, 8(%rax)		/* registers after the call */
	movq	%rcx, 16(%rax)
	movq	%rdx, 24(%rax)
	movq	%rsi, 32(%rax)
	movq	%rdi, 40(%rax)
	movq	%rbp, 48(%rax)
	movq	%r8, 64(%rax)
	movq	%r9, 72(%rax)
	movq	%r10, 80(%rax)
	movq	%r11, 88(%rax)
	movq	%r12, 96(%rax)
	movq	%r13, 104(%rax)
	movq	%r14, 112(%rax)
	movq	%r15, 120(%rax)
	popq	%rcx
	movq	%rcx, (%rax)		/* result as rax */
	popq	%rcx			/* out */
	popq	%r15			/* the caller's preserved registers */
	popq	%r14
	popq	%r13
	popq	%r12
	popq	%rbp
	popq	%rbx
	ret
	.size	make_probe, .-make_probe

/* switch_probe(to, payload, fn, out, routine): calls routine(to, payload, fn)
   with rbx rbp r12-r15 holding known values, then stores them into out[6].  */
	.globl	switch_probe
	.type	switch_probe, @function
switch_probe:
	pushq	%rbx			/* keep the caller's preserved registers */
	pushq	%rbp
	pushq	%r12
	pushq	%r13
	pushq	%r14
	pushq	%r15
	pushq	%rcx			/* out; also aligns the call */
	movq	$0x0b0b, %rbx		/* known values */
	movq	$0x0d0d, %rbp
	movq	$0x1212, %r12
	movq	$0x1313, %r13
	movq	$0x1414, %r14
	movq	$0x1515, %r15
	call	*%r8
	popq	%rcx			/* out */
	movq	%rbx, (%rcx)		/* preserved registers after the switch */
	movq	%rbp, 8(%rcx)
	movq	%r12, 16(%rcx)
	movq	%r13, 24(%rcx)
	movq	%r14, 32(%rcx)
	movq	%r15, 40(%rcx)
	popq	%r15			/* the caller's preserved registers */
	popq	%r14
	popq	%r13
	popq	%r12
	popq	%rbp
	popq	%rbx
	ret
	.size	switch_probe, .-switch_probe

/* clobbering_entry: an entry function that overwrites every preserved
   register, then switches back to where it came from for good.  */
	.globl	clobbering_entry
	.type	clobbering_entry, @function
clobbering_entry:
	movq	$-1, %rbx		/* overwrite preserved registers */
	movq	$-1, %rbp
	movq	$-1, %r12
	movq	$-1, %r13
	movq	$-1, %r14
	movq	$-1, %r15
	subq	$8, %rsp		/* align the call */
	call	jump_fcontext@PLT	/* back to {from, payload} in rdi:rsi */
	ud2				/* never resumed */
	.size	clobbering_entry, .-clobbering_entry

	.section .note.GNU-stack, "", @progbits
