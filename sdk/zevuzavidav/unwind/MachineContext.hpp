#pragma once
// Register sets of the architectures the unwinder knows, and the machine context of the host.
//
// x86_64 is the live host: its registers are named as in the machine's own thread state (rax ... gs).
// arm64 is the architecture of the recorded Mach-O images: x0..x28, fp, lr, sp, pc and cpsr.
#include <cstddef>
#include <cstdint>
#include <sys/ucontext.h>

namespace zevuzavidav {

struct RegistersX86_64 {
    std::uint64_t rax, rbx, rcx, rdx, rdi, rsi, rbp, rsp;
    std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip, rflags, cs, fs, gs;
};
static_assert(sizeof(RegistersX86_64) == 21 * 8, "the x86_64 thread state holds 21 registers");

struct RegistersArm64 {
    std::uint64_t x[29];
    std::uint64_t fp, lr, sp, pc;
    std::uint32_t cpsr;
    std::uint32_t padding;
};
static_assert(offsetof(RegistersArm64, pc) == 32 * 8, "pc follows x0..x28, fp, lr and sp");

// Names of the x86_64 registers in record order, matching the struct's field order.
extern const char* const kRegisterNamesX86_64[21];
// Names of the arm64 registers in record order: x0 ... x28, fp, sp, lr, pc, cpsr (sp before lr, unlike
// the struct).
extern const char* const kRegisterNamesArm64[34];

#if defined(__x86_64__)
using MachineContext = RegistersX86_64;
// Copies the general registers of a signal or suspension context.
void machineContextFromMcontext(const mcontext_t& mcontext, MachineContext* out);
#else
#error "the live unwinder is written for x86_64 hosts"
#endif

} // namespace zevuzavidav
