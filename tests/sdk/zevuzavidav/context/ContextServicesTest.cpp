#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/context/DispatchSync.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "tests/support/DueGlobalWork.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(DispatchSync, RunsOnTheCallersThreadAfterEverythingQueuedBefore) {
    dispatch::SerialQueue queue("com.example.queue");
    std::vector<int> order;
    for (int i = 0; i < 50; ++i)
        queue.async([&order, i] { order.push_back(i); });
    std::thread::id ranOn;
    zevuzavidav::dispatchSync(queue, [&] {
        ranOn = std::this_thread::get_id();
        order.push_back(50);
    });
    queue.async([&order] { order.push_back(51); });
    queue.sync([] {});
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    ASSERT_EQ(order.size(), 52u);
    for (int i = 0; i <= 51; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(DispatchSync, ACallFromTheSameQueueRunsAtOnce) {
    dispatch::SerialQueue queue("com.example.queue");
    int inner = 0;
    zevuzavidav::dispatchSync(queue, [&] { zevuzavidav::dispatchSync(queue, [&] { inner = 1; }); });
    EXPECT_EQ(inner, 1);
    std::promise<std::thread::id> fromWorker;
    queue.async(
        [&] { zevuzavidav::dispatchSync(queue, [&] { fromWorker.set_value(std::this_thread::get_id()); }); });
    auto answer = fromWorker.get_future();
    ASSERT_EQ(answer.wait_for(std::chrono::duration<double>(velotest::kPatience)), std::future_status::ready)
        << "a sync from the queue's own worker waited for itself";
    EXPECT_NE(answer.get(), std::this_thread::get_id());
}

TEST(DispatchSync, AThrowingBlockStillReleasesTheQueue) {
    dispatch::SerialQueue queue("com.example.queue");
    EXPECT_THROW(zevuzavidav::dispatchSync(queue, [] { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    std::promise<void> ran;
    queue.async([&] { ran.set_value(); });
    EXPECT_EQ(ran.get_future().wait_for(std::chrono::duration<double>(velotest::kPatience)),
              std::future_status::ready);
}

TEST(DispatchSync, ManyCallersNeverOverlapEachOtherOrTheQueuesOwnBlocks) {
    dispatch::SerialQueue queue("com.example.queue");
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto work = [&] {
        if (inside.fetch_add(1) != 0) overlapped = true;
        inside.fetch_sub(1);
    };
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                queue.async(work);
                zevuzavidav::dispatchSync(queue, work);
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    queue.sync([] {});
    EXPECT_FALSE(overlapped.load());
}

TEST(Application, DispatchAfterRunsTheBlockOnTheQueueAfterTheDelayEvenWhenTheCallerLetsGo) {
    auto queue = std::make_shared<dispatch::SerialQueue>("com.example.later");
    std::promise<std::chrono::steady_clock::time_point> ran;
    std::promise<std::string> onQueue;
    auto start = std::chrono::steady_clock::now();
    ZEVDispatchAfter(
        queue,
        [&] {
            onQueue.set_value(dispatch::currentQueueLabel());
            ran.set_value(std::chrono::steady_clock::now());
        },
        0.05f);
    queue.reset(); // the delayed block keeps the queue alive
    auto when = ran.get_future();
    ASSERT_EQ(when.wait_for(std::chrono::duration<double>(velotest::kPatience)), std::future_status::ready);
    EXPECT_GE(when.get() - start, 45ms);
    EXPECT_EQ(onQueue.get_future().get(), "com.example.later");
}

TEST(Application, DelaysThatAreNotPositiveNumbersRunAtOnce) {
    auto queue = std::make_shared<dispatch::SerialQueue>("com.example.later");
    for (float seconds : {-1.0f, NAN}) {
        std::promise<void> ran;
        ZEVDispatchAfter(
            queue, [&] { ran.set_value(); }, seconds);
        EXPECT_EQ(ran.get_future().wait_for(std::chrono::duration<double>(velotest::kPatience)),
                  std::future_status::ready)
            << seconds;
    }
    ZEVDispatchAfter(
        nullptr, [] {}, 0.0f); // nothing to run on: no crash
}

TEST(Application, AddOperationAfterDelayAddsTheBlockToTheOperationQueueLater) {
    // Time moves only when the test moves it: the delayed add is due at 50 ms and not before.
    dispatch::VirtualClockScope time;
    auto queue = std::make_shared<dispatch::OperationQueue>("com.example.work-queue");
    queue->setMaxConcurrentOperationCount(1);
    std::promise<void> ran;
    auto done = ran.get_future();
    ZEVAddOperationAfterDelay(
        queue, [&] { ran.set_value(); }, 0.05);
    time.clock().advance(49ms);
    ASSERT_TRUE(velotest::dueGlobalWorkHasRun());
    // Not added before the delay: neither waiting, nor running, nor run.
    EXPECT_EQ(queue->operationCount(), 0u);
    EXPECT_EQ(done.wait_for(0s), std::future_status::timeout);
    queue.reset(); // the delayed add keeps the queue alive
    time.clock().advance(1ms);
    EXPECT_EQ(done.wait_for(std::chrono::duration<double>(velotest::kPatience)), std::future_status::ready);
}

// An extension host that answers later, from another thread.
struct FakeExtensionContext : zevuzavidav::ExtensionContext {
    std::vector<std::string> asked;
    bool answer = true;
    void openURL(const std::string& url, std::function<void(bool)> completion) override {
        asked.push_back(url);
        std::thread([completion, answer = answer] { completion(answer); }).join();
    }
};

zevuzavidav::PlatformFacts extensionFacts() {
    zevuzavidav::PlatformFacts facts;
    facts.extensionPointIdentifier = "com.apple.widget-extension";
    return facts;
}

TEST(Application, ExtensionIdentityComesFromThePlatformFacts) {
    EXPECT_FALSE(ZEVApplicationIsExtension());
    zevuzavidav::setPlatformFactsProvider(extensionFacts);
    EXPECT_TRUE(ZEVApplicationIsExtension());
    EXPECT_EQ(ZEVApplicationExtensionPointIdentifier(), "com.apple.widget-extension");
    zevuzavidav::setPlatformFactsProvider(nullptr);
    int ran = 0;
    ZEVApplicationActivity(3, "upload", [&] { ++ran; });
    EXPECT_EQ(ran, 1);
}

TEST(Application, TheSharedInstanceIsTheAppsOwnExceptInAnExtension) {
    EXPECT_EQ(ZEVApplicationSharedInstance(), &ui::Application::shared());
    zevuzavidav::setPlatformFactsProvider(extensionFacts);
    EXPECT_EQ(ZEVApplicationSharedInstance(), nullptr);
    zevuzavidav::setPlatformFactsProvider(nullptr);
}

TEST(Application, OpeningAUrlReportsTheApplicationsAnswer) {
    ui::Application& application = ui::Application::shared();
    for (bool answer : {true, false}) {
        application.reset();
        application.setOpenURLHandler([answer](const std::string&) { return answer; });
        int calls = 0;
        bool reported = !answer;
        ZEVApplicationOpenURL("https://example.com/update", nullptr, [&](bool success) {
            ++calls;
            reported = success;
        });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(reported, answer);
        EXPECT_EQ(application.openedURLs(), std::vector<std::string>{"https://example.com/update"});
    }
    application.reset();
    ZEVApplicationOpenURL("https://example.com/no-completion", nullptr, nullptr);
    EXPECT_EQ(application.openedURLs().size(), 1u);
    application.reset();
}

TEST(Application, AnExtensionOpensThroughItsContextOrNotAtAll) {
    ui::Application& application = ui::Application::shared();
    application.reset();
    zevuzavidav::setPlatformFactsProvider(extensionFacts);
    FakeExtensionContext context;
    context.answer = false;
    bool reported = true;
    ZEVApplicationOpenURL("https://example.com/a", &context, [&](bool success) { reported = success; });
    EXPECT_FALSE(reported);
    EXPECT_EQ(context.asked, std::vector<std::string>{"https://example.com/a"});
    reported = true;
    ZEVApplicationOpenURL("https://example.com/b", nullptr, [&](bool success) { reported = success; });
    EXPECT_FALSE(reported);
    EXPECT_TRUE(application.openedURLs().empty());
    zevuzavidav::setPlatformFactsProvider(nullptr);
}

} // namespace
