// The crash handler's hold on the other threads: a helper thread that counts stands still inside the
// guard's scope and counts again once the scope is left, by its end or by an exception. Nothing is
// asserted while threads are suspended (a parked thread may hold the test framework's lock).
#include "sdk/zevuzavidav/process/OtherThreadsSuspended.hpp"

#include "platform/darwin/Threads.hpp"
#include "tests/support/OnExit.hpp"
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
    while (helperId == 0)
        std::this_thread::yield();
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
            const auto parkedAt = counter.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            stoodStill = counter.load() == parkedAt;
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

} // namespace
