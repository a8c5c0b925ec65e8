// The crash handler's hold on the other threads: a helper thread that counts stands still inside the
// guard's scope and counts again once the scope is left, by its end or by an exception. Nothing is
// asserted while threads are suspended (a parked thread may hold the test framework's lock).
#include "sdk/zevuzavidav/process/OtherThreadsSuspended.hpp"

#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/ThreadState.hpp"
#include "tests/support/Tmux.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

TEST(OtherThreadsSuspended, EveryWayOutOfTheScopeResumesTheThreads) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    std::atomic<bool> stop{false};
    std::atomic<pid_t> helperId{0};
    std::atomic<std::uint64_t> counter{0};
    std::jthread helper([&] {
        helperId = darwin::currentThreadId();
        while (!stop)
            counter.fetch_add(1, std::memory_order_relaxed);
    });
    // On every way out, a failed assertion too, the helper ends and is joined.
    velotest::OnExit stopTheHelper([&] { stop = true; });
    ASSERT_TRUE(velotest::eventually([&] { return helperId != 0; }));
    // The wait is generous and one-sided, so a loaded machine only slows the test down.
    auto advances = [&counter] {
        const auto start = counter.load();
        return velotest::waitUntil([&] { return counter.load() != start; });
    };

    for (bool byException : {false, true}) {
        SCOPED_TRACE(byException ? "left by an exception" : "left at the end of the block");
        ZEVProcess process{};
        ASSERT_TRUE(ZEVProcessInit(&process, darwin::currentThreadId(), nullptr));
        bool allSuspended = false, parked = false, stoodStill = false;
        try {
            zevuzavidav::OtherThreadsSuspended suspended(&process);
            allSuspended = suspended.allSuspended();
            mcontext_t context;
            parked = darwin::suspendedThreadContext(helperId, context);
            // A thread that counts never blocks: once the helper is seen blocked, it has been parked
            // (its signal handler waits in the kernel for the release) and counted nothing meanwhile.
            const auto parkedAt = counter.load();
            stoodStill = velotest::waitUntilThreadStops(helperId) == velotest::ThreadState::blocked &&
                         counter.load() == parkedAt;
            if (byException) throw std::runtime_error("the record could not be written");
        } catch (const std::runtime_error&) {
        }
        EXPECT_TRUE(allSuspended);
        EXPECT_TRUE(parked);
        EXPECT_TRUE(stoodStill);
        mcontext_t context;
        EXPECT_FALSE(darwin::suspendedThreadContext(helperId, context));
        EXPECT_TRUE(advances());
    }
}

// Holds a helper 20 calls deep until `release` is set.
__attribute__((noinline)) void holdAtDepth(int depth, std::atomic<bool>* parked, std::atomic<bool>* release) {
    if (depth > 1) {
        holdAtDepth(depth - 1, parked, release);
        asm volatile("" ::: "memory");
        return;
    }
    *parked = true;
    release->wait(false);
}

struct Walked {
    std::uint64_t pcs[zevuzavidav::kUnwindMaxFrames];
    std::uint32_t count = 0;
    unsigned linesCopied = 0;
};

void walkSuspended(const zevuzavidav::MachineContext& start, zevuzavidav::UnwindMemory::Range stack,
                   Walked* out) {
    ZEVUnwindContext context;
    zevuzavidav::initUnwindWithImageFinder(&context, &start, zevuzavidav::findImageWithDynamicLinker);
    context.memory.stack = stack;
    out->count = zevuzavidav::unwindNextFrames(&context, out->pcs, zevuzavidav::kUnwindMaxFrames);
    out->linesCopied = context.memory.lineCount;
}

// A suspended thread is walked in place over the stack it stood on when it stopped: the walk gives the
// frames a walk through checked copies gives, and copies nothing. Results go to storage made before
// the threads stop.
TEST(OtherThreadsSuspended, ASuspendedThreadsStackIsWalkedInPlace) {
    ASSERT_TRUE(darwin::prepareThreadSuspension());
    std::atomic<bool> parked{false}, release{false};
    std::atomic<pid_t> helperId{0};
    std::thread helper([&] {
        helperId = darwin::currentThreadId();
        holdAtDepth(20, &parked, &release);
    });
    struct Release {
        std::atomic<bool>& release;
        std::thread& helper;
        ~Release() {
            release = true;
            release.notify_all();
            helper.join();
        }
    } releaseAtEnd{release, helper};
    ASSERT_TRUE(velotest::eventually([&] { return parked.load(); }));

    static Walked throughCopies, inPlace;
    bool haveStack = false;
    ZEVProcess process{};
    ASSERT_TRUE(ZEVProcessInit(&process, darwin::currentThreadId(), nullptr));
    {
        zevuzavidav::OtherThreadsSuspended suspended(&process);
        zevuzavidav::MachineContext start{};
        std::uintptr_t low = 0, high = 0;
        haveStack = ZEVProcessGetThreadState(&process, helperId, &start) &&
                    darwin::suspendedThreadStack(helperId, &low, &high);
        if (haveStack) {
            walkSuspended(start, {0, 0}, &throughCopies);
            walkSuspended(start, {low, high}, &inPlace);
        }
    }
    ASSERT_TRUE(haveStack);
    EXPECT_GT(throughCopies.count, 20u);
    EXPECT_GT(throughCopies.linesCopied, 0u);
    ASSERT_EQ(inPlace.count, throughCopies.count);
    for (std::uint32_t i = 0; i < inPlace.count; ++i)
        EXPECT_EQ(inPlace.pcs[i], throughCopies.pcs[i]) << i;
    EXPECT_EQ(inPlace.linesCopied, 0u);
}

} // namespace
