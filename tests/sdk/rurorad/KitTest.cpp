// The Rurorad kit: its runtime class, its once-only start, and the app's log calls reaching the engine.
#include "platform/foundation/Console.hpp"
#include "sdk/rurorad/Rurorad.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionCrash.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"
#include "tests/sdk/rurorad/support/EngineFixture.hpp"

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

class Kit : public ::testing::Test {
  protected:
    Kit() {
        kit = std::make_unique<Rurorad>(kitEnvironment());
        previous = Rurorad::exchangeSharedInstance(kit.get());
    }
    Rurorad::Environment kitEnvironment() {
        Rurorad::Environment environment;
        environment.host = [this] { return world.host(); };
        environment.cachesDirectory = [this] { return (world.folder.path() / "Caches").string(); };
        environment.registry = &world.registry;
        environment.parts.identifierGenerator = std::make_shared<CountingIdentifiers>();
        environment.parts.timestampGenerator = std::make_shared<CountingTimestamps>();
        return environment;
    }
    ~Kit() override { Rurorad::exchangeSharedInstance(previous); }

    fs::path root() const {
        return world.folder.path() / "Caches/com.zevuzavidav.data/com.velomarinth.swift/analytics";
    }
    std::vector<LogLine> log(int priority) {
        auto controller = kit->analyticsController();
        controller->flushEventLogs();
        auto open = controller->openSessionFragmentDirectoryURLs();
        return parseLog(readFile(fs::path(open.front()) / (std::to_string(priority) + ".log")));
    }

    AnalyticsWorld world;
    std::unique_ptr<Rurorad> kit;
    Rurorad* previous = nullptr;
};

TEST(KitClass, TheRuntimeKnowsTheKitByName) {
    const rt::Class* cls = rt::ClassRegistry::shared().lookUpClass("Rurorad");
    ASSERT_NE(cls, nullptr);
    EXPECT_TRUE(cls->conformsToProtocol(ZOVKitProtocol));
    EXPECT_EQ(ZOVKitStringResult(cls->performClassSelector("bundleIdentifier")), "com.rizudiz.answers.ios");
    EXPECT_EQ(ZOVKitStringResult(cls->performClassSelector("kitDisplayVersion")), "1.0.0");
    EXPECT_EQ(ZOVKitStringResult(cls->performClassSelector("kitBuildVersion")), "3");
    EXPECT_TRUE(cls->respondsToClassSelector("startWithBetaToken:"));
    EXPECT_TRUE(cls->respondsToClassSelector("logPreviousSessionCrashedOnDate:"));
}

TEST_F(Kit, LogCallsBeforeTheStartAreDropped) {
    ns::ConsoleCapture console;
    Rurorad::logCustomEventWithName("early");
    Rurorad::logSearchWithQuery("swift");
    EXPECT_FALSE(Rurorad::logPreviousSessionCrashedOnDate(ns::Date::now())) << "no session to name";
    EXPECT_FALSE(kit->analyticsController());
    EXPECT_FALSE(fs::exists(root()));
    EXPECT_TRUE(console.lines().empty());
}

// The crash kit tells of the previous launch's crash before analytics starts, and lets go of that
// launch's report when the call returns: the crash must be in the session the defaults still name by
// then. A launch that ends before its own start leaves that session named, so the next one tells again;
// the session keeps one crash, also when the last launch ended between making the file and filling it.
TEST_F(Kit, APreviousCrashToldBeforeTheStartIsInItsSessionOnceWhenTheCallReturns) {
    const ZEVAnalyticsSessionRecord crashed{"crashed-launch", 1650000000000,
                                            R"({"session_id":"crashed-launch"})"};
    crashed.save(*world.defaults);
    const fs::path session = root() / "v1/ACTIVE/1650000000000_crashed-launch";
    const fs::path crashLog =
        session /
        ("1650000000000_" + ZEVAnalyticsCrashFragmentIdentifier(crashed.identifier, crashed.timestamp)) /
        "1.log";
    auto crashesIn = [&] {
        std::vector<std::string> crashes;
        for (const auto& fragment : fs::directory_iterator(session))
            for (const auto& line : parseLog(readFile(fragment.path() / "1.log")))
                if (line.key == "app_crashed") crashes.push_back(fragment.path().filename().string());
        return crashes;
    };

    // Through the class message the crash kit sends, which answers whether the crash is kept.
    const std::vector<std::any> told = {std::any(ns::Date::fromTimeIntervalSince1970(1650000000.5)),
                                        std::any(std::optional<std::string>())};
    const std::any kept = rt::ClassRegistry::shared().lookUpClass("Rurorad")->performClassSelector(
        "logPreviousSessionCrashedOnDate:sessionIdentifier:", told);
    ASSERT_NE(std::any_cast<bool>(&kept), nullptr);
    EXPECT_TRUE(std::any_cast<bool>(kept));
    const auto lines = parseLog(readFile(crashLog));
    ASSERT_EQ(lines.size(), 2u) << "in its file when the call returns";
    EXPECT_EQ(lines[0].key, "metadata");
    EXPECT_EQ(*lines[0].payload, crashed.metadataJSONData);
    EXPECT_EQ(lines[1].key, "app_crashed");

    // The next launches, each ended before its start recorded a session of its own.
    for (const bool emptied : {false, true}) {
        if (emptied) {
            // Ended between making the file and filling it, that launch kept nothing as counted.
            fs::resize_file(crashLog, 0);
            world.defaults->removeObjectForKey(ZEVAnalyticsLastCrashedSessionKey);
        }
        Rurorad next(kitEnvironment());
        EXPECT_TRUE(next.logPreviousSessionCrashed(ns::Date::fromTimeIntervalSince1970(1650000100)));
        EXPECT_EQ(crashesIn(), std::vector<std::string>{crashLog.parent_path().filename().string()});
        EXPECT_EQ(parseLog(readFile(crashLog)).size(), 2u);
    }

    // Once started, the engine has recorded this launch's session; the crashed one keeps its one crash.
    Rurorad::startWithBetaToken(std::nullopt);
    EXPECT_TRUE(Rurorad::logPreviousSessionCrashedOnDate(ns::Date::fromTimeIntervalSince1970(1650000200)));
    EXPECT_EQ(crashesIn().size(), 1u);
    EXPECT_EQ(ZEVAnalyticsSessionRecord::read(*world.defaults)->identifier,
              AnalyticsWorld::executionIdentifier);
}

// The sessions holding "app_crashed" under a tree's ACTIVE state, one entry per crash line.
std::vector<std::string> crashedSessions(const fs::path& active) {
    std::vector<std::string> sessions;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(active, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".log")
            for (const auto& line : parseLog(readFile(it->path())))
                if (line.key == "app_crashed")
                    sessions.push_back(it->path().parent_path().parent_path().filename().string());
    return sessions;
}

// The crash kit names the crashed launch by its report's identifier, the launch's execution identifier,
// which is its session's too. Told before the start, analytics writes the crash into that launch's
// session when the defaults recorded it, and into a session of the launch's own (its identifier, started
// as its report says) when they did not: the launch crashed before its analytics started, or the record
// is gone or of another launch. Either way the crash is on disk when the call returns, and counted once:
// told again by a later launch (the one before recorded its own session and sent what it had, but ended
// before the report left "active"), analytics adds nothing.
TEST(KitPreviousCrash, IsInTheCrashedLaunchsSessionWhenTheCallReturnsWhateverTheDefaultsRecorded) {
    const ZEVAnalyticsSessionRecord crashed{"crashed-launch", 1650000000000,
                                            R"({"session_id":"crashed-launch"})"};
    const ZEVAnalyticsSessionRecord older{"older-launch", 1640000000000, R"({"session_id":"older-launch"})"};
    const ns::Date crashDate = ns::Date::fromTimeIntervalSince1970(1650000300.5);
    struct Case {
        const char* name;
        std::optional<ZEVAnalyticsSessionRecord> recorded;
        ZEVAnalyticsSessionRecord session; // where the crash belongs (metadata empty: made for it)
    };
    const Case cases[] = {
        {"the crashed launch recorded its session", crashed, crashed},
        {"no launch recorded a session", std::nullopt, {"crashed-launch", 1650000300000, ""}},
        {"the record is an older launch's", older, {"crashed-launch", 1650000300000, ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AnalyticsWorld world;
        if (c.recorded) c.recorded->save(*world.defaults);
        Rurorad::Environment environment;
        environment.host = [&] { return world.host(); };
        environment.cachesDirectory = [&] { return world.folder.path().string(); };
        const fs::path active = Rurorad::analyticsRootDirectory(world.folder.path().string()) + "/v1/ACTIVE";
        const std::string sessionName = ZEVEventLogSessionRepository::sessionDirectoryNameWithIdentifier(
            c.session.identifier, c.session.timestamp);

        EXPECT_TRUE(Rurorad(environment).logPreviousSessionCrashed(crashDate, crashed.identifier));
        EXPECT_EQ(crashedSessions(active), std::vector<std::string>{sessionName});
        const auto lines =
            parseLog(readFile(active / sessionName /
                              ("1650000300000_" + ZEVAnalyticsCrashFragmentIdentifier(c.session.identifier,
                                                                                      c.session.timestamp)) /
                              "1.log"));
        EXPECT_EQ(lines.size(), 2u);
        if (!lines.empty()) {
            const auto metadata = nlohmann::json::parse(lines[0].payload.value_or("null"), nullptr, false);
            EXPECT_EQ(metadata["session_id"], crashed.identifier);
            if (!c.session.metadataJSONData.empty()) {
                EXPECT_EQ(*lines[0].payload, c.session.metadataJSONData);
            } else {
                EXPECT_EQ(metadata["started_at"], 1650000300);
                EXPECT_EQ(metadata["api_key"], AnalyticsWorld::apiKey);
            }
        }

        ZEVAnalyticsSessionRecord{"next-launch", 1650000400000, "{}"}.save(*world.defaults);
        fs::remove_all(active);
        EXPECT_TRUE(Rurorad(environment).logPreviousSessionCrashed(crashDate, crashed.identifier))
            << "kept before";
        EXPECT_EQ(crashedSessions(active), std::vector<std::string>{}) << "counted twice";
    }
}

TEST_F(Kit, StartsOnceUnderTheCachesAndLogsTheLaunch) {
    world.firstInstall = true;
    Rurorad::startWithBetaToken("2:first");
    auto engine = kit->analyticsController();
    ASSERT_TRUE(engine);
    Rurorad::startWithBetaToken("2:second");
    EXPECT_EQ(kit->analyticsController(), engine);
    EXPECT_EQ(kit->startedBetaToken(), "2:first");
    EXPECT_EQ(nlohmann::json::parse(engine->metadataJSONData())["beta_tester_token"], "first");
    EXPECT_EQ(engine->sessionIdentifier(), AnalyticsWorld::executionIdentifier);
    EXPECT_EQ(log(0).back().key, "app_installed");
    EXPECT_EQ(log(1).back().key, "app_launched");
    EXPECT_EQ(fs::path(engine->openSessionFragmentDirectoryURLs().front())
                  .parent_path()
                  .parent_path()
                  .parent_path(),
              root() / "v1");
}

TEST_F(Kit, AnAppExtensionGetsNoEngine) {
    AnalyticsWorld extension(
        {{"NSExtension", ns::PropertyList::Dictionary{{"NSExtensionPointIdentifier", "x.y"}}}});
    Rurorad::Environment environment;
    environment.host = [&] { return extension.host(); };
    environment.cachesDirectory = [&] { return extension.folder.path().string(); };
    Rurorad other(environment);
    other.start(std::nullopt);
    EXPECT_FALSE(other.analyticsController());
}

// What the app's Info.plist says of an app extension, read as analytics reads it: malformed entries are
// told while debugging and count as no extension.
TEST(AnalyticsExtension, OnlyAWellFormedEntryMakesAnExtensionAndAnExtensionHasNoApplication) {
    using Dictionary = ns::PropertyList::Dictionary;
    struct Case {
        const char* name;
        Dictionary info;
        bool extension;
        const char* line; // told while debugging, or null for nothing
    };
    const Case cases[] = {
        {"no entry", {}, false, nullptr},
        {"an extension",
         {{"NSExtension", Dictionary{{"NSExtensionPointIdentifier", "com.example.widget"}}}},
         true,
         nullptr},
        {"an entry that is no dictionary",
         {{"NSExtension", "widget"}},
         false,
         "[Zevuzavidav:Rurorad] Error: NSExtension Info.plist entry is mal-formed\n"},
        {"an identifier that is no text",
         {{"NSExtension", Dictionary{{"NSExtensionPointIdentifier", std::int64_t{3}}}}},
         false,
         "[Zevuzavidav:Rurorad] Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n"},
    };
    struct DebugOn {
        DebugOn() { zovaze::setDebugFlag(true); }
        ~DebugOn() { zovaze::setDebugFlag(false); }
    } debug;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AnalyticsWorld world(c.info);
        ns::ConsoleCapture console;
        EXPECT_EQ(ZEVAnalyticsIsRunningInExtension(), c.extension);
        EXPECT_EQ(ZEVAnalyticsSharedApplication() == nullptr, c.extension);
        EXPECT_EQ(ZEVAnalyticsController::supported(ns::Bundle::main()), !c.extension);
        // Each of the three reads tells it.
        EXPECT_EQ(console.lines(), c.line ? std::vector<std::string>(3, c.line) : std::vector<std::string>{});
    }
}

// The crash kit's class-side event calls go through its shared instance to the analytics kit by name.
TEST_F(Kit, TheCrashKitsClassSideEventCallsReachTheLog) {
    world.setSettings(
        {{"features", {{"collect_analytics", true}}}, {"analytics", {{"track_custom_events", true}}}});
    Rurorad::startWithBetaToken(std::nullopt);
    kit->analyticsController()->sessionMaintenanceQueue().sync([] {});
    const rt::Class* crashKit = rt::ClassRegistry::shared().lookUpClass("Zevuzavidav");
    ASSERT_NE(crashKit, nullptr);
    // The attributes as the crash kit's class takes them (a kit includes no other kit, nor do its tests).
    using EventAttributes = std::vector<std::pair<ns::PropertyList, ns::PropertyList>>;
    crashKit->performClassSelector("logEvent:", std::vector<std::any>{std::optional<std::string>("Opened")});
    crashKit->performClassSelector(
        "logEvent:attributes:",
        std::vector<std::any>{std::string("Solved"),
                              std::optional<EventAttributes>(
                                  EventAttributes{{ns::PropertyList("lesson"), ns::PropertyList("CH1L2")}})});
    const auto lines = log(2);
    ASSERT_EQ(lines.size(), 3u); // the metadata line, then the two events
    const auto opened = nlohmann::json::parse(*lines[1].payload);
    EXPECT_EQ(opened["custom_type"], "Opened");
    EXPECT_EQ(opened["custom_attributes"], nlohmann::json::object());
    const auto solved = nlohmann::json::parse(*lines[2].payload);
    EXPECT_EQ(solved["custom_type"], "Solved");
    EXPECT_EQ(solved["custom_attributes"]["lesson"], "CH1L2");
}

TEST_F(Kit, WithTheCrashKitPresentInitializingHandsTheStartToIt) {
    int crashKitStarts = 0;
    rt::ClassDefinition crashKit;
    crashKit.name = "Zevuzavidav";
    crashKit.protocols = {ZOVKitProtocol};
    crashKit.classMethods["initializeIfNeeded"] = [&](const rt::Class&, rt::Arguments) {
        ++crashKitStarts;
        return std::any();
    };
    Rurorad::initializeIfNeeded();
    EXPECT_TRUE(kit->analyticsController()) << "alone, the kit starts itself";

    AnalyticsWorld other;
    ASSERT_TRUE(other.registry.registerClass(std::move(crashKit)));
    Rurorad::Environment environment;
    environment.host = [&] { return other.host(); };
    environment.registry = &other.registry;
    Rurorad beside(environment);
    beside.initialize();
    EXPECT_EQ(crashKitStarts, 1);
    EXPECT_FALSE(beside.analyticsController());
}

TEST_F(Kit, PredefinedCallsBuildTheirEventsAndPurchasesKeepTypeAndIdApart) {
    world.setSettings({{"features", {{"collect_analytics", true}}},
                       {"analytics", {{"track_predefined_events", true}, {"track_custom_events", true}}}});
    Rurorad::startWithBetaToken(std::nullopt);
    kit->analyticsController()->sessionMaintenanceQueue().sync([] {});
    Rurorad::logPurchaseWithPrice(ns::DecimalNumber::fromString("9.99"), "EUR", ns::PropertyList(true), "Pro",
                                  "subscription", "sku-1");
    Rurorad::logRating(ns::PropertyList(4.7), "Lesson", "lesson", "CH1L1");
    Rurorad::logCustomEventWithName(std::nullopt);
    // The crash kit's events come by class message.
    const rt::Class* analytics = Rurorad::registerKitClass(world.registry);
    analytics->performClassSelector(
        "logCustomEventWithName:customAttributes:",
        std::vector<std::any>{
            std::any(std::optional<std::string>("Finished chapter")),
            std::any(ZEVCustomAttributes(ZEVRuroradAttributeEntries{{"chapter", std::int64_t{3}}}))});
    const auto lines = log(2);
    ASSERT_EQ(lines.size(), 4u);
    const auto purchase = nlohmann::json::parse(*lines[1].payload);
    EXPECT_EQ(purchase["predefined_type"], "purchase");
    EXPECT_EQ(purchase["predefined_attributes"]["item_type"], "subscription");
    EXPECT_EQ(purchase["predefined_attributes"]["item_id"], "sku-1");
    EXPECT_EQ(purchase["predefined_attributes"]["item_price"], 9990000);
    EXPECT_EQ(purchase["predefined_attributes"]["success"], "true");
    EXPECT_EQ(nlohmann::json::parse(*lines[2].payload)["predefined_attributes"]["rating"], 4);
    EXPECT_EQ(nlohmann::json::parse(*lines[3].payload)["custom_type"], "Finished chapter");
    EXPECT_EQ(nlohmann::json::parse(*lines[3].payload)["custom_attributes"]["chapter"], 3);
}

TEST_F(Kit, ACustomEventWithoutANameIsRefusedWithALine) {
    Rurorad::startWithBetaToken(std::nullopt);
    ns::ConsoleCapture console;
    Rurorad::logCustomEventWithName(std::nullopt);
    EXPECT_EQ(console.lines(),
              std::vector<std::string>{"[Zevuzavidav:Rurorad] Custom event name is missing. Ignoring event"});
}

// The kit's custom-event call writes without making the event; its line and its log lines must be
// those of the event made and logged whole.
TEST_F(Kit, CustomEventCallsWriteTheBytesOfTheEventMadeWhole) {
    world.setSettings(
        {{"features", {{"collect_analytics", true}}}, {"analytics", {{"track_custom_events", true}}}});
    Rurorad::startWithBetaToken(std::nullopt);
    kit->analyticsController()->sessionMaintenanceQueue().sync([] {});
    auto repeat = [](std::string_view unit, int times) {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += unit;
        return text;
    };
    ZEVRuroradAttributeEntries many;
    for (int i = 0; i < 25; ++i)
        many.emplace_back("k" + std::to_string(i), std::int64_t{i});
    many.emplace_back("k3", "late duplicate"); // past the limit: dropped, not replacing
    const std::string longKey = repeat("k", 120);
    struct Case {
        const char* name;
        std::string eventName;
        ZEVCustomAttributes attributes;
    };
    const Case cases[] = {
        {"no attributes", "plain", std::nullopt},
        {"duplicate keys replace in place", "dup",
         ZEVRuroradAttributeEntries{{"a", "1"}, {"b", std::int64_t{2}}, {"a", "3"}}},
        {"25 attributes", "many", many},
        {"long and multi-byte values", repeat("n", 130),
         ZEVRuroradAttributeEntries{{"ascii", repeat("x", 150)},
                                    {"euro", repeat("\u20ac", 120)},
                                    {"emoji", repeat("\U0001F600", 51)},
                                    {longKey + "a", "first"},
                                    {longKey + "b", "same key once cut"}}},
        {"numbers and refused entries", "numbers",
         ZEVRuroradAttributeEntries{{"price", 9.99},
                                    {"big", std::int64_t{9007199254740993}},
                                    {"flag", true},
                                    {"quote\"key", "line\nbreak"},
                                    {"null", ns::PropertyList()},
                                    {std::int64_t{7}, "number key"},
                                    {"list", ns::PropertyList::Array{ns::PropertyList(1.0)}}}},
    };
    auto payloadWithoutId = [](const LogLine& line) {
        const std::string& payload = line.payload.value_or("");
        return payload.substr(0, payload.rfind(",\"eventId\""));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ns::ConsoleCapture direct;
        Rurorad::logCustomEventWithName(c.eventName, c.attributes);
        const auto directLines = direct.lines();
        ns::ConsoleCapture whole;
        kit->analyticsController()->logCustomEvent(
            *ZEVRuroradCustomEvent::initWithName(c.eventName, c.attributes));
        const auto lines = log(2);
        ASSERT_GE(lines.size(), 2u);
        const LogLine& fromDirect = lines[lines.size() - 2];
        const LogLine& fromEvent = lines.back();
        EXPECT_EQ(fromDirect.key, "custom");
        EXPECT_EQ(fromDirect.key, fromEvent.key);
        EXPECT_EQ(payloadWithoutId(fromDirect), payloadWithoutId(fromEvent));
        EXPECT_EQ(directLines, whole.lines());
    }
}

// The road the crash-reporting kit will take: the SDK starts it, it starts analytics with its beta
// token, the SDK adds the analytics kit beside it and asks it to start too (a no-op by then), and the
// analytics kit's version goes with the settings request.
TEST_F(Kit, TheSDKStartRoadThroughACrashKitStartsAnalyticsOnce) {
    int crashKitStarts = 0;
    rt::ClassDefinition crashKit;
    crashKit.name = "Zevuzavidav";
    crashKit.protocols = {ZOVKitProtocol};
    crashKit.classMethods["bundleIdentifier"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("com.rizudiz.zevuzavidav.ios"));
    };
    crashKit.classMethods["kitDisplayVersion"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("3.4.0"));
    };
    crashKit.classMethods["initializeIfNeeded"] = [&](const rt::Class&, rt::Arguments) {
        if (++crashKitStarts == 1)
            Rurorad::startWithBetaToken(std::optional<std::string>("2:from-crash-kit"));
        return std::any();
    };
    const rt::Class* crashKitClass = world.registry.registerClass(std::move(crashKit));
    ASSERT_TRUE(crashKitClass);
    ASSERT_TRUE(Rurorad::registerKitClass(world.registry));

    Zovaze::KitVersions versions;
    Zovaze::Environment environment;
    environment.registry = &world.registry;
    environment.readInstallationUUID = [] {
        return std::optional<std::string>("6A1D5B7E-0C42-4A34-9D9B-3F0E2C1B7A55");
    };
    environment.storeInstallationUUID = [](const std::string&) {};
    environment.makeApplicationIdentifierModel = [](const std::optional<std::string>&) { return nullptr; };
    environment.makeSettingsManager = [](std::shared_ptr<ZOVApplicationIdentiferModel>) { return nullptr; };
    environment.beginSettings = [&](Zovaze&, const std::optional<std::string>&,
                                    const Zovaze::KitVersions& kits) { versions = kits; };
    Zovaze sdk(environment);
    sdk.setAPIKey("key");
    sdk.startWith({crashKitClass});

    EXPECT_EQ(crashKitStarts, 2); // started by the SDK, asked again through the analytics kit
    ASSERT_TRUE(kit->analyticsController());
    EXPECT_EQ(kit->startedBetaToken(), "2:from-crash-kit");
    EXPECT_EQ(versions["com.rizudiz.answers.ios"], "1.0.0");
    EXPECT_EQ(log(1).back().key, "app_launched");
}

} // namespace
