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

/* make_probe(top, size, entry, out, make): calls make(top, size, entry) with
   x6-x9 and x13-x31 holding 0x1000 + their number, then stores x6-x31 into
   out[6..31] by register number.  */
	.globl	make_probe
	.type	make_probe, %function
make_probe:
	addi	sp, sp, -112
	sd	ra, 0(sp)		/* keep the caller's preserved registers */
	sd	s0, 16(sp)
	sd	s1, 24(sp)
	sd	s2, 32(sp)
	sd	s3, 40(sp)
	sd	s4, 48(sp)
	sd	s5, 56(sp)
	sd	s6, 64(sp)
	sd	s7, 72(sp)
	sd	s8, 80(sp)
	sd	s9, 88(sp)
	sd	s10, 96(sp)
	sd	s11, 104(sp)
	sd	a3, 8(sp)		/* out */
	mv	t0, a4			/* the routine under test */
	li	x6, 0x1006		/* known values */
	li	x7, 0x1007
	li	x8, 0x1008
	li	x9, 0x1009
	li	x13, 0x100d
	li	x14, 0x100e
	li	x15, 0x100f
	li	x16, 0x1010
	li	x17, 0x1011
	li	x18, 0x1012
	li	x19, 0x1013
	li	x20, 0x1014
	li	x21, 0x1015
	li	x22, 0x1016
	li	x23, 0x1017
	li	x24, 0x1018
	li	x25, 0x1019
	li	x26, 0x101a
	li	x27, 0x101b
	li	x28, 0x101c
	li	x29, 0x101d
	li	x30, 0x101e
	li	x31, 0x101f
	jalr	t0
	ld	t0, 8(sp)		/* out */
	sd	x6, 48(t0)		/* registers after the call */
	sd	x7, 56(t0)
	sd	x8, 64(t0)
	sd	x9, 72(t0)
	sd	x10, 80(t0)
	sd	x11, 88(t0)
	sd	x12, 96(t0)
	sd	x13, 104(t0)
	sd	x14, 112(t0)
	sd	x15, 120(t0)
	sd	x16, 128(t0)
	sd	x17, 136(t0)
	sd	x18, 144(t0)
	sd	x19, 152(t0)
	sd	x20, 160(t0)
	sd	x21, 168(t0)
	sd	x22, 176(t0)
	sd	x23, 184(t0)
	sd	x24, 192(t0)
	sd	x25, 200(t0)
	sd	x26, 208(t0)
	sd	x27, 216(t0)
	sd	x28, 224(t0)
	sd	x29, 232(t0)
	sd	x30, 240(t0)
	sd	x31, 248(t0)
	ld	ra, 0(sp)		/* the caller's preserved registers */
	ld	s0, 16(sp)
	ld	s1, 24(sp)
	ld	s2, 32(sp)
	ld	s3, 40(sp)
	ld	s4, 48(sp)
	ld	s5, 56(sp)
	ld	s6, 64(sp)
	ld	s7, 72(sp)
	ld	s8, 80(sp)
	ld	s9, 88(sp)
	ld	s10, 96(sp)
	ld	s11, 104(sp)
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
	sd	ra, 0(sp)		/* keep the caller's preserved registers */
	sd	s0, 16(sp)
	sd	s1, 24(sp)
	sd	s2, 32(sp)
	sd	s3, 40(sp)
	sd	s4, 48(sp)
	sd	s5, 56(sp)
	sd	s6, 64(sp)
	sd	s7, 72(sp)
	sd	s8, 80(sp)
	sd	s9, 88(sp)
	sd	s10, 96(sp)
	sd	s11, 104(sp)
	fsd	fs0, 112(sp)
	fsd	fs1, 120(sp)
	fsd	fs2, 128(sp)
	fsd	fs3, 136(sp)
	fsd	fs4, 144(sp)
	fsd	fs5, 152(sp)
	fsd	fs6, 160(sp)
	fsd	fs7, 168(sp)
	fsd	fs8, 176(sp)
	fsd	fs9, 184(sp)
	fsd	fs10, 192(sp)
	fsd	fs11, 200(sp)
	sd	a3, 8(sp)		/* out, kept across the switch */
	li	s0, 0x5a00		/* known values */
	li	s1, 0x5a01
	li	s2, 0x5a02
	li	s3, 0x5a03
	li	s4, 0x5a04
	li	s5, 0x5a05
	li	s6, 0x5a06
	li	s7, 0x5a07
	li	s8, 0x5a08
	li	s9, 0x5a09
	li	s10, 0x5a0a
	li	s11, 0x5a0b
	li	t0, 0x5a0c
	fmv.d.x	fs0, t0
	li	t0, 0x5a0d
	fmv.d.x	fs1, t0
	li	t0, 0x5a0e
	fmv.d.x	fs2, t0
	li	t0, 0x5a0f
	fmv.d.x	fs3, t0
	li	t0, 0x5a10
	fmv.d.x	fs4, t0
	li	t0, 0x5a11
	fmv.d.x	fs5, t0
	li	t0, 0x5a12
	fmv.d.x	fs6, t0
	li	t0, 0x5a13
	fmv.d.x	fs7, t0
	li	t0, 0x5a14
	fmv.d.x	fs8, t0
	li	t0, 0x5a15
	fmv.d.x	fs9, t0
	li	t0, 0x5a16
	fmv.d.x	fs10, t0
	li	t0, 0x5a17
	fmv.d.x	fs11, t0
	jalr	a4
	ld	t0, 8(sp)		/* out */
	sd	s0, 0(t0)		/* preserved registers after the switch */
	sd	s1, 8(t0)
	sd	s2, 16(t0)
	sd	s3, 24(t0)
	sd	s4, 32(t0)
	sd	s5, 40(t0)
	sd	s6, 48(t0)
	sd	s7, 56(t0)
	sd	s8, 64(t0)
	sd	s9, 72(t0)
	sd	s10, 80(t0)
	sd	s11, 88(t0)
	fsd	fs0, 96(t0)
	fsd	fs1, 104(t0)
	fsd	fs2, 112(t0)
	fsd	fs3, 120(t0)
	fsd	fs4, 128(t0)
	fsd	fs5, 136(t0)
	fsd	fs6, 144(t0)
	fsd	fs7, 152(t0)
	fsd	fs8, 160(t0)
	fsd	fs9, 168(t0)
	fsd	fs10, 176(t0)
	fsd	fs11, 184(t0)
	ld	ra, 0(sp)		/* the caller's preserved registers */
	ld	s0, 16(sp)
	ld	s1, 24(sp)
	ld	s2, 32(sp)
	ld	s3, 40(sp)
	ld	s4, 48(sp)
	ld	s5, 56(sp)
	ld	s6, 64(sp)
	ld	s7, 72(sp)
	ld	s8, 80(sp)
	ld	s9, 88(sp)
	ld	s10, 96(sp)
	ld	s11, 104(sp)
	fld	fs0, 112(sp)
	fld	fs1, 120(sp)
	fld	fs2, 128(sp)
	fld	fs3, 136(sp)
	fld	fs4, 144(sp)
	fld	fs5, 152(sp)
	fld	fs6, 160(sp)
	fld	fs7, 168(sp)
	fld	fs8, 176(sp)
	fld	fs9, 184(sp)
	fld	fs10, 192(sp)
	fld	fs11, 200(sp)
	addi	sp, sp, 208
	ret
	.size	switch_probe, .-switch_probe

/* clobbering_entry: an entry function that overwrites every preserved
   register, then switches back to where it came from for good.  */
	.globl	clobbering_entry
	.type	clobbering_entry, %function
clobbering_entry:
	li	t0, -1
	mv	s0, t0		/* overwrite preserved registers */
	mv	s1, t0
	mv	s2, t0
	mv	s3, t0
	mv	s4, t0
	mv	s5, t0
	mv	s6, t0
	mv	s7, t0
	mv	s8, t0
	mv	s9, t0
	mv	s10, t0
	mv	s11, t0
	fmv.d.x	fs0, t0
	fmv.d.x	fs1, t0
	fmv.d.x	fs2, t0
	fmv.d.x	fs3, t0
	fmv.d.x	fs4, t0
	fmv.d.x	fs5, t0
	fmv.d.x	fs6, t0
	fmv.d.x	fs7, t0
	fmv.d.x	fs8, t0
	fmv.d.x	fs9, t0
	fmv.d.x	fs10, t0
	fmv.d.x	fs11, t0
	call	jump_fcontext		/* back to {from, payload} in a0:a1 */
	unimp				/* never resumed */
	.size	clobbering_entry, .-clobbering_entry

	.section .note.GNU-stack, "", %progbits
