/*
 * uint64_t kav_call_stdcall(const void* fn, const uint32_t* slots, uint32_t count,
 *                           uint32_t* popped, double* fpResult)      (cdecl)
 *
 * Pushes `count` 32-bit slots right to left, calls fn, and reports how many
 * bytes the callee removed from the stack, so that a test can check each
 * export's argument size.  The stack is restored from the frame whatever the
 * callee did.  When fpResult is not null the x87 result is stored there.
 */
    .text
    .globl _kav_call_stdcall
    .def _kav_call_stdcall; .scl 2; .type 32; .endef
_kav_call_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %edi
    call *8(%ebp)
    movl %esp, %ecx
    subl %edi, %ecx
    movl 20(%ebp), %ebx
    movl %ecx, (%ebx)
    movl 24(%ebp), %ebx
    testl %ebx, %ebx
    jz 3f
    fstpl (%ebx)
3:  leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
