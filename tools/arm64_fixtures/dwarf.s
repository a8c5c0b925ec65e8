// A function whose frame is described relative to x19: compact unwind cannot say that, so the linker
// keeps its call-frame information in __eh_frame and the encoding refers to it (DWARF mode).
    .text
    .globl _dwarfy
    .p2align 2
_dwarfy:
    .cfi_startproc
    stp x29, x30, [sp, #-16]!
    .cfi_def_cfa_offset 16
    .cfi_offset w30, -8
    .cfi_offset w29, -16
    mov x19, sp
    .cfi_def_cfa w19, 16
    bl _leaf
    ldp x29, x30, [sp], #16
    ret
    .cfi_endproc
