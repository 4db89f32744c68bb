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

/* make_probe(top, size, entry, out, make): calls make(top, size, entry) with
   x3-x8, x10-x15 and x18-x28 holding 0x1000 + their number, then stores
   x0-x28 into out[0..28] (out[16] and out[17] unwritten).  */
	.globl	make_probe
	.type	make_probe, %function
make_probe:
	stp	x29, x30, [sp, #-112]!	/* keep the caller's preserved registers */
	stp	x19, x20, [sp, #16]
	stp	x21, x22, [sp, #32]
	stp	x23, x24, [sp, #48]
	stp	x25, x26, [sp, #64]
	stp	x27, x28, [sp, #80]
	str	x3, [sp, #96]		/* out */
	mov	x16, x4			/* the routine under test */
	mov	x3, #0x1003		/* known values */
	mov	x4, #0x1004
	mov	x5, #0x1005
	mov	x6, #0x1006
	mov	x7, #0x1007
	mov	x8, #0x1008
	mov	x10, #0x100a
	mov	x11, #0x100b
	mov	x12, #0x100c
	mov	x13, #0x100d
	mov	x14, #0x100e
	mov	x15, #0x100f
	mov	x18, #0x1012
	mov	x19, #0x1013
	mov	x20, #0x1014
	mov	x21, #0x1015
	mov	x22, #0x1016
	mov	x23, #0x1017
	mov	x24, #0x1018
	mov	x25, #0x1019
	mov	x26, #0x101a
	mov	x27, #0x101b
	mov	x28, #0x101c
	blr	x16
	ldr	x16, [sp, #96]		/* out */
	stp	x0, x1, [x16, #0]	/* registers after the call */
	stp	x2, x3, [x16, #16]
	stp	x4, x5, [x16, #32]
	stp	x6, x7, [x16, #48]
	stp	x8, x9, [x16, #64]
	stp	x10, x11, [x16, #80]
	stp	x12, x13, [x16, #96]
	stp	x14, x15, [x16, #112]
	str	x18, [x16, #144]
	stp	x19, x20, [x16, #152]
	stp	x21, x22, [x16, #168]
	stp	x23, x24, [x16, #184]
	stp	x25, x26, [x16, #200]
	stp	x27, x28, [x16, #216]
	ldp	x19, x20, [sp, #16]	/* the caller's preserved registers */
	ldp	x21, x22, [sp, #32]
	ldp	x23, x24, [sp, #48]
	ldp	x25, x26, [sp, #64]
	ldp	x27, x28, [sp, #80]
	ldp	x29, x30, [sp], #112
	ret
	.size	make_probe, .-make_probe

/* switch_probe(to, payload, fn, out, routine): calls routine(to, payload, fn)
   with x19-x29 and d8-d15 holding 0x5a00 + 0..18, then stores them into
   out[19].  */
	.globl	switch_probe
	.type	switch_probe, %function
switch_probe:
	stp	x29, x30, [sp, #-160]!	/* keep the caller's preserved registers */
	stp	x19, x20, [sp, #16]
	stp	x21, x22, [sp, #32]
	stp	x23, x24, [sp, #48]
	stp	x25, x26, [sp, #64]
	stp	x27, x28, [sp, #80]
	stp	d8, d9, [sp, #96]
	stp	d10, d11, [sp, #112]
	stp	d12, d13, [sp, #128]
	stp	d14, d15, [sp, #144]
	str	x3, [sp, #-16]!	/* out, kept across the switch */
	mov	x16, x4			/* the routine under test */
	mov	x19, #0x5a00		/* known values */
	mov	x20, #0x5a01
	mov	x21, #0x5a02
	mov	x22, #0x5a03
	mov	x23, #0x5a04
	mov	x24, #0x5a05
	mov	x25, #0x5a06
	mov	x26, #0x5a07
	mov	x27, #0x5a08
	mov	x28, #0x5a09
	mov	x29, #0x5a0a
	mov	x9, #0x5a0b
	fmov	d8, x9
	mov	x9, #0x5a0c
	fmov	d9, x9
	mov	x9, #0x5a0d
	fmov	d10, x9
	mov	x9, #0x5a0e
	fmov	d11, x9
	mov	x9, #0x5a0f
	fmov	d12, x9
	mov	x9, #0x5a10
	fmov	d13, x9
	mov	x9, #0x5a11
	fmov	d14, x9
	mov	x9, #0x5a12
	fmov	d15, x9
	blr	x16
	ldr	x9, [sp], #16		/* out */
	stp	x19, x20, [x9, #0]	/* preserved registers after the switch */
	stp	x21, x22, [x9, #16]
	stp	x23, x24, [x9, #32]
	stp	x25, x26, [x9, #48]
	stp	x27, x28, [x9, #64]
	str	x29, [x9, #80]
	stp	d8, d9, [x9, #88]
	stp	d10, d11, [x9, #104]
	stp	d12, d13, [x9, #120]
	stp	d14, d15, [x9, #136]
	ldp	d8, d9, [sp, #96]	/* the caller's preserved registers */
	ldp	d10, d11, [sp, #112]
	ldp	d12, d13, [sp, #128]
	ldp	d14, d15, [sp, #144]
	ldp	x19, x20, [sp, #16]
	ldp	x21, x22, [sp, #32]
	ldp	x23, x24, [sp, #48]
	ldp	x25, x26, [sp, #64]
	ldp	x27, x28, [sp, #80]
	ldp	x29, x30, [sp], #160
	ret
	.size	switch_probe, .-switch_probe

/* clobbering_entry: an entry function that overwrites every preserved
   register, then switches back to where it came from for good.  */
	.globl	clobbering_entry
	.type	clobbering_entry, %function
clobbering_entry:
	mov	x9, #-1
	mov	x19, x9		/* overwrite preserved registers */
	mov	x20, x9
	mov	x21, x9
	mov	x22, x9
	mov	x23, x9
	mov	x24, x9
	mov	x25, x9
	mov	x26, x9
	mov	x27, x9
	mov	x28, x9
	mov	x29, x9
	fmov	d8, x9
	fmov	d9, x9
	fmov	d10, x9
	fmov	d11, x9
	fmov	d12, x9
	fmov	d13, x9
	fmov	d14, x9
	fmov	d15, x9
	bl	jump_fcontext		/* back to {from, payload} in x0:x1 */
	brk	#0			/* never resumed */
	.size	clobbering_entry, .-clobbering_entry

	.section .note.GNU-stack, "", %progbits
