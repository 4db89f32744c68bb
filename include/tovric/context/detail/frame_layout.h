/* The 64-byte saved frame of a prepared or suspended context: the address
   a handle holds, on that context's own stack.  The frame's end, handle +
   TOVRIC_CONTEXT_FRAME_SIZE, is the stack pointer with which the context goes on.  Shared
   by the switch routines and their tests: plain macros, so that assembler
   and C++ both read them.  */
#ifndef TOVRIC_CONTEXT_DETAIL_FRAME_LAYOUT_H
#define TOVRIC_CONTEXT_DETAIL_FRAME_LAYOUT_H

#define TOVRIC_CONTEXT_FRAME_MXCSR	0x00	/* 4 bytes: the whole MXCSR */
#define TOVRIC_CONTEXT_FRAME_X87_CW	0x04	/* 2 bytes: x87 control word; 0x06-0x07 unused */
#define TOVRIC_CONTEXT_FRAME_R12	0x08
#define TOVRIC_CONTEXT_FRAME_R13	0x10
#define TOVRIC_CONTEXT_FRAME_R14	0x18
#define TOVRIC_CONTEXT_FRAME_R15	0x20
#define TOVRIC_CONTEXT_FRAME_RBX	0x28	/* a prepared context: its entry function */
#define TOVRIC_CONTEXT_FRAME_RBP	0x30	/* a prepared context: finish */
#define TOVRIC_CONTEXT_FRAME_RESUME	0x38	/* where the context goes on */
#define TOVRIC_CONTEXT_FRAME_SIZE	0x40

#ifdef __ASSEMBLER__
/* Stores the floating-point settings and the callee-saved registers of the
   running context into the frame at %rsp.  */
.macro	SAVE_FRAME
	stmxcsr	TOVRIC_CONTEXT_FRAME_MXCSR(%rsp)	/* save MXCSR */
	fnstcw	TOVRIC_CONTEXT_FRAME_X87_CW(%rsp)	/* save x87 control word */
	movq	%r12, TOVRIC_CONTEXT_FRAME_R12(%rsp)	/* save callee-saved registers */
	movq	%r13, TOVRIC_CONTEXT_FRAME_R13(%rsp)
	movq	%r14, TOVRIC_CONTEXT_FRAME_R14(%rsp)
	movq	%r15, TOVRIC_CONTEXT_FRAME_R15(%rsp)
	movq	%rbx, TOVRIC_CONTEXT_FRAME_RBX(%rsp)
	movq	%rbp, TOVRIC_CONTEXT_FRAME_RBP(%rsp)
.endm

/* Loads them back from the frame at %rsp.  */
.macro	RESTORE_FRAME
	ldmxcsr	TOVRIC_CONTEXT_FRAME_MXCSR(%rsp)	/* restore MXCSR */
	fldcw	TOVRIC_CONTEXT_FRAME_X87_CW(%rsp)	/* restore x87 control word */
	movq	TOVRIC_CONTEXT_FRAME_R12(%rsp), %r12	/* restore callee-saved registers */
	movq	TOVRIC_CONTEXT_FRAME_R13(%rsp), %r13
	movq	TOVRIC_CONTEXT_FRAME_R14(%rsp), %r14
	movq	TOVRIC_CONTEXT_FRAME_R15(%rsp), %r15
	movq	TOVRIC_CONTEXT_FRAME_RBX(%rsp), %rbx
	movq	TOVRIC_CONTEXT_FRAME_RBP(%rsp), %rbp
.endm
#endif

#endif
