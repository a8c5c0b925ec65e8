// A crash handler's entry (platform/darwin/HandlerEntry.hpp) on threads with no alternate stack: however
// many take a signal at once, each body runs on a stack lent to it, never on the thread's own, and nothing
// but the entry's few bytes is written below the kernel's frame; more threads than kept stacks map stacks of
// their own, or, with no memory left to map one, wait for a kept one. x86_64; forked children.
#include "platform/darwin/HandlerEntry.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__)

// The kept stacks, as the entry lends them.
extern "C" std::atomic<char*> velo_darwin_lending_base;
extern "C" std::uint64_t velo_darwin_lending_slot;

namespace {

constexpr int kHeld = darwin::kLendingStacks;
constexpr int kThreads = kHeld + 4;
constexpr std::size_t kOwnStack = 64 * 1024;
constexpr unsigned char kPattern = 0x5a;

struct Seen {
    std::uintptr_t frame = 0;   // the body's
    std::uintptr_t kernels = 0; // the kernel's frame: the handler's return address
    bool stoodStill = false;
};

unsigned char stacks[kThreads][kOwnStack];
std::array<Seen, kThreads> seen;
thread_local int index = -1;
std::atomic<int> inside{0};
std::atomic<int> done{0};
velotest::Gate letGo;

__attribute__((used)) void entryBody(darwin::HandlerRun& run) asm("velo_test_entry_body");
void entryBody(darwin::HandlerRun& run) {
    run.off = darwin::HandOff{};
    run.savedErrno = errno;
    Seen& mine = seen[static_cast<std::size_t>(index)];
    mine.frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    mine.kernels = reinterpret_cast<std::uintptr_t>(run.entry.context) - sizeof(void*);
    mine.stoodStill = run.standStill;
    // The first kHeld hold their stacks until the test lets them go: every kept stack is lent meanwhile.
    if (index < kHeld) {
        inside.fetch_add(1);
        letGo.wait();
    }
    darwin::finishRun(run);
}

__attribute__((used)) void entryCalled(int, siginfo_t*, void*) asm("velo_test_entry_called");
void entryCalled(int, siginfo_t*, void*) {
    std::abort(); // never called by another handler here
}

} // namespace

VELO_DARWIN_CRASH_HANDLER("velo_test_entry_handler", "", "velo_test_entry_body", "velo_test_entry_called");
extern "C" void velo_test_entry_handler(int, siginfo_t*, void*);

namespace {

std::atomic<int> started{0};
velotest::Gate go;
velotest::Gate goLate;

constexpr std::size_t kWatched = 24 * 1024;

void raiseIt(void*) {
    syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), SIGUSR2);
}

// Takes the signal with its stack pointer kWatched above the bottom of its stack, everything below filled
// with the pattern.
void* takeTheSignal(void* raw) {
    index = static_cast<int>(reinterpret_cast<std::intptr_t>(raw));
    stack_t none{};
    none.ss_flags = SS_DISABLE;
    sigaltstack(&none, nullptr);
    std::memset(stacks[index], kPattern, kWatched);
    started.fetch_add(1);
    (index < kHeld ? go : goLate).wait();
    darwin::runOnStack(stacks[index] + kWatched, raiseIt, nullptr);
    done.fetch_add(1);
    return nullptr;
}

// How far below the kernel's frame the thread's own stack was written, and whether the body ran on it.
void expectRanElsewhereWithinTheEntrysBytes(int i) {
    const Seen& mine = seen[static_cast<std::size_t>(i)];
    const auto low = reinterpret_cast<std::uintptr_t>(stacks[i]);
    EXPECT_FALSE(mine.frame >= low && mine.frame < low + kOwnStack)
        << "thread " << i << " ran on its own stack";
    EXPECT_FALSE(mine.stoodStill) << "thread " << i;
    std::uintptr_t deepest = mine.kernels;
    for (std::uintptr_t at = low; at < mine.kernels; ++at) {
        if (*reinterpret_cast<const unsigned char*>(at) != kPattern) {
            deepest = at;
            break;
        }
    }
    EXPECT_LE(mine.kernels - deepest, darwin::kEntryBytes) << "thread " << i;
}

void runThreads(bool addressSpaceFull) {
    darwin::prepareLendingStacks();
    struct sigaction action {};
    action.sa_sigaction = velo_test_entry_handler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR2, &action, nullptr);
    pthread_t threads[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstack(&attributes, stacks[i], kOwnStack);
        ASSERT_EQ(pthread_create(&threads[i], &attributes, takeTheSignal,
                                 reinterpret_cast<void*>(std::intptr_t{i})),
                  0);
    }
    ASSERT_TRUE(velotest::eventually([] { return started.load() == kThreads; }));
    if (addressSpaceFull) {
        // Not a page more: a stack mapped for the run is refused.
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        ASSERT_NE(statm, nullptr);
        ASSERT_EQ(std::fscanf(statm, "%ld", &pages), 1);
        std::fclose(statm);
        limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
    }
    go.open();
    ASSERT_TRUE(velotest::eventually([] { return inside.load() == kHeld; }));
    // Every kept stack is lent: the late threads map stacks of their own, or wait for a kept one.
    goLate.open();
    if (!addressSpaceFull) {
        ASSERT_TRUE(velotest::eventually([] { return done.load() == kThreads - kHeld; }));
    }
    letGo.open();
    for (pthread_t thread : threads)
        pthread_join(thread, nullptr);
    // The late ones ran on stacks mapped for them, or, with none to be mapped, on kept ones given back.
    const auto kept = reinterpret_cast<std::uintptr_t>(velo_darwin_lending_base.load());
    const std::uintptr_t keptEnd = kept + darwin::kLendingStacks * velo_darwin_lending_slot;
    for (int i = 0; i < kThreads; ++i) {
        expectRanElsewhereWithinTheEntrysBytes(i);
        const std::uintptr_t frame = seen[static_cast<std::size_t>(i)].frame;
        EXPECT_EQ(frame >= kept && frame < keptEnd, i < kHeld || addressSpaceFull) << "thread " << i;
    }
}

TEST(CrashHandlerEntry, MoreThreadsThanKeptStacksEachRunOnALentStackWritingOnlyTheEntrysBytesBelow) {
    EXPECT_EQ(velotest::runInChild([] { runThreads(false); }), 0);
}

TEST(CrashHandlerEntry, WithNoMemoryLeftTheThreadsWaitForAKeptStack) {
    EXPECT_EQ(velotest::runInChild([] { runThreads(true); }), 0);
}

} // namespace

#endif
