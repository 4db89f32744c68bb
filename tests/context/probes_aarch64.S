/* An entry function and an on-top function that record the machine state at
   their first instruction into probe_seen, then go on in C++ with their
   argument registers and stack untouched.  */

	.text
	.globl	probe_entry
	.type	probe_entry, %function
probe_entry:
	adrp	x9, probe_seen
	add	x9, x9, :lo12:probe_seen
	mov	x10, sp
	str	x10, [x9]		/* stack pointer */
	str	x19, [x9, #8]		/* x19 */
	str	x29, [x9, #16]		/* frame pointer */
	str	x30, [x9, #24]		/* return address */
	b	probe_entry_body
	.size	probe_entry, .-probe_entry

	.globl	probe_ontop
	.type	probe_ontop, %function
probe_ontop:
	adrp	x9, probe_seen
	add	x9, x9, :lo12:probe_seen
	mov	x10, sp
	str	x10, [x9]		/* stack pointer */
	str	x30, [x9, #24]		/* return address */
	b	probe_ontop_body
	.size	probe_ontop, .-probe_ontop

/* Stores (loads) x29, x30, x19-x28 and d8-d15 at 0, 8, ... 152 of the frame
   at sp.  */
.macro	KEEP op
	\op	x29, x30, [sp]
	\op	x19, x20, [sp, #16]
	\op	x21, x22, [sp, #32]
	\op	x23, x24, [sp, #48]
	\op	x25, x26, [sp, #64]
	\op	x27, x28, [sp, #80]
	\op	d8, d9, [sp, #96]
	\op	d10, d11, [sp, #112]
	\op	d12, d13, [sp, #128]
	\op	d14, d15, [sp, #144]
.endm

/* make_probe(top, size, entry, out, make): calls make(top, size, entry) with
   x3-x8, x10-x15 and x18-x28 holding 0x1000 + their number, then stores
   x0-x15 and x18-x28 into out[] by register number.  */
	.globl	make_probe
	.type	make_probe, %function
make_probe:
	sub	sp, sp, #176
	KEEP	stp			/* keep the caller's preserved registers */
	str	x3, [sp, #160]		/* out */
	mov	x16, x4			/* the routine under test */
	.irp	n, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28
	mov	x\n, #(0x1000 + \n)	/* known values */
	.endr
	blr	x16
	ldr	x16, [sp, #160]		/* out */
	.irp	n, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28
	str	x\n, [x16, #(8 * \n)]	/* registers after the call */
	.endr
	KEEP	ldp			/* the caller's preserved registers */
	add	sp, sp, #176
	ret
	.size	make_probe, .-make_probe

/* switch_probe(to, payload, fn, out, routine): calls routine(to, payload, fn)
   with x19-x29 and d8-d15 holding 0x5a00 + 0..18, then stores them into
   out[19].  */
	.globl	switch_probe
	.type	switch_probe, %function
switch_probe:
	sub	sp, sp, #176
	KEEP	stp			/* keep the caller's preserved registers */
	str	x3, [sp, #160]		/* out, kept across the switch */
	.set	k, 0
	.irp	n, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29
	mov	x\n, #(0x5a00 + k)	/* known values */
	.set	k, k + 1
	.endr
	.irp	n, 8, 9, 10, 11, 12, 13, 14, 15
	mov	x9, #(0x5a00 + k)
	fmov	d\n, x9
	.set	k, k + 1
	.endr
	blr	x4
	ldr	x9, [sp, #160]		/* out */
	.set	k, 0
	.irp	n, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29
	str	x\n, [x9, #(8 * k)]	/* preserved registers after the switch */
	.set	k, k + 1
	.endr
	.irp	n, 8, 9, 10, 11, 12, 13, 14, 15
	str	d\n, [x9, #(8 * k)]
	.set	k, k + 1
	.endr
	KEEP	ldp			/* the caller's preserved registers */
	add	sp, sp, #176
	ret
	.size	switch_probe, .-switch_probe

/* clobbering_entry: an entry function that overwrites every preserved
   register, then switches back to where it came from for good.  */
	.globl	clobbering_entry
	.type	clobbering_entry, %function
clobbering_entry:
	mov	x9, #-1
	.irp	n, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29
	mov	x\n, x9			/* overwrite preserved registers */
	.endr
	.irp	n, 8, 9, 10, 11, 12, 13, 14, 15
	fmov	d\n, x9
	.endr
	bl	jump_fcontext		/* back to {from, payload} in x0:x1 */
	brk	#0			/* never resumed */
	.size	clobbering_entry, .-clobbering_entry

	.section .note.GNU-stack, "", %progbits
