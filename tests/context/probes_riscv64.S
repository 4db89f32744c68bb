/* An entry function and an on-top function that record the machine state at
   their first instruction into probe_seen, then go on in C++ with their
   argument registers and stack untouched.  */

	.text
	.globl	probe_entry
	.type	probe_entry, %function
probe_entry:
	lla	t0, probe_seen
	sd	sp, 0(t0)		/* stack pointer */
	sd	s1, 8(t0)		/* s1 */
	sd	s0, 16(t0)		/* frame pointer */
	sd	ra, 24(t0)		/* return address */
	tail	probe_entry_body
	.size	probe_entry, .-probe_entry

	.globl	probe_ontop
	.type	probe_ontop, %function
probe_ontop:
	lla	t0, probe_seen
	sd	sp, 0(t0)		/* stack pointer */
	sd	ra, 24(t0)		/* return address */
	tail	probe_ontop_body
	.size	probe_ontop, .-probe_ontop

/* Stores (loads) ra and s0-s11 at 0, 16, ... 104 of the frame at sp.  */
.macro	KEEP op
	\op	ra, 0(sp)
	.set	slot, 2
	.irp	r, s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11
	\op	\r, 8*slot(sp)
	.set	slot, slot + 1
	.endr
.endm

/* make_probe(top, size, entry, out, make): calls make(top, size, entry) with
   x6-x9 and x13-x31 holding 0x1000 + their number, then stores x6-x31 into
   out[6..31] by register number.  */
	.globl	make_probe
	.type	make_probe, %function
make_probe:
	addi	sp, sp, -112
	KEEP	sd			/* keep the caller's preserved registers */
	sd	a3, 8(sp)		/* out */
	mv	t0, a4			/* the routine under test */
	.irp	n, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31
	li	x\n, 0x1000 + \n	/* known values */
	.endr
	jalr	t0
	ld	t0, 8(sp)		/* out */
	.irp	n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31
	sd	x\n, 8*\n(t0)		/* registers after the call */
	.endr
	KEEP	ld			/* the caller's preserved registers */
	addi	sp, sp, 112
	ret
	.size	make_probe, .-make_probe

/* switch_probe(to, payload, fn, out, routine): calls routine(to, payload, fn)
   with s0-s11 and fs0-fs11 holding 0x5a00 + 0..23, then stores them into
   out[24].  */
	.globl	switch_probe
	.type	switch_probe, %function
switch_probe:
	addi	sp, sp, -208
	KEEP	sd			/* keep the caller's preserved registers */
	.set	slot, 14
	.irp	r, fs0, fs1, fs2, fs3, fs4, fs5, fs6, fs7, fs8, fs9, fs10, fs11
	fsd	\r, 8*slot(sp)
	.set	slot, slot + 1
	.endr
	sd	a3, 8(sp)		/* out, kept across the switch */
	.set	k, 0
	.irp	r, s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11
	li	\r, 0x5a00 + k		/* known values */
	.set	k, k + 1
	.endr
	.irp	r, fs0, fs1, fs2, fs3, fs4, fs5, fs6, fs7, fs8, fs9, fs10, fs11
	li	t0, 0x5a00 + k
	fmv.d.x	\r, t0
	.set	k, k + 1
	.endr
	jalr	a4
	ld	t0, 8(sp)		/* out */
	.set	k, 0
	.irp	r, s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11
	sd	\r, 8*k(t0)		/* preserved registers after the switch */
	.set	k, k + 1
	.endr
	.irp	r, fs0, fs1, fs2, fs3, fs4, fs5, fs6, fs7, fs8, fs9, fs10, fs11
	fsd	\r, 8*k(t0)
	.set	k, k + 1
	.endr
	KEEP	ld			/* the caller's preserved registers */
	.set	slot, 14
	.irp	r, fs0, fs1, fs2, fs3, fs4, fs5, fs6, fs7, fs8, fs9, fs10, fs11
	fld	\r, 8*slot(sp)
	.set	slot, slot + 1
	.endr
	addi	sp, sp, 208
	ret
	.size	switch_probe, .-switch_probe

/* clobbering_entry: an entry function that overwrites every preserved
   register, then switches back to where it came from for good.  */
	.globl	clobbering_entry
	.type	clobbering_entry, %function
clobbering_entry:
	li	t0, -1
	.irp	r, s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11
	mv	\r, t0			/* overwrite preserved registers */
	.endr
	.irp	r, fs0, fs1, fs2, fs3, fs4, fs5, fs6, fs7, fs8, fs9, fs10, fs11
	fmv.d.x	\r, t0
	.endr
	call	jump_fcontext		/* back to {from, payload} in a0:a1 */
	unimp				/* never resumed */
	.size	clobbering_entry, .-clobbering_entry

	.section .note.GNU-stack, "", %progbits
