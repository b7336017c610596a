// Returns and calls through a register that serve every ARM processor a
// Pocket PC shipped with. After the link, each BX of the module becomes a
// branch to the entry for its register here: an even address (an ARM
// caller, and every caller on a processor without Thumb) is taken with MOV,
// which ARMv4 has; an odd one (a Thumb caller) with BX, which only a
// processor with Thumb reaches. Entry n, for register n, is 12 bytes in.
asm(".text\n"
    ".align 2\n"
    ".global __interworking_returns\n"
    "__interworking_returns:\n"
    ".irp r, r0, r1, r2, r3, r4, r5, r6, r7, r8, r9, r10, r11, r12, sp, lr\n"
    "tst \\r, #1\n"
    "moveq pc, \\r\n"
    "bx \\r\n"
    ".endr\n");
