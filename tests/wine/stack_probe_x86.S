# uint32_t measureCall(void* fn, const void* args, uint32_t argBytes, uint32_t* result)   (cdecl)
# Pushes the argument bytes as a caller would, calls fn, and returns how many of those bytes are
# still on the stack after it returned; the callee's eax goes to *result when result is not null.
    .text
    .globl _measureCall
_measureCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 8(%ebp), %eax
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl %esp, %ebx
    subl %ecx, %esp
    movl %esp, %edi
    cld
    shrl $2, %ecx
    rep movsl
    call *%eax
    movl 20(%ebp), %edx
    testl %edx, %edx
    jz 1f
    movl %eax, (%edx)
1:
    movl %ebx, %eax
    subl %esp, %eax
    movl %ebx, %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
