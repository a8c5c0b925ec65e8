#include "sdk/zevuzavidav/unwind/MachineContext.hpp"

#include <cstring>

namespace zevuzavidav {

const char* const kRegisterNamesX86_64[21] = {"rax", "rbx", "rcx", "rdx",    "rdi", "rsi", "rbp",
                                              "rsp", "r8",  "r9",  "r10",    "r11", "r12", "r13",
                                              "r14", "r15", "rip", "rflags", "cs",  "fs",  "gs"};

const char* const kRegisterNamesArm64[34] = {"x0",  "x1",  "x2",  "x3",  "x4",  "x5",  "x6",  "x7",  "x8",
                                             "x9",  "x10", "x11", "x12", "x13", "x14", "x15", "x16", "x17",
                                             "x18", "x19", "x20", "x21", "x22", "x23", "x24", "x25", "x26",
                                             "x27", "x28", "fp",  "sp",  "lr",  "pc",  "cpsr"};

void machineContextFromMcontext(const mcontext_t& m, MachineContext* out) {
    if (out == nullptr) return;
    auto reg = [&](int index) { return static_cast<std::uint64_t>(m.gregs[index]); };
    out->rax = reg(REG_RAX);
    out->rbx = reg(REG_RBX);
    out->rcx = reg(REG_RCX);
    out->rdx = reg(REG_RDX);
    out->rdi = reg(REG_RDI);
    out->rsi = reg(REG_RSI);
    out->rbp = reg(REG_RBP);
    out->rsp = reg(REG_RSP);
    out->r8 = reg(REG_R8);
    out->r9 = reg(REG_R9);
    out->r10 = reg(REG_R10);
    out->r11 = reg(REG_R11);
    out->r12 = reg(REG_R12);
    out->r13 = reg(REG_R13);
    out->r14 = reg(REG_R14);
    out->r15 = reg(REG_R15);
    out->rip = reg(REG_RIP);
    out->rflags = reg(REG_EFL);
    // CSGSFS packs cs (bits 0-15), gs (16-31) and fs (32-47).
    std::uint64_t segments = reg(REG_CSGSFS);
    out->cs = segments & 0xFFFF;
    out->gs = (segments >> 16) & 0xFFFF;
    out->fs = (segments >> 32) & 0xFFFF;
}

} // namespace zevuzavidav
