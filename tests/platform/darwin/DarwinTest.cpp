#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Host.hpp"
#include "platform/darwin/Images.hpp"
#include "platform/darwin/Threads.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/ThreadState.hpp"
#include "tests/support/TrappedReads.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

namespace {

class GuardedReadTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { darwin::setGuardedReadsUsePipe(GetParam()); }
    void TearDown() override { darwin::setGuardedReadsUsePipe(false); }
};

TEST_P(GuardedReadTest, ReadsMappedBytesAndRefusesUnmappedOnesWithoutFaulting) {
    long page = sysconf(_SC_PAGESIZE);
    auto* two = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(two, MAP_FAILED);
    std::memcpy(two + page - 6, "hello", 6);
    munmap(two + page, page); // the second page is gone

    char out[8] = {};
    EXPECT_TRUE(darwin::readMemory(reinterpret_cast<std::uintptr_t>(two + page - 6), out, 6));
    EXPECT_STREQ(out, "hello");
    EXPECT_FALSE(darwin::readMemory(reinterpret_cast<std::uintptr_t>(two + page - 2), out, 4));
    EXPECT_FALSE(darwin::readMemory(reinterpret_cast<std::uintptr_t>(two + page), out, 1));
    EXPECT_FALSE(darwin::readMemory(16, out, 1)); // below 4096 counts as null
    // Longer than a page, into the hole and short of it.
    std::vector<char> whole(static_cast<std::size_t>(2 * page));
    EXPECT_FALSE(darwin::readMemory(reinterpret_cast<std::uintptr_t>(two), whole.data(), whole.size()));
    const std::vector<char> pattern(whole.size(), 'p');
    EXPECT_TRUE(
        darwin::readMemory(reinterpret_cast<std::uintptr_t>(pattern.data()), whole.data(), whole.size()));
    EXPECT_EQ(whole, pattern);

    EXPECT_TRUE(darwin::readableString(reinterpret_cast<std::uintptr_t>(two + page - 6), 128));
    std::memset(two + page - 6, 'x', 6); // no terminator before the hole
    EXPECT_FALSE(darwin::readableString(reinterpret_cast<std::uintptr_t>(two + page - 6), 128));
    EXPECT_TRUE(darwin::readableString(reinterpret_cast<std::uintptr_t>(two + page - 6), 6));
    munmap(two, page);
}

// Writes the same way: a destination that is not there or not writable gives false, nothing is written
// past the first bad byte, and a copy that fails leaves the pipe as it found it for the next.
TEST_P(GuardedReadTest, WritesWritableBytesAndRefusesOthersWithoutFaulting) {
    const long page = sysconf(_SC_PAGESIZE);
    auto* three = static_cast<char*>(
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(three, MAP_FAILED);
    ASSERT_EQ(mprotect(three + page, page, PROT_READ), 0); // the second page reads only
    munmap(three + 2 * page, page);                        // the third is gone
    const auto at = [&](long offset) { return reinterpret_cast<std::uintptr_t>(three + offset); };

    EXPECT_TRUE(darwin::writeMemory(at(page - 6), "hello", 6));
    EXPECT_STREQ(three + page - 6, "hello");
    EXPECT_FALSE(darwin::writeMemory(at(page - 2), "abcd", 4)); // into the page that reads only
    EXPECT_EQ(std::string(three + page - 6, 4), "hell");
    EXPECT_FALSE(darwin::writeMemory(at(2 * page), "x", 1));
    EXPECT_FALSE(darwin::writeMemory(16, "x", 1)); // below 4096 counts as null
    const std::vector<char> pattern(static_cast<std::size_t>(page), 'p');
    EXPECT_FALSE(darwin::writeMemory(at(page / 2), pattern.data(), pattern.size()));
    EXPECT_TRUE(darwin::writeMemory(at(0), pattern.data(), pattern.size()));
    EXPECT_EQ(std::vector<char>(three, three + page), pattern);
    // The next copy reads its own bytes, not what a failed one left behind.
    char out[6] = {};
    const char fresh[] = "fresh";
    EXPECT_TRUE(darwin::readMemory(reinterpret_cast<std::uintptr_t>(fresh), out, sizeof out));
    EXPECT_STREQ(out, "fresh");
    munmap(three, 2 * page);
}

// The lowest address of the first thread's stack mapping as it stands now.
std::uintptr_t mainStackLow() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("[stack]") != std::string::npos) return std::stoull(line, nullptr, 16);
    return 0;
}

// A copy into the first thread's stack below what it has used grows the stack there, as the thread's
// own write would (the kernel's copy alone grows none); past the stack's limit it is refused. Neither
// changes errno. Run on the main thread, in a child, so that the stack it grows is its own.
TEST_P(GuardedReadTest, AWriteBelowTheFirstThreadsStackGrowsItAsTheThreadsOwnWouldWithinItsLimit) {
    const bool usePipe = GetParam();
    const int status = velotest::runInChild([usePipe] {
        darwin::prepareGuardedReads();
        darwin::setGuardedReadsUsePipe(usePipe);
        rlimit limit{};
        ASSERT_EQ(getrlimit(RLIMIT_STACK, &limit), 0);
        ASSERT_NE(limit.rlim_cur, RLIM_INFINITY);
        const std::uintptr_t low = mainStackLow();
        ASSERT_NE(low, 0u);
        const std::uintptr_t below = low - 3 * 4096;
        errno = 77;
        EXPECT_TRUE(darwin::writeMemory(below, "grown", 6));
        EXPECT_EQ(errno, 77);
        EXPECT_STREQ(reinterpret_cast<const char*>(below), "grown");
        EXPECT_LE(mainStackLow(), below);
        // Far past the limit (measured from the top of the stack, which lies above `low`).
        const std::uintptr_t pastTheLimit = low - limit.rlim_cur;
        EXPECT_FALSE(darwin::writeMemory(pastTheLimit, "x", 1));
        EXPECT_EQ(errno, 77);
        EXPECT_GT(mainStackLow(), pastTheLimit);
    });
    EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(KernelCopyAndPipe, GuardedReadTest, ::testing::Values(false, true));

// A copy held inside the pipe fallback, between putting its bytes into the pipe and reading them back,
// is made to wait there by a seccomp filter on its thread: its read(2) becomes SIGSYS, whose handler
// stops at a gate and then reads for it (as readv(2), which the filter lets through).
namespace heldcopy {

std::atomic<int> held{0};     // 1 once the held copy stands at its first read
std::atomic<int> released{0}; // 1 once the test lets it read

long futex(std::atomic<int>& word, int operation, int value) {
    return syscall(SYS_futex, reinterpret_cast<int*>(&word), operation, value, nullptr, nullptr, 0);
}

void readForTheThread(int, siginfo_t*, void* raw) {
    if (held.exchange(1) == 0) {
        futex(held, FUTEX_WAKE_PRIVATE, 1);
        while (released.load() == 0)
            futex(released, FUTEX_WAIT_PRIVATE, 0);
    }
    velotest::makeTrappedRead(raw);
}

} // namespace heldcopy

// The pipe serves one copy at a time. While one copy is held inside it, its bytes in the pipe, a second
// copy must not read them: it fails (the pipe is taken) rather than wait for a copy that may never end,
// and the held copy, let go, reads back its own bytes and leaves the pipe to the copies after it.
TEST(GuardedRead, ConcurrentReadsNeverMixTheirBytes) {
    darwin::setGuardedReadsUsePipe(true);
    struct sigaction trap {
    }, saved{};
    trap.sa_sigaction = heldcopy::readForTheThread;
    trap.sa_flags = SA_SIGINFO;
    sigemptyset(&trap.sa_mask);
    ASSERT_EQ(sigaction(SIGSYS, &trap, &saved), 0);
    heldcopy::held = 0;
    heldcopy::released = 0;
    auto release = [] {
        heldcopy::released = 1;
        heldcopy::futex(heldcopy::released, FUTEX_WAKE_PRIVATE, 1);
    };

    const std::vector<char> first(3000, 'a'), second(3000, 'b');
    std::vector<char> firstOut(first.size()), secondOut(second.size());
    std::atomic<int> firstCopied{-1};
    std::thread holder([&] {
        if (!velotest::trapReadsOfThisThread()) {
            firstCopied = -2;
            return;
        }
        firstCopied = darwin::readMemory(reinterpret_cast<std::uintptr_t>(first.data()), firstOut.data(),
                                         firstOut.size());
    });
    velotest::OnExit cleanUp([&] {
        release();
        if (holder.joinable()) holder.join();
        sigaction(SIGSYS, &saved, nullptr);
        darwin::setGuardedReadsUsePipe(false);
    });

    ASSERT_TRUE(velotest::eventually([&] { return heldcopy::held == 1 || firstCopied != -1; },
                                     std::chrono::milliseconds(1)));
    ASSERT_NE(firstCopied, -2) << "no seccomp filter on this thread: " << std::strerror(errno);
    ASSERT_EQ(heldcopy::held, 1) << "the first copy ended without reading through the pipe";
    const bool secondCopied = darwin::readMemory(reinterpret_cast<std::uintptr_t>(second.data()),
                                                 secondOut.data(), secondOut.size());
    // A copy that may use the kernel's copy does so instead of failing or reading through the pipe.
    darwin::setGuardedReadsUsePipe(false);
    std::vector<char> thirdOut(second.size());
    const bool thirdCopied =
        darwin::readMemory(reinterpret_cast<std::uintptr_t>(second.data()), thirdOut.data(), thirdOut.size());
    release();
    holder.join();
    // Let go, the pipe serves copies again, though a copy gave up waiting for it.
    darwin::setGuardedReadsUsePipe(true);
    std::vector<char> laterOut(second.size());
    const bool laterCopied =
        darwin::readMemory(reinterpret_cast<std::uintptr_t>(second.data()), laterOut.data(), laterOut.size());
    darwin::setGuardedReadsUsePipe(false);

    EXPECT_FALSE(secondCopied) << "a copy ran through the pipe while another's bytes were in it";
    EXPECT_TRUE(!secondCopied || secondOut == second) << "the second copy read the first one's bytes";
    EXPECT_TRUE(thirdCopied);
    EXPECT_EQ(thirdOut, second) << "a copy beside the held one read other bytes than its own";
    EXPECT_EQ(firstCopied, 1);
    EXPECT_EQ(firstOut, first) << "the held copy did not read back its own bytes";
    EXPECT_TRUE(laterCopied) << "the pipe stayed refused after the held copy let it go";
    EXPECT_EQ(laterOut, second);
}

// Threads that copy through the pipe at once take turns at it: each copy that succeeds holds its own
// thread's bytes, and when all are done none has left the pipe taken.
TEST(GuardedRead, ThreadsCopyingThroughThePipeAtOnceEachReadTheirOwnBytes) {
    darwin::setGuardedReadsUsePipe(true);
    velotest::OnExit usual([] { darwin::setGuardedReadsUsePipe(false); });
    constexpr int kThreads = 4;
    constexpr int kCopies = 2000;
    std::atomic<int> mixed{0};
    std::vector<std::thread> copiers;
    for (int t = 0; t < kThreads; ++t) {
        copiers.emplace_back([&mixed, t] {
            const std::vector<char> own(256, static_cast<char>('a' + t));
            std::vector<char> out(own.size());
            for (int i = 0; i < kCopies; ++i) {
                if (darwin::readMemory(reinterpret_cast<std::uintptr_t>(own.data()), out.data(),
                                       out.size()) &&
                    out != own)
                    mixed.fetch_add(1);
            }
        });
    }
    for (std::thread& copier : copiers)
        copier.join();
    EXPECT_EQ(mixed, 0) << "copies read bytes another thread put into the pipe";
    const std::vector<char> last(256, 'z');
    std::vector<char> lastOut(last.size());
    EXPECT_TRUE(
        darwin::readMemory(reinterpret_cast<std::uintptr_t>(last.data()), lastOut.data(), lastOut.size()));
    EXPECT_EQ(lastOut, last);
}

TEST(GuardedRead, RangesAreMappedOnlyWithEveryPage) {
    long page = sysconf(_SC_PAGESIZE);
    auto* three = static_cast<char*>(
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(three, MAP_FAILED);
    auto at = [&](long offset) {
        return reinterpret_cast<std::uintptr_t>(three) + static_cast<std::uintptr_t>(offset);
    };
    EXPECT_TRUE(darwin::rangeMapped(at(10), at(3 * page - 10)));
    munmap(three + page, page); // a hole in the middle
    EXPECT_FALSE(darwin::rangeMapped(at(0), at(3 * page)));
    EXPECT_TRUE(darwin::rangeMapped(at(0), at(page)));
    EXPECT_TRUE(darwin::rangeMapped(at(2 * page), at(3 * page)));
    EXPECT_FALSE(darwin::rangeMapped(at(page), at(page))); // empty
    EXPECT_FALSE(darwin::rangeMapped(16, 4096));           // the null page
    munmap(three, page);
    munmap(three + 2 * page, page);
}

// Asked page by page when short: a hole or a page that cannot be read anywhere in it is found, and a
// long range is asked whole (there, as rangeMapped, whether it is mapped).
TEST(GuardedRead, ShortRangesAreReadableOnlyWithEveryPageReadable) {
    const long page = sysconf(_SC_PAGESIZE);
    constexpr long kPages = 40; // more than are asked one by one
    auto* pages = static_cast<char*>(
        mmap(nullptr, kPages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    auto at = [&](long offset) {
        return reinterpret_cast<std::uintptr_t>(pages) + static_cast<std::uintptr_t>(offset);
    };
    darwin::prepareGuardedReads();
    EXPECT_TRUE(darwin::rangeReadable(at(10), at(3 * page - 10)));
    EXPECT_TRUE(darwin::rangeReadable(at(0), at(kPages * page)));
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    EXPECT_FALSE(darwin::rangeReadable(at(0), at(3 * page)));
    EXPECT_TRUE(darwin::rangeReadable(at(2 * page), at(3 * page)));
    EXPECT_TRUE(darwin::rangeReadable(at(0), at(kPages * page))); // long: mapped is enough
    munmap(pages + 2 * page, page);
    EXPECT_FALSE(darwin::rangeReadable(at(2 * page), at(4 * page)));
    EXPECT_FALSE(darwin::rangeReadable(at(0), at(kPages * page)));
    EXPECT_FALSE(darwin::rangeReadable(at(page), at(page))); // empty
    EXPECT_FALSE(darwin::rangeReadable(16, 4096));           // the null page
    munmap(pages, kPages * page);
}

// What the unwinder reads in place: the range holds the caller's frames (on the first thread and on
// another), and nothing is claimed for an alternate signal stack or memory that is no stack. Not
// inlined, so that the caller's locals lie above this frame.
__attribute__((noinline)) bool stackHolds(std::uintptr_t address) {
    auto sp = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    return darwin::currentThreadStack(sp, &low, &high) && low <= sp && address >= low && address < high &&
           darwin::rangeMapped(low, high);
}

std::atomic<int> alternateAnswer{-1};
void askOnAlternateStack(int) {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    alternateAnswer =
        darwin::currentThreadStack(reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)), &low, &high);
}

TEST(Threads, TheThreadsOwnStackHoldsItsCallersButNoAlternateStack) {
    int callersLocal = 0;
    EXPECT_TRUE(stackHolds(reinterpret_cast<std::uintptr_t>(&callersLocal)));
    bool onOtherThread = false;
    std::thread([&] {
        int local = 0;
        onOtherThread = stackHolds(reinterpret_cast<std::uintptr_t>(&local));
    }).join();
    EXPECT_TRUE(onOtherThread);
    std::vector<char> heap(4096);
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    EXPECT_FALSE(darwin::currentThreadStack(reinterpret_cast<std::uintptr_t>(heap.data()), &low, &high));

    std::vector<char> alternate(64 * 1024);
    stack_t stack{}, previousStack{};
    stack.ss_sp = alternate.data();
    stack.ss_size = alternate.size();
    ASSERT_EQ(sigaltstack(&stack, &previousStack), 0);
    struct sigaction action {
    }, previous{};
    action.sa_handler = askOnAlternateStack;
    action.sa_flags = SA_ONSTACK;
    sigaction(SIGUSR2, &action, &previous);
    raise(SIGUSR2);
    sigaction(SIGUSR2, &previous, nullptr);
    sigaltstack(&previousStack, nullptr);
    EXPECT_EQ(alternateAnswer.load(), 0);
}

TEST(HostFacts, FieldsAreParsedOnlyAtLineStartsWithAnExactKey) {
    const char* text = "Active(anon):  5 kB\nActive:   42 kB\nMemFree: 7 kB\n";
    std::uint64_t value = 0;
    ASSERT_TRUE(darwin::findNumberField(text, "Active", value));
    EXPECT_EQ(value, 42u);
    EXPECT_FALSE(darwin::findNumberField(text, "Inactive", value));
    darwin::ProcessUsage usage;
    ASSERT_TRUE(darwin::processUsage(usage));
    EXPECT_GT(usage.residentBytes, 0u);
    std::uint64_t freeBytes = 0, total = 0;
    ASSERT_TRUE(darwin::volumeSpace("/", freeBytes, total));
    EXPECT_LE(freeBytes, total);
}

// A suspended thread really stands still: it sleeps in the kernel, where a thread that spins on (as
// this one does until it is parked) never is, and its counter does not move until it is resumed.
// Every wait is for something that comes; a loaded machine only slows the test down.
TEST(Threads, ListsNamesAndSuspendsThreadsCapturingTheirRegisters) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    std::atomic<bool> stop{false};
    std::atomic<pid_t> helperId{0};
    std::atomic<std::uint64_t> counter{0};
    std::atomic<pid_t> kernelNamedId{0};
    std::jthread helper([&] {
        darwin::setCurrentThreadName("com.example.a-thread-name-longer-than-fifteen");
        helperId = darwin::currentThreadId();
        while (!stop)
            counter.fetch_add(1, std::memory_order_relaxed);
        darwin::forgetCurrentThread();
    });
    std::jthread kernelNamed([&] { // named by the kernel only
        pthread_setname_np(pthread_self(), "kernel-only");
        kernelNamedId = darwin::currentThreadId();
        while (!stop)
            std::this_thread::yield();
    });
    // On every way out, a failed assertion too: the threads go on and end, and are joined.
    velotest::OnExit resumeAndStop([&] {
        darwin::resumeThreads();
        stop = true;
    });
    auto advances = [&counter] {
        const auto start = counter.load();
        return velotest::eventually([&] { return counter.load() != start; }, std::chrono::milliseconds(1));
    };
    ASSERT_TRUE(velotest::eventually([&] { return helperId != 0 && kernelNamedId != 0; }));

    pid_t ids[darwin::kMaxThreads];
    long count = darwin::listThreads(ids, darwin::kMaxThreads);
    ASSERT_GE(count, 2);
    EXPECT_NE(std::find(ids, ids + count, darwin::currentThreadId()), ids + count);
    EXPECT_NE(std::find(ids, ids + count, helperId.load()), ids + count);

    char name[darwin::kThreadNameSize];
    ASSERT_TRUE(darwin::threadName(helperId, name, sizeof name));
    EXPECT_STREQ(name, "com.example.a-thread-name-longer-than-fifteen");

    ASSERT_TRUE(advances());
    count = darwin::listThreads(ids, darwin::kMaxThreads);
    ASSERT_TRUE(darwin::suspendThreads(ids, static_cast<std::size_t>(count), velotest::kPatienceNanos));
    const auto parkedAt = counter.load();
    EXPECT_EQ(velotest::waitUntilThreadStops(helperId), velotest::ThreadState::blocked);
    EXPECT_EQ(counter.load(), parkedAt);
    mcontext_t context;
    EXPECT_TRUE(darwin::suspendedThreadContext(helperId, context));
    EXPECT_NE(context.gregs[REG_RIP], 0);
    EXPECT_FALSE(darwin::suspendedThreadContext(darwin::currentThreadId(), context));
    // While suspended, names come from our table first, else from what each thread told on stopping.
    ASSERT_TRUE(darwin::threadName(helperId, name, sizeof name));
    EXPECT_STREQ(name, "com.example.a-thread-name-longer-than-fifteen");
    ASSERT_TRUE(darwin::threadName(kernelNamedId, name, sizeof name));
    EXPECT_STREQ(name, "kernel-only");
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));
    EXPECT_FALSE(darwin::suspendedThreadContext(helperId, context));
    EXPECT_TRUE(advances());

    // Suspended and resumed again, it goes on from where it stood.
    ASSERT_TRUE(darwin::suspendThreads(ids, static_cast<std::size_t>(count), velotest::kPatienceNanos));
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));
    EXPECT_TRUE(advances());
}

// Many threads are stopped by one call, round after round: each gives its registers and the part of
// its stack it stood on, which holds its stack pointer and stays readable until it is resumed. A thread
// that has ended since the list was taken is no reason to fail. Nothing is asserted while threads are
// suspended (a parked thread may hold the test framework's lock); results go to storage made before.
TEST(Threads, SuspendsManyThreadsWithTheStacksTheyStoodOn) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    constexpr int kHelpers = 40;
    velotest::Gate stop;
    std::atomic<int> started{0};
    pid_t helperIds[kHelpers] = {};
    std::vector<std::thread> helpers;
    struct JoinAll {
        std::vector<std::thread>& threads;
        velotest::Gate& stop;
        ~JoinAll() {
            stop.open();
            for (std::thread& thread : threads)
                thread.join();
        }
    } joinAll{helpers, stop};
    for (int i = 0; i < kHelpers; ++i) {
        helpers.emplace_back([&, i] {
            helperIds[i] = darwin::currentThreadId();
            started.fetch_add(1);
            stop.wait();
        });
    }
    pid_t ended = 0;
    std::thread([&ended] { ended = darwin::currentThreadId(); }).join();
    ASSERT_TRUE(velotest::eventually([&] { return started.load() == kHelpers; }));

    pid_t ids[darwin::kMaxThreads];
    long count = darwin::listThreads(ids, darwin::kMaxThreads);
    ASSERT_GT(count, kHelpers);
    ids[count++] = ended;
    struct Seen {
        bool context = false;
        bool stack = false;
        std::uintptr_t sp = 0, low = 0, high = 0;
        std::uint64_t word = 0; // read in place at the stack pointer
    };
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Seen seen[kHelpers];
        const bool suspended =
            darwin::suspendThreads(ids, static_cast<std::size_t>(count), velotest::kPatienceNanos);
        for (int i = 0; i < kHelpers; ++i) {
            mcontext_t context;
            seen[i].context = darwin::suspendedThreadContext(helperIds[i], context);
            seen[i].sp = static_cast<std::uintptr_t>(context.gregs[REG_RSP]);
            seen[i].stack = darwin::suspendedThreadStack(helperIds[i], &seen[i].low, &seen[i].high);
            if (seen[i].stack && seen[i].sp >= seen[i].low && seen[i].sp + 8 <= seen[i].high)
                std::memcpy(&seen[i].word, reinterpret_cast<const void*>(seen[i].sp), 8);
        }
        EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));
        EXPECT_TRUE(suspended);
        for (int i = 0; i < kHelpers; ++i) {
            EXPECT_TRUE(seen[i].context) << i;
            ASSERT_TRUE(seen[i].stack) << i;
            EXPECT_LE(seen[i].low, seen[i].sp) << i;
            EXPECT_LT(seen[i].sp, seen[i].high) << i;
            EXPECT_LE(seen[i].high - seen[i].low, std::uintptr_t{64} << 20) << i;
        }
        std::uintptr_t low = 0, high = 0;
        EXPECT_FALSE(darwin::suspendedThreadStack(helperIds[0], &low, &high)); // resumed
    }
}

void* noteAndWaitForever(void* slot) {
    static_cast<std::atomic<pid_t>*>(slot)->store(darwin::currentThreadId());
    for (;;)
        pause();
}

// A reading that no thread's end disturbs is whole and names every thread, over the several steps the
// kernel takes for a list longer than one step holds; a reading with no room for every thread is not
// whole. In a child of its own, so that no other test's threads start or end meanwhile.
TEST(Threads, AReadingThatNoThreadsEndDisturbsIsWholeAcrossTheKernelsSteps) {
    const int exitStatus = velotest::runInChild([] {
        constexpr int kWaiting = 300;
        std::atomic<pid_t> made[kWaiting] = {};
        pthread_attr_t small;
        pthread_attr_init(&small);
        pthread_attr_setstacksize(&small, 64 * 1024);
        for (auto& slot : made) {
            pthread_t thread;
            ASSERT_EQ(pthread_create(&thread, &small, noteAndWaitForever, &slot), 0);
        }
        ASSERT_TRUE(velotest::eventually(
            [&] {
                return std::all_of(std::begin(made), std::end(made), [](const auto& id) { return id != 0; });
            },
            std::chrono::milliseconds(1)));
        pid_t ids[darwin::kMaxThreads];
        bool whole = false;
        const long count = darwin::listThreads(ids, darwin::kMaxThreads, &whole);
        EXPECT_TRUE(whole);
        for (const auto& id : made)
            EXPECT_NE(std::find(ids, ids + count, id.load()), ids + count) << id << " is not in the reading";
        bool wholeWithoutRoom = true;
        EXPECT_EQ(darwin::listThreads(ids, 10, &wholeWithoutRoom), 10);
        EXPECT_FALSE(wholeWithoutRoom);
    });
    EXPECT_EQ(exitStatus, 0) << "the child's failures are above";
}

TEST(Threads, NamesAndLabelsLeaveTheTableWithTheirThread) {
    pid_t id = 0;
    char kernelName[32] = {};
    char name[darwin::kThreadNameSize];
    char label[darwin::kThreadNameSize];
    bool hadLabel = false;
    bool hadName = false;
    std::thread([&] {
        id = darwin::currentThreadId();
        darwin::setCurrentThreadName("com.example.ends-without-forgetting");
        darwin::setCurrentThreadQueueLabel("com.example.queue");
        pthread_getname_np(pthread_self(), kernelName, sizeof kernelName);
        hadName = darwin::threadName(id, name, sizeof name);
        hadLabel = darwin::queueLabel(id, label, sizeof label);
        darwin::setCurrentThreadQueueLabel(nullptr);
        char cleared[darwin::kThreadNameSize];
        EXPECT_FALSE(darwin::queueLabel(id, cleared, sizeof cleared));
    }).join();
    EXPECT_STREQ(kernelName, "hout-forgetting"); // the end of the name tells threads apart
    ASSERT_TRUE(hadName);
    EXPECT_STREQ(name, "com.example.ends-without-forgetting");
    ASSERT_TRUE(hadLabel);
    EXPECT_STREQ(label, "com.example.queue");
    // The ended thread's entry is gone: a later thread given the same id inherits nothing. (The kernel
    // may still hold the thread for a moment after the join, and answer with its own short name.)
    EXPECT_FALSE(darwin::queueLabel(id, label, sizeof label));
    ASSERT_TRUE(
        velotest::eventually([&] { return syscall(SYS_tgkill, getpid(), id, 0) != 0 && errno == ESRCH; }));
    EXPECT_FALSE(darwin::threadName(id, name, sizeof name));
}

// A thread remembers its entry in the table; in a forked child that thread has another id, and what it
// labels there is its own entry, not the copy of its parent's.
TEST(Threads, AForkedChildLabelsItsOwnThreadNotItsParentsEntry) {
    darwin::setCurrentThreadQueueLabel("com.example.parent");
    const pid_t parent = darwin::currentThreadId();
    const int status = velotest::runInChild([parent] {
        darwin::setCurrentThreadQueueLabel("com.example.child");
        char label[darwin::kThreadNameSize] = {};
        EXPECT_TRUE(darwin::queueLabel(darwin::currentThreadId(), label, sizeof label));
        EXPECT_STREQ(label, "com.example.child");
        char parents[darwin::kThreadNameSize] = {};
        EXPECT_TRUE(darwin::queueLabel(parent, parents, sizeof parents));
        EXPECT_STREQ(parents, "com.example.parent");
    });
    darwin::setCurrentThreadQueueLabel(nullptr);
    EXPECT_EQ(status, 0);
}

TEST(Images, DescribesTheMainExecutableWithBuildIdAndUnwindIndex) {
    darwin::ImageInfo main;
    ASSERT_TRUE(darwin::mainImage(main));
    EXPECT_TRUE(main.hasUuid);
    EXPECT_NE(main.ehFrameHdr, 0u);
    EXPECT_NE(main.ehFrame, 0u);
    darwin::ImageInfo found;
    ASSERT_TRUE(darwin::findImage(reinterpret_cast<std::uintptr_t>(&darwin::mainImage), found));
    EXPECT_FALSE(darwin::findImage(main.base + main.size + (1ULL << 40), found));
}

// The images the linker loaded with the program stay noted as mapped for good; one opened later is
// never noted, however often the noting is done again.
TEST(Images, OnlyImagesLoadedWithTheProgramAreNotedAsStayingMapped) {
    darwin::notePermanentImages();
    darwin::ImageInfo main, libc;
    ASSERT_TRUE(darwin::mainImage(main));
    ASSERT_TRUE(darwin::findImage(reinterpret_cast<std::uintptr_t>(&std::strlen), libc));
    EXPECT_TRUE(darwin::imageIsPermanent(main.base));
    EXPECT_TRUE(darwin::imageIsPermanent(libc.base)); // the program is linked against it

    void* library = dlopen("libutil.so.1", RTLD_NOW);
    ASSERT_NE(library, nullptr);
    darwin::ImageInfo opened;
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void* context) {
            if (image.path == nullptr || std::strstr(image.path, "libutil.so") == nullptr) return true;
            *static_cast<darwin::ImageInfo*>(context) = image;
            return false;
        },
        &opened);
    ASSERT_NE(opened.base, 0u);
    darwin::notePermanentImages();
    EXPECT_FALSE(darwin::imageIsPermanent(opened.base));
    EXPECT_TRUE(darwin::imageIsPermanent(main.base));
    EXPECT_FALSE(darwin::imageIsPermanent(0));
    dlclose(library);
}

} // namespace

namespace {

// The dynamic linker's own list, read the crash-time way, names the same images as dl_iterate_phdr,
// with the same headers, and finds one opened by plain dlopen.
TEST(Images, TheLinkersListNamesEveryImageWithItsHeader) {
    auto headersOnTheList = [] {
        std::vector<std::uintptr_t> headers;
        darwin::forEachLoadedObject(
            [](const darwin::LoadedObject& object, void* context) {
                static_cast<std::vector<std::uintptr_t>*>(context)->push_back(object.header);
                return true;
            },
            &headers);
        std::sort(headers.begin(), headers.end());
        return headers;
    };
    auto iterated = [] {
        std::vector<std::uintptr_t> bases;
        darwin::forEachImage(
            [](const darwin::ImageInfo& image, void* context) {
                static_cast<std::vector<std::uintptr_t>*>(context)->push_back(image.base);
                return true;
            },
            &bases);
        std::sort(bases.begin(), bases.end());
        return bases;
    };
    darwin::registerImageCallbacks(nullptr, nullptr); // remembers the main program's header
    EXPECT_EQ(headersOnTheList(), iterated());

    void* library = dlopen("libz.so.1", RTLD_NOW);
    ASSERT_NE(library, nullptr);
    bool found = false;
    darwin::forEachLoadedObject(
        [](const darwin::LoadedObject& object, void* context) {
            if (std::strstr(object.path, "libz.so.1") != nullptr) *static_cast<bool*>(context) = true;
            return true;
        },
        &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(headersOnTheList(), iterated());
    dlclose(library);
}

} // namespace
