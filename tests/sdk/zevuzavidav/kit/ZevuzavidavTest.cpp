// The crash kit's start and its answers to its controllers: what starts in which case and how often,
// what the app's delegate is asked (only what it says it implements), and how earlier reports reach the
// app and analytics.
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "sdk/zevuzavidav/store/ZEVReport.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"
#include "tests/sdk/zevuzavidav/kit/KitWorld.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <set>

namespace {

using kittest::KitWorld;
using Method = ZevuzavidavDelegateMethod;

// An app delegate that implements the methods it is given, answering as configured, and notes its calls.
class AppDelegate : public ZevuzavidavDelegate {
  public:
    explicit AppDelegate(std::set<Method> methods) : methods_(std::move(methods)) {}
    bool implementsMethod(Method method) const override { return methods_.count(method) > 0; }

    void zevuzavidavDidDetectReportForLastExecution(const std::shared_ptr<ZEVCrashReport>& report,
                                                    std::function<void(bool)> completionHandler) override {
        reports.push_back(report->identifier().value_or("?"));
        completionHandler(submit);
    }
    bool zevuzavidavCanUseBackgroundSessions(Zevuzavidav&) override { return backgroundSessions; }
    void zevuzavidavDidDetectCrash(Zevuzavidav&) override { ++crashes; }
    bool zevuzavidavEnsureDeliveryOfUnixSignal(Zevuzavidav&, int signal) override {
        return signal == SIGABRT;
    }
    void
    zevuzavidavDidDetectCrashDuringPreviousExecution(Zevuzavidav&,
                                                     const std::shared_ptr<ZEVCrashReport>& report) override {
        legacyCalls.push_back("with report " + report->identifier().value_or("?"));
    }
    void zevuzavidavDidDetectCrashDuringPreviousExecution(Zevuzavidav&) override {
        legacyCalls.push_back("without report");
    }

    bool submit = true;
    bool backgroundSessions = false;
    int crashes = 0;
    std::vector<std::string> reports;
    std::vector<std::string> legacyCalls;

  private:
    std::set<Method> methods_;
};

class Kit : public ::testing::Test {
  protected:
    // An earlier launch's folder with a crash in it, started at `startedAt`.
    std::shared_ptr<ZEVInternalReport> earlierReport(const std::string& id,
                                                     std::uint64_t startedAt = 1600000000) {
        auto folder = world.home().home() / "earlier" / id;
        reporttest::writeMetadata(folder, id, "kit-key", startedAt);
        reporttest::writeText(folder / "signal.zevrecord", "{}\n");
        return ZEVInternalReport::reportWithPath(folder.string());
    }

    KitWorld world;
};

TEST(KitClass, EveryInitAnswersTheOneSharedKitThatTheSDKFindsByName) {
    EXPECT_EQ(Zevuzavidav::init(), Zevuzavidav::sharedInstance());
    const rt::Class* kit = rt::ClassRegistry::shared().lookUpClass("Zevuzavidav");
    ASSERT_NE(kit, nullptr);
    EXPECT_TRUE(kit->conformsToProtocol(ZOVKitProtocol));
    auto shared = std::any_cast<rt::ObjectRef>(kit->performClassSelector("sharedInstance"));
    EXPECT_EQ(shared, std::static_pointer_cast<rt::Object>(Zevuzavidav::sharedInstance()));
    EXPECT_FALSE(Zevuzavidav::sharedInstance()->isZevuzavidavStarted()) << "only the SDK's start starts it";
}

TEST(KitStart, TheStartRunsOnceAndHandsTheBetaTokenOn) {
    struct Case {
        const char* name;
        bool betaSupported;
        std::optional<std::string> fontToken;
        bool betaController;
        std::optional<std::string> token;
        bool betaFailureLogged;
    };
    const Case cases[] = {
        {"no beta", false, std::string("2:UNUSED"), false, std::nullopt, false},
        {"beta with a token", true, std::string("2:ABCDE"), true, std::string("2:ABCDE"), false},
        {"beta without a token", true, std::nullopt, true, std::nullopt, true},
    };
    for (const auto& c : cases) {
        KitWorld world;
        ns::ConsoleCapture console;
        auto kit = world.makeKit(c.betaSupported, c.fontToken);
        kit->start();
        kit->start();
        EXPECT_EQ(world.controllersMade, 1) << c.name;
        EXPECT_TRUE(kit->isZevuzavidavStarted()) << c.name;
        EXPECT_EQ(kit->betaController() != nullptr, c.betaController) << c.name;
        ASSERT_EQ(world.installedBetaTokens.size(), 1u) << c.name;
        EXPECT_EQ(world.installedBetaTokens[0], c.token) << c.name;
        EXPECT_EQ(world.analytics->starts, std::vector<std::optional<std::string>>{c.token}) << c.name;
        EXPECT_EQ(console.count("[Zevuzavidav] Version 3.4.0 (92)"), 1u) << c.name;
        EXPECT_EQ(console.contains("[Zevuzavidav] Beta could not be initialized"), c.betaFailureLogged)
            << c.name;
        EXPECT_FALSE(console.contains("[Zevuzavidav] Crash reporting could not be initialized")) << c.name;
    }
}

TEST(KitStart, CrashReportingsOwnLogLinesFollowTheSDKsDebugFlagOnceStarted) {
    KitWorld world;
    world.makeKit()->start();
    zovaze::setDebugFlag(true);
    EXPECT_TRUE(zevuzavidav::debugEnabled());
    zovaze::setDebugFlag(false);
    EXPECT_FALSE(zevuzavidav::debugEnabled());
}

TEST(KitStart, TheOlderStartSetsTheKeyAndStartsTheSDKWithTheKit) {
    KitWorld world;
    int starts = 0;
    rt::ClassDefinition kitClass;
    kitClass.name = "Zevuzavidav";
    kitClass.protocols = {ZOVKitProtocol};
    kitClass.classMethods["initializeIfNeeded"] = [&](const rt::Class&, rt::Arguments) {
        ++starts;
        return std::any();
    };
    world.registry.registerClass(std::move(kitClass)); // what the SDK finds for the kit object
    auto kit = world.makeKit();
    auto app = std::make_shared<AppDelegate>(std::set<Method>{});
    kit->startSDKWithAPIKey("legacy-key", app);
    EXPECT_EQ(world.sdk->APIKey(), "legacy-key");
    EXPECT_EQ(kit->delegate(), app);
    EXPECT_EQ(starts, 1);
    ASSERT_EQ(world.sdk->kitClasses().size(), 1u);
    EXPECT_EQ(world.sdk->kitClasses()[0], &kit->objectClass());
}

TEST(KitStart, CrashReportingThatCannotStartIsLoggedAndAnalyticsStartsAnyway) {
    KitWorld world(ns::PropertyList::Dictionary{}); // no bundle identifier: no report tree can be made
    ns::ConsoleCapture console;
    auto kit = world.makeKit();
    kit->start();
    EXPECT_TRUE(console.contains("[Zevuzavidav] Crash reporting could not be initialized"));
    EXPECT_TRUE(kit->isZevuzavidavStarted());
    EXPECT_EQ(world.analytics->starts.size(), 1u);
}

TEST_F(Kit, DebugModeAndTheDelegateMayBeSetLateWithAWarning) {
    auto kit = world.makeKit();
    ns::ConsoleCapture console;
    kit->setDebugMode(false);
    EXPECT_TRUE(kit->debugMode()) << "asking for debug mode turns it on, whatever the argument";
    kit->setDelegate(std::make_shared<AppDelegate>(std::set<Method>{}));
    EXPECT_TRUE(console.lines().empty()) << "no warning before the start";

    kit->start();
    auto late = std::make_shared<AppDelegate>(std::set<Method>{Method::didDetectCrash});
    kit->setDelegate(late);
    kit->setDebugMode(true);
    zovaze::setDebugFlag(false);
    EXPECT_TRUE(console.contains(
        "[Zevuzavidav] Warning, setting delegate after start. Make sure to set the Zevuzavidav delegate "
        "before "
        "calling startWithAPIKey:.., or +[Zovaze with...] to avoid missing some delegate callbacks."));
    EXPECT_TRUE(
        console.contains("[Zevuzavidav] Warning, consider enabling debug mode before starting Zevuzavidav"));
    // Later questions go to the new delegate.
    EXPECT_EQ(kit->delegate(), late);
    EXPECT_TRUE(kit->shouldInstallCrashCallback());
    kit->detectedCrash();
    EXPECT_EQ(late->crashes, 1);
}

TEST_F(Kit, TheAppsDelegateIsAskedOnlyWhatItImplements) {
    struct Case {
        const char* name;
        std::optional<std::set<Method>> implemented; // nothing: no delegate at all
        bool extension;
        bool crashCallback;
        bool backgroundSessions;
        bool mustInform;
        bool deliversAbort;
    };
    const std::set<Method> none;
    const Case cases[] = {
        {"no delegate", std::nullopt, false, false, true, false, false},
        {"no delegate in an extension", std::nullopt, true, false, false, false, false},
        {"a delegate that implements nothing", none, false, false, true, false, false},
        {"crash callback", std::set{Method::didDetectCrash}, false, true, true, false, false},
        {"its own background answer", std::set{Method::canUseBackgroundSessions}, false, false, false, false,
         false},
        {"decides about reports", std::set{Method::didDetectReportForLastExecution}, false, false, true, true,
         false},
        {"legacy with report", std::set{Method::didDetectCrashDuringPreviousExecutionWithReport}, false,
         false, true, true, false},
        {"legacy without report", std::set{Method::didDetectCrashDuringPreviousExecution}, false, false, true,
         true, false},
        {"signal delivery", std::set{Method::ensureDeliveryOfUnixSignal}, false, false, true, false, true},
    };
    for (const auto& c : cases) {
        auto kit = world.makeKit();
        world.extension = c.extension;
        if (c.implemented) kit->setDelegate(std::make_shared<AppDelegate>(*c.implemented));
        auto controller =
            ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(), kit);
        EXPECT_EQ(kit->shouldInstallCrashCallback(), c.crashCallback) << c.name;
        EXPECT_EQ(kit->reportingControllerCanUseBackgroundSessions(*controller), c.backgroundSessions)
            << c.name;
        EXPECT_EQ(kit->reportingControllerMustInformDelegateOfReports(*controller), c.mustInform) << c.name;
        EXPECT_EQ(kit->reportingControllerEnsureDeliveryOfUnixSignal(*controller, SIGABRT), c.deliversAbort)
            << c.name;
        EXPECT_FALSE(kit->reportingControllerEnsureDeliveryOfUnixSignal(*controller, SIGSEGV)) << c.name;
        kit->detectedCrash(); // with no crash callback wanted, nothing answers and nothing breaks
    }
}

TEST_F(Kit, WithoutADelegateEveryEarlierReportIsSentAtOnceAndNothingWaitsOnTheMainQueue) {
    auto kit = world.makeKit();
    auto controller =
        ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(), kit);
    dispatch::main().drain();
    const std::size_t waiting = dispatch::main().pendingCount(); // work for later the controller left
    std::optional<bool> answer;
    kit->reportingControllerDidDetectReportForLastExecution(*controller, earlierReport("old"),
                                                            [&](bool submit) { answer = submit; });
    EXPECT_EQ(answer, true);
    EXPECT_EQ(dispatch::main().pendingCount(), waiting);
}

TEST_F(Kit, TheAppDecidesAboutEachReportAndHearsOfItOnTheMainQueue) {
    auto kit = world.makeKit();
    auto app = std::make_shared<AppDelegate>(std::set<Method>{
        Method::didDetectReportForLastExecution, Method::didDetectCrashDuringPreviousExecutionWithReport,
        Method::didDetectCrashDuringPreviousExecution});
    app->submit = false;
    kit->setDelegate(app);
    auto controller =
        ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(), kit);
    std::optional<bool> answer;
    kit->reportingControllerDidDetectReportForLastExecution(*controller, earlierReport("old"),
                                                            [&](bool submit) { answer = submit; });
    EXPECT_EQ(answer, false) << "the app's own answer";
    EXPECT_EQ(app->reports, std::vector<std::string>{"old"});
    EXPECT_TRUE(app->legacyCalls.empty()) << "the legacy notices wait for the main queue";
    dispatch::main().drain();
    EXPECT_EQ(app->legacyCalls, (std::vector<std::string>{"with report old", "without report"}));
}

TEST_F(Kit, ALegacyDelegateDoesNotDecideSoTheReportIsSent) {
    auto kit = world.makeKit();
    kit->setDelegate(
        std::make_shared<AppDelegate>(std::set<Method>{Method::didDetectCrashDuringPreviousExecution}));
    auto controller =
        ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(), kit);
    std::optional<bool> answer;
    kit->reportingControllerDidDetectReportForLastExecution(*controller, earlierReport("old"),
                                                            [&](bool submit) { answer = submit; });
    EXPECT_EQ(answer, true);
}

// Launches that crash as they start leave a run of reports: each is a crash of its own launch, told to
// analytics during the start (before any report is handed on), with that launch's start and identifier
// (which analytics knows as that launch's session), the newest first.
TEST_F(Kit, EveryEarlierLaunchsCrashIsLoggedToAnalyticsWithItsOwnStartDateAndLaunch) {
    ZEVFileManager files;
    ASSERT_TRUE(files.prepareForNewLaunch());
    for (auto [id, started] :
         {std::pair{"older", 1600000001}, std::pair{"newest", 1600000123}, std::pair{"oldest", 1500000000}}) {
        auto folder = std::filesystem::path(files.activePath()) / id;
        reporttest::writeMetadata(folder, id, "kit-key", started);
        reporttest::writeText(folder / "signal.zevrecord", "{}\n");
    }

    auto kit = world.makeKit();
    kit->start();
    // The newest as the start returns, the others on the crash reporter's work queue.
    kit->crashReportingController()->operationQueue()->waitUntilAllOperationsAreFinished();
    const std::vector<std::optional<ns::Date>> dates = {ns::Date::fromTimeIntervalSince1970(1600000123),
                                                        ns::Date::fromTimeIntervalSince1970(1600000001),
                                                        ns::Date::fromTimeIntervalSince1970(1500000000)};
    const std::vector<std::optional<std::string>> launches = {std::string("newest"), std::string("older"),
                                                              std::string("oldest")};
    EXPECT_EQ(world.analytics->previousSessionCrashes, dates);
    EXPECT_EQ(world.analytics->previousCrashSessions, launches);
    dispatch::main().drain();
    EXPECT_EQ(world.analytics->previousSessionCrashes.size(), 3u);
}

// A report still in "active" at a later launch (the one before ended before handing it on) is told of
// again only when analytics did not answer that it keeps the crash: a crash is counted once. A mark that
// is a hard link to another file, or a file with bytes in it, is no mark of ours: the crash is told, the
// other file left as it was, and the mark made anew.
TEST_F(Kit, AnEarlierCrashIsToldAgainOnlyWhenAnalyticsDidNotKeepIt) {
    enum class Planted { nothing, hardLink, bytes };
    const struct {
        const char* name;
        bool keeps;
        Planted planted;
        std::size_t told;
    } cases[] = {{"kept", true, Planted::nothing, 1},
                 {"not kept", false, Planted::nothing, 2},
                 {"hard link for a mark", true, Planted::hardLink, 1},
                 {"mark with bytes", true, Planted::bytes, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world.analytics->previousSessionCrashes.clear();
        world.analytics->keepsCrashes = c.keeps;
        const auto report = earlierReport(std::string("crashed-") + c.name);
        const auto mark = std::filesystem::path(report->path()) / ".crash_counted";
        const auto elsewhere = std::filesystem::path(report->path()).parent_path() / "elsewhere";
        if (c.planted == Planted::hardLink) {
            reporttest::writeText(elsewhere, "someone else's");
            std::filesystem::create_hard_link(elsewhere, mark);
        }
        if (c.planted == Planted::bytes) reporttest::writeText(mark, "counted");
        for (int launch = 0; launch < 2; ++launch) {
            // Each launch has its own kit and reads the folder anew.
            auto kit = world.makeKit();
            auto controller =
                ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(), kit);
            kit->reportingControllerInternalDidDetectReportForLastExecution(
                *controller, ZEVInternalReport::reportWithPath(report->path()));
        }
        EXPECT_EQ(world.analytics->previousSessionCrashes.size(), c.told);
        EXPECT_EQ(report->crashCounted(), c.keeps);
        if (c.keeps) {
            EXPECT_EQ(std::filesystem::file_size(mark), 0u);
        }
        if (c.planted == Planted::hardLink) {
            EXPECT_EQ(reporttest::readFile(elsewhere), "someone else's");
        }
    }
}

// An analytics kit that takes the date alone is still told, by the message it answers. It cannot say
// whether it kept the crash, so the folder is never marked: it hears of each crash once a launch, though
// the controller tells of the report again before packaging it.
TEST(KitWithADateOnlyAnalyticsKit, IsToldOfTheNewestEarlierCrashByItsDateOnceALaunch) {
    KitWorld world({{"CFBundleIdentifier", kittest::kBundleIdentifier}, {"CFBundleVersion", "7"}}, false);
    ZEVFileManager files;
    ASSERT_TRUE(files.prepareForNewLaunch());
    auto folder = std::filesystem::path(files.activePath()) / "crashed";
    reporttest::writeMetadata(folder, "crashed", "kit-key", 1600000123);
    reporttest::writeText(folder / "signal.zevrecord", "{}\n");

    auto kit = world.makeKit();
    kit->start();
    kit->crashReportingController()->operationQueue()->waitUntilAllOperationsAreFinished();
    ASSERT_EQ(world.analytics->previousSessionCrashes.size(), 1u);
    EXPECT_EQ(world.analytics->previousSessionCrashes[0], ns::Date::fromTimeIntervalSince1970(1600000123));
    EXPECT_EQ(world.analytics->previousCrashSessions, std::vector<std::optional<std::string>>{std::nullopt});
}

TEST_F(Kit, EventsGoToAnalyticsWithTheirAttributes) {
    auto kit = world.makeKit();
    ZevuzavidavEventAttributes attributes = {{ns::PropertyList("lesson"), ns::PropertyList("CH1L2")}};
    kit->logEvent(std::string("Opened"));
    kit->logEvent(std::string("Solved"), attributes);
    ASSERT_EQ(world.analytics->events.size(), 2u);
    EXPECT_EQ(world.analytics->events[0].first, "Opened");
    EXPECT_FALSE(world.analytics->events[0].second);
    EXPECT_EQ(world.analytics->events[1].first, "Solved");
    EXPECT_EQ(world.analytics->events[1].second, attributes);
}

} // namespace
