// A round of suspension that the caller begins and reads at once: the threads are asked in the order
// of the list, each stopping thread asking the next ones, and a read of a thread nobody has asked yet
// asks it. Nothing is asserted while threads are suspended (a parked thread may hold the test
// framework's lock); results go to storage made before. Each round, and each release of one, waits as
// long as a test would, so that a busy core keeping a thread from running says nothing.
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"
#include "tests/support/FreshProcess.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// As a thread that leaves signals to another one does: the round's request never reaches it.
void holdTheSuspensionSignalOff() {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, darwin::suspensionSignal());
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

// Runs on a core until `stop`.
void computeUntil(const std::atomic<bool>& stop) {
    volatile std::uint64_t sum = 0;
    while (!stop.load(std::memory_order_relaxed))
        sum = sum + 1;
}

TEST(ThreadSuspension, ThreadsThatPassNoRequestOnHoldNoOtherBack) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    constexpr int kDeaf = 2, kHearing = 3;
    std::atomic<bool> stop{false};
    velotest::Gate deafEnd;
    std::atomic<int> started{0};
    pid_t ids[kDeaf + kHearing] = {};
    std::atomic<std::uint64_t> counters[kHearing] = {};
    std::vector<std::jthread> threads;
    for (int i = 0; i < kDeaf + kHearing; ++i) {
        threads.emplace_back([&, i] {
            if (i < kDeaf) { // holds the signal blocked to its end: it never stops, nor asks another
                holdTheSuspensionSignalOff();
            }
            ids[i] = darwin::currentThreadId();
            started.fetch_add(1);
            if (i < kDeaf) {
                deafEnd.wait();
                return;
            }
            while (!stop)
                counters[i - kDeaf].fetch_add(1, std::memory_order_relaxed);
        });
    }
    velotest::OnExit stopAll([&] {
        darwin::resumeThreads();
        stop = true;
        deafEnd.open();
    });
    ASSERT_TRUE(velotest::eventually([&] { return started.load() == kDeaf + kHearing; }));

    // The two the caller asks first are the deaf ones: the others are asked only as they are read.
    bool hearingParked[kHearing] = {}, deafParked[kDeaf] = {};
    std::uint64_t parkedAt[kHearing] = {};
    darwin::askThreadsToSuspend(ids, kDeaf + kHearing, velotest::kPatienceNanos);
    mcontext_t context;
    for (int i = kHearing - 1; i >= 0; --i)
        hearingParked[i] = darwin::suspendedThreadContext(ids[kDeaf + i], context);
    for (int i = 0; i < kHearing; ++i)
        parkedAt[i] = counters[i].load();
    for (int i = 0; i < kDeaf; ++i) // given up: they sleep with the signal blocked
        deafParked[i] = darwin::suspendedThreadContext(ids[i], context);
    bool stoodStill = true; // while the deaf ones were waited for
    for (int i = 0; i < kHearing; ++i)
        stoodStill = stoodStill && counters[i].load() == parkedAt[i];
    const bool all = darwin::awaitSuspension();
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));

    for (int i = 0; i < kHearing; ++i)
        EXPECT_TRUE(hearingParked[i]) << i;
    EXPECT_TRUE(stoodStill);
    for (int i = 0; i < kDeaf; ++i)
        EXPECT_FALSE(deafParked[i]) << i;
    EXPECT_FALSE(all);
    // Resumed, the hearing ones go on.
    for (int i = 0; i < kHearing; ++i) {
        const auto at = counters[i].load();
        EXPECT_TRUE(velotest::eventually([&] { return counters[i].load() != at; })) << i;
    }
}

// The threads of the process in `ids` but `hidden`, as a reading of the list that a thread ending
// meanwhile disturbs leaves it; how many. 0 when `hidden` was not among them.
std::size_t listWithout(std::vector<pid_t>& ids, pid_t hidden) {
    const long read = darwin::listThreads(ids.data(), ids.size());
    const auto end = std::remove(ids.begin(), ids.begin() + (read > 0 ? read : 0), hidden);
    const auto count = static_cast<std::size_t>(end - ids.begin());
    return read > 0 && count == static_cast<std::size_t>(read - 1) ? count : 0;
}

// The CPU time a thread has run, from its own clock (nanoseconds).
long ranNanos(pthread_t thread) {
    clockid_t clock{};
    timespec ran{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &ran) != 0) return -1;
    return ran.tv_sec * 1'000'000'000L + ran.tv_nsec;
}

// Threads that compute with the signal held off, listed before threads that can answer (a pool whose
// workers leave signals to one thread, started first), and read in the order of the list: those that can
// answer are asked before any that cannot is waited for, and stop at once, rather than running on until
// the reader has had its patience with every one before them; those that cannot are given up.
TEST(ThreadSuspension, ThreadsThatHoldTheSignalOffHoldUpOnlyThemselves) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    constexpr int kBlocking = 3, kHearing = 3;
    // Each blocking thread is waited for this much of its own CPU time: long beside a thread's stopping
    // once asked (microseconds), short beside the test's patience.
    constexpr long kBlockersPatience = 100L * 1000 * 1000;
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    pid_t ids[kBlocking + kHearing] = {};
    std::vector<std::jthread> threads;
    for (int i = 0; i < kBlocking + kHearing; ++i) {
        threads.emplace_back([&, i] {
            if (i < kBlocking) {
                holdTheSuspensionSignalOff();
            }
            ids[i] = darwin::currentThreadId();
            started.fetch_add(1);
            computeUntil(stop);
        });
    }
    velotest::OnExit stopAll([&] {
        darwin::resumeThreads();
        stop = true;
    });
    ASSERT_TRUE(velotest::eventually([&] { return started.load() == kBlocking + kHearing; }));

    long hearingRanBefore[kHearing] = {}, hearingRanAfter[kHearing] = {};
    for (int i = 0; i < kHearing; ++i)
        hearingRanBefore[i] = ranNanos(threads[kBlocking + i].native_handle());
    bool parked[kBlocking + kHearing] = {};
    darwin::askThreadsToSuspend(ids, kBlocking + kHearing, kBlockersPatience, velotest::kPatienceNanos);
    mcontext_t context;
    for (int i = 0; i < kBlocking + kHearing; ++i)
        parked[i] = darwin::suspendedThreadContext(ids[i], context);
    // Parked, the hearing threads run no more until released.
    for (int i = 0; i < kHearing; ++i)
        hearingRanAfter[i] = ranNanos(threads[kBlocking + i].native_handle());
    const bool all = darwin::awaitSuspension();
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));

    for (int i = 0; i < kBlocking; ++i)
        EXPECT_FALSE(parked[i]) << "blocking thread " << i;
    EXPECT_FALSE(all);
    for (int i = 0; i < kHearing; ++i) {
        EXPECT_TRUE(parked[kBlocking + i]) << "hearing thread " << i;
        ASSERT_GE(hearingRanBefore[i], 0);
        EXPECT_LT(hearingRanAfter[i] - hearingRanBefore[i], kBlockersPatience)
            << "hearing thread " << i << " ran on while the blocking ones were waited for";
    }
}

// A thread that computes with the signal held off, given up by one round, is given up by the next (the
// abort that follows an uncaught exception's record) as soon as it is read: its patience counts from when
// the first round asked it, so it does not run a whole patience more while the next round waits for it.
TEST(ThreadSuspension, AThreadGivenUpByOneRoundHasNoNewPatienceInTheNext) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    constexpr long kPatience = 100L * 1000 * 1000;
    std::atomic<bool> stop{false};
    std::atomic<pid_t> id{0};
    std::jthread blocking([&] {
        holdTheSuspensionSignalOff();
        id = darwin::currentThreadId();
        computeUntil(stop);
    });
    velotest::OnExit stopIt([&] {
        darwin::resumeThreads();
        stop = true;
    });
    ASSERT_TRUE(velotest::eventually([&] { return id.load() != 0; }));
    const pid_t ids[] = {id};
    mcontext_t context;
    darwin::askThreadsToSuspend(ids, 1, kPatience, velotest::kPatienceNanos);
    const bool parkedInTheFirst = darwin::suspendedThreadContext(id, context);
    darwin::resumeThreads(velotest::kPatienceNanos);
    const long ranBefore = ranNanos(blocking.native_handle());
    darwin::askThreadsToSuspend(ids, 1, kPatience, velotest::kPatienceNanos);
    const bool parkedInTheNext = darwin::suspendedThreadContext(id, context);
    const long ranAfter = ranNanos(blocking.native_handle());
    darwin::resumeThreads(velotest::kPatienceNanos);

    EXPECT_FALSE(parkedInTheFirst);
    EXPECT_FALSE(parkedInTheNext);
    ASSERT_GE(ranBefore, 0);
    EXPECT_LT(ranAfter - ranBefore, kPatience) << "the next round waited out its patience again";
}

// A thread asked while it held the signal blocked, which then ended, never answers; a wait for the
// round learns that it has gone rather than waiting the round's time out for it, and counts the round
// whole.
TEST(ThreadSuspension, AThreadThatEndsWithoutAnsweringCountsAsGone) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    std::atomic<pid_t> hearingId{0}, endingId{0};
    std::atomic<bool> stop{false};
    velotest::Gate mayEnd;
    std::thread hearing([&] {
        hearingId = darwin::currentThreadId();
        while (!stop)
            std::this_thread::yield();
    });
    std::thread ending([&] {
        holdTheSuspensionSignalOff();
        endingId = darwin::currentThreadId();
        mayEnd.wait();
    });
    velotest::OnExit letGo([&] {
        darwin::resumeThreads();
        stop = true;
        mayEnd.open();
    });
    ASSERT_TRUE(velotest::eventually([&] { return hearingId.load() != 0 && endingId.load() != 0; }));
    const pid_t ids[] = {endingId, hearingId};
    darwin::askThreadsToSuspend(
        ids, 2, velotest::kPatienceNanos); // the ending one is asked while it holds the signal blocked
    mayEnd.open();
    ending.join();
    // Asked directly: the round's own look-ups would settle the thread's slot already.
    const bool endedForTheKernel = velotest::eventually(
        [&] { return syscall(SYS_tgkill, getpid(), endingId.load(), 0) != 0 && errno == ESRCH; });
    const bool whole = darwin::awaitSuspension();
    mcontext_t context;
    const bool hearingParked = darwin::suspendedThreadContext(hearingId, context);
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));
    stop = true;
    hearing.join();

    ASSERT_TRUE(endedForTheKernel);
    EXPECT_TRUE(whole) << "the thread that ended was waited for until the round's time was out";
    EXPECT_TRUE(hearingParked);
}

// A thread that runs with the signal blocked when it is asked (the C library starting or ending a
// thread; a thread still leaving the handler of the round before, which a busy core keeps from
// returning) answers as soon as it unblocks it: it is waited for, not given up as one that holds the
// signal off. This one runs on for a while after the request has reached it, long past the moment the
// suspender first looks at a thread that keeps it waiting.
TEST(ThreadSuspension, AThreadRunningWithTheSignalBlockedIsWaitedFor) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    std::atomic<pid_t> id{0};
    std::atomic<bool> stop{false};
    std::jthread runner([&] {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, darwin::suspensionSignal());
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
        id = darwin::currentThreadId();
        const auto patience =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(velotest::kPatience);
        sigset_t pending;
        do {
            sigpending(&pending);
        } while (!sigismember(&pending, darwin::suspensionSignal()) &&
                 std::chrono::steady_clock::now() < patience);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        while (std::chrono::steady_clock::now() < until) {
        }
        pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
        while (!stop)
            std::this_thread::yield();
    });
    velotest::OnExit letGo([&] {
        darwin::resumeThreads();
        stop = true;
    });
    ASSERT_TRUE(velotest::eventually([&] { return id.load() != 0; }));
    const pid_t ids[] = {id};
    const bool whole = darwin::suspendThreads(ids, 1, velotest::kPatienceNanos);
    mcontext_t context;
    const bool parked = darwin::suspendedThreadContext(id, context);
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));

    EXPECT_TRUE(whole) << "the thread was given up";
    EXPECT_TRUE(parked);
}

// A round asked for a list that was not read whole reads it again once its threads are read, however
// long the round has taken: here its bound is out the moment it is asked (no patience, no bound), as a
// busy machine may make it by the time the list is read again. The thread the first list lacked is
// added to the round.
TEST(ThreadSuspension, AListNotReadWholeIsReadAgainHoweverLongTheRoundTook) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    std::atomic<pid_t> hiddenId{0};
    std::atomic<bool> stop{false};
    std::jthread hidden([&] {
        hiddenId = darwin::currentThreadId();
        stop.wait(false);
    });
    velotest::OnExit letGo([&] {
        darwin::resumeThreads();
        stop = true;
        stop.notify_all();
    });
    ASSERT_TRUE(velotest::eventually([&] { return hiddenId.load() != 0; }));
    std::vector<pid_t> ids(darwin::kMaxThreads);
    const std::size_t listed = listWithout(ids, hiddenId.load());
    ASSERT_GE(listed, 1u) << "the hidden thread was not listed";

    darwin::askThreadsToSuspend(ids.data(), listed, 0, 0);
    darwin::awaitSuspension();
    const std::size_t count = darwin::askThreadsListedLate(ids.data(), listed, ids.size());
    darwin::resumeThreads();

    ASSERT_GT(count, listed) << "the list was not read again";
    EXPECT_NE(std::find(ids.begin() + static_cast<long>(listed), ids.begin() + static_cast<long>(count),
                        hiddenId.load()),
              ids.begin() + static_cast<long>(count));
}

// A thread that cannot answer a round (it holds the signal blocked), which starts another when told to.
// Gone with the scope: the round's threads are let go, and both threads end.
struct StarterThatHoldsTheSignalOff {
    velotest::Gate mayStart;
    std::atomic<bool> stop{false};
    std::atomic<pid_t> starterId{0}, startedId{0};
    std::jthread started;
    std::jthread starter{[this] {
        holdTheSuspensionSignalOff();
        starterId = darwin::currentThreadId();
        mayStart.wait();
        started = std::jthread([this] {
            startedId = darwin::currentThreadId();
            stop.wait(false);
        });
    }};

    // Has the starter start its thread; true once that thread runs.
    bool startOne() {
        mayStart.open();
        return velotest::eventually([&] { return startedId.load() != 0; });
    }
    ~StarterThatHoldsTheSignalOff() {
        darwin::resumeThreads();
        mayStart.open();
        starter.join();
        stop = true;
        stop.notify_all();
    }
};

// A thread that cannot answer (it holds the signal blocked) starts another once the round has read the
// list again. Within the round's bound the next call reads it again and adds the new thread; past the
// bound, the round has had its one late reading and adds none: threads that a given-up thread keeps
// starting would otherwise add a reading and a record each, and hold the recording past its bound.
TEST(ThreadSuspension, PastItsBoundARoundReadsTheListAgainOnceAndNoMore) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    struct Case {
        const char* what;
        long patienceAndBound;
        bool newThreadAdded;
    };
    const Case cases[] = {
        {"within the bound", velotest::kPatienceNanos, true},
        {"past the bound", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StarterThatHoldsTheSignalOff starter;
        ASSERT_TRUE(velotest::eventually([&] { return starter.starterId.load() != 0; }));
        std::vector<pid_t> ids(darwin::kMaxThreads);
        const long read = darwin::listThreads(ids.data(), ids.size());
        ASSERT_GT(read, 1);

        const auto listed = static_cast<std::size_t>(read);
        darwin::askThreadsToSuspend(ids.data(), listed, c.patienceAndBound, c.patienceAndBound);
        darwin::awaitSuspension();
        const std::size_t first = darwin::askThreadsListedLate(ids.data(), listed, ids.size());
        const bool startedOne = starter.startOne();
        const std::size_t second = darwin::askThreadsListedLate(ids.data(), first, ids.size());
        const bool left = darwin::resumeThreads(velotest::kPatienceNanos);

        ASSERT_TRUE(startedOne);
        EXPECT_EQ(first, listed) << "a reading added threads that were listed already";
        const bool added =
            std::find(ids.begin() + static_cast<long>(first), ids.begin() + static_cast<long>(second),
                      starter.startedId.load()) != ids.begin() + static_cast<long>(second);
        EXPECT_EQ(added, c.newThreadAdded);
        EXPECT_EQ(second, first + (c.newThreadAdded ? 1 : 0));
        EXPECT_TRUE(left);
    }
}

// The first reading of the list made once a round's bound has passed adds the thread an ending one hid,
// but gives the round no new bound: a thread that cannot answer (it holds the signal blocked) starts
// another just after, and the next call reads the list no more. A round given a fresh bound by every
// reading that adds threads would go on reading, and recording, threads that a given-up thread keeps
// starting, past the recording's bound.
TEST(ThreadSuspension, ThreadsAddedPastTheBoundGiveTheRoundNoNewBound) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    // Short enough to wait out, long beside the moments between the two readings.
    constexpr long kBound = 400L * 1000 * 1000;
    std::atomic<bool> stop{false};
    std::atomic<pid_t> hiddenId{0};
    std::jthread hidden([&] {
        hiddenId = darwin::currentThreadId();
        stop.wait(false);
    });
    velotest::OnExit letGo([&] {
        stop = true;
        stop.notify_all();
    });
    StarterThatHoldsTheSignalOff starter;
    ASSERT_TRUE(velotest::eventually([&] { return hiddenId.load() != 0 && starter.starterId.load() != 0; }));
    std::vector<pid_t> ids(darwin::kMaxThreads);
    const std::size_t listed = listWithout(ids, hiddenId.load());
    ASSERT_GE(listed, 2u) << "the hidden thread was not listed";

    darwin::askThreadsToSuspend(ids.data(), listed, kBound, kBound);
    const long boundPassed = darwin::monotonicNanos() + kBound;
    darwin::awaitSuspension();
    for (long left = boundPassed - darwin::monotonicNanos(); left > 0;
         left = boundPassed - darwin::monotonicNanos())
        std::this_thread::sleep_for(std::chrono::nanoseconds(left));
    const std::size_t first = darwin::askThreadsListedLate(ids.data(), listed, ids.size());
    const bool startedOne = starter.startOne();
    const std::size_t second = darwin::askThreadsListedLate(ids.data(), first, ids.size());
    darwin::resumeThreads(velotest::kPatienceNanos);

    ASSERT_TRUE(startedOne);
    ASSERT_EQ(first, listed + 1) << "the first reading past the bound added other than the hidden thread";
    EXPECT_EQ(ids[listed], hiddenId.load());
    EXPECT_EQ(second, first) << "the round read the list again past its bound";
}

// A thread held inside a handler of another signal while it is parked: it cannot leave the suspension
// handler, however long the round's release waits, until the test lets it go.
std::atomic<int> heldInHandler{0};
std::atomic<int> mayLeaveHandler{0};

void holdUntilLetGo(int) {
    heldInHandler.store(1);
    darwin::futexWakeAll(&heldInHandler);
    const long deadline = darwin::monotonicNanos() + velotest::kPatienceNanos;
    for (long left = velotest::kPatienceNanos; mayLeaveHandler.load() == 0 && left > 0;
         left = deadline - darwin::monotonicNanos())
        darwin::futexWait(&mayLeaveHandler, 0, left);
}

// A thread released by one round that leaves the handler only once the next round has handed its slot to
// another thread (here held in a handler of its own; on a busy machine, kept from a core) leaves that
// slot to its new thread: the new one parks, and is read, as if the late one had never been there.
TEST(ThreadSuspension, AThreadLeavingARoundLateLeavesItsSlotToTheNextRoundsThread) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    const int holdSignal = SIGRTMIN + 3;
    struct sigaction hold {};
    hold.sa_handler = holdUntilLetGo;
    hold.sa_flags = SA_ONSTACK;
    sigemptyset(&hold.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(holdSignal, &hold, &previous), 0);
    heldInHandler = 0;
    mayLeaveHandler = 0;
    std::atomic<bool> stop{false};
    std::atomic<pid_t> lateId{0}, nextId{0};
    std::atomic<std::uint64_t> lateRuns{0};
    std::jthread late([&] {
        lateId = darwin::currentThreadId();
        while (!stop)
            lateRuns.fetch_add(1, std::memory_order_relaxed);
    });
    std::jthread next([&] {
        nextId = darwin::currentThreadId();
        stop.wait(false);
    });
    velotest::OnExit letGo([&] {
        mayLeaveHandler = 1;
        darwin::futexWakeAll(&mayLeaveHandler);
        darwin::resumeThreads();
        stop = true;
        stop.notify_all();
        sigaction(holdSignal, &previous, nullptr);
    });
    ASSERT_TRUE(velotest::eventually([&] { return lateId.load() != 0 && nextId.load() != 0; }));

    // The first round's one thread parks in slot 0, and is then held where it parked.
    const pid_t first[] = {lateId};
    darwin::askThreadsToSuspend(first, 1, velotest::kPatienceNanos);
    mcontext_t context;
    const bool lateParked = darwin::suspendedThreadContext(lateId, context);
    syscall(SYS_tgkill, getpid(), lateId.load(), holdSignal);
    const long heldBy = darwin::monotonicNanos() + velotest::kPatienceNanos;
    for (long left = velotest::kPatienceNanos; heldInHandler.load() == 0 && left > 0;
         left = heldBy - darwin::monotonicNanos())
        darwin::futexWait(&heldInHandler, 0, left);
    // Released with no time to leave: it is still inside.
    const bool leftInTime = darwin::resumeThreads(0);

    // The next round hands slot 0 to another thread; the late one leaves only then.
    const pid_t second[] = {nextId};
    darwin::askThreadsToSuspend(second, 1, velotest::kPatienceNanos);
    const std::uint64_t runsBefore = lateRuns.load();
    mayLeaveHandler = 1;
    darwin::futexWakeAll(&mayLeaveHandler);
    const bool lateLeft = velotest::eventually([&] { return lateRuns.load() != runsBefore; });
    const bool nextParked = darwin::suspendedThreadContext(nextId, context);
    const bool nextLeft = darwin::resumeThreads(velotest::kPatienceNanos);

    ASSERT_EQ(heldInHandler.load(), 1) << "the parked thread never took the holding signal";
    EXPECT_TRUE(lateParked);
    EXPECT_FALSE(leftInTime) << "the held thread left the handler";
    ASSERT_TRUE(lateLeft);
    EXPECT_TRUE(nextParked) << "the late thread took the next round's slot from its thread";
    EXPECT_TRUE(nextLeft);
}

// Once a crash handler was found put back with nothing held off, a thread the kernel may be entering it
// on (it shows a frame in the making no differently from any run) is asked only once it has run a
// millisecond: the stop never lands between a crash's frame and the handler's first instructions.
TEST(ThreadSuspension, AfterAPutBackHandlerARunningThreadIsAskedOnceItHasRunAMillisecond) {
    if (velotest::ranInAFreshProcess()) return; // the note cannot be taken back
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    darwin::noteHandlersEnteredUnheld();
    std::atomic<pid_t> id{0};
    std::atomic<long> ranSoFar{0}; // the runner's CPU time, as it last read it
    std::atomic<bool> stop{false};
    std::jthread runner([&] {
        id = darwin::currentThreadId();
        while (!stop.load(std::memory_order_relaxed)) {
            timespec ran{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ran);
            ranSoFar.store(ran.tv_sec * 1000000000L + ran.tv_nsec, std::memory_order_relaxed);
        }
    });
    velotest::OnExit letGo([&] {
        darwin::resumeThreads();
        stop = true;
    });
    ASSERT_TRUE(velotest::eventually([&] { return id.load() != 0 && ranSoFar.load() != 0; }));
    clockid_t clock{};
    ASSERT_EQ(pthread_getcpuclockid(runner.native_handle(), &clock), 0);
    timespec before{};
    ASSERT_EQ(clock_gettime(clock, &before), 0);
    const pid_t ids[] = {id};
    const bool whole = darwin::suspendThreads(ids, 1, velotest::kPatienceNanos, velotest::kPatienceNanos);
    const long ranWhenStopped = ranSoFar.load();
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));

    EXPECT_TRUE(whole) << "the thread was given up";
    // Less one turn of its loop: what it last read may be that much behind what the round read.
    EXPECT_GE(ranWhenStopped - (before.tv_sec * 1000000000L + before.tv_nsec), 900L * 1000)
        << "asked before it had run a millisecond";
}

// Put off as it may be entering a handler, a thread asleep uninterruptibly all along (here: a vfork's
// parent, waiting for its child) is given up once the round has had no answer for its patience, as one
// that cannot answer is, not held until the round's bound.
TEST(ThreadSuspension, AfterAPutBackHandlerAThreadAsleepUninterruptiblyIsGivenUpAtItsPatience) {
    if (velotest::ranInAFreshProcess()) return;
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    darwin::noteHandlersEnteredUnheld();
    int childGo[2];
    ASSERT_EQ(pipe2(childGo, O_CLOEXEC), 0);
    std::atomic<pid_t> id{0};
    std::jthread sleeper([&] {
        id = darwin::currentThreadId();
        // The child shares this memory and runs on a stack of its own; it only waits for a byte.
        static char childStack[64 * 1024];
        const pid_t child = clone(
            [](void* fd) -> int {
                char byte;
                return syscall(SYS_read, *static_cast<int*>(fd), &byte, 1) == 1 ? 0 : 1;
            },
            childStack + sizeof childStack, CLONE_VM | CLONE_VFORK | SIGCHLD, &childGo[0]);
        if (child > 0) waitpid(child, nullptr, 0);
    });
    velotest::OnExit letGo([&] {
        darwin::resumeThreads();
        (void)!write(childGo[1], "g", 1);
    });
    ASSERT_TRUE(velotest::eventually([&] {
        const pid_t tid = id.load();
        if (tid == 0) return false;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", tid);
        std::FILE* stat = std::fopen(path, "r");
        if (stat == nullptr) return false;
        char state = '?';
        (void)!std::fscanf(stat, "%*d (%*[^)]) %c", &state);
        std::fclose(stat);
        return state == 'D';
    }));
    const pid_t ids[] = {id};
    const bool whole = darwin::suspendThreads(ids, 1, 50L * 1000 * 1000, velotest::kPatienceNanos);
    const int atTheBound = darwin::threadsGivenUpAtTheBound();
    EXPECT_TRUE(darwin::resumeThreads(velotest::kPatienceNanos));

    EXPECT_FALSE(whole) << "a thread asleep in a vfork answered";
    EXPECT_EQ(atTheBound, 0) << "held until the round's bound";
}

} // namespace
