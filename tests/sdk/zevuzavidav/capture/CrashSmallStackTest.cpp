// A recording never writes below the stack it runs on. A thread may carry an alternate signal stack of its
// own made for small handlers (8 KiB: the C library's old SIGSTKSZ), and several may throw at once with
// little of their own stack left: each record is made on a stack with room for it, whole, and the bytes
// below the thread's small stack stay as they were. Forked children crash for real; suites are named
// Crash* so sanitizer runs can leave them out.
#include "platform/darwin/ThreadStart.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "tests/sdk/zevuzavidav/fixtures/RecorderTrouble.h"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::wholeRecordsIn;
using json = nlohmann::json;

// A thread's own alternate signal stack of `kilobytes`, with readable memory right below it (as a heap
// block below an app's stack would be) filled with a pattern: a handler that runs past its bottom
// changes those bytes instead of faulting.
constexpr std::size_t kWatchedBelow = 64 * 1024;
constexpr unsigned char kPattern = 0xa5;

struct WatchedStack {
    unsigned char* below = nullptr; // kWatchedBelow bytes, then the stack

    bool give(std::size_t kilobytes) {
        void* memory = mmap(nullptr, kWatchedBelow + kilobytes * 1024, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return false;
        below = static_cast<unsigned char*>(memory);
        std::memset(below, kPattern, kWatchedBelow);
        stack_t stack{};
        stack.ss_sp = below + kWatchedBelow;
        stack.ss_size = kilobytes * 1024;
        return sigaltstack(&stack, nullptr) == 0;
    }
    // How many bytes below the stack were written.
    std::size_t written() const {
        std::size_t count = 0;
        for (std::size_t i = 0; i < kWatchedBelow; ++i)
            count += below[i] != kPattern ? 1 : 0;
        return count;
    }
};
WatchedStack watched;
int toldFd = -1;

// Installed before the crash reporter: the crash is handed on to it once recorded, on the small stack. It
// tells the test whether the memory below that stack is as it was: 'c' (clean) or 'w' (written).
void noteWhatWasWrittenAndReturn(int, siginfo_t*, void*) {
    const char byte = watched.written() == 0 ? 'c' : 'w';
    (void)!write(toldFd, &byte, 1);
}

enum class Ending { raisedAndReturned, abort };

struct SmallStackCase {
    std::size_t kilobytes;
    Ending ending;
};

void PrintTo(const SmallStackCase& c, std::ostream* out) {
    *out << (c.ending == Ending::abort ? "AbortOnA" : "ARaiseThatReturnsOnA") << c.kilobytes << "KiBStack";
}

class CrashOnASmallSignalStack : public ::testing::TestWithParam<SmallStackCase> {};

// SIGABRT on a thread whose own alternate stack is small: the record is whole, nothing below that stack
// changes, and the process ends by the abort (or goes on after a raise the earlier handler returns from).
TEST_P(CrashOnASmallSignalStack, TheRecordIsWholeAndNothingBelowTheStackChanges) {
    const SmallStackCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int told[2];
    ASSERT_EQ(pipe(told), 0);
    const int status = velotest::waitStatusOfChild([&] {
        toldFd = told[1];
        struct sigaction earlier {};
        earlier.sa_sigaction = noteWhatWasWrittenAndReturn;
        earlier.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&earlier.sa_mask);
        sigaction(SIGABRT, &earlier, nullptr);
        recordtest::initializeContext(dir, recordtest::Road::signals);
        pthread_t thread;
        const int made = pthread_create(
            &thread, nullptr,
            [](void* raw) -> void* {
                const auto& c = *static_cast<const SmallStackCase*>(raw);
                if (!watched.give(c.kilobytes)) _exit(kSetUpFailed);
                if (c.ending == Ending::abort) std::abort();
                raise(SIGABRT);
                _exit(0);
            },
            const_cast<SmallStackCase*>(&c));
        if (made != 0) _exit(kSetUpFailed);
        for (;;)
            pause();
    });
    close(told[1]);
    char seen = 0;
    EXPECT_EQ(read(told[0], &seen, 1), 1) << "the earlier handler never ran: " << howItEnded(status);
    close(told[0]);
    EXPECT_EQ(seen, 'c') << "bytes below the stack changed";
    if (c.ending == Ending::abort) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << howItEnded(status);
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << howItEnded(status);
    }
    EXPECT_EQ(wholeRecordsIn(dir, "signal.zevrecord").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(CrashOnASmallSignalStack, CrashOnASmallSignalStack,
                         ::testing::Values(SmallStackCase{8, Ending::raisedAndReturned},
                                           SmallStackCase{16, Ending::raisedAndReturned},
                                           SmallStackCase{8, Ending::abort},
                                           SmallStackCase{16, Ending::abort}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- several threads throwing at once with little stack left -------------------------------------

std::atomic<int> ready{0};
std::atomic<bool> go{false};

struct Thrower {
    std::size_t signalStackKiB; // 0: none at all
};

void* throwWhenAllAreReady(void* raw) {
    const auto& thrower = *static_cast<const Thrower*>(raw);
    if (thrower.signalStackKiB == 0) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    } else {
        WatchedStack own;
        if (!own.give(thrower.signalStackKiB)) _exit(kSetUpFailed);
    }
    ready.fetch_add(1);
    while (!go.load())
        ;
    return velo_fixture_throw_with_little_stack(reinterpret_cast<void*>(12L));
}

struct TogetherCase {
    std::vector<Thrower> throwers;
};

void PrintTo(const TogetherCase& c, std::ostream* out) {
    *out << c.throwers.size() << "Throwers";
    for (const auto& thrower : c.throwers)
        *out << "_"
             << (thrower.signalStackKiB == 0 ? std::string("NoSignalStack")
                                             : std::to_string(thrower.signalStackKiB) + "KiB");
}

class CrashLowStackThrowersAtOnce : public ::testing::TestWithParam<TogetherCase> {};

// Each thread throws with 12 KiB of its 256 KiB stack left, all at once. One recording at a time, each on a
// stack with room: every record written is whole, with every thread, and the abort that ends the process
// is recorded too.
TEST_P(CrashLowStackThrowersAtOnce, EveryRecordIsWholeWithItsThreads) {
    const TogetherCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        recordtest::initializeContext(dir);
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 256 * 1024);
        for (const Thrower& thrower : c.throwers) {
            pthread_t thread;
            if (pthread_create(&thread, &attributes, throwWhenAllAreReady, const_cast<Thrower*>(&thrower)) !=
                0)
                _exit(kSetUpFailed);
        }
        crashtest::setUpOrEnd([&] { return ready.load() == static_cast<int>(c.throwers.size()); });
        go = true;
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << howItEnded(status);
    const auto exceptions = wholeRecordsIn(dir, "exception.zevrecord");
    EXPECT_GE(exceptions.size(), 1u);
    EXPECT_EQ(wholeRecordsIn(dir, "signal.zevrecord").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(CrashLowStackThrowersAtOnce, CrashLowStackThrowersAtOnce,
                         ::testing::Values(TogetherCase{{{8}, {0}}}, TogetherCase{{{8}, {8}}},
                                           TogetherCase{{{8}, {16}, {0}, {8}}},
                                           TogetherCase{{{0}, {0}, {0}, {0}}}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- a handler from before the SDK with little stack left -------------------------------------------

// Memory the parent sees after the child is gone: kWatchedBelow bytes of pattern, then the stack proper.
struct SharedStack {
    static constexpr std::size_t kSize = kWatchedBelow + 64 * 1024;
    unsigned char* memory = nullptr;

    SharedStack() {
        void* mapped = mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return;
        memory = static_cast<unsigned char*>(mapped);
        std::memset(memory, kPattern, kSize);
    }
    ~SharedStack() {
        if (memory != nullptr) munmap(memory, kSize);
    }
    SharedStack(const SharedStack&) = delete;
    SharedStack& operator=(const SharedStack&) = delete;
    unsigned char* bottom() const { return memory + kWatchedBelow; }
    // How many bytes below the stack proper were written.
    std::size_t writtenBelow() const {
        std::size_t untouched = 0;
        while (untouched < kWatchedBelow && memory[untouched] == kPattern)
            ++untouched;
        return kWatchedBelow - untouched;
    }
};

// What the kernel leaves a handler unused, on purpose: the handler takes the rest.
constexpr std::size_t kSpare = 512;
unsigned char* stackBottom = nullptr;

// A handler that needs all but kSpare bytes of the room the kernel leaves it below the signal frame it
// makes (right above `context`): it fits where the kernel would run it, and only there.
void takeTheRoomTheKernelLeft(int, siginfo_t*, void* context) {
    const auto frame = reinterpret_cast<std::uintptr_t>(context) - sizeof(void*);
    const std::size_t room = frame - reinterpret_cast<std::uintptr_t>(stackBottom);
    volatile char* taken = static_cast<char*>(__builtin_alloca(room - kSpare));
    taken[0] = 1;
}

// 8 KiB of the thread's own stack left, no alternate stack; 2 KiB more of its own than the kernel's frame
// takes (AT_MINSIGSTKSZ), no alternate stack; an alternate stack of 8 KiB.
enum class LittleRoom { ownStack, ownStackBarely, alternateStack };

std::size_t roomLeft(LittleRoom where) {
    constexpr unsigned long kMinimalSignalStack = 51; // AT_MINSIGSTKSZ
    return where == LittleRoom::ownStackBarely ? getauxval(kMinimalSignalStack) + 2 * 1024 : 8 * 1024;
}
enum class Deliverer { kernel, exceptionPort, signals };

struct LittleRoomCase {
    LittleRoom where;
    int number; // SIGSEGV: a fault to a handler that asked for the default back; SIGABRT: a raise it returns
                // from
    Deliverer deliverer;
};

void PrintTo(const LittleRoomCase& c, std::ostream* out) {
    *out << (c.number == SIGSEGV ? "AFault" : "ARaisedAbort")
         << (c.where == LittleRoom::ownStack         ? "With8KiBOfItsOwnStackLeft"
             : c.where == LittleRoom::ownStackBarely ? "With2KiBOfItsOwnStackLeftPastTheKernelsFrame"
                                                     : "OnAn8KiBSignalStack")
         << (c.deliverer == Deliverer::kernel          ? "WithoutTheSDK"
             : c.deliverer == Deliverer::exceptionPort ? "OnThePortsRoad"
                                                       : "OnTheSignalRoad");
}

// Leaves `left` bytes of the stack above `stackBottom`, then crashes.
__attribute__((noinline)) void crashWithLittleLeft(int number, std::size_t left) {
    const auto sp = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    const auto keep = reinterpret_cast<std::uintptr_t>(stackBottom) + left;
    volatile char* taken = static_cast<char*>(__builtin_alloca(sp - keep));
    taken[0] = 0;
    if (number == SIGSEGV) recordtest::writeThroughNull();
    raise(number);
}

void* crashWithLittleRoom(void* raw) {
    const auto& c = *static_cast<const LittleRoomCase*>(raw);
    stack_t stack{};
    if (c.where != LittleRoom::alternateStack) {
        stack.ss_flags = SS_DISABLE;
    } else {
        stack.ss_sp = stackBottom;
        stack.ss_size = 8 * 1024;
    }
    if (sigaltstack(&stack, nullptr) != 0) _exit(kSetUpFailed);
    if (c.where != LittleRoom::alternateStack)
        crashWithLittleLeft(c.number, roomLeft(c.where));
    else if (c.number == SIGSEGV)
        recordtest::writeThroughNull();
    else
        raise(c.number);
    _exit(0);
}

class CrashHandedOnWithLittleRoom : public ::testing::TestWithParam<LittleRoomCase> {};

// A thread with 8 KiB of its own stack left and no alternate stack, or with an alternate stack of 8 KiB,
// crashes; the handler from before the SDK needs nearly all the room the kernel leaves it. The record is
// made elsewhere, the handler runs where the kernel would have run it, nothing below the stack is
// written, and the process ends, or goes on, as without the SDK. So too with only 2 KiB of its own stack
// left past the kernel's frame: the SDK's own frames fit there (some 1.1 KiB), and the thread waits for
// its fault's answer elsewhere, where the signal that stops it while its crash is recorded has room.
TEST_P(CrashHandedOnWithLittleRoom, TheHandlerHasTheKernelsRoomAndNothingBelowIsWritten) {
    const LittleRoomCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    SharedStack stack;
    ASSERT_NE(stack.memory, nullptr);
    const int status = velotest::waitStatusOfChild([&] {
        struct sigaction earlier {};
        earlier.sa_sigaction = takeTheRoomTheKernelLeft;
        earlier.sa_flags = SA_SIGINFO | SA_ONSTACK | (c.number == SIGSEGV ? SA_RESETHAND : 0);
        sigemptyset(&earlier.sa_mask);
        sigaction(c.number, &earlier, nullptr);
        if (c.deliverer != Deliverer::kernel)
            recordtest::initializeContext(dir, c.deliverer == Deliverer::exceptionPort
                                                   ? recordtest::Road::exceptionPort
                                                   : recordtest::Road::signals);
        stackBottom = stack.bottom();
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        if (c.where != LittleRoom::alternateStack)
            pthread_attr_setstack(&attributes, stack.bottom(), SharedStack::kSize - kWatchedBelow);
        pthread_t thread;
        if (pthread_create(&thread, &attributes, crashWithLittleRoom, const_cast<LittleRoomCase*>(&c)) != 0)
            _exit(kSetUpFailed);
        for (;;)
            pause();
    });
    if (c.number == SIGSEGV) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << howItEnded(status);
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << howItEnded(status);
    }
    EXPECT_EQ(stack.writtenBelow(), 0u) << "bytes below the stack were written";
    if (c.deliverer != Deliverer::kernel) {
        const char* file = c.number == SIGSEGV && c.deliverer == Deliverer::exceptionPort
                               ? "mach_exception.zevrecord"
                               : "signal.zevrecord";
        EXPECT_EQ(wholeRecordsIn(dir, file).size(), 1u);
    }
}

std::vector<LittleRoomCase> littleRoomCases() {
    std::vector<LittleRoomCase> cases;
    for (Deliverer deliverer : {Deliverer::kernel, Deliverer::exceptionPort, Deliverer::signals}) {
        cases.push_back({LittleRoom::ownStack, SIGSEGV, deliverer});
        cases.push_back({LittleRoom::ownStackBarely, SIGSEGV, deliverer});
        cases.push_back({LittleRoom::alternateStack, SIGSEGV, deliverer});
        cases.push_back({LittleRoom::alternateStack, SIGABRT, deliverer});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnWithLittleRoom, CrashHandedOnWithLittleRoom,
                         ::testing::ValuesIn(littleRoomCases()),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- a handler from before the SDK that runs on the thread's own stack ------------------------------

constexpr std::size_t kOffTheAlternateStackNeed = 12 * 1024;

// Where a handler found itself, as it tells the test: what sigaltstack says there ('a': on the alternate
// stack, 'd': it has none, 'o': off it), how far below the interrupted code's stack pointer its frame
// starts, and how far above that frame the FPU state it was handed lies. The kernel's run gives the
// distances; a frame made elsewhere, or one without the red zone, moves the first, and a context still
// pointing at the FPU state of another frame moves the second.
struct Placement {
    char where = 0;
    std::uint64_t frameBelowInterrupted = 0;
    std::int64_t fpuStateAboveFrame = 0;
    bool operator==(const Placement&) const = default;
};

void PrintTo(const Placement& p, std::ostream* out) {
    *out << "'" << (p.where != 0 ? p.where : '?') << "', frame " << p.frameBelowInterrupted
         << " bytes below the interrupted stack pointer, FPU state " << p.fpuStateAboveFrame
         << " bytes above the frame";
}

// Installed without SA_ONSTACK, so the kernel runs it on the stack the interrupted code was on, however
// small the thread's alternate stack is: it needs 12 KiB, more than that stack holds. It tells the test
// where it runs (a Placement).
void needMoreThanTheAlternateStack(int, siginfo_t*, void* context) {
    stack_t now{};
    sigaltstack(nullptr, &now);
    const auto& handed = *static_cast<const ucontext_t*>(context);
    Placement placement;
    placement.where = (now.ss_flags & SS_ONSTACK) != 0 ? 'a' : (now.ss_flags & SS_DISABLE) != 0 ? 'd' : 'o';
    // The frame begins with the handler's return address, right below the context.
    const auto frame = reinterpret_cast<std::uintptr_t>(context) - sizeof(void*);
    placement.frameBelowInterrupted = static_cast<std::uintptr_t>(handed.uc_mcontext.gregs[REG_RSP]) - frame;
    placement.fpuStateAboveFrame =
        static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(handed.uc_mcontext.fpregs) - frame);
    volatile char* taken = static_cast<char*>(__builtin_alloca(kOffTheAlternateStackNeed));
    for (std::size_t i = 0; i < kOffTheAlternateStackNeed; i += 64)
        taken[i] = 1;
    (void)!write(toldFd, &placement, sizeof placement);
}

struct OwnStackCase {
    int number; // SIGSEGV: a fault to a handler that asked for the default back; SIGABRT: a raise it returns
                // from
    bool autoDisarm; // the alternate stack is taken away while a handler runs on it
};

// SS_AUTODISARM, which the C library's headers do not name.
constexpr unsigned kAutoDisarm = 1U << 31;

void* crashOnAThreadWithAnAlternateStack(void* raw) {
    const auto& c = *static_cast<const OwnStackCase*>(raw);
    stack_t stack{};
    stack.ss_sp = stackBottom;
    stack.ss_size = 8 * 1024;
    stack.ss_flags = c.autoDisarm ? static_cast<int>(kAutoDisarm) : 0;
    if (sigaltstack(&stack, nullptr) != 0) _exit(kSetUpFailed);
    if (c.number == SIGSEGV)
        recordtest::writeThroughNull();
    else
        raise(SIGABRT);
    _exit(0);
}

void PrintTo(const OwnStackCase& c, std::ostream* out) {
    *out << (c.number == SIGSEGV ? "AFault" : "ARaisedAbort") << "OnAn8KiBSignalStack"
         << (c.autoDisarm ? "ThatDisarms" : "");
}

// Where the handler ran in a child where `deliverer` hands it the crash, and how the child ended.
struct HandedOn {
    Placement placement;
    int ending = -1; // the exit status, or 128 and the signal that ended it
    bool operator==(const HandedOn&) const = default;
};

void PrintTo(const HandedOn& h, std::ostream* out) {
    PrintTo(h.placement, out);
    *out << "; ending " << h.ending;
}

// What the handler told in a child where `deliverer` hands it the crash, and how the child ended; nothing
// below the small stack may be written.
HandedOn crashOffTheAlternateStack(const OwnStackCase& c, Deliverer deliverer, const std::string& dir) {
    SharedStack stack;
    EXPECT_NE(stack.memory, nullptr);
    if (stack.memory == nullptr) return {};
    crashtest::ToldPipe told;
    const int status = velotest::waitStatusOfChild([&] {
        toldFd = told.fds[1];
        struct sigaction earlier {};
        earlier.sa_sigaction = needMoreThanTheAlternateStack;
        earlier.sa_flags = SA_SIGINFO | (c.number == SIGSEGV ? SA_RESETHAND : 0);
        sigemptyset(&earlier.sa_mask);
        sigaction(c.number, &earlier, nullptr);
        if (deliverer != Deliverer::kernel)
            recordtest::initializeContext(dir, deliverer == Deliverer::exceptionPort
                                                   ? recordtest::Road::exceptionPort
                                                   : recordtest::Road::signals);
        stackBottom = stack.bottom();
        pthread_t thread;
        if (pthread_create(&thread, nullptr, crashOnAThreadWithAnAlternateStack,
                           const_cast<OwnStackCase*>(&c)) != 0)
            _exit(kSetUpFailed);
        for (;;)
            pause();
    });
    const std::string seen = told.readAll();
    EXPECT_EQ(seen.size(), sizeof(Placement)) << howItEnded(status);
    EXPECT_EQ(stack.writtenBelow(), 0u) << "bytes below the alternate stack were written";
    HandedOn handed;
    if (seen.size() == sizeof(Placement)) std::memcpy(&handed.placement, seen.data(), sizeof(Placement));
    handed.ending = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return handed;
}

class CrashHandedOnOffTheAlternateStack : public ::testing::TestWithParam<OwnStackCase> {};

// A thread with an alternate stack of its own of 8 KiB crashes; the handler from before the SDK did not
// ask for the alternate stack. The SDK's own handler runs there, and the record is made elsewhere; the
// earlier handler runs where the kernel would have run it, on the thread's own stack with the frame the
// kernel would have made there, to the byte, its context pointing at the FPU state of that frame, and
// sees what it sees without the SDK (sigaltstack's answer too). Nothing below the small stack is written,
// and the process ends, or goes on, as without the SDK.
TEST_P(CrashHandedOnOffTheAlternateStack, RunsWhereTheKernelRunsIt) {
    const OwnStackCase& c = GetParam();
    const velotest::TempFolder kernelFolder;
    const auto kernel = crashOffTheAlternateStack(c, Deliverer::kernel, kernelFolder.string());
    ASSERT_NE(kernel.placement.where, 0) << "the handler told nothing without the SDK";
    // The kernel's frame lies below the red zone, within the 12 KiB the handler takes, with the FPU state
    // above it: else the test reads some other place as the frame.
    constexpr std::uint64_t kRedZone = 128;
    constexpr std::int64_t kKernelFrameSize = 440;
    EXPECT_TRUE(kernel.placement.frameBelowInterrupted > kRedZone &&
                kernel.placement.frameBelowInterrupted < 16 * 1024 &&
                kernel.placement.fpuStateAboveFrame >= kKernelFrameSize)
        << "the kernel's own frame was not where the test looks for it: "
        << ::testing::PrintToString(kernel.placement);
    EXPECT_EQ(kernel.ending, c.number == SIGSEGV ? 128 + SIGSEGV : 0);
    for (Deliverer deliverer : {Deliverer::exceptionPort, Deliverer::signals}) {
        const velotest::TempFolder folder;
        const auto sdk = crashOffTheAlternateStack(c, deliverer, folder.string());
        const char* road =
            deliverer == Deliverer::exceptionPort ? "on the port's road" : "on the signal road";
        EXPECT_EQ(sdk, kernel) << road << " (a: on the alternate stack, d: none, o: off it)";
        const char* file = c.number == SIGSEGV && deliverer == Deliverer::exceptionPort
                               ? "mach_exception.zevrecord"
                               : "signal.zevrecord";
        EXPECT_EQ(wholeRecordsIn(folder.string(), file).size(), 1u) << road;
    }
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnOffTheAlternateStack, CrashHandedOnOffTheAlternateStack,
                         ::testing::Values(OwnStackCase{SIGABRT, false}, OwnStackCase{SIGSEGV, false},
                                           OwnStackCase{SIGABRT, true}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// The frame a handler was entered at, and how much of the stack right below it has changed once it
// returned.
std::atomic<std::uintptr_t> enteredAt{0};
constexpr std::size_t kBelowTheFrame = 512;

// Takes nothing below its frame (it keeps to its registers), as a handler may.
void noteTheFrame(int, siginfo_t*, void* context) {
    enteredAt.store(reinterpret_cast<std::uintptr_t>(context) - sizeof(void*), std::memory_order_relaxed);
}

// Fills what lies below the stack pointer with the pattern, then raises SIGABRT, to a handler without
// SA_ONSTACK on a thread whose alternate stack is elsewhere: the frame goes below the raise, on the
// pattern. Back from it, counts the bytes of the kBelowTheFrame below that frame that changed.
__attribute__((noinline)) std::size_t raiseOverAPattern() {
    std::uintptr_t sp = 0;
    asm volatile("movq %%rsp, %0" : "=r"(sp));
    auto* below = reinterpret_cast<volatile unsigned char*>(sp - 16 * 1024);
    for (std::size_t i = 0; i < 16 * 1024 - 256; ++i)
        below[i] = kPattern;
    raise(SIGABRT);
    const std::uintptr_t frame = enteredAt.load(std::memory_order_relaxed);
    std::size_t changed = 0;
    for (std::uintptr_t at = frame - kBelowTheFrame; at < frame; ++at)
        changed += *reinterpret_cast<volatile unsigned char*>(at) != kPattern ? 1 : 0;
    return changed;
}

// A handler entered at a frame made on the interrupted stack returns as from the kernel's own, whose
// restorer writes nothing: what it leaves below that frame is what it wrote there, and nothing more.
TEST(CrashHandedOnOffTheAlternateStack, NothingIsWrittenBelowTheFrameOnceTheHandlerReturns) {
    for (Deliverer deliverer : {Deliverer::kernel, Deliverer::exceptionPort, Deliverer::signals}) {
        const velotest::TempFolder folder;
        const std::string dir = folder.string();
        crashtest::ToldPipe told;
        const int status = velotest::waitStatusOfChild([&] {
            toldFd = told.fds[1];
            struct sigaction earlier {};
            earlier.sa_sigaction = noteTheFrame;
            earlier.sa_flags = SA_SIGINFO;
            sigemptyset(&earlier.sa_mask);
            sigaction(SIGABRT, &earlier, nullptr);
            if (deliverer != Deliverer::kernel)
                recordtest::initializeContext(dir, deliverer == Deliverer::exceptionPort
                                                       ? recordtest::Road::exceptionPort
                                                       : recordtest::Road::signals);
            static std::vector<unsigned char> alternate(64 * 1024);
            stack_t stack{};
            stack.ss_sp = alternate.data();
            stack.ss_size = alternate.size();
            if (sigaltstack(&stack, nullptr) != 0) _exit(kSetUpFailed);
            const std::size_t changed = raiseOverAPattern();
            (void)!write(toldFd, &changed, sizeof changed);
            _exit(0);
        });
        const std::string seen = told.readAll();
        ASSERT_EQ(seen.size(), sizeof(std::size_t)) << howItEnded(status);
        std::size_t changed = 0;
        std::memcpy(&changed, seen.data(), sizeof changed);
        EXPECT_EQ(changed, 0u) << (deliverer == Deliverer::kernel          ? "without the SDK"
                                   : deliverer == Deliverer::exceptionPort ? "on the port's road"
                                                                           : "on the signal road");
    }
}

// ---- what a record takes of its stack -------------------------------------------------------------

// A crash record of a process with a few hundred threads, made on a stack filled with a pattern: what it
// wrote of that stack stays within the room a recording asks for before it begins, with room to spare.
TEST(CrashRecordingStackRoom, ARecordTakesLessThanTheRoomItAsksFor) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int told[2];
    ASSERT_EQ(pipe(told), 0);
    const int status = velotest::waitStatusOfChild([&] {
        recordtest::initializeContext(dir);
        for (int i = 0; i < 200; ++i) {
            pthread_t thread;
            if (pthread_create(
                    &thread, nullptr,
                    [](void*) -> void* {
                        for (;;)
                            pause();
                    },
                    nullptr) != 0)
                _exit(kSetUpFailed);
        }
        static std::vector<unsigned char> stack(2 * zevuzavidav::kRecordingStackRoom, kPattern);
        static int out = told[1];
        void (*record)(void*) = [](void*) {
            ZEVExceptionRecord(zevuzavidav::kExceptionTypeCpp, "std::runtime_error", "measured", nullptr,
                               false);
        };
        if (!darwin::runOnLentAlternateStack(stack.data(), stack.size(), record, nullptr))
            _exit(kSetUpFailed);
        std::size_t untouched = 0;
        while (untouched < stack.size() && stack[untouched] == kPattern)
            ++untouched;
        const std::size_t used = stack.size() - untouched;
        (void)!write(out, &used, sizeof used);
        _exit(0);
    });
    close(told[1]);
    std::size_t used = 0;
    ASSERT_EQ(read(told[0], &used, sizeof used), static_cast<ssize_t>(sizeof used)) << howItEnded(status);
    close(told[0]);
    RecordProperty("bytesUsed", static_cast<int>(used));
    EXPECT_GT(wholeRecordsIn(dir, "exception.zevrecord").size(), 0u);
    EXPECT_LT(used, zevuzavidav::kRecordingStackRoom / 2)
        << "a record took " << used << " bytes of its stack";
}

} // namespace
