// Every thread's alternate signal stack: present before the thread's own code runs, however the thread
// was started (the program's helpers, std::thread and a library's pthread_create through the
// program's own definition, the first thread), guarded below, gone when the thread ends, and enough
// for a handler to run when the thread has used up its own stack. The start itself allocates nothing
// on the new thread, so a thread that never allocates gets no malloc arena.
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Threads.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/FreshProcess.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <malloc.h>
#include <mutex>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unwind.h>
#include <utility>
#include <vector>

namespace {

#ifdef VELO_THREAD_CREATION_COVERED
constexpr bool kLibraryThreadsCovered = true;
#else
constexpr bool kLibraryThreadsCovered = false; // sanitizer builds: their runtimes own pthread_create
#endif

std::size_t page() {
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

bool mapped(const void* address) {
    unsigned char resident = 0;
    auto at = reinterpret_cast<std::uintptr_t>(address) & ~(page() - 1);
    return mincore(reinterpret_cast<void*>(at), 1, &resident) == 0;
}

bool readable(const void* address) {
    char byte = 0;
    return darwin::readMemory(reinterpret_cast<std::uintptr_t>(address), &byte, 1);
}

stack_t currentSignalStack() {
    stack_t stack{};
    sigaltstack(nullptr, &stack);
    return stack;
}

// AddressSanitizer gives each thread it starts a small alternate stack of its own (unmapping whatever
// stack is in force when the thread ends), which ours then leaves in place.
bool runtimeGivesItsOwnStacks() {
    stack_t seen{};
    darwin::startThread(nullptr, [&] { seen = currentSignalStack(); }).join();
    return seen.ss_size != darwin::kSignalStackSize;
}

// How a test starts a thread running `body` and waits for its end.
using Starter = void (*)(std::function<void()> body);

void* runBody(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return nullptr;
}

// A library's call binds to the program's pthread_create when the program defines one.
void startWithLibraryCall(std::function<void()> body) {
    auto create = reinterpret_cast<darwin::PthreadCreateFunction>(dlsym(RTLD_DEFAULT, "pthread_create"));
    pthread_t thread;
    ASSERT_EQ(create(&thread, nullptr, runBody, &body), 0);
    pthread_join(thread, nullptr);
}

// A thread on a stack its creator made, with a guard page of its own below it.
void startWithOwnStack(std::function<void()> body) {
    const std::size_t size = 1 << 20;
    void* memory = mmap(nullptr, size + page(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    mprotect(memory, page(), PROT_NONE);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, static_cast<char*>(memory) + page(), size);
    pthread_t thread;
    EXPECT_EQ(darwin::createThread(&thread, &attributes, runBody, &body), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    munmap(memory, size + page());
}

struct StartCase {
    const char* name;
    Starter start;
    bool needsLibraryCoverage;
};

void PrintTo(const StartCase& start, std::ostream* out) {
    *out << start.name;
}

const StartCase kStarts[] = {
    {"startThread", [](std::function<void()> body) { darwin::startThread("velo.test.start", body).join(); },
     false},
    {"createThreadWithAStackOfItsOwn", startWithOwnStack, false},
    {"stdThread", [](std::function<void()> body) { std::thread(body).join(); }, true},
    {"pthreadCreateAsALibraryCallsIt", startWithLibraryCall, true},
};

class ThreadStart : public ::testing::TestWithParam<StartCase> {
  protected:
    void SetUp() override {
        if (GetParam().needsLibraryCoverage && !kLibraryThreadsCovered)
            GTEST_SKIP() << "this build leaves pthread_create to the sanitizer's runtime";
    }
};

TEST_P(ThreadStart, TheThreadHasAGuardedSignalStackBeforeItsCodeRuns) {
    if (runtimeGivesItsOwnStacks()) GTEST_SKIP() << "the sanitizer's runtime gives threads stacks of its own";
    stack_t seen{};
    const void* below = nullptr;
    bool guardMapped = false;
    bool guardReadable = true;
    bool stackReadable = false;
    GetParam().start([&] {
        seen = currentSignalStack();
        below = static_cast<char*>(seen.ss_sp) - 1;
        guardMapped = mapped(below);
        guardReadable = readable(below);
        stackReadable = readable(seen.ss_sp) && readable(static_cast<char*>(seen.ss_sp) + seen.ss_size - 1);
    });
    EXPECT_EQ(seen.ss_flags & SS_DISABLE, 0);
    EXPECT_EQ(seen.ss_size, darwin::kSignalStackSize);
    EXPECT_TRUE(stackReadable);
    EXPECT_TRUE(guardMapped && !guardReadable) << "no inaccessible guard page below the stack";
    // Gone with its thread.
    EXPECT_FALSE(mapped(seen.ss_sp));
    EXPECT_FALSE(mapped(below));
}

INSTANTIATE_TEST_SUITE_P(Starts, ThreadStart, ::testing::ValuesIn(kStarts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ThreadStartFirstThread, HasItsStackFromTheProgramsLoad) {
    if (!kLibraryThreadsCovered)
        GTEST_SKIP() << "this build leaves pthread_create to the sanitizer's runtime";
    ASSERT_EQ(getpid(), static_cast<pid_t>(syscall(SYS_gettid))) << "gtest runs tests on the first thread";
    const stack_t stack = currentSignalStack();
    EXPECT_EQ(stack.ss_flags & SS_DISABLE, 0);
    EXPECT_EQ(stack.ss_size, darwin::kSignalStackSize);
}

struct EndCase {
    const char* name;
    void* (*routine)(void*);
    bool cancel;
};

int neverWritten[2];
char neverRead;

__attribute__((noinline)) void noteSignalStack(void* out) {
    *static_cast<stack_t*>(out) = currentSignalStack();
}

// Each records its stack in `out` and ends its own way. The cancelled one keeps nothing on its own
// frame: a cancellation unwinds past it without the epilogue that would clear AddressSanitizer's marks
// around such locals, and the sanitizer's own end-of-thread code later trips over them.
const EndCase kEnds[] = {
    {"Returning",
     [](void* out) -> void* {
         *static_cast<stack_t*>(out) = currentSignalStack();
         return nullptr;
     },
     false},
    {"ByPthreadExit",
     [](void* out) -> void* {
         *static_cast<stack_t*>(out) = currentSignalStack();
         pthread_exit(nullptr);
     },
     false},
    {"Cancelled",
     [](void* out) -> void* {
         noteSignalStack(out);
         while (read(neverWritten[0], &neverRead, 1) != 0) { // a cancellation point that never returns
         }
         return nullptr;
     },
     true},
};

TEST(ThreadStartEnd, TheStackIsUnmappedHoweverTheThreadEnds) {
    ASSERT_EQ(pipe(neverWritten), 0);
    for (const EndCase& end : kEnds) {
        SCOPED_TRACE(end.name);
        stack_t seen{};
        seen.ss_flags = SS_DISABLE;
        pthread_t thread;
        ASSERT_EQ(darwin::createThread(&thread, nullptr, end.routine, &seen), 0);
        if (end.cancel) {
            // Cancellation is acted on at the next cancellation point, whenever the thread gets there.
            pthread_cancel(thread);
        }
        void* result = nullptr;
        pthread_join(thread, &result);
        EXPECT_EQ(result, end.cancel ? PTHREAD_CANCELED : nullptr);
        ASSERT_EQ(seen.ss_flags & SS_DISABLE, 0);
        EXPECT_FALSE(mapped(seen.ss_sp));
    }
    close(neverWritten[0]);
    close(neverWritten[1]);
}

TEST(ThreadStartEnd, AThreadKeepsAStackOfItsOwnAndGetsItsOwnBackWhenItsWasSwitchedOff) {
    if (runtimeGivesItsOwnStacks()) GTEST_SKIP() << "the sanitizer's runtime gives threads stacks of its own";
    stack_t before{}, own{}, kept{}, switchedOff{}, restored{};
    std::vector<char> ownMemory(64 * 1024);
    darwin::startThread(nullptr, [&] {
        before = currentSignalStack();
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        switchedOff = currentSignalStack();
        darwin::ensureSignalStack();
        restored = currentSignalStack();

        stack_t mine{};
        mine.ss_sp = ownMemory.data();
        mine.ss_size = ownMemory.size();
        sigaltstack(&mine, nullptr);
        own = currentSignalStack();
        darwin::ensureSignalStack();
        kept = currentSignalStack();
    }).join();
    EXPECT_NE(switchedOff.ss_flags & SS_DISABLE, 0);
    EXPECT_EQ(restored.ss_sp, before.ss_sp) << "a second stack instead of the thread's own";
    EXPECT_EQ(kept.ss_sp, static_cast<void*>(ownMemory.data()));
    EXPECT_EQ(kept.ss_size, ownMemory.size());
    // The stack it was given is unmapped at its end all the same, while its own is in force.
    EXPECT_FALSE(mapped(before.ss_sp));
}

// Recursion that only a stack running out ends.
volatile std::uint64_t gBottom = ~std::uint64_t{0};
__attribute__((noinline)) std::uint64_t recurse(std::uint64_t depth) {
    volatile char frame[256];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    if (depth == gBottom) return 0;
    return recurse(depth + 1) + static_cast<std::uint64_t>(frame[(depth + 1) % sizeof frame]);
}

void onOverflow(int, siginfo_t*, void*) {
    // Reached at all only with a stack to run on; that it is the alternate one is checked too.
    _exit((currentSignalStack().ss_flags & SS_ONSTACK) != 0 ? 42 : 43);
}

// Named for the crash tests, which the sanitizer presets leave out: their runtimes watch the stack.
class CrashThreadStartOverflow : public ThreadStart {};

TEST_P(CrashThreadStartOverflow, AThreadThatUsesUpItsStackStillRunsTheHandler) {
    const StartCase start = GetParam();
    const int status = velotest::waitForChild(velotest::startChild([&] {
        struct sigaction action {};
        action.sa_sigaction = onOverflow;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGSEGV, &action, nullptr);
        start.start([] { recurse(0); });
    }));
    EXPECT_EQ(status, 42) << "128 + 11: the thread died of SIGSEGV without its handler";
}

INSTANTIATE_TEST_SUITE_P(CrashStarts, CrashThreadStartOverflow, ::testing::ValuesIn(kStarts),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the start record ------------------------------------------------------------------------

// The malloc arenas of this process, as the C library lists them.
int arenaCount() {
    char* text = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    if (out == nullptr) return -1;
    malloc_info(0, out);
    std::fclose(out);
    int count = 0;
    for (const char* at = text; (at = std::strstr(at, "<heap nr=")) != nullptr; ++at)
        ++count;
    std::free(text);
    return count;
}

pthread_barrier_t allStarted;
pthread_barrier_t mayEnd;

void* waitWithoutAllocating(void*) {
    pthread_barrier_wait(&allStarted);
    pthread_barrier_wait(&mayEnd);
    return nullptr;
}

TEST(ThreadStartArena, ThreadsThatNeverAllocateGetNoMallocArena) {
    if (!kLibraryThreadsCovered) GTEST_SKIP() << "the sanitizer's runtime owns malloc and pthread_create";
    // A process without the arenas that earlier tests' threads left, which new threads would reuse.
    if (velotest::ranInAFreshProcess()) return;
    constexpr int kThreads = 16;
    const int before = arenaCount();
    ASSERT_GT(before, 0);
    pthread_barrier_init(&allStarted, nullptr, kThreads + 1);
    pthread_barrier_init(&mayEnd, nullptr, kThreads + 1);
    auto libraryCreate =
        reinterpret_cast<darwin::PthreadCreateFunction>(dlsym(RTLD_DEFAULT, "pthread_create"));
    pthread_t threads[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        // Half through the program's helper, half as a library's call reaches the program's definition.
        const int made = i % 2 == 0
                             ? darwin::createThread(&threads[i], nullptr, waitWithoutAllocating, nullptr)
                             : libraryCreate(&threads[i], nullptr, waitWithoutAllocating, nullptr);
        ASSERT_EQ(made, 0);
    }
    pthread_barrier_wait(&allStarted); // every one has run its start and lives
    const int during = arenaCount();
    pthread_barrier_wait(&mayEnd);
    for (pthread_t thread : threads)
        pthread_join(thread, nullptr);
    EXPECT_EQ(during, before) << "threads that never allocate were given arenas";
}

// A creator whose threads are made later, by the test: the starts stay on their way until then.
struct HeldStarts {
    std::mutex mutex;
    std::vector<std::pair<void* (*)(void*), void*>> starts;

    // Runs the start the creator gave the thread, as the thread would.
    void runOne(std::size_t index) {
        std::pair<void* (*)(void*), void*> start;
        {
            std::lock_guard lock(mutex);
            start = starts.at(index);
        }
        start.first(start.second);
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return starts.size();
    }
};
HeldStarts* held = nullptr;

int holdStart(pthread_t* thread, const pthread_attr_t*, void* (*routine)(void*), void* argument) {
    std::lock_guard lock(held->mutex);
    held->starts.emplace_back(routine, argument);
    *thread = pthread_t{};
    return 0;
}

std::atomic<int> ranWith[darwin::kStartsInFlight + 1];

void* noteArgument(void* argument) {
    ranWith[*static_cast<int*>(argument)].fetch_add(1);
    return nullptr;
}

TEST(ThreadStartRecord, EveryStartReachesItsOwnThreadWhenMoreAreOnTheirWayThanTheTableHolds) {
    HeldStarts starts;
    held = &starts;
    constexpr std::size_t kMore = darwin::kStartsInFlight + 1;
    static int arguments[kMore];
    for (std::size_t i = 0; i < kMore; ++i) {
        arguments[i] = static_cast<int>(i);
        ranWith[i] = 0;
    }
    // One more than the table holds, from a thread made while there was room: its creator waits until
    // a thread has taken its start.
    velotest::Gate tableFull;
    std::atomic<bool> lastMade{false};
    std::thread last([&] {
        tableFull.wait();
        pthread_t made;
        EXPECT_EQ(darwin::createThread(&made, nullptr, noteArgument, &arguments[kMore - 1], holdStart), 0);
        lastMade = true;
    });
    pthread_t thread;
    for (std::size_t i = 0; i < darwin::kStartsInFlight; ++i)
        ASSERT_EQ(darwin::createThread(&thread, nullptr, noteArgument, &arguments[i], holdStart), 0);
    tableFull.open();
    starts.runOne(0);
    ASSERT_TRUE(velotest::eventually([&] { return lastMade.load(); }));
    last.join();
    ASSERT_EQ(starts.count(), kMore);
    for (std::size_t i = 1; i < kMore; ++i)
        starts.runOne(i);
    for (std::size_t i = 0; i < kMore; ++i)
        EXPECT_EQ(ranWith[i].load(), 1) << "argument " << i;
    held = nullptr;
}

TEST(ThreadStartRecord, AForkedChildIsNotHeldByStartsItsParentHadOnTheirWay) {
    HeldStarts starts;
    held = &starts;
    static int argument = 0;
    ranWith[0] = 0;
    pthread_t thread;
    for (std::size_t i = 0; i < darwin::kStartsInFlight; ++i)
        ASSERT_EQ(darwin::createThread(&thread, nullptr, noteArgument, &argument, holdStart), 0);
    // The child has none of the threads these starts were for; it starts threads of its own at once.
    const int status = velotest::waitStatusOfChild([] {
        pthread_t child;
        if (darwin::createThread(&child, nullptr, noteArgument, &argument) != 0) _exit(4);
        pthread_join(child, nullptr);
        _exit(ranWith[0].load() == 1 ? 0 : 5);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    for (std::size_t i = 0; i < darwin::kStartsInFlight; ++i)
        starts.runOne(i);
    EXPECT_EQ(ranWith[0].load(), static_cast<int>(darwin::kStartsInFlight));
    held = nullptr;
}

// ---- running on the alternate stack ----------------------------------------------------------------

struct OnTheStack {
    std::uintptr_t local = 0;
    std::vector<std::uintptr_t> pcs; // the walk from inside the body, by the C++ runtime's own unwinder
    bool nestedRan = true;
};

_Unwind_Reason_Code notePc(_Unwind_Context* context, void* pcs) {
    static_cast<std::vector<std::uintptr_t>*>(pcs)->push_back(_Unwind_GetIP(context));
    return _URC_NO_REASON;
}

void body(void* raw) {
    auto* seen = static_cast<OnTheStack*>(raw);
    volatile int local = 0;
    seen->local = reinterpret_cast<std::uintptr_t>(&local);
    _Unwind_Backtrace(notePc, &seen->pcs);
    // Already on it: a second switch would start over at its top, under the frames in use.
    seen->nestedRan = darwin::runOnAlternateStack([](void*) {}, nullptr);
}

__attribute__((noinline)) bool runFromHere(OnTheStack* seen) {
    const bool ran = darwin::runOnAlternateStack(body, seen);
    asm volatile("" ::: "memory"); // the call is no tail call: this frame stays below the body's
    return ran;
}

TEST(ThreadStartAlternateStack, TheBodyRunsThereAndAWalkFromItGoesOnThroughTheCaller) {
    if (runtimeGivesItsOwnStacks())
        GTEST_SKIP() << "the sanitizer's runtime gives threads small stacks of its own";
    OnTheStack seen;
    stack_t alternate{};
    bool ran = false;
    darwin::startThread(nullptr, [&] {
        alternate = currentSignalStack();
        ran = runFromHere(&seen);
    }).join();
    ASSERT_TRUE(ran);
    const auto low = reinterpret_cast<std::uintptr_t>(alternate.ss_sp);
    EXPECT_TRUE(seen.local >= low && seen.local < low + alternate.ss_size) << "not on the alternate stack";
    EXPECT_FALSE(seen.nestedRan);
    const auto caller = reinterpret_cast<std::uintptr_t>(&runFromHere);
    EXPECT_TRUE(std::any_of(seen.pcs.begin(), seen.pcs.end(), [caller](std::uintptr_t pc) {
        return pc > caller && pc < caller + 256;
    })) << "the walk stopped at the switch";
}

TEST(ThreadStartAlternateStack, AThreadWithoutOneRunsNothing) {
    bool ran = true;
    std::thread([&] {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        ran = darwin::runOnAlternateStack([](void*) {}, nullptr);
    }).join();
    EXPECT_FALSE(ran);
}

// ---- running on a lent alternate stack ------------------------------------------------------------

// What the body saw, and the handler of a signal that came while it ran.
struct OnTheLentStack {
    std::uintptr_t bodyLocal = 0;
    std::uintptr_t handlerLocal = 0;
    std::vector<std::uintptr_t> pcs;
};
OnTheLentStack* lentSeen = nullptr;

void noteHandlerStack(int) {
    volatile int local = 0;
    lentSeen->handlerLocal = reinterpret_cast<std::uintptr_t>(&local);
}

void lentBody(void* raw) {
    auto* seen = static_cast<OnTheLentStack*>(raw);
    volatile int local = 0;
    seen->bodyLocal = reinterpret_cast<std::uintptr_t>(&local);
    _Unwind_Backtrace(notePc, &seen->pcs);
    syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), SIGUSR2);
}

__attribute__((noinline)) bool runLentFromHere(void* low, std::size_t size, OnTheLentStack* seen) {
    const bool ran = darwin::runOnLentAlternateStack(low, size, lentBody, seen);
    asm volatile("" ::: "memory"); // the call is no tail call: this frame stays below the body's
    return ran;
}

// The thread's own alternate stack while it calls: one of 16 KiB, too small to record on, or none.
enum class OwnStack { small, none };

void PrintTo(OwnStack own, std::ostream* out) {
    *out << (own == OwnStack::small ? "OwnStackOf16KiB" : "NoOwnStack");
}

class ThreadStartLentAlternateStack : public ::testing::TestWithParam<OwnStack> {};

// The body runs on the lent stack, a signal that comes meanwhile is handled there below the body's
// frames (not at the top of the thread's own stack, nor over the body's frames), a walk from the body
// goes on through the caller, and the thread's own alternate stack is back afterwards.
TEST_P(ThreadStartLentAlternateStack, TheBodyAndASignalMeanwhileRunThereAndTheOwnStackComesBack) {
    if (runtimeGivesItsOwnStacks())
        GTEST_SKIP() << "the sanitizer's runtime gives threads small stacks of its own";
    std::vector<char> lent(128 * 1024);
    std::vector<char> own(16 * 1024);
    OnTheLentStack seen;
    lentSeen = &seen;
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = noteHandlerStack;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR2, &action, &previous), 0);
    stack_t before{};
    stack_t after{};
    bool ran = false;
    darwin::startThread(nullptr, [&] {
        stack_t mine{};
        if (GetParam() == OwnStack::small) {
            mine.ss_sp = own.data();
            mine.ss_size = own.size();
        } else {
            mine.ss_flags = SS_DISABLE;
        }
        sigaltstack(&mine, nullptr);
        before = currentSignalStack();
        ran = runLentFromHere(lent.data(), lent.size(), &seen);
        after = currentSignalStack();
    }).join();
    sigaction(SIGUSR2, &previous, nullptr);
    lentSeen = nullptr;
    ASSERT_TRUE(ran);
    const auto low = reinterpret_cast<std::uintptr_t>(lent.data());
    const auto high = low + lent.size();
    EXPECT_TRUE(seen.bodyLocal >= low && seen.bodyLocal < high) << "the body ran elsewhere";
    EXPECT_TRUE(seen.handlerLocal >= low && seen.handlerLocal < seen.bodyLocal)
        << "the signal was handled elsewhere than below the body";
    const auto caller = reinterpret_cast<std::uintptr_t>(&runLentFromHere);
    EXPECT_TRUE(std::any_of(seen.pcs.begin(), seen.pcs.end(), [caller](std::uintptr_t pc) {
        return pc > caller && pc < caller + 256;
    })) << "the walk stopped at the switch";
    EXPECT_EQ(after.ss_flags, before.ss_flags);
    if (GetParam() == OwnStack::small) {
        EXPECT_EQ(after.ss_sp, before.ss_sp);
        EXPECT_EQ(after.ss_size, before.ss_size);
    }
}

INSTANTIATE_TEST_SUITE_P(ThreadStartLentAlternateStack, ThreadStartLentAlternateStack,
                         ::testing::Values(OwnStack::small, OwnStack::none),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// Inside a handler on the thread's own alternate stack (as a crash handler runs): the body runs on the lent
// stack all the same, a signal meanwhile is handled there below it (not at the top of the own stack, over
// the handler's frames), and the own stack is back, in use, once the body returns.
struct InsideAHandler {
    std::vector<char> lent = std::vector<char>(128 * 1024);
    std::vector<char> own = std::vector<char>(16 * 1024);
    OnTheLentStack seen;
    bool ran = false;
    stack_t inside{};
    stack_t after{};
    std::uintptr_t handlerLocal = 0;
    bool handlerFramesKept = false;
};
InsideAHandler* insideAHandler = nullptr;

void lendFromAHandler(int) {
    InsideAHandler& inside = *insideAHandler;
    volatile char mark[64];
    for (auto& byte : mark)
        byte = 0x5a;
    inside.handlerLocal = reinterpret_cast<std::uintptr_t>(&mark[0]);
    inside.inside = currentSignalStack();
    inside.ran = runLentFromHere(inside.lent.data(), inside.lent.size(), &inside.seen);
    inside.after = currentSignalStack();
    inside.handlerFramesKept = true;
    for (auto& byte : mark)
        inside.handlerFramesKept = inside.handlerFramesKept && byte == 0x5a;
}

TEST(ThreadStartLentAlternateStack, FromAHandlerOnTheThreadsOwnStackTheBodyRunsThereAndTheOwnComesBack) {
    if (runtimeGivesItsOwnStacks())
        GTEST_SKIP() << "the sanitizer's runtime gives threads small stacks of its own";
    InsideAHandler inside;
    insideAHandler = &inside;
    lentSeen = &inside.seen;
    struct sigaction lend {};
    struct sigaction note {};
    struct sigaction previousLend {};
    struct sigaction previousNote {};
    lend.sa_handler = lendFromAHandler;
    lend.sa_flags = SA_ONSTACK;
    sigemptyset(&lend.sa_mask);
    note.sa_handler = noteHandlerStack;
    note.sa_flags = SA_ONSTACK;
    sigemptyset(&note.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &lend, &previousLend), 0);
    ASSERT_EQ(sigaction(SIGUSR2, &note, &previousNote), 0);
    darwin::startThread(nullptr, [&] {
        stack_t mine{};
        mine.ss_sp = inside.own.data();
        mine.ss_size = inside.own.size();
        sigaltstack(&mine, nullptr);
        syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), SIGUSR1);
    }).join();
    sigaction(SIGUSR1, &previousLend, nullptr);
    sigaction(SIGUSR2, &previousNote, nullptr);
    lentSeen = nullptr;
    insideAHandler = nullptr;
    ASSERT_NE(inside.inside.ss_flags & SS_ONSTACK, 0) << "the handler did not run on the thread's own stack";
    ASSERT_TRUE(inside.ran);
    const auto low = reinterpret_cast<std::uintptr_t>(inside.lent.data());
    const auto high = low + inside.lent.size();
    EXPECT_TRUE(inside.seen.bodyLocal >= low && inside.seen.bodyLocal < high) << "the body ran elsewhere";
    EXPECT_TRUE(inside.seen.handlerLocal >= low && inside.seen.handlerLocal < inside.seen.bodyLocal)
        << "the signal was handled elsewhere than below the body";
    EXPECT_TRUE(inside.handlerFramesKept) << "the handler's frames on its own stack were written over";
    EXPECT_NE(inside.after.ss_flags & SS_ONSTACK, 0) << "the own stack is not back, in use";
    EXPECT_EQ(inside.after.ss_sp, inside.inside.ss_sp);
    EXPECT_EQ(inside.after.ss_size, inside.inside.ss_size);
}

// How much room a thread has below a point of its stack, on its own stack and on its alternate one.
TEST(ThreadStartStackRoom, IsWhatLiesBelowOnTheStackTheThreadRunsOn) {
    if (runtimeGivesItsOwnStacks())
        GTEST_SKIP() << "the sanitizer's runtime gives threads small stacks of its own";
    std::size_t onOwn = 0;
    std::uintptr_t ownLow = 0;
    std::uintptr_t sp = 0;
    darwin::startThread(nullptr, [&] {
        volatile char here = 0;
        sp = reinterpret_cast<std::uintptr_t>(&here);
        std::uintptr_t high = 0;
        if (!darwin::currentThreadStack(sp, &ownLow, &high)) return;
        onOwn = darwin::stackRoomBelow(sp);
    }).join();
    ASSERT_NE(ownLow, 0u);
    EXPECT_EQ(onOwn, sp - ownLow);

    static std::vector<char> own(16 * 1024);
    static std::size_t onAlternate = 0;
    static std::uintptr_t handlerSp = 0;
    struct sigaction measure {};
    struct sigaction previous {};
    measure.sa_handler = [](int) {
        volatile char here = 0;
        handlerSp = reinterpret_cast<std::uintptr_t>(&here);
        onAlternate = darwin::stackRoomBelow(handlerSp);
    };
    measure.sa_flags = SA_ONSTACK;
    sigemptyset(&measure.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR2, &measure, &previous), 0);
    darwin::startThread(nullptr, [&] {
        stack_t mine{};
        mine.ss_sp = own.data();
        mine.ss_size = own.size();
        sigaltstack(&mine, nullptr);
        syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), SIGUSR2);
    }).join();
    sigaction(SIGUSR2, &previous, nullptr);
    const auto low = reinterpret_cast<std::uintptr_t>(own.data());
    ASSERT_TRUE(handlerSp > low && handlerSp < low + own.size()) << "the handler ran elsewhere";
    EXPECT_EQ(onAlternate, handlerSp - low);
}

} // namespace
