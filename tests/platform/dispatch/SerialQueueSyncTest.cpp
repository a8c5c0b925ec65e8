// sync() on a serial queue: run on the caller's thread when the queue is idle, yet one block at a time,
// in order, under the queue's identity.
#include "platform/darwin/Threads.hpp"
#include "platform/dispatch/SerialQueue.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string tableLabel() {
    char label[darwin::kThreadNameSize] = {};
    return darwin::queueLabel(darwin::currentThreadId(), label, sizeof label) ? label : "";
}

// What a block sees of the queue it runs on.
struct Identity {
    std::thread::id thread;
    bool current = false;
    std::string label;
    std::string table;
};

Identity identityOf(const dispatch::SerialQueue& queue) {
    return {std::this_thread::get_id(), queue.isCurrent(), dispatch::currentQueueLabel(), tableLabel()};
}

TEST(SerialQueueSync, IdleQueueRunsTheBlockOnTheCallersThreadUnderItsIdentity) {
    dispatch::SerialQueue queue("com.example.sync.idle");
    dispatch::SerialQueue outer("com.example.sync.outer");
    auto plain = [&](const std::function<Identity()>& body) { return queue.syncResult(body); };
    auto nested = [&](const std::function<Identity()>& body) {
        return outer.syncResult([&] {
            Identity inner = queue.syncResult(body);
            EXPECT_TRUE(outer.isCurrent()) << "restored after the inner sync";
            EXPECT_EQ(dispatch::currentQueueLabel(), "com.example.sync.outer");
            EXPECT_EQ(tableLabel(), "com.example.sync.outer");
            return inner;
        });
    };
    const std::pair<const char*, std::function<Identity(const std::function<Identity()>&)>> cases[] = {
        {"from a plain thread", plain},
        {"from another queue's block", nested},
    };
    for (const auto& [name, call] : cases) {
        SCOPED_TRACE(name);
        Identity seen = call([&] {
            EXPECT_FALSE(outer.isCurrent());
            return identityOf(queue);
        });
        EXPECT_EQ(seen.thread, std::this_thread::get_id());
        EXPECT_TRUE(seen.current);
        EXPECT_EQ(seen.label, "com.example.sync.idle");
        EXPECT_EQ(seen.table, "com.example.sync.idle");
        EXPECT_FALSE(queue.isCurrent());
        EXPECT_EQ(dispatch::currentQueueLabel(), "");
        EXPECT_EQ(tableLabel(), "");
    }
}

// While the queue is busy (a block of the worker, or a caller's sync, in progress), a sync from another
// thread waits its turn behind it and behind whatever was queued meanwhile.
TEST(SerialQueueSync, SyncOnABusyQueueWaitsForTheBlocksBeforeIt) {
    struct Case {
        const char* name;
        bool holdWithSync; // occupy the queue with a caller's sync rather than an async block
    };
    for (const Case c : {Case{"worker busy", false}, Case{"caller's sync busy", true}}) {
        SCOPED_TRACE(c.name);
        dispatch::SerialQueue queue("com.example.sync.busy");
        std::mutex mutex;
        std::vector<std::string> order;
        auto note = [&](const char* what) {
            std::lock_guard lock(mutex);
            order.push_back(what);
        };
        velotest::Waiter<bool> holding;
        velotest::Gate release;
        auto hold = [&] {
            holding.set(true);
            release.wait();
            note("holder");
        };
        std::jthread holder, caller;
        // Declared after the threads: on every way out the holder is let go before they are joined.
        velotest::OnExit letGo([&] { release.open(); });
        if (c.holdWithSync) {
            holder = std::jthread([&] { queue.sync(hold); });
        } else {
            queue.async(hold);
        }
        ASSERT_TRUE(holding.wait());
        queue.async([&] { note("queued"); });
        caller = std::jthread([&] { queue.sync([&] { note("sync"); }); });
        // The sync has taken its place in line while the holder still holds the queue (or, wrongly, has
        // run already).
        auto synced = [&] {
            std::lock_guard lock(mutex);
            return std::find(order.begin(), order.end(), "sync") != order.end();
        };
        ASSERT_TRUE(velotest::eventually([&] { return queue.waitingSyncCount() == 1 || synced(); }))
            << "the caller's sync never waited for its turn";
        release.open();
        caller.join();
        EXPECT_EQ(order, (std::vector<std::string>{"holder", "queued", "sync"}));
    }
}

// Many threads mixing async and sync: blocks never overlap and each thread's blocks run in the order
// it submitted them.
TEST(SerialQueueSync, MixedSyncAndAsyncNeverOverlapAndKeepEachSubmittersOrder) {
    dispatch::SerialQueue queue("com.example.sync.mixed");
    constexpr int kThreads = 4, kBlocks = 300;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kBlocks; ++i) {
                auto block = [&, t, i] {
                    if (inside.fetch_add(1) != 0) overlapped = true;
                    seen[t].push_back(i);
                    inside.fetch_sub(1);
                };
                if (i % 3 == 0) {
                    queue.sync(block);
                } else {
                    queue.async(block);
                }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    queue.sync([] {});
    EXPECT_FALSE(overlapped.load());
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kBlocks));
        for (int i = 0; i < kBlocks; ++i)
            EXPECT_EQ(seen[t][i], i);
    }
}

TEST(SerialQueueSync, ExceptionReachesTheCallerAndTheQueueKeepsWorking) {
    dispatch::SerialQueue queue("com.example.sync.throw");
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("no"); }), std::runtime_error);
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_EQ(dispatch::currentQueueLabel(), "");
    std::atomic<bool> ran{false};
    queue.async([&] { ran = true; });
    queue.sync([] {});
    EXPECT_TRUE(ran.load());
}

} // namespace
