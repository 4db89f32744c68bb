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

	.section .note.GNU-stack, "", @progbits
