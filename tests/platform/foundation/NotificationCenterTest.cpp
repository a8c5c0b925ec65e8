#include "platform/foundation/NotificationCenter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(NotificationCenter, DeliversByNameAndSenderWithUserInfo) {
    ns::NotificationCenter center;
    int senderA = 0, senderB = 0;
    std::vector<std::string> seen;
    center.addObserver("Ready", [&](const ns::Notification& n) {
        seen.push_back("any:" + std::any_cast<std::string>(n.userInfo.at("who")));
    });
    center.addObserver("Ready", &senderA, [&](const ns::Notification&) { seen.push_back("fromA"); });
    center.addObserver("", [&](const ns::Notification& n) { seen.push_back("all:" + n.name); });
    center.post("Ready", &senderB, {{"who", std::string("b")}});
    center.post("Ready", &senderA, {{"who", std::string("a")}});
    center.post("Other");
    EXPECT_EQ(seen,
              (std::vector<std::string>{"any:b", "all:Ready", "any:a", "fromA", "all:Ready", "all:Other"}));
}

TEST(NotificationCenter, RemovedObserverIsNotCalled) {
    ns::NotificationCenter center;
    int calls = 0;
    auto token = center.addObserver("N", [&](const ns::Notification&) { ++calls; });
    center.post("N");
    center.removeObserver(token);
    center.removeObserver(token); // twice is harmless
    center.post("N");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, ObserverRemovedDuringAPostIsNotCalledAfterwards) {
    ns::NotificationCenter center;
    std::vector<std::string> calls;
    ns::NotificationCenter::ObserverToken second = 0;
    center.addObserver("N", [&](const ns::Notification&) {
        calls.push_back("first");
        center.removeObserver(second);
    });
    second = center.addObserver("N", [&](const ns::Notification&) { calls.push_back("second"); });
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"first"}));
}

TEST(NotificationCenter, ObserverMayRemoveItselfAndPostAgain) {
    ns::NotificationCenter center;
    int calls = 0;
    ns::NotificationCenter::ObserverToken self = 0;
    self = center.addObserver("N", [&](const ns::Notification&) {
        ++calls;
        center.removeObserver(self);
        center.post("N"); // no lock held, no recursion into the removed observer
    });
    center.post("N");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, ConcurrentPostsAndRemovalsAreSafe) {
    ns::NotificationCenter center;
    std::atomic<int> calls{0};
    std::vector<ns::NotificationCenter::ObserverToken> tokens;
    for (int i = 0; i < 50; ++i)
        tokens.push_back(center.addObserver("N", [&](const ns::Notification&) { ++calls; }));
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i)
            center.post("N");
    });
    for (auto t : tokens)
        center.removeObserver(t);
    poster.join();
    const int before = calls.load();
    center.post("N");
    EXPECT_EQ(calls.load(), before);
}

} // namespace
