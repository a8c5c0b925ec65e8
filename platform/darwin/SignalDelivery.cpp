#include "platform/darwin/SignalDelivery.hpp"

#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/KernelMask.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/Threads.hpp"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__)
// Enters `handler(number, info, context)` as the kernel enters a signal handler: the stack pointer at
// `frame`, the signal frame the kernel made (its first word the return address the handler returns to),
// the interrupted code's frame pointer in rbp, rax clear. Does not return: whatever ran below `frame` is
// done with.
extern "C" [[noreturn]] void velo_darwin_enter_handler(void* frame, void* handler, long number, void* info,
                                                       void* context, unsigned long framePointer);
// Where a handler entered so returns, in place of the kernel's restorer: with the stack pointer at the
// ucontext of the kernel's frame, as the restorer has it, it tells that the handler came back
// (velo_darwin_tell_came_back), then resumes the interrupted code as the restorer does, by rt_sigreturn.
// The telling runs on a small stack of the thread's own, every signal held off (rt_sigreturn puts the
// interrupted code's mask back), so that, as with the kernel's restorer, nothing is written below the
// frame the handler was entered at: it may stand right above the end of the stack. Its call-frame
// information describes that ucontext as a signal frame's does (through rsp, then through rbx, which
// keeps it while the stack pointer is elsewhere), so an unwinder walks from the handler (a backtrace it
// takes, an exception thrown out of it, a crash record) into the interrupted code. The nop before it is
// covered too: unwinders look a return address up one byte early.
extern "C" void velo_darwin_handed_on_handler_returned();
extern "C" __attribute__((visibility("hidden"))) void velo_darwin_tell_came_back();
// The stack the word that a handler came back is told on: a few frames deep (the observer's), never
// interrupted (every signal held off), one per thread. A crash handler's entry that finds no stack to be
// lent waits for one on it too (HandlerEntry.cpp), standing still for a recorder.
constexpr std::size_t kCameBackStackSize = 2048;
extern "C" {
__attribute__((tls_model("initial-exec"), visibility("hidden"),
               aligned(16))) thread_local unsigned char velo_darwin_came_back_stack[kCameBackStackSize];
}
static_assert(offsetof(ucontext_t, uc_mcontext.gregs) == 40 && REG_RSP == 15 && REG_RIP == 16 &&
                  REG_R8 == 0 && REG_RAX == 13,
              "the offsets in the call-frame information below");
asm(R"(
    # The registers of the interrupted code, in the ucontext that DW_OP_breg `breg` (plus 0) points at:
    # 0x77 for rsp, 0x73 for rbx.
    .macro velo_darwin_ucontext_cfi breg
    .cfi_escape 0x0f, 0x04, \breg, 0xa0, 0x01, 0x06 # CFA: gregs[REG_RSP], the interrupted rsp
    .cfi_escape 0x10, 0x00, 0x03, \breg, 0x90, 0x01 # rax: gregs[REG_RAX]
    .cfi_escape 0x10, 0x01, 0x03, \breg, 0x88, 0x01 # rdx
    .cfi_escape 0x10, 0x02, 0x03, \breg, 0x98, 0x01 # rcx
    .cfi_escape 0x10, 0x03, 0x03, \breg, 0x80, 0x01 # rbx
    .cfi_escape 0x10, 0x04, 0x03, \breg, 0xf0, 0x00 # rsi
    .cfi_escape 0x10, 0x05, 0x03, \breg, 0xe8, 0x00 # rdi
    .cfi_escape 0x10, 0x06, 0x03, \breg, 0xf8, 0x00 # rbp
    .cfi_escape 0x10, 0x08, 0x02, \breg, 0x28       # r8
    .cfi_escape 0x10, 0x09, 0x02, \breg, 0x30       # r9
    .cfi_escape 0x10, 0x0a, 0x02, \breg, 0x38       # r10
    .cfi_escape 0x10, 0x0b, 0x03, \breg, 0xc0, 0x00 # r11
    .cfi_escape 0x10, 0x0c, 0x03, \breg, 0xc8, 0x00 # r12
    .cfi_escape 0x10, 0x0d, 0x03, \breg, 0xd0, 0x00 # r13
    .cfi_escape 0x10, 0x0e, 0x03, \breg, 0xd8, 0x00 # r14
    .cfi_escape 0x10, 0x0f, 0x03, \breg, 0xe0, 0x00 # r15
    .cfi_escape 0x10, 0x10, 0x03, \breg, 0xa8, 0x01 # the return address: gregs[REG_RIP]
    .endm
    .section .rodata
    .p2align 3
velo_darwin_every_signal:
    .quad -1
    .text
    .p2align 4
    .globl velo_darwin_handed_on_handler_returned
    .hidden velo_darwin_handed_on_handler_returned
    .type velo_darwin_handed_on_handler_returned, @function
    .cfi_startproc simple
    .cfi_signal_frame
    velo_darwin_ucontext_cfi 0x77
    nop
velo_darwin_handed_on_handler_returned:
    movq %rsp, %rbx
    velo_darwin_ucontext_cfi 0x73                   # the same through rbx, which keeps the ucontext
    movl $14, %eax                                  # rt_sigprocmask(SIG_BLOCK, every signal, 0, 8)
    xorl %edi, %edi
    leaq velo_darwin_every_signal(%rip), %rsi
    xorl %edx, %edx
    movl $8, %r10d
    syscall
    movq velo_darwin_came_back_stack@gottpoff(%rip), %rax
    addq %fs:0, %rax
    leaq 2048(%rax), %rsp
    call velo_darwin_tell_came_back
    movq %rbx, %rsp
    movq $15, %rax
    syscall
    hlt
    .cfi_endproc
    .size velo_darwin_handed_on_handler_returned, .-velo_darwin_handed_on_handler_returned
)");
static_assert(kCameBackStackSize == 2048, "the stack's size in the return stub above and the crash entry");
asm(R"(
    .text
    .p2align 4
    .globl velo_darwin_enter_handler
    .hidden velo_darwin_enter_handler
    .type velo_darwin_enter_handler, @function
velo_darwin_enter_handler:
    .cfi_startproc
    .cfi_undefined rip
    movq %rdi, %rsp
    movq %rsi, %r11
    movq %rdx, %rdi
    movq %rcx, %rsi
    movq %r8, %rdx
    movq %r9, %rbp
    xorl %eax, %eax
    jmpq *%r11
    .cfi_endproc
    .size velo_darwin_enter_handler, .-velo_darwin_enter_handler
)");
#endif

namespace darwin {

namespace {

std::atomic<HandingOnObserver> handingOnObserver{nullptr};

bool hasHandler(const struct sigaction& disposition) {
    if ((disposition.sa_flags & SA_SIGINFO) != 0) return disposition.sa_sigaction != nullptr;
    return disposition.sa_handler != SIG_DFL && disposition.sa_handler != SIG_IGN;
}

void tell(const void* handler, HandingOn moment) {
    if (HandingOnObserver observer = handingOnObserver.load(std::memory_order_acquire))
        observer(currentThreadId(), handler, moment);
}

// The handler last entered at a kernel's frame on this thread, for the word that it came back.
// Initial-exec storage: read in a signal handler, it never allocates.
__attribute__((tls_model("initial-exec"))) thread_local const void* tEntered = nullptr;
__attribute__((tls_model("initial-exec"))) thread_local pid_t tEnteredBy = 0;

// The frames of the handlers this thread was handed signals to and may still run, newest last: the kernel's
// frame each was entered at (or, called from here, the frame of the handler that called), and the
// alternate stack that frame is on ([low, high), both 0 for the thread's own stack). Kept until the
// handler comes back, or, left by a jump, until a signal finds the thread elsewhere. Initial-exec storage:
// written and read in signal handlers.
struct HandedOn {
    std::uintptr_t frame;
    std::uintptr_t low;
    std::uintptr_t high;
};
constexpr int kHandedOnDepth = 4;
__attribute__((tls_model("initial-exec"))) thread_local HandedOn tHandedOn[kHandedOnDepth];
__attribute__((tls_model("initial-exec"))) thread_local int tHandedOnCount = 0;

// Notes a handler about to run from `frame`, whose signal came with `context`; the oldest is forgotten
// when the thread already runs kHandedOnDepth of them.
void noteHandedOn(const void* frame, const void* context) {
    if (frame == nullptr) return;
    if (tHandedOnCount == kHandedOnDepth) {
        for (int i = 1; i < kHandedOnDepth; ++i)
            tHandedOn[i - 1] = tHandedOn[i];
        --tHandedOnCount;
    }
    HandedOn& entry = tHandedOn[tHandedOnCount];
    entry = {reinterpret_cast<std::uintptr_t>(frame), 0, 0};
#if defined(__x86_64__)
    if (context != nullptr) {
        const stack_t& alternate = static_cast<const ucontext_t*>(context)->uc_stack;
        const auto low = reinterpret_cast<std::uintptr_t>(alternate.ss_sp);
        if ((alternate.ss_flags & SS_DISABLE) == 0 && entry.frame > low &&
            entry.frame - low <= alternate.ss_size)
            entry = {entry.frame, low, low + alternate.ss_size};
    }
#else
    (void)context;
#endif
    std::atomic_signal_fence(std::memory_order_seq_cst);
    ++tHandedOnCount;
}

void forgetNewestHandedOn() {
    if (tHandedOnCount > 0) --tHandedOnCount;
}

// The signal frame the kernel made as it entered the handler that got `context`, when the kernel entered
// that handler itself (or this file entered it there, as the kernel would have): the frame lies 16-byte
// aligned right below `context`, and its first word, the handler's return address, is that handler's own
// (`handlerReturn`) and a restorer, code that ends in rt_sigreturn, or
// velo_darwin_handed_on_handler_returned. Null otherwise: for a handler another one called (a sanitizer's
// runtime stands between), or a context from anywhere else. It may be asked from a stack lent to the
// handler, so the frame's place says nothing of where the asker stands.
void* kernelSignalFrame(void* context, const void* handlerReturn) {
#if defined(__x86_64__)
    const auto at = reinterpret_cast<std::uintptr_t>(context);
    if (context == nullptr || handlerReturn == nullptr || at % 16 != 0) return nullptr;
    // mov $15, %rax; syscall: rt_sigreturn, as every restorer on this architecture ends.
    static constexpr unsigned char kReturnFromSignal[] = {0x48, 0xc7, 0xc0, 0x0f, 0x00,
                                                          0x00, 0x00, 0x0f, 0x05};
    std::uintptr_t restorer = 0;
    unsigned char code[sizeof kReturnFromSignal];
    if (!readMemory(at - sizeof restorer, &restorer, sizeof restorer) ||
        restorer != reinterpret_cast<std::uintptr_t>(handlerReturn)) {
        return nullptr;
    }
    if (restorer != reinterpret_cast<std::uintptr_t>(velo_darwin_handed_on_handler_returned) &&
        (!readMemory(restorer, code, sizeof code) ||
         std::memcmp(code, kReturnFromSignal, sizeof code) != 0)) {
        return nullptr;
    }
    return reinterpret_cast<void*>(at - sizeof restorer);
#else
    (void)context;
    (void)handlerReturn;
    return nullptr;
#endif
}

#if defined(__x86_64__)
// The kernel's signal frame, as rt_sigreturn reads it back: the handler's return address, the ucontext as
// the kernel lays it out (its 8-byte signal mask closes it, where the C library's type goes on), then the
// siginfo. The FPU state lies above it, 64-byte aligned, where uc_mcontext.fpregs points; below the
// interrupted stack pointer the kernel leaves the red zone of the System V ABI alone.
constexpr std::size_t kKernelUcontextSize = offsetof(ucontext_t, uc_sigmask) + 8;
constexpr std::size_t kKernelFrameSize = sizeof(void*) + kKernelUcontextSize + sizeof(siginfo_t);
static_assert(kKernelFrameSize == 440, "the x86_64 rt_sigframe");
constexpr std::uintptr_t kRedZone = 128;

// The bytes of the FPU state the kernel saved for the interrupted code: the extended size its software
// bytes (at offset 464 of the legacy area) give when they carry the XSAVE mark, else the legacy area's
// 512 bytes; 0 when it saved none.
std::size_t savedFpuStateSize(const ucontext_t& context) {
    constexpr std::uint32_t kXSaveMark = 0x46505853; // "XSFP"
    constexpr std::uint32_t kLegacySize = 512;
    constexpr std::uint32_t kLargestSize = 64 * 1024;
    constexpr std::uintptr_t kSoftwareBytes = 464;
    const auto at = reinterpret_cast<std::uintptr_t>(context.uc_mcontext.fpregs);
    if (at == 0) return 0;
    std::uint32_t software[2] = {0, 0}; // the mark, then the extended size
    if (!readMemory(at + kSoftwareBytes, software, sizeof software)) return kLegacySize;
    return software[0] == kXSaveMark && software[1] >= kLegacySize && software[1] <= kLargestSize
               ? software[1]
               : kLegacySize;
}

// Whether the kernel made the frame at `frame` on the alternate stack while the interrupted code ran on
// another: the stack the kernel had then is in the frame (uc_stack), so a handler entered later reads the
// same whatever it has changed since.
bool frameOnTheAlternateStackAlone(const ucontext_t& context, const void* frame) {
    const auto low = reinterpret_cast<std::uintptr_t>(context.uc_stack.ss_sp);
    const std::size_t size = context.uc_stack.ss_size;
    const auto on = [&](std::uintptr_t sp) { return sp > low && sp - low <= size; };
    return (context.uc_stack.ss_flags & SS_DISABLE) == 0 && size != 0 &&
           on(reinterpret_cast<std::uintptr_t>(frame)) &&
           !on(static_cast<std::uintptr_t>(context.uc_mcontext.gregs[REG_RSP]));
}

// The frame the kernel would have made for a handler that runs on the interrupted code's own stack (one
// without SA_ONSTACK), where it would have made it: below the interrupted stack pointer and its red zone,
// holding the ucontext, siginfo and FPU state of the frame `context` and `info` stand in, so that what
// the handler changes there is what the interrupted code finds. Null when that stack has no room for it,
// where the kernel could not have delivered the signal either. Not inlined: its copy of the frame takes
// room only on the way to such a handler, not on that of every handler handed a signal.
__attribute__((noinline)) void* frameOnTheInterruptedStack(const ucontext_t& context, const void* info) {
    const auto sp = static_cast<std::uintptr_t>(context.uc_mcontext.gregs[REG_RSP]) - kRedZone;
    const std::size_t fpuSize = savedFpuStateSize(context);
    const std::uintptr_t fpu = (sp - fpuSize) & ~std::uintptr_t{63};
    const std::uintptr_t frame = ((fpu - kKernelFrameSize) & ~std::uintptr_t{15}) - sizeof(void*);
    unsigned char bytes[kKernelFrameSize];
    const void* returnAddress = reinterpret_cast<void*>(velo_darwin_handed_on_handler_returned);
    std::memcpy(bytes, &returnAddress, sizeof returnAddress);
    std::memcpy(bytes + sizeof returnAddress, &context, kKernelUcontextSize);
    void* const fpregs = fpuSize != 0 ? reinterpret_cast<void*>(fpu) : nullptr;
    std::memcpy(bytes + sizeof returnAddress + offsetof(ucontext_t, uc_mcontext.fpregs), &fpregs,
                sizeof fpregs);
    std::memcpy(bytes + sizeof returnAddress + kKernelUcontextSize, info, sizeof(siginfo_t));
    if ((fpuSize != 0 && !writeMemory(fpu, context.uc_mcontext.fpregs, fpuSize)) ||
        !writeMemory(frame, bytes, sizeof bytes)) {
        return nullptr;
    }
    return reinterpret_cast<void*>(frame);
}
#endif

// Where a handler called from here (rather than entered at a frame) stands: below the frame the kernel
// made for the handler that called this one, whose context came with the signal, or, without one, below
// the caller's own.
__attribute__((noinline)) const void* callersFrame(const void* context) {
    return context != nullptr ? static_cast<const char*>(context) - sizeof(void*)
                              : __builtin_frame_address(0);
}

// A hand-off to the handler of `disposition`, called with what the signal came with, under `mask`.
void aim(HandOff& off, HandOff::Kind kind, int number, const struct sigaction& disposition, siginfo_t* info,
         void* context, KernelMask mask) {
    off.kind = kind;
    off.number = number;
    off.withInfo = (disposition.sa_flags & SA_SIGINFO) != 0;
    off.handler = handlerOf(disposition);
    off.info = info;
    off.context = context;
    off.mask = mask;
}

// The code of a SIGSYS a seccomp filter's trap raises (SYS_SECCOMP).
constexpr int kTrappedBySeccomp = 1;

// What the kernel does as it delivers a signal to a handler, for one called by hand: the disposition
// goes back to the default first when the handler asked for that, and the handler runs under the mask
// of the interrupted code, its own sa_mask and, unless it asked otherwise, the signal itself; a fault
// inside it while that signal is held off ends the process, as the kernel has it. It gets the original
// siginfo and context, so what it changes there (the registers a trapped system call returns, a step
// over the faulting instruction) is what the interrupted code finds. The suspension signal is held off
// too: a recording elsewhere meanwhile does not stop it, whose frame would land below the handler's on what
// may be the last of its stack (an app's own alternate stack, made for that handler alone).
//
// Where the signal came with a frame of the kernel's, the handler is entered there, as the kernel would
// have entered it: with all the room the kernel left it below that frame (an app's own alternate stack
// is often made just big enough for its own handler), none of it taken by the frames that hand it on,
// which are done with, and with the frame's own siginfo, which is what the kernel hands every handler
// (filled only when the disposition that brought the signal asked for it). It returns as from the kernel,
// through rt_sigreturn, to the interrupted code under that code's mask, once the observer is told it came
// back.
void planCall(HandOff& off, int number, const struct sigaction& disposition, siginfo_t* info, void* context,
              const void* handlerReturn) {
    if ((disposition.sa_flags & SA_RESETHAND) != 0) {
        struct sigaction reset {};
        reset.sa_handler = SIG_DFL;
        sigemptyset(&reset.sa_mask);
        signalAction(number, &reset, nullptr);
    }
    KernelMask blocked = 0;
    if (context != nullptr)
        blocked = kernelMaskOf(static_cast<const ucontext_t*>(context)->uc_sigmask);
    else
        setMask(SIG_SETMASK, nullptr, &blocked);
    blocked |= kernelMaskOf(disposition.sa_mask);
    // But for a sandbox's answer to a call its filter trapped, run on the interrupted code's own stack (as
    // one that did not ask for the alternate stack is): a broker may make the call itself there and wait
    // in it (a futex, a read) for as long as the call takes, and held off, the thread could not be
    // stopped, and so not recorded, meanwhile.
    const bool answersATrappedCall = number == SIGSYS && info != nullptr &&
                                     info->si_code == kTrappedBySeccomp &&
                                     (disposition.sa_flags & SA_ONSTACK) == 0;
    if (!answersATrappedCall) blocked |= bitOf(suspensionSignal());
    if ((disposition.sa_flags & SA_NODEFER) == 0) blocked |= bitOf(number);
    aim(off, HandOff::Kind::call, number, disposition, info, context, blocked);
#if defined(__x86_64__)
    if (void* frame = kernelSignalFrame(context, handlerReturn); frame != nullptr) {
        const auto& kernels = *static_cast<const ucontext_t*>(context);
        off.framePointer = static_cast<unsigned long>(kernels.uc_mcontext.gregs[REG_RBP]);
        if ((disposition.sa_flags & SA_ONSTACK) == 0 && frameOnTheAlternateStackAlone(kernels, frame)) {
            // The kernel runs a handler that did not ask for the alternate stack on the stack the
            // interrupted code was on: it may need more room than the alternate stack has below ours
            // (an app's own, made for its own small handlers), and it may ask where it runs.
            frame = frameOnTheInterruptedStack(kernels, static_cast<char*>(context) + kKernelUcontextSize);
            if (frame == nullptr) {
                // As the kernel does with a signal it has no room to deliver: the stack is at its limit,
                // or reaches the mapping below it.
                off.kind = HandOff::Kind::none;
                giveDefaultAction(SIGSEGV, false);
                return;
            }
            context = static_cast<char*>(frame) + sizeof(void*);
        } else {
            *static_cast<void**>(frame) = reinterpret_cast<void*>(velo_darwin_handed_on_handler_returned);
        }
        // The frame's own siginfo, which the kernel left unfilled where the caller was given none: its
        // number cleared, a handler of ours that reads it knows it holds nothing.
        auto* const framesInfo =
            reinterpret_cast<siginfo_t*>(static_cast<char*>(context) + kKernelUcontextSize);
        if (info == nullptr) framesInfo->si_signo = 0;
        tEntered = off.handler;
        tEnteredBy = currentThreadId();
        off.kind = HandOff::Kind::enterAtFrame;
        off.frame = frame;
        off.context = context;
        off.info = framesInfo;
    }
#else
    (void)handlerReturn;
#endif
}

void callTheHandler(const HandOff& off) {
    if (off.withInfo)
        reinterpret_cast<void (*)(int, siginfo_t*, void*)>(off.handler)(off.number, off.info, off.context);
    else
        reinterpret_cast<void (*)(int)>(off.handler)(off.number);
}

} // namespace

} // namespace darwin

void velo_darwin_tell_came_back() {
    const int savedErrno = errno;
    darwin::forgetNewestHandedOn();
    // The thread as it was told going: nothing here asks the kernel, every signal held off (a call a
    // sandbox's filter traps would end the process).
    if (darwin::HandingOnObserver observer = darwin::handingOnObserver.load(std::memory_order_acquire))
        observer(darwin::tEnteredBy, darwin::tEntered, darwin::HandingOn::cameBack);
    errno = savedErrno;
}

namespace darwin {

namespace {

// The kernel's own form of a disposition (handler, flags, restorer, mask): a quarter of the C library's,
// for a handler that may have little stack left.
struct KernelDisposition {
    void (*handler)(int);
    unsigned long flags;
    void (*restorer)();
    KernelMask mask;
};

bool setKernelDisposition(int number, void (*handler)(int)) {
    const KernelDisposition disposition{handler, 0, nullptr, 0};
    return darwin::systemCall(SYS_rt_sigaction, number, &disposition, nullptr, sizeof(KernelMask)) == 0;
}

// The C library's return from a handler, as its sigaction gives the kernel: learned from a disposition
// read (kernelSigaction), so that one set later can name it too.
std::atomic<void (*)()> libraryRestorer{nullptr};
// The kernel's flag that a disposition names its restorer (SA_RESTORER), which the C library keeps to itself.
constexpr unsigned long kRestorerFlag = 0x04000000;

} // namespace

// A sanitizer's runtime stands between the program and the kernel's dispositions (it installs handlers of
// its own and keeps the program's): there only its sigaction sees them as the program set them.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define VELO_SIGACTION_INTERCEPTED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define VELO_SIGACTION_INTERCEPTED 1
#endif
#endif

int kernelSigaction(int number, const struct sigaction* action, struct sigaction* previous) {
#if defined(VELO_SIGACTION_INTERCEPTED)
    return sigaction(number, action, previous);
#endif
    KernelDisposition wanted{};
    if (action != nullptr) {
        wanted.handler = action->sa_handler;
        wanted.flags = static_cast<unsigned long>(action->sa_flags) & ~kRestorerFlag;
        wanted.mask = kernelMaskOf(action->sa_mask);
        if (action->sa_handler != SIG_DFL && action->sa_handler != SIG_IGN) {
            void (*restorer)() = libraryRestorer.load(std::memory_order_relaxed);
            // None learned yet: the C library's own call, which knows its restorer.
            if (restorer == nullptr) return sigaction(number, action, previous);
            wanted.flags |= kRestorerFlag;
            wanted.restorer = restorer;
        }
    }
    KernelDisposition was{};
    if (darwin::systemCall(SYS_rt_sigaction, number, action != nullptr ? &wanted : nullptr,
                           previous != nullptr ? &was : nullptr, sizeof(KernelMask)) != 0)
        return -1;
    if (previous != nullptr) {
        *previous = {};
        previous->sa_handler = was.handler;
        previous->sa_flags = static_cast<int>(was.flags);
        previous->sa_restorer = was.restorer;
        sigemptyset(&previous->sa_mask);
        std::memcpy(&previous->sa_mask, &was.mask, sizeof was.mask);
        if ((was.flags & kRestorerFlag) != 0 && was.restorer != nullptr)
            libraryRestorer.store(was.restorer, std::memory_order_relaxed);
    }
    return 0;
}

void ignoreInTheKernel(int number) {
    setKernelDisposition(number, SIG_IGN);
}

void endWithoutTheDefaultAction(int number) {
    const KernelMask it = bitOf(number);
#if defined(__x86_64__)
    if (setMask(SIG_BLOCK, &it, nullptr) == 0) {
        switch (number) {
        case SIGSEGV:
            asm volatile("movl $0, 0" ::: "memory");
            break;
        case SIGILL:
            asm volatile("ud2");
            break;
        case SIGTRAP:
            asm volatile("int3");
            break;
        case SIGFPE:
            asm volatile("xor %%ecx, %%ecx\n\tmov $1, %%eax\n\txor %%edx, %%edx\n\tdiv %%ecx" ::
                             : "eax", "ecx", "edx");
            break;
        case SIGBUS: {
            // A read of a shared mapping past the end of its empty file.
            const long file = darwin::systemCall(SYS_memfd_create, "velo-bus", MFD_CLOEXEC, 0, 0, 0, 0);
            const long page =
                file < 0 ? -1 : darwin::systemCall(SYS_mmap, 0, 4096, PROT_READ, MAP_SHARED, file, 0);
            if (page > 0) asm volatile("movb (%0), %%al" ::"r"(page) : "eax", "memory");
            break;
        }
        default:
            break;
        }
    }
#else
    (void)it;
#endif
    for (;;)
        darwin::systemCall(SYS_kill, darwin::currentProcessId(), SIGKILL);
}

void giveDefaultAction(int number, bool reexecutes) {
    // Refused by a sandbox, the handler that may not be taken away would only be entered again, for good.
    if (!setKernelDisposition(number, SIG_DFL)) endWithoutTheDefaultAction(number);
    // A fault comes back once the interrupted code runs again under its own mask: the caller's stays as it
    // is (a handler that called this one as the handler it replaced finds it as the kernel left it). A
    // signal that does not come back is sent again, and let through to end the process.
    if (reexecutes) return;
    const KernelMask it = bitOf(number);
    setMask(SIG_UNBLOCK, &it, nullptr);
    sendToThisThread(number);
}

bool comesBackByItself(int number, const siginfo_t* info) {
    return info != nullptr && info->si_code > 0 && number != SIGTRAP && number != SIGSYS;
}

bool forcedByTheKernel(int number, const siginfo_t* info) {
    // Codes above 0 are the kernel's own. Of those, an abort is never the kernel's, and a machine check
    // that only advises (BUS_MCEERR_AO) is sent, not forced.
    return info != nullptr && info->si_code > 0 && number != SIGABRT &&
           !(number == SIGBUS && info->si_code == BUS_MCEERR_AO);
}

bool trappedWithoutSiginfo(int number, const void* context) {
#if defined(__x86_64__)
    if (context == nullptr || (number != SIGTRAP && number != SIGSYS)) return false;
    const auto& registers = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    // The kernel keeps the number of the last trap that raised a signal on the thread: a breakpoint (3) or
    // a debug trap (1) for the SIGTRAP it forces.
    constexpr greg_t kDebugTrap = 1;
    constexpr greg_t kBreakpointTrap = 3;
    if (number == SIGTRAP)
        return registers[REG_TRAPNO] == kDebugTrap || registers[REG_TRAPNO] == kBreakpointTrap;
    // A call a filter trapped is rolled back to its own number, which the interrupted code finds in the
    // call's return register, right after its `syscall` instruction; a raise, as any call that ran, leaves
    // its result there (0 for the one that lets the signal through).
    unsigned char call[2] = {0, 0};
    return registers[REG_RAX] > 0 &&
           readMemory(static_cast<std::uintptr_t>(registers[REG_RIP]) - sizeof call, call, sizeof call) &&
           call[0] == 0x0f && call[1] == 0x05;
#else
    (void)number;
    (void)context;
    return false;
#endif
}

bool contextFromTheKernel(void* context, const void* handlerReturn) {
    return kernelSignalFrame(context, handlerReturn) != nullptr;
}

void* interruptedContext(const HandlerEntry& entry) {
    if (entry.context == nullptr || isNullAddress(entry.context)) return nullptr;
    return siginfoFilled(entry.number, entry.info) || contextFromTheKernel(entry.context, entry.handlerReturn)
               ? entry.context
               : nullptr;
}

__attribute__((tls_model("initial-exec"))) thread_local int detail::tOwnWork = 0;

namespace {

// Whether the calling thread answers a trapped call of the reporter's own (answerOwnTrappedCall).
__attribute__((tls_model("initial-exec"))) thread_local bool tAnswering = false;
// Whether the calling thread reads a disposition to learn whether a handler's siginfo is the kernel's
// (siginfoFilled): a sandbox that traps that read too must not bring it back there.
__attribute__((tls_model("initial-exec"))) thread_local bool tReadingDisposition = false;
// Whether the reporter's work on the calling thread lets through a SIGSYS the interrupted code held off
// (OwnCallsLetThrough).
__attribute__((tls_model("initial-exec"))) thread_local bool tSandboxHeldOff = false;
// The last system call of the reporter's own work on the calling thread that a seccomp filter trapped
// (forgetTrappedCall, lastCallTrapped); -1 for none.
__attribute__((tls_model("initial-exec"))) thread_local long tLastTrappedCall = -1;

} // namespace

} // namespace darwin

// How many threads of the process are in the reporter's own work; counted by the crash handlers' entry
// (HandlerEntry.cpp) too.
extern "C" {
__attribute__((visibility("hidden"))) std::atomic<int> velo_darwin_threads_in_own_work{0};
}
// How many exits are committed (markExitCommitted): one at most, but for exits on several threads at once.
static std::atomic<int> exitsCommitted{0};

namespace darwin {

OwnWork::OwnWork() {
    if (detail::tOwnWork++ == 0) velo_darwin_threads_in_own_work.fetch_add(1, std::memory_order_seq_cst);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

OwnWork::~OwnWork() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (--detail::tOwnWork == 0) velo_darwin_threads_in_own_work.fetch_sub(1, std::memory_order_seq_cst);
}

OwnCallsLetThrough::OwnCallsLetThrough(const void* interruptedContext) {
    const auto* uc = static_cast<const ucontext_t*>(interruptedContext);
    if (uc == nullptr || tSandboxHeldOff || (kernelMaskOf(uc->uc_sigmask) & bitOf(SIGSYS)) == 0) return;
    tSandboxHeldOff = true;
    letThrough_ = true;
    const KernelMask sandboxes = bitOf(SIGSYS);
    setMask(SIG_UNBLOCK, &sandboxes, nullptr);
}

OwnCallsLetThrough::~OwnCallsLetThrough() {
    if (!letThrough_) return;
    // Held off again: whatever runs next on the way on (a handler of the program's called under this mask)
    // finds it as the kernel left it.
    const KernelMask sandboxes = bitOf(SIGSYS);
    setMask(SIG_BLOCK, &sandboxes, nullptr);
    tSandboxHeldOff = false;
}

bool ownWorkUnderWay() {
    return velo_darwin_threads_in_own_work.load(std::memory_order_seq_cst) != 0;
}

void forgetTheParentsOwnWork() {
    velo_darwin_threads_in_own_work.store(detail::tOwnWork != 0 ? 1 : 0, std::memory_order_relaxed);
    exitsCommitted.store(0, std::memory_order_relaxed);
}

void markExitCommitted() {
    exitsCommitted.fetch_add(1, std::memory_order_seq_cst);
}

void unmarkExitCommitted() {
    exitsCommitted.fetch_sub(1, std::memory_order_seq_cst);
}

bool exitCommitted() {
    return exitsCommitted.load(std::memory_order_seq_cst) > 0;
}

void forgetTrappedCall() {
    tLastTrappedCall = -1;
}

bool lastCallTrapped(long systemCall) {
    return tLastTrappedCall == systemCall;
}

bool answerOwnTrappedCall(int number, siginfo_t* info, void* context, const struct sigaction& programs) {
#if defined(__x86_64__)
    if (detail::tOwnWork == 0 || number != SIGSYS || context == nullptr) return false;
    auto* uc = static_cast<ucontext_t*>(context);
    // The disposition read that tells whether this siginfo is the kernel's was itself trapped: it fails,
    // and the info is checked without it.
    if (tReadingDisposition) {
        uc->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
        return true;
    }
    if (!siginfoFilled(SIGSYS, info) || info->si_code != kTrappedBySeccomp) return false;
    tLastTrappedCall = info->si_syscall;
    // A call of this answer's own that the filter traps too (the mask it sets, say) fails at once: the
    // answer would only come back here. So does one made where the program held its handler off.
    if (!hasHandler(programs) || tAnswering || tSandboxHeldOff) {
        uc->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
        return true;
    }
    tAnswering = true;
    // Under the mask the kernel gives the program's handler: the interrupted code's, the handler's own and
    // the signal itself unless it asked otherwise. The handler runs as part of the reporter's work (not a
    // crash handed on), so no observer hears of it; and a disposition that asked to be reset once it ran
    // stays as it is, since the reporter's handler, not the program's, is the kernel's for it now.
    KernelMask blocked = kernelMaskOf(uc->uc_sigmask) | kernelMaskOf(programs.sa_mask);
    if ((programs.sa_flags & SA_NODEFER) == 0) blocked |= bitOf(SIGSYS);
    KernelMask before = 0;
    setMask(SIG_SETMASK, &blocked, &before);
    if ((programs.sa_flags & SA_SIGINFO) != 0)
        programs.sa_sigaction(SIGSYS, info, context);
    else
        programs.sa_handler(SIGSYS);
    setMask(SIG_SETMASK, &before, nullptr);
    tAnswering = false;
    return true;
#else
    (void)number;
    (void)info;
    (void)context;
    (void)programs;
    return false;
#endif
}

void planHandOn(HandOff& off, int number, siginfo_t* info, void* context, const void* handlerReturn) {
    // A copy: the handler may change the disposition it was called through.
    struct sigaction disposition {};
    signalAction(number, nullptr, &disposition);
    planHandOnTo(off, number, disposition, info, context, handlerReturn);
}

void planHandOnTo(HandOff& off, int number, const struct sigaction& disposition, siginfo_t* info,
                  void* context, const void* handlerReturn) {
    off = HandOff{};
    off.savedErrno = errno;
    const bool reexecutes = comesBackByItself(number, info);
    if (hasHandler(disposition)) {
        planCall(off, number, disposition, info, context, handlerReturn);
        errno = off.savedErrno;
        return;
    }
    const bool forced =
        info != nullptr ? forcedByTheKernel(number, info) : trappedWithoutSiginfo(number, context);
    if (disposition.sa_handler == SIG_IGN && !forced) {
        // Without a siginfo a fault cannot be told from a signal sent: the kernel, which can, holds the
        // ignored disposition as the interrupted code goes on, forcing a fault that runs again to its
        // default action and leaving a sent signal ignored.
        if (info == nullptr) ignoreInTheKernel(number);
        tell(handlerOf(disposition), HandingOn::cameBack);
        return;
    }
    // A signal the kernel forces may not be ignored: it gets its default action, as here.
    giveDefaultAction(number, reexecutes);
    errno = off.savedErrno;
}

bool planHandOnAtACommittedExit(HandOff& off, int number, const struct sigaction& disposition,
                                siginfo_t* info, void* context, const void* handlerReturn, bool chained,
                                int savedErrno) {
    if (!exitCommitted()) return false;
    // A copy: a disposition that asks to be reset is reset as the plan is made.
    const struct sigaction to = disposition;
    const KernelMask stop = bitOf(suspensionSignal());
    setMask(SIG_BLOCK, &stop, nullptr);
    errno = savedErrno;
    const bool forced =
        info != nullptr ? forcedByTheKernel(number, info) : trappedWithoutSiginfo(number, context);
    if (chained) {
        planPassToReplacedHandler(off, number, to, info, context);
    } else if (hasHandler(to) || (to.sa_handler == SIG_IGN && !forced)) {
        planHandOnTo(off, number, to, info, context, handlerReturn);
    } else {
        off = HandOff{};
        giveDefaultAction(number, false);
    }
    return true;
}

void planPassToReplacedHandler(HandOff& off, int number, const struct sigaction& replaced, siginfo_t* info,
                               void* context) {
    off = HandOff{};
    off.savedErrno = errno;
    if (!hasHandler(replaced)) {
        tell(handlerOf(replaced), HandingOn::going);
        // A fault would only come back here, through the caller, once it runs again: it ends the process
        // as the kernel's default action, which the kernel gives a fault that is ignored too. A signal
        // that came without a siginfo may be one (a reporter installed by signal() calls this with the
        // number alone): it is given the default action the same way, and if it was sent instead, what
        // becomes of it is the caller's, as where that caller finds no handler to pass it to.
        if (info == nullptr || comesBackByItself(number, info)) giveDefaultAction(number, true);
        errno = off.savedErrno;
        return;
    }
    aim(off, HandOff::Kind::callReplaced, number, replaced, info, context, 0);
}

void noteCrashHandedOn(const HandOff& off) {
    if (off.kind == HandOff::Kind::enterAtFrame)
        noteHandedOn(off.frame, off.context);
    else if (off.kind != HandOff::Kind::none)
        noteHandedOn(callersFrame(off.context), off.context);
}

bool insideAHandlerHandedOn(const HandlerEntry& entry) {
#if defined(__x86_64__)
    const auto* context = static_cast<const ucontext_t*>(interruptedContext(entry));
    if (context == nullptr) return false;
    const auto sp = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
    constexpr std::uintptr_t kDeepestHandler = 64 * 1024 * 1024;
    while (tHandedOnCount > 0) {
        const HandedOn& newest = tHandedOn[tHandedOnCount - 1];
        const bool below = newest.high != 0 ? sp >= newest.low && sp < newest.frame
                                            : sp < newest.frame && newest.frame - sp < kDeepestHandler;
        if (below) return true;
        // Left by a jump (or below no frame of it now): the thread runs elsewhere.
        forgetNewestHandedOn();
    }
    return false;
#else
    (void)entry;
    return false;
#endif
}

// The observer hears that the signal goes on once the thread holds the suspension signal off, which it
// does until the handler is done: a watcher never finds it inside the handler without it.
void handOff(const HandOff& off) {
    switch (off.kind) {
    case HandOff::Kind::none:
        return;
    case HandOff::Kind::enterAtFrame:
#if defined(__x86_64__)
        setMask(SIG_SETMASK, &off.mask, nullptr);
        tell(off.handler, HandingOn::going);
        errno = off.savedErrno;
        velo_darwin_enter_handler(off.frame, off.handler, off.number, off.info, off.context,
                                  off.framePointer);
#else
        return;
#endif
    case HandOff::Kind::call: {
        KernelMask before = 0;
        setMask(SIG_SETMASK, &off.mask, &before);
        tell(off.handler, HandingOn::going);
        errno = off.savedErrno;
        callTheHandler(off);
        const int handlersErrno = errno;
        setMask(SIG_SETMASK, &before, nullptr);
        tell(off.handler, HandingOn::cameBack);
        errno = handlersErrno;
        return;
    }
    case HandOff::Kind::callReplaced:
        // Under the caller's own mask, as that caller would call it.
        tell(off.handler, HandingOn::going);
        errno = off.savedErrno;
        callTheHandler(off);
        return;
    }
}

bool calledByAnotherHandler(int number, void (*own)(int, siginfo_t*, void*),
                            const struct sigaction& replaced) {
    struct sigaction current {};
    if (signalAction(number, nullptr, &current) != 0) return false;
    return handlerOf(current) != reinterpret_cast<void*>(own) && handlerOf(current) != handlerOf(replaced);
}

bool siginfoFilled(int number, const siginfo_t* info) {
    if (info == nullptr || isNullAddress(info)) return false;
    KernelDisposition kernels{};
    long read = 0;
    {
        // As the reporter's own work, so that a sandbox trapping the read answers here, at once.
        const OwnWork own;
        tReadingDisposition = true;
        read = darwin::systemCall(SYS_rt_sigaction, number, nullptr, &kernels, sizeof(KernelMask));
        tReadingDisposition = false;
    }
    if (read == 0) return (kernels.flags & SA_SIGINFO) != 0 && info->si_signo == number;
    // A sandbox refuses the read: the info is the kernel's when it names this signal (read so that a
    // handler's garbage, from a caller that passed none, cannot fault).
    int named = 0;
    return readMemory(reinterpret_cast<std::uintptr_t>(&info->si_signo), &named, sizeof named) &&
           named == number;
}

bool lacksFlagsOrMask(const struct sigaction& action, int flags) {
    return (action.sa_flags & flags) != flags || sigismember(&action.sa_mask, suspensionSignal()) != 1;
}

void* handlerOf(const struct sigaction& action) {
    // One union: sa_handler and sa_sigaction are the same pointer, whichever the flags say it is.
    return reinterpret_cast<void*>(action.sa_handler);
}

void tellHandingOn(const void* handler, HandingOn moment) {
    tell(handler, moment);
}

void setHandingOnObserver(HandingOnObserver observer) {
    handingOnObserver.store(observer, std::memory_order_release);
}

} // namespace darwin
