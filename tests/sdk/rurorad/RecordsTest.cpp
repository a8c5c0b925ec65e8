// Analytics records: JSON payloads, the life-cycle and view kinds, timestamps, sampling.
#include "platform/foundation/Console.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsEventFilter.hpp"
#include "sdk/rurorad/records/JSON.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsGenerators.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsViewControllerEvent.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"

#include <gtest/gtest.h>

namespace {

TEST(LifecycleRecords, NotificationsMapToKeysAndPriorities) {
    struct Case {
        std::string notification;
        bool highOnBackground;
        std::string key;
        std::uint64_t priority;
    };
    const Case cases[] = {
        {"UIApplicationWillTerminateNotification", false, "app_terminated", 1},
        {"UIApplicationDidReceiveMemoryWarningNotification", false, "app_memory_warning", 1},
        {"UIApplicationDidEnterBackgroundNotification", true, "app_entered_background", 1},
        {"UIApplicationWillEnterForegroundNotification", false, "app_entered_foreground", 1},
        {"UIApplicationWillResignActiveNotification", false, "app_became_inactive", 1},
        {"UIApplicationWillResignActiveNotification", true, "app_became_inactive", 0},
        {"UIApplicationDidBecomeActiveNotification", false, "app_became_active", 0},
    };
    for (const auto& c : cases) {
        auto event = ZEVAnalyticsApplicationLifecycleEvent::initWithApplicationNotificationName(
            c.notification, 77, "ID", c.highOnBackground);
        ASSERT_TRUE(event) << c.notification;
        EXPECT_EQ(event->key(), c.key);
        EXPECT_EQ(event->priority(), c.priority) << c.notification;
        EXPECT_EQ(*event->payload(), R"({"eventId":"ID"})");
    }
    EXPECT_FALSE(ZEVAnalyticsApplicationLifecycleEvent::initWithApplicationNotificationName(
        "UIKeyboardWillShowNotification", 1, "ID", false));
    EXPECT_EQ(ZEVAnalyticsApplicationLifecycleEvent::initApplicationInstalledEvent(1, "I")->priority(), 0u);
    EXPECT_EQ(ZEVAnalyticsApplicationLifecycleEvent::initApplicationCrashedEvent(1, "I")->key(),
              "app_crashed");
}

TEST(ViewControllerRecords, CarryClassAndTitleOrEmptyText) {
    auto untitled = ZEVAnalyticsViewControllerEvent::initWithAppearedEventForViewController(
        "LessonViewController", std::nullopt, 5, "ID");
    ASSERT_TRUE(untitled);
    EXPECT_EQ(untitled->priority(), 2u);
    const auto line = untitled->eventData();
    EXPECT_EQ(std::string(line.begin(), line.end()),
              "5\tview_controller_appeared\t90\t"
              R"({"view_controller_class":"LessonViewController","view_controller_title":"","eventId":"ID"})"
              "\n");
    auto titled = ZEVAnalyticsViewControllerEvent::initWithDisappearedEventForViewController(
        "C", "Chapter \"1\"", 5, "I");
    EXPECT_EQ(*titled->payload(),
              R"({"view_controller_class":"C","view_controller_title":"Chapter \"1\"","eventId":"I"})");
    EXPECT_FALSE(ZEVAnalyticsViewControllerEvent::initWithAppearedEventForViewController("", "t", 5, "I"));
}

TEST(AnalyticsRecords, ValuesJSONCannotHoldGiveNoRecordAndADebugLine) {
    zovaze::setDebugFlag(true);
    ns::ConsoleCapture console;
    auto record = ZEVAnalyticsEvent::initWithPriority(2, 1, "custom", "ID",
                                                      {{"when", ns::PropertyList(ns::Date::now())}});
    zovaze::setDebugFlag(false);
    EXPECT_FALSE(record);
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(
        console.lines()[0].rfind(
            "[Zevuzavidav:Rurorad] ZEVAnalyticsEvent unable to JSON-encode payloadValueDictionary {error: ",
            0),
        0u);
    EXPECT_FALSE(
        ZEVAnalyticsEvent::initWithPriority(2, 1, "custom", "ID", {{"x", ns::PropertyList(0.0 / 0.0)}}));
}

TEST(AnalyticsRecords, TheDirectJSONWriterMatchesTheDocumentWriter) {
    using PL = ns::PropertyList;
    const PL values[] = {
        PL(PL::Dictionary{{"a\"b\\c", "line\nbreak\ttab\x01\x1f"},
                          {"n", std::int64_t{-42}},
                          {"r", 0.1},
                          {"big", 1e300},
                          {"t", true},
                          {"u", "\xC3\xA9\xF0\x9F\x98\x80"}}),
        PL(PL::Dictionary{{"nested", PL(PL::Dictionary{{"x", PL(PL::Array{PL(1), PL("y"), PL()})}})}}),
        PL(PL::Dictionary{}),
    };
    for (const auto& value : values) {
        std::string direct;
        ASSERT_TRUE(rurorad::appendJSON(direct, value));
        EXPECT_EQ(direct, rurorad::jsonData(*rurorad::jsonObjectFromPropertyList(value)));
    }
    std::string bad;
    EXPECT_FALSE(rurorad::appendJSON(bad, PL(PL::Dictionary{{"d", PL(PL::Data{1, 2})}})));
    // Bytes that are not UTF-8 are written as U+FFFD, never passed on.
    std::string replaced;
    rurorad::appendJSONString(replaced, "a\xFF"
                                        "b");
    EXPECT_EQ(replaced, "\"a\xEF\xBF\xBD"
                        "b\"");
}

TEST(AnalyticsTimestamps, DropTheFractionOfAMillisecond) {
    using T = ZEVAnalyticsTimestampGenerator;
    EXPECT_EQ(T::millisecondsSince1970(ns::Date::fromTimeIntervalSince1970(1.5)), 1500u);
    EXPECT_EQ(T::millisecondsSince1970(ns::Date::fromTimeIntervalSince1970(1700000000.9999)), 1700000000999u);
    EXPECT_EQ(T::millisecondsSince1970(ns::Date::fromTimeIntervalSince1970(-3)), 0u);
    const auto now = T().generateAnalyticsTimestamp();
    EXPECT_NEAR(static_cast<double>(now) / 1000.0, ns::Date::now().timeIntervalSince1970(), 5.0);
}

TEST(SamplingFilter, JavaHashOverUTF16Units) {
    EXPECT_EQ(ZEVAnalyticsEventFilter::javaHashCodeForString("abc"), 96354);
    EXPECT_EQ(ZEVAnalyticsEventFilter::javaHashCodeForString(""), 0);
    EXPECT_EQ(ZEVAnalyticsEventFilter::javaHashCodeForString("polygenelubricants"), INT32_MIN);
    // One character outside the basic plane hashes as its two surrogates: 31 x 0xD83D + 0xDE00.
    EXPECT_EQ(ZEVAnalyticsEventFilter::javaHashCodeForString("\xF0\x9F\x98\x80"), 1772899);
}

TEST(SamplingFilter, KeepsOnlyInstallationsWhoseHashIsAMultipleOfTheFactor) {
    const ZEVEventLogEvent launched(1, 0, "app_launched");
    struct Case {
        std::optional<std::string> installation;
        std::int64_t factor;
        bool discarded;
    };
    const Case cases[] = {
        {"abc", 2, false},
        {"abc", 3, false},
        {"abc", 6, false},
        {"abc", 5, true},
        {"abc", 1, false},
        {"abc", 0, false},
        {"abc", -5, false},
        {"", 7, false},
        {std::nullopt, 5, false},
        // A negative hash whose remainder is 0 is kept; the remainder's sign never matters.
        {"polygenelubricants", 2, false},
        {"polygenelubricants", 3, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            ZEVAnalyticsEventFilter::shouldDiscardEvent(&launched, std::nullopt, c.installation, c.factor),
            c.discarded)
            << c.installation.value_or("<none>") << " / " << c.factor;
    }
    // A beta build, a kind that is never sampled, and a missing event.
    EXPECT_FALSE(ZEVAnalyticsEventFilter::shouldDiscardEvent(&launched, "2:beta", "abc", 5));
    const ZEVEventLogEvent installed(0, 0, "app_installed");
    const ZEVEventLogEvent custom(2, 0, "custom");
    EXPECT_FALSE(ZEVAnalyticsEventFilter::shouldDiscardEvent(&installed, std::nullopt, "abc", 5));
    EXPECT_FALSE(ZEVAnalyticsEventFilter::shouldDiscardEvent(&custom, std::nullopt, "abc", 5));
    EXPECT_TRUE(ZEVAnalyticsEventFilter::shouldDiscardEvent(nullptr, std::nullopt, "abc", 0));
}

} // namespace
