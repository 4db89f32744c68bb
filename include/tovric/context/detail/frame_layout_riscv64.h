/* The 208-byte saved frame of a prepared or suspended context on RISC-V 64
   (LP64D): the address a handle holds, on that context's own stack.  The
   frame's end, handle + TOVRIC_CONTEXT_FRAME_SIZE, is the stack pointer
   (16-aligned) with which the context goes on.  Holds the registers that
   the calling convention makes a callee preserve (s0-s11, fs0-fs11), the
   return address ra, which is where the context goes on, and the dynamic
   rounding mode frm of fcsr (the accrued exception flags stay with the
   thread).  Shared by the switch routines and their tests: plain macros,
   so that assembler and C++ both read them.  */
#ifndef TOVRIC_CONTEXT_DETAIL_FRAME_LAYOUT_RISCV64_H
#define TOVRIC_CONTEXT_DETAIL_FRAME_LAYOUT_RISCV64_H

#define TOVRIC_CONTEXT_FRAME_FS0	0x00	/* fs0-fs11, 8 bytes each, to 0x5f */
#define TOVRIC_CONTEXT_FRAME_S0	0x60	/* s0-s11, 8 bytes each, to 0xbf */
#define TOVRIC_CONTEXT_FRAME_S1	0x68	/* a prepared context: its entry function */
#define TOVRIC_CONTEXT_FRAME_RESUME	0xc0	/* ra: where the context goes on */
#define TOVRIC_CONTEXT_FRAME_FRM	0xc8	/* 8 bytes: frm in bits 0-2, the rest zero */
#define TOVRIC_CONTEXT_FRAME_SIZE	0xd0

#ifdef __ASSEMBLER__
/* Stores the callee-saved registers, the resume address in ra and the
   rounding mode of the running context into the frame at sp.  Uses t0.  */
.macro	SAVE_FRAME
	fsd	fs0, TOVRIC_CONTEXT_FRAME_FS0 + 0(sp) /* save callee-saved registers */
	fsd	fs1, TOVRIC_CONTEXT_FRAME_FS0 + 8(sp)
	fsd	fs2, TOVRIC_CONTEXT_FRAME_FS0 + 16(sp)
	fsd	fs3, TOVRIC_CONTEXT_FRAME_FS0 + 24(sp)
	fsd	fs4, TOVRIC_CONTEXT_FRAME_FS0 + 32(sp)
	fsd	fs5, TOVRIC_CONTEXT_FRAME_FS0 + 40(sp)
	fsd	fs6, TOVRIC_CONTEXT_FRAME_FS0 + 48(sp)
	fsd	fs7, TOVRIC_CONTEXT_FRAME_FS0 + 56(sp)
	fsd	fs8, TOVRIC_CONTEXT_FRAME_FS0 + 64(sp)
	fsd	fs9, TOVRIC_CONTEXT_FRAME_FS0 + 72(sp)
	fsd	fs10, TOVRIC_CONTEXT_FRAME_FS0 + 80(sp)
	fsd	fs11, TOVRIC_CONTEXT_FRAME_FS0 + 88(sp)
	sd	s0, TOVRIC_CONTEXT_FRAME_S0 + 0(sp)
	sd	s1, TOVRIC_CONTEXT_FRAME_S0 + 8(sp)
	sd	s2, TOVRIC_CONTEXT_FRAME_S0 + 16(sp)
	sd	s3, TOVRIC_CONTEXT_FRAME_S0 + 24(sp)
	sd	s4, TOVRIC_CONTEXT_FRAME_S0 + 32(sp)
	sd	s5, TOVRIC_CONTEXT_FRAME_S0 + 40(sp)
	sd	s6, TOVRIC_CONTEXT_FRAME_S0 + 48(sp)
	sd	s7, TOVRIC_CONTEXT_FRAME_S0 + 56(sp)
	sd	s8, TOVRIC_CONTEXT_FRAME_S0 + 64(sp)
	sd	s9, TOVRIC_CONTEXT_FRAME_S0 + 72(sp)
	sd	s10, TOVRIC_CONTEXT_FRAME_S0 + 80(sp)
	sd	s11, TOVRIC_CONTEXT_FRAME_S0 + 88(sp)
	sd	ra, TOVRIC_CONTEXT_FRAME_RESUME(sp)	/* resume address */
	frrm	t0
	sd	t0, TOVRIC_CONTEXT_FRAME_FRM(sp)	/* save the rounding mode */
.endm

/* Loads them back from the frame at sp.  Uses t0.  */
.macro	RESTORE_FRAME
	ld	t0, TOVRIC_CONTEXT_FRAME_FRM(sp)
	fsrm	t0			/* restore the rounding mode */
	fld	fs0, TOVRIC_CONTEXT_FRAME_FS0 + 0(sp) /* restore callee-saved registers */
	fld	fs1, TOVRIC_CONTEXT_FRAME_FS0 + 8(sp)
	fld	fs2, TOVRIC_CONTEXT_FRAME_FS0 + 16(sp)
	fld	fs3, TOVRIC_CONTEXT_FRAME_FS0 + 24(sp)
	fld	fs4, TOVRIC_CONTEXT_FRAME_FS0 + 32(sp)
	fld	fs5, TOVRIC_CONTEXT_FRAME_FS0 + 40(sp)
	fld	fs6, TOVRIC_CONTEXT_FRAME_FS0 + 48(sp)
	fld	fs7, TOVRIC_CONTEXT_FRAME_FS0 + 56(sp)
	fld	fs8, TOVRIC_CONTEXT_FRAME_FS0 + 64(sp)
	fld	fs9, TOVRIC_CONTEXT_FRAME_FS0 + 72(sp)
	fld	fs10, TOVRIC_CONTEXT_FRAME_FS0 + 80(sp)
	fld	fs11, TOVRIC_CONTEXT_FRAME_FS0 + 88(sp)
	ld	s0, TOVRIC_CONTEXT_FRAME_S0 + 0(sp)
	ld	s1, TOVRIC_CONTEXT_FRAME_S0 + 8(sp)
	ld	s2, TOVRIC_CONTEXT_FRAME_S0 + 16(sp)
	ld	s3, TOVRIC_CONTEXT_FRAME_S0 + 24(sp)
	ld	s4, TOVRIC_CONTEXT_FRAME_S0 + 32(sp)
	ld	s5, TOVRIC_CONTEXT_FRAME_S0 + 40(sp)
	ld	s6, TOVRIC_CONTEXT_FRAME_S0 + 48(sp)
	ld	s7, TOVRIC_CONTEXT_FRAME_S0 + 56(sp)
	ld	s8, TOVRIC_CONTEXT_FRAME_S0 + 64(sp)
	ld	s9, TOVRIC_CONTEXT_FRAME_S0 + 72(sp)
	ld	s10, TOVRIC_CONTEXT_FRAME_S0 + 80(sp)
	ld	s11, TOVRIC_CONTEXT_FRAME_S0 + 88(sp)
	ld	ra, TOVRIC_CONTEXT_FRAME_RESUME(sp)	/* resume address */
.endm
#endif

#endif
