/* The 64-byte saved frame of a prepared or suspended context: the address
   a handle holds, on that context's own stack.  The frame's end, handle +
   FRAME_SIZE, is the stack pointer with which the context goes on.  Shared
   by the switch routines and their tests: plain macros, so that assembler
   and C++ both read them.  */
#ifndef TOVRIC_CONTEXT_FRAME_LAYOUT_H
#define TOVRIC_CONTEXT_FRAME_LAYOUT_H

#define FRAME_MXCSR	0x00	/* 4 bytes: the whole MXCSR */
#define FRAME_X87_CW	0x04	/* 2 bytes: x87 control word; 0x06-0x07 unused */
#define FRAME_R12	0x08
#define FRAME_R13	0x10
#define FRAME_R14	0x18
#define FRAME_R15	0x20
#define FRAME_RBX	0x28	/* a prepared context: its entry function */
#define FRAME_RBP	0x30	/* a prepared context: finish */
#define FRAME_RESUME	0x38	/* where the context goes on */
#define FRAME_SIZE	0x40

#ifdef __ASSEMBLER__
/* Stores the floating-point settings and the callee-saved registers of the
   running context into the frame at %rsp.  */
.macro	SAVE_FRAME
	stmxcsr	FRAME_MXCSR(%rsp)	/* save MXCSR */
	fnstcw	FRAME_X87_CW(%rsp)	/* save x87 control word */
	movq	%r12, FRAME_R12(%rsp)	/* save callee-saved registers */
	movq	%r13, FRAME_R13(%rsp)
	movq	%r14, FRAME_R14(%rsp)
	movq	%r15, FRAME_R15(%rsp)
	movq	%rbx, FRAME_RBX(%rsp)
	movq	%rbp, FRAME_RBP(%rsp)
.endm

/* Loads them back from the frame at %rsp.  */
.macro	RESTORE_FRAME
	ldmxcsr	FRAME_MXCSR(%rsp)	/* restore MXCSR */
	fldcw	FRAME_X87_CW(%rsp)	/* restore x87 control word */
	movq	FRAME_R12(%rsp), %r12	/* restore callee-saved registers */
	movq	FRAME_R13(%rsp), %r13
	movq	FRAME_R14(%rsp), %r14
	movq	FRAME_R15(%rsp), %r15
	movq	FRAME_RBX(%rsp), %rbx
	movq	FRAME_RBP(%rsp), %rbp
.endm
#endif

#endif
