#include "sdk/zevuzavidav/support/ZEVApplication.hpp"
#include "sdk/zevuzavidav/support/ZEVPlatformFacts.hpp"
#include "sdk/zevuzavidav/support/ZEVSerialQueue.hpp"
#include "sdk/zevuzavidav/support/ZEVUtilities.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

TEST(SerialQueueTest, SyncRunsOnTheCallersThreadAfterEverythingQueuedBefore) {
    ZEVSerialQueue queue("com.example.queue");
    std::vector<int> order;
    for (int i = 0; i < 50; ++i)
        queue.async([&order, i] { order.push_back(i); });
    std::thread::id ranOn;
    queue.sync([&] {
        ranOn = std::this_thread::get_id();
        order.push_back(50);
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    ASSERT_EQ(order.size(), 51u);
    for (int i = 0; i <= 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    int inner = 0;
    queue.sync([&] { queue.sync([&] { inner = 1; }); }); // nested sync on the same queue does not deadlock
    EXPECT_EQ(inner, 1);
}

TEST(SerialQueueTest, ManySyncCallersNeverOverlap) {
    ZEVSerialQueue queue("com.example.queue");
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                queue.sync([&] {
                    if (inside.fetch_add(1) != 0) overlapped = true;
                    inside.fetch_sub(1);
                });
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_FALSE(overlapped.load());
}

TEST(SupportTest, DispatchAfterRunsTheBlockOnTheQueueAfterTheDelay) {
    auto queue = std::make_shared<ZEVSerialQueue>("com.example.later");
    std::promise<std::chrono::steady_clock::time_point> ran;
    auto start = std::chrono::steady_clock::now();
    ZEVDispatchAfter(
        queue, [&] { ran.set_value(std::chrono::steady_clock::now()); }, 0.05f);
    auto when = ran.get_future().get();
    EXPECT_GE(when - start, std::chrono::milliseconds(45));
}

ZEVPlatformFacts extensionFacts() {
    ZEVPlatformFacts facts;
    facts.extensionPointIdentifier = "com.apple.widget-extension";
    return facts;
}

TEST(SupportTest, ExtensionIdentityComesFromThePlatformFacts) {
    EXPECT_FALSE(ZEVApplicationIsExtension());
    ZEVSetPlatformFactsProvider(extensionFacts);
    EXPECT_TRUE(ZEVApplicationIsExtension());
    EXPECT_EQ(ZEVApplicationExtensionPointIdentifier(), "com.apple.widget-extension");
    ZEVSetPlatformFactsProvider(nullptr);
    int ran = 0;
    ZEVApplicationActivity(3, "upload", [&] { ++ran; });
    EXPECT_EQ(ran, 1);
    ZEVActivityToken token = ZEVApplicationBeginActivity(3, "upload");
    EXPECT_EQ(token.options, 3u);
    EXPECT_EQ(token.reason, "upload");
}

TEST(SupportTest, HexEncodingAndFileRemoval) {
    char out[7];
    ZEVHexEncodeBytes("\x01\xab\xff", 3, out);
    EXPECT_STREQ(out, "01abff");
    EXPECT_TRUE(ZEVUnlinkIfExists("/tmp/velo-no-such-file-anywhere"));
    EXPECT_FALSE(ZEVReadString(16, nullptr, 8));
    EXPECT_TRUE(ZEVReadString(16, nullptr, 0));
    std::uint64_t mark = ZEVProfilingStart();
    EXPECT_GE(ZEVProfilingEndInMillis(mark), 0.0);
}

} // namespace
