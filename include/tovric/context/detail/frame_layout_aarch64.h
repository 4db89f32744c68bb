/* The 176-byte saved frame of a prepared or suspended context on AArch64:
   the address a handle holds, on that context's own stack.  The frame's
   end, handle + TOVRIC_CONTEXT_FRAME_SIZE, is the stack pointer (16-aligned)
   with which the context goes on.  Holds the registers that AAPCS64 makes
   a callee preserve (x19-x28, the frame pointer x29, the low halves d8-d15
   of v8-v15), the link register x30, which is where the context goes on,
   and FPCR (rounding, flush-to-zero, default NaN, trap enables).  Shared by
   the switch routines and their tests: plain macros, so that assembler and
   C++ both read them.  */
#ifndef TOVRIC_CONTEXT_DETAIL_FRAME_LAYOUT_AARCH64_H
#define TOVRIC_CONTEXT_DETAIL_FRAME_LAYOUT_AARCH64_H

#define TOVRIC_CONTEXT_FRAME_D8	0x00	/* d8-d15, 8 bytes each, to 0x3f */
#define TOVRIC_CONTEXT_FRAME_X19	0x40	/* x19-x28, 8 bytes each, to 0x8f; a prepared context: x19 is its entry function */
#define TOVRIC_CONTEXT_FRAME_X29	0x90	/* frame pointer */
#define TOVRIC_CONTEXT_FRAME_RESUME	0x98	/* x30: where the context goes on */
#define TOVRIC_CONTEXT_FRAME_FPCR	0xa0	/* 8 bytes: the whole FPCR; 0xa8-0xaf unused */
#define TOVRIC_CONTEXT_FRAME_SIZE	0xb0

#ifdef __ASSEMBLER__
/* Stores the callee-saved registers, the resume address in x30 and FPCR of
   the running context into the frame at sp.  Uses x10.  */
.macro	SAVE_FRAME
	stp	d8, d9, [sp, #TOVRIC_CONTEXT_FRAME_D8]	/* save callee-saved registers */
	stp	d10, d11, [sp, #TOVRIC_CONTEXT_FRAME_D8 + 0x10]
	stp	d12, d13, [sp, #TOVRIC_CONTEXT_FRAME_D8 + 0x20]
	stp	d14, d15, [sp, #TOVRIC_CONTEXT_FRAME_D8 + 0x30]
	stp	x19, x20, [sp, #TOVRIC_CONTEXT_FRAME_X19]
	stp	x21, x22, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x10]
	stp	x23, x24, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x20]
	stp	x25, x26, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x30]
	stp	x27, x28, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x40]
	stp	x29, x30, [sp, #TOVRIC_CONTEXT_FRAME_X29]	/* frame pointer and resume address */
	mrs	x10, fpcr
	str	x10, [sp, #TOVRIC_CONTEXT_FRAME_FPCR]	/* save FPCR */
.endm

/* Loads them back from the frame at sp.  Uses x10.  */
.macro	RESTORE_FRAME
	ldr	x10, [sp, #TOVRIC_CONTEXT_FRAME_FPCR]
	msr	fpcr, x10			/* restore FPCR */
	ldp	d8, d9, [sp, #TOVRIC_CONTEXT_FRAME_D8]	/* restore callee-saved registers */
	ldp	d10, d11, [sp, #TOVRIC_CONTEXT_FRAME_D8 + 0x10]
	ldp	d12, d13, [sp, #TOVRIC_CONTEXT_FRAME_D8 + 0x20]
	ldp	d14, d15, [sp, #TOVRIC_CONTEXT_FRAME_D8 + 0x30]
	ldp	x19, x20, [sp, #TOVRIC_CONTEXT_FRAME_X19]
	ldp	x21, x22, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x10]
	ldp	x23, x24, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x20]
	ldp	x25, x26, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x30]
	ldp	x27, x28, [sp, #TOVRIC_CONTEXT_FRAME_X19 + 0x40]
	ldp	x29, x30, [sp, #TOVRIC_CONTEXT_FRAME_X29]	/* frame pointer and resume address */
.endm
#endif

#endif
