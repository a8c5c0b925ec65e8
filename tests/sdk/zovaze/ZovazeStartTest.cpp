#include "platform/foundation/Console.hpp"
#include "platform/foundation/Exception.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "tests/sdk/zovaze/support/TestKits.hpp"
#include "tests/support/TempBundle.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <latch>
#include <regex>
#include <thread>

using namespace zovtest;
using Dict = ns::PropertyList::Dictionary;
using Array = ns::PropertyList::Array;

namespace {

const Dict kZovazeConfig{{"APIKey", "0123456789abcdef0123456789abcdef01234567"},
                         {"Kits", ns::PropertyList(Array{})}};

struct Harness {
    rt::ClassRegistry registry;
    std::shared_ptr<StartLog> log = std::make_shared<StartLog>();
    TempBundle folder;
    std::unique_ptr<ns::Bundle> bundle;
    std::optional<std::string> storedInstallID;
    int settingsStarts = 0;
    std::optional<std::string> settingsKey;
    Zovaze::KitVersions settingsVersions;

    explicit Harness(std::optional<Dict> zovaze = kZovazeConfig, bool writeInfo = true) {
        Dict info{{"CFBundleIdentifier", "com.test.app"}};
        if (zovaze) info.set("Zovaze", ns::PropertyList(*zovaze));
        if (writeInfo) folder.writeInfo(info);
        bundle = std::make_unique<ns::Bundle>(folder.path());
    }

    std::unique_ptr<Zovaze> make() {
        Zovaze::Environment environment;
        environment.registry = &registry;
        environment.bundle = bundle.get();
        environment.readInstallationUUID = [this] { return storedInstallID; };
        environment.storeInstallationUUID = [this](const std::string& uuid) { storedInstallID = uuid; };
        environment.makeApplicationIdentifierModel = [](const std::optional<std::string>&) {
            return std::shared_ptr<ZOVApplicationIdentiferModel>();
        };
        environment.makeSettingsManager = [](std::shared_ptr<ZOVApplicationIdentiferModel>) {
            return std::shared_ptr<ZOVSettingsOnboardingManager>();
        };
        environment.beginSettings = [this](Zovaze&, const std::optional<std::string>& key,
                                           const Zovaze::KitVersions& versions) {
            ++settingsStarts;
            settingsKey = key;
            settingsVersions = versions;
        };
        return std::make_unique<Zovaze>(environment);
    }
};

std::string reasonOf(const std::function<void()>& body, std::string* name = nullptr) {
    try {
        body();
    } catch (const ns::Exception& exception) {
        if (name) *name = exception.name();
        return exception.reason();
    }
    return "<no exception>";
}

TEST(ZovazeStart, StartsTheGivenKitThenTheAnalyticsCompanionOnceAndHandsOverToSettings) {
    Harness h;
    const rt::Class* crash = registerKit(h.registry, "Zevuzavidav", h.log);
    const rt::Class* analytics = registerKit(h.registry, "Rurorad", h.log);
    registerKit(h.registry, "Other", h.log);
    auto sdk = h.make();
    sdk->startWith({crash});
    EXPECT_EQ(h.log->names(), (std::vector<std::string>{"Zevuzavidav", "Rurorad"}));
    EXPECT_EQ(sdk->kitClasses(), (std::vector<const rt::Class*>{crash, analytics}));
    EXPECT_EQ(h.settingsStarts, 1);
    EXPECT_EQ(h.settingsKey, "0123456789abcdef0123456789abcdef01234567");
    EXPECT_EQ(h.settingsVersions, (Zovaze::KitVersions{{"com.test.Rurorad", "Rurorad-1"},
                                                       {"com.test.Zevuzavidav", "Zevuzavidav-1"},
                                                       {"io.zovaze.sdk.ios", "1.6.0"}}));

    sdk->startWith({h.registry.lookUpClass("Other")});
    EXPECT_EQ(h.log->names().size(), 2u) << "a second start does nothing";
    EXPECT_EQ(h.settingsStarts, 1);
}

TEST(ZovazeStart, CompanionKitsAreAddedOnlyWhenTheirConditionsHold) {
    struct Row {
        const char* what;
        std::vector<std::string> registered; // "Name" a kit, "-Name" a class that does not adopt ZOVKit
        std::vector<std::string> given;
        std::vector<std::string> started;
    };
    const Row rows[] = {
        {"analytics alone", {"Zevuzavidav", "Rurorad"}, {"Rurorad"}, {"Rurorad"}},
        {"analytics without the crash kit class", {"Rurorad", "A"}, {"A"}, {"A"}},
        {"analytics not a kit", {"Zevuzavidav", "-Rurorad"}, {"Zevuzavidav"}, {"Zevuzavidav"}},
        {"analytics given already",
         {"Zevuzavidav", "Rurorad"},
         {"Rurorad", "Zevuzavidav"},
         {"Rurorad", "Zevuzavidav"}},
        {"riroza found",
         {"Riroza", "Zevuzavidav", "Rurorad"},
         {"Zevuzavidav"},
         {"Zevuzavidav", "Riroza", "Rurorad"}},
        {"riroza given", {"Riroza", "A"}, {"A", "Riroza"}, {"A", "Riroza"}},
    };
    for (const auto& row : rows) {
        Harness h;
        for (auto name : row.registered) {
            const bool adopts = name[0] != '-';
            if (!adopts) name.erase(0, 1);
            registerKit(h.registry, name, h.log, adopts, adopts);
        }
        std::vector<ZOVKitEntry> kits;
        for (const auto& name : row.given)
            kits.emplace_back(h.registry.lookUpClass(name));
        h.make()->startWith(kits);
        EXPECT_EQ(h.log->names(), row.started) << row.what;
    }
}

TEST(ZovazeStart, LegacyKitsAreStartedThroughTheirSharedInstanceAfterAWarning) {
    Harness h;
    const rt::Class* legacy = registerLegacyKit(h.registry, "OldKit", h.log);
    const rt::Class* modern = registerKit(h.registry, "NewKit", h.log, true, false); // no initializeIfNeeded
    ns::ConsoleCapture console;
    h.make()->startWith({legacy, modern});
    EXPECT_EQ(console.count("[Zovaze] Please upgrade to the latest version of \"OldKit\""), 1u);
    EXPECT_EQ(h.log->names(), std::vector<std::string>{"OldKit"});
    EXPECT_EQ(h.settingsVersions.at("legacy.OldKit"), "0.9");
    EXPECT_EQ(h.settingsVersions.at("com.test.NewKit"), "NewKit-1");
}

TEST(ZovazeStart, InvalidKitsRaiseBeforeAnyKitStarts) {
    for (const std::string without : {"", "version", "start", "bundleIdentifier"}) {
        Harness h;
        const rt::Class* good = registerKit(h.registry, "Good", h.log);
        const rt::Class* bad = without.empty() ? registerKit(h.registry, "Bad", h.log, false)
                                               : registerLegacyKit(h.registry, "Bad", h.log, without);
        auto sdk = h.make();
        std::string name;
        EXPECT_EQ(
            reasonOf(
                [&] {
                    sdk->startWith({good, bad});
                },
                &name),
            "[Zovaze] It appears that \"Bad\" is not a valid Zovaze Kit. Please make sure you only pass "
            "Zovaze Kits to [Zovaze with:].")
            << without;
        EXPECT_EQ(name, "ZOVException");
        EXPECT_TRUE(h.log->names().empty()) << without;
        EXPECT_EQ(h.settingsStarts, 0);
        // The start has happened: a later call returns at once and starts nothing.
        sdk->startWith({good});
        EXPECT_TRUE(h.log->names().empty());
    }
}

TEST(ZovazeStart, AKitObjectStandsForItsClass) {
    Harness h;
    rt::Class* kit = registerKit(h.registry, "Objecty", h.log);
    h.make()->startWith({std::make_shared<rt::Object>(*kit)});
    EXPECT_EQ(h.log->names(), std::vector<std::string>{"Objecty"});
}

TEST(ZovazeStart, ConfigurationChecksRaiseWithTheirReasons) {
    struct Row {
        const char* what;
        std::optional<Dict> zovaze;
        bool writeInfo;
        std::string reason;
    };
    const Row rows[] = {
        {"no Info.plist", std::nullopt, false, "[Zovaze] Cannot find Info.plist."},
        {"no Zovaze dictionary", std::nullopt, true,
         "[Zovaze] Value of Info.plist key \"Zovaze\" must be a NSDictionary."},
        {"no API key", Dict{{"Kits", ns::PropertyList(Array{})}}, true,
         "[Zovaze] Value of Info.plist[Zovaze][APIKey] must contain your Zovaze API Key."},
        {"API key not a string", Dict{{"APIKey", 42}}, true,
         "[Zovaze] Value of Info.plist[Zovaze][APIKey] must contain your Zovaze API Key."},
    };
    for (const auto& row : rows) {
        ns::ConsoleCapture console;
        Harness h(row.zovaze, row.writeInfo);
        registerKit(h.registry, "Zevuzavidav", h.log);
        auto sdk = h.make();
        EXPECT_EQ(reasonOf([&] { sdk->startWith({h.registry.lookUpClass("Zevuzavidav")}); }), row.reason)
            << row.what;
        EXPECT_TRUE(h.log->names().empty()) << row.what;
    }
}

TEST(ZovazeStart, MissingKitsWarnsAndTheStartGoesOn) {
    ns::ConsoleCapture console;
    Harness h(Dict{{"APIKey", "key"}, {"Kits", "not an array"}});
    registerKit(h.registry, "Zevuzavidav", h.log);
    auto sdk = h.make();
    sdk->startWith({h.registry.lookUpClass("Zevuzavidav")});
    EXPECT_EQ(console.count("[Zovaze] [Zovaze] Value of Info.plist[Zovaze][Kits] should be a NSArray."), 1u);
    EXPECT_EQ(h.log->names(), std::vector<std::string>{"Zevuzavidav"});
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(*h.registry.lookUpClass("Zevuzavidav")), std::nullopt);
}

TEST(ZovazeStart, AKeySetBeforeTheStartMeansTheInfoPlistIsNotConsulted) {
    Harness h(std::nullopt); // no "Zovaze" dictionary at all
    registerKit(h.registry, "Zevuzavidav", h.log);
    auto sdk = h.make();
    sdk->setAPIKey("set-by-kit");
    sdk->startWith({h.registry.lookUpClass("Zevuzavidav")});
    EXPECT_EQ(h.log->names(), std::vector<std::string>{"Zevuzavidav"});
    EXPECT_EQ(h.settingsKey, "set-by-kit");
}

TEST(ZovazeStart, AnAbsentKeyWithoutAnExceptionLogsAndStartsNothing) {
    ns::ConsoleCapture console;
    Harness h;
    registerKit(h.registry, "Zevuzavidav", h.log);
    auto sdk = h.make();
    sdk->setZovazeConfig(Dict{{"Kits", ns::PropertyList(Array{})}});
    sdk->startWith({h.registry.lookUpClass("Zevuzavidav")});
    EXPECT_EQ(
        console.count("[Zovaze] Zovaze API Key is nil! Zovaze won't work unless there is a valid API Key "
                      "setup in Info.plist"),
        1u);
    EXPECT_TRUE(h.log->names().empty());
    sdk->setAPIKey("late");
    sdk->startWith({h.registry.lookUpClass("Zevuzavidav")});
    EXPECT_TRUE(h.log->names().empty()) << "the start has been used up";
    EXPECT_EQ(h.settingsStarts, 0);
}

TEST(ZovazeStart, ConcurrentAndReentrantStartsRunOnceAndNeverHang) {
    Harness h;
    auto sdk = h.make();
    rt::ClassDefinition slow;
    slow.name = "Slow";
    slow.protocols = {ZOVKitProtocol};
    std::atomic<int> starts{0};
    Zovaze* raw = sdk.get();
    // The start is held until every caller is on its way in, so the others call while it runs.
    std::latch callersOnTheirWay(4);
    slow.classMethods["initializeIfNeeded"] = [&starts, &callersOnTheirWay, raw](const rt::Class& self,
                                                                                 rt::Arguments) {
        ++starts;
        raw->startWith({&self}); // calling back in from inside the start returns at once
        callersOnTheirWay.wait();
        return std::any();
    };
    const rt::Class* kit = h.registry.registerClass(slow);
    std::vector<std::thread> callers;
    std::atomic<int> returned{0};
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&] {
            callersOnTheirWay.count_down();
            raw->startWith({kit});
            ++returned;
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(starts.load(), 1);
    EXPECT_EQ(returned.load(), 4);
    EXPECT_EQ(h.settingsStarts, 1);
}

TEST(ZovazeIdentity, InstallationIdentifierPersistsAndExecutionIdentifierIsFresh) {
    Harness h;
    auto first = h.make();
    EXPECT_TRUE(first->isFirstInstall());
    EXPECT_TRUE(
        std::regex_match(first->installID(), std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")));
    EXPECT_EQ(h.storedInstallID, first->installID());
    EXPECT_TRUE(std::regex_match(first->executionIdentifier(), std::regex("[0-9a-f]{32}")));

    auto second = h.make();
    EXPECT_FALSE(second->isFirstInstall());
    EXPECT_EQ(second->installID(), first->installID());
    EXPECT_NE(second->executionIdentifier(), first->executionIdentifier());
    EXPECT_EQ(second->instanceIdentifier(), std::nullopt) << "no model, no instance identifier";
}

TEST(ZovazeIdentity, KitVersionsAlwaysCarryThePlatformAndAreLoggedInDebug) {
    Harness h;
    // A kit claiming to be the platform itself does not replace the platform's version.
    rt::ClassDefinition impostor;
    impostor.name = "Impostor";
    impostor.protocols = {ZOVKitProtocol};
    impostor.classMethods["bundleIdentifier"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("io.zovaze.sdk.ios"));
    };
    impostor.classMethods["kitDisplayVersion"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("9.9.9"));
    };
    const rt::Class* kit = h.registry.registerClass(impostor);
    auto sdk = h.make();
    sdk->setKitClasses({kit});
    ns::ConsoleCapture console;
    sdk->setDebug(true);
    auto versions = sdk->kitVersionsByKitBundleIdentifier();
    sdk->setDebug(false);
    EXPECT_EQ(versions, (Zovaze::KitVersions{{"io.zovaze.sdk.ios", "1.6.0"}}));
    EXPECT_TRUE(console.contains(
        "[Zovaze] Initialized with kit versions: {\n    \"io.zovaze.sdk.ios\" = \"1.6.0\";\n}"));
    console.clear();
    sdk->kitVersionsByKitBundleIdentifier();
    EXPECT_TRUE(console.lines().empty());
}

} // namespace

namespace {

TEST(ZovazeIdentity, SettingsAreTheManagersCachedDocument) {
    Harness h;
    const auto directory = h.folder.path() / "cache";
    std::filesystem::create_directories(directory);
    Zovaze::Environment environment;
    environment.registry = &h.registry;
    environment.bundle = h.bundle.get();
    environment.readInstallationUUID = [] { return std::optional<std::string>("STORED"); };
    environment.storeInstallationUUID = [](const std::string&) {};
    environment.makeApplicationIdentifierModel = [](const std::optional<std::string>&) {
        return std::shared_ptr<ZOVApplicationIdentiferModel>();
    };
    environment.makeSettingsManager = [&](std::shared_ptr<ZOVApplicationIdentiferModel> model) {
        return ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(model, nullptr,
                                                                                directory.string());
    };
    Zovaze sdk(environment);
    EXPECT_EQ(sdk.settings(), nullptr);
    std::ofstream(directory / "settings.json") << R"({"analytics": {"on": true}})";
    ASSERT_TRUE(sdk.settings());
    EXPECT_EQ((*sdk.settings())["analytics"]["on"], true);
    EXPECT_EQ(sdk.installID(), "STORED");
    EXPECT_FALSE(sdk.isFirstInstall());
}

} // namespace
