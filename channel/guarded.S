/*
 * Fault-tolerant memory access for the request path.  The library runs inside
 * the CAD host's process, and a command may hand it a bad address (a pointer
 * just past its buffer, a text with no terminator before an unmapped page).
 * These two routines touch caller memory under a frame-based exception
 * handler of their own: an access violation (or an in-page error, from the
 * recorder's mapped run file) ends the routine with a failure result instead
 * of ending the process.  They cost a few instructions more
 * than a plain copy.
 *
 *   int      kav_guarded_copy(void* dst, const void* src, uint32_t n)    1 done, 0 fault
 *   uint32_t kav_guarded_strnlen(const char* s, uint32_t limit)        length (at most limit),
 *                                                                       0xFFFFFFFF on a fault
 * Both are cdecl.
 *
 * Frame layout while a routine runs (esp points at it):
 *   +0 previous registration record   +4 handler   +8 address to resume at after a fault
 * followed by the saved ebp, ebx, esi, edi.
 */
    .text

/* Pushes the saved registers and the registration record; `resume` is where
 * execution goes on after a fault, with esp pointing at the record again. */
.macro GUARD_ENTER resume
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $\resume
    pushl $_kav_fault_handler
    pushl %fs:0
    movl %esp, %fs:0
.endm

/* Unlinks the record and restores the saved registers. */
.macro GUARD_LEAVE
    popl %fs:0
    addl $8, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
.endm

    .def _kav_fault_handler; .scl 3; .type 32; .endef
_kav_fault_handler:
    movl 4(%esp), %eax          /* EXCEPTION_RECORD* */
    testl $6, 4(%eax)           /* unwinding: not ours to handle */
    jnz 1f
    movl (%eax), %eax
    cmpl $0xC0000005, %eax      /* access violation */
    je 0f
    cmpl $0xC0000006, %eax      /* in-page error: a mapped file's page could not be read or stored */
    je 0f
    cmpl $0xC000001D, %eax      /* reported instead by some emulators for the same fault */
    je 0f
    cmpl $0xC0000096, %eax
    jne 1f
0:
    movl 8(%esp), %edx          /* establisher frame = our registration record */
    movl 12(%esp), %ecx         /* CONTEXT* */
    movl 8(%edx), %eax
    movl %eax, 0xB8(%ecx)       /* Eip = resume address */
    movl %edx, 0xC4(%ecx)       /* Esp = the record, as when it was pushed */
    xorl %eax, %eax             /* ExceptionContinueExecution */
    ret
1:  movl $1, %eax               /* ExceptionContinueSearch */
    ret

    .globl _kav_guarded_copy
    .def _kav_guarded_copy; .scl 2; .type 32; .endef
_kav_guarded_copy:
    GUARD_ENTER 2f
    movl 32(%esp), %edi
    movl 36(%esp), %esi
    movl 40(%esp), %edx
    movl %edx, %ecx
    shrl $2, %ecx               /* whole 4-byte words first, then the rest */
    cld
    rep movsl
    movl %edx, %ecx
    andl $3, %ecx
    rep movsb
    movl $1, %eax
    jmp 3f
2:  xorl %eax, %eax
3:  GUARD_LEAVE

    .globl _kav_guarded_strnlen
    .def _kav_guarded_strnlen; .scl 2; .type 32; .endef
_kav_guarded_strnlen:
    GUARD_ENTER 2f
    movl 32(%esp), %edi
    movl 36(%esp), %ecx
    xorl %eax, %eax
    testl %ecx, %ecx
    jz 3f
    movl %edi, %edx
    cld
    repne scasb
    jne 4f
    movl %edi, %eax             /* one past the zero byte */
    subl %edx, %eax
    decl %eax
    jmp 3f
4:  movl 36(%esp), %eax         /* no zero within limit */
    jmp 3f
2:  movl $0xFFFFFFFF, %eax
3:  GUARD_LEAVE
