// The settings and onboarding conversation against a local HTTPS server: the request sequences the
// server can see, the cache file, and the notification.
#include "platform/foundation/Console.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/settings/ZOVSettingsOnboardingManager.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/HostileServer.hpp"
#include "tests/support/MachOBytes.hpp"
#include "tests/support/SDKHome.hpp"
#include "tests/support/SettingsServer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using namespace zovtest;
using Dict = ns::PropertyList::Dictionary;

namespace {

using velotest::readFile;

class SettingsFlow : public ::testing::Test {
  protected:
    SettingsFlow()
        : home_(
              Dict{{"CFBundleIdentifier", "com.velotest.app"},
                   {"CFBundleVersion", "7"},
                   {"CFBundleShortVersionString", "2.1"},
                   {"CFBundleDisplayName", "Velo Test"},
                   {"CFBundleIconFile", "Icon-60"},
                   {"Zevuzavidav", ns::PropertyList(Dict{{"SettingsEndpoint", "https://plist.invalid"},
                                                         {"ConfigureEndpoint", "https://plist.invalid"}})}}),
          settingsEndpoint_("SettingsEndpoint", server_.base()),
          configureEndpoint_("ConfigureEndpoint", server_.base()) {
        iconBytes_ = home_.bundle().writePNG("Icon-60@2x.png", 120, 120);
        model_ = ZOVApplicationIdentiferModel::initWithInstallID(
            "INSTALL-ID", machotest::fixturePath("fat-armv7-arm64"), ns::Bundle::main());
        // The cache the running app uses: <Caches>/io.zovaze.sdk.ios.data/<bundle id>.
        directory_ = ZOVSettingsOnboardingManager::defaultSettingsDirectoryPath();
        EXPECT_EQ(directory_,
                  (ns::Sandbox::caches() / "io.zovaze.sdk.ios.data" / "com.velotest.app").string());
        manager_ = ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(
            model_, server_.pinnedClient(), directory_);
        observer_ = ns::NotificationCenter::defaultCenter().addObserver(
            ZOVSettingsAvailableNotification, [this](const ns::Notification& notification) {
                EXPECT_EQ(notification.sender, nullptr);
                EXPECT_TRUE(notification.userInfo.empty());
                requestsAtNotification_ = static_cast<int>(server_.requests().size());
                ++notifications_;
            });
    }
    ~SettingsFlow() override { ns::NotificationCenter::defaultCenter().removeObserver(observer_); }

    // Runs the flow and waits until the server has seen `requests` requests and `notifications`
    // notifications went out, and then for the flow's end, after which nothing else can follow.
    void run(std::size_t requests, int notifications) {
        manager_->beginSettingsAndOnboardingOperationsWithAPIKey(
            "API-KEY", {{"io.zovaze.sdk.ios", "1.6.0"}, {"com.test.Zevuzavidav", "3.0"}});
        ASSERT_TRUE(eventually(
            [&] { return server_.requests().size() >= requests && notifications_ >= notifications; }));
        ASSERT_TRUE(awaitTheEnd(*manager_));
    }

    // Every way through the flow ends by closing the network client, from inside the hand-over of its
    // last answer: once the session has let go of its delegate it makes no more requests, and once its
    // delegate queue has drained, that hand-over has returned (a downloaded file is removed only then).
    static bool awaitTheEnd(ZOVSettingsOnboardingManager& manager) {
        const auto session = manager.networkClient()->session();
        if (!eventually([&] { return !session->delegate(); })) return false;
        session->delegateQueue()->waitUntilAllOperationsAreFinished();
        return true;
    }

    std::filesystem::path settingsFile() const { return std::filesystem::path(directory_) / "settings.json"; }

    SettingsServer server_;
    SDKHome home_;
    ScopedEnvironment settingsEndpoint_;
    ScopedEnvironment configureEndpoint_;
    std::vector<std::uint8_t> iconBytes_;
    std::shared_ptr<ZOVApplicationIdentiferModel> model_;
    std::string directory_;
    std::shared_ptr<ZOVSettingsOnboardingManager> manager_;
    ns::NotificationCenter::ObserverToken observer_ = 0;
    std::atomic<int> notifications_{0};
    std::atomic<int> requestsAtNotification_{-1};
};

TEST_F(SettingsFlow, PlainAnswerIsOneGetCachedByteForByteAndAnnouncedOnce) {
    const std::string body =
        "{ \"app\": {\"status\": \"activated\", \"update_required\": false},\n  \"features\": {\"x\": 1} }";
    server_.scriptSettings({{200, body}});
    run(1, 1);
    ASSERT_EQ(server_.methods(), std::vector<std::string>{"GET"});
    EXPECT_EQ(notifications_.load(), 1);
    EXPECT_EQ(readFile(settingsFile()), body);
    auto document = manager_->settingsModel().settingsDictionary();
    ASSERT_TRUE(document);
    EXPECT_EQ((*document)["features"]["x"], 1);

    const SeenRequest get = server_.requests()[0];
    EXPECT_EQ(get.path, "/spi/v2/platforms/ios/apps/com.velotest.app/settings");
    auto query = [&](const std::string& key) {
        auto found = get.query.find(key);
        return found == get.query.end() ? std::string("<absent>") : found->second;
    };
    EXPECT_EQ(query("build_version"), "7");
    EXPECT_EQ(query("display_version"), "2.1");
    EXPECT_EQ(query("instance"), *model_->instanceIdentifier());
    EXPECT_EQ(query("icon_hash"), ZOVSHA1HexFromData(iconBytes_));
    EXPECT_EQ(query("source"), std::to_string(ZOVInstallSource()));
    EXPECT_EQ(get.header("Accept"), "application/json");
    EXPECT_EQ(get.header("X-Zevuzavidav-Installation-ID"), "INSTALL-ID");
    EXPECT_EQ(get.header("X-Zevuzavidav-API-Key"), "API-KEY");
    EXPECT_EQ(get.header("X-Zevuzavidav-API-Client-Version"), "1.6.0");
    EXPECT_EQ(get.header("X-Zevuzavidav-OS-Display-Version"), ZOVOSDisplayVersion());
    EXPECT_EQ(get.header("X-Zevuzavidav-Advertising-Token"), "<absent>");
}

// The manager reads the advertising token when it makes a download, which may be after the instance
// that holds the token has gone (the manager's requests keep it alive).
TEST_F(SettingsFlow, AdvertisingTokenIsReadWhenTheDownloadIsMadeEvenAfterItsSetterIsGone) {
    server_.scriptSettings({{200, "{\"app\": {\"status\": \"activated\"}}"}});
    std::shared_ptr<ZOVSettingsOnboardingManager> manager;
    {
        rt::ClassRegistry registry;
        Zovaze::Environment environment;
        environment.registry = &registry;
        environment.readInstallationUUID = [] { return std::optional<std::string>("INSTALL-ID"); };
        environment.storeInstallationUUID = [](const std::string&) {};
        environment.makeApplicationIdentifierModel = [this](const std::optional<std::string>&) {
            return model_;
        };
        environment.makeSettingsManager = [&](std::shared_ptr<ZOVApplicationIdentiferModel> model) {
            return ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(
                model, server_.pinnedClient(), directory_);
        };
        auto sdk = std::make_unique<Zovaze>(environment);
        manager = sdk->settingsAndOnboardingManager();
        sdk->setAdvertisingToken("AD-TOKEN");
    }
    manager->beginSettingsAndOnboardingOperationsWithAPIKey("API-KEY", {});
    ASSERT_TRUE(eventually([&] { return notifications_ >= 1; }));
    ASSERT_TRUE(awaitTheEnd(*manager));
    ASSERT_EQ(server_.requests().size(), 1u);
    EXPECT_EQ(server_.requests()[0].header("X-Zevuzavidav-Advertising-Token"), "AD-TOKEN");
}

TEST_F(SettingsFlow, FailedDownloadIsOneGetAndKeepsTheEarlierCache) {
    std::filesystem::create_directories(directory_);
    std::ofstream(settingsFile()) << "{\"app\": {\"status\": \"activated\"}, \"kept\": true}";
    server_.scriptSettings({{404, "{\"error\": \"missing\"}"}});
    ns::ConsoleCapture console;
    run(1, 0);
    EXPECT_EQ(server_.methods(), std::vector<std::string>{"GET"});
    EXPECT_EQ(notifications_.load(), 0);
    auto document = manager_->settingsModel().settingsDictionary();
    ASSERT_TRUE(document);
    EXPECT_EQ((*document)["kept"], true);
    bool logged = false;
    for (const auto& line : console.lines())
        logged |= line.rfind("[Zovaze] failed to download settings ", 0) == 0;
    EXPECT_TRUE(logged);
}

TEST_F(SettingsFlow, NewAppIsCreatedThenSettingsDownloadedAgainBeforeTheNotification) {
    const std::string second = "{\"app\": {\"status\": \"activated\"}}";
    server_.scriptSettings({{200, "{\"app\": {\"status\": \"new\"}}"}, {200, second}});
    run(3, 1);
    ASSERT_EQ(server_.methods(), (std::vector<std::string>{"GET", "POST", "GET"}));
    EXPECT_EQ(notifications_.load(), 1);
    EXPECT_EQ(requestsAtNotification_.load(), 3);
    EXPECT_EQ(readFile(settingsFile()), second);

    const SeenRequest post = server_.requests()[1];
    EXPECT_EQ(post.path, "/spi/v1/platforms/ios/apps");
    EXPECT_EQ(post.header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
    EXPECT_GT(std::stol(post.header("Content-Length")), 0);
    std::vector<std::string> names;
    for (const auto& part : post.parts)
        names.push_back(part.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{
                  "app[identifier]", "app[instance_identifier]", "app[name]", "app[build_version]",
                  "app[display_version]", "app[source]", "app[minimum_sdk_version]", "app[built_sdk_version]",
                  "app[build][libraries][com.test.Zevuzavidav]", "app[build][libraries][io.zovaze.sdk.ios]",
                  "app[slices][][arch]", "app[slices][][uuid]", "app[slices][][arch]", "app[slices][][uuid]",
                  "app[icon][hash]", "app[icon][prerendered]", "app[icon][width]", "app[icon][height]",
                  "app[icon][data]"}));
    // The values of the app's fields and icon are checked against the shipped program's launch; here a
    // fat executable shows each architecture directly followed by its own identifier.
    ASSERT_EQ(post.parts.size(), names.size());
    const auto& uuids = model_->architectureUUIDMap();
    EXPECT_EQ(post.parts[10].content, "arm64");
    EXPECT_EQ(post.parts[11].content, uuids.at("arm64"));
    EXPECT_EQ(post.parts[12].content, "armv7");
    EXPECT_EQ(post.parts[13].content, uuids.at("armv7"));
    EXPECT_EQ(post.parts[6].content, "9.0.0");
    EXPECT_EQ(post.parts[7].content, "10.3.0");
}

TEST_F(SettingsFlow, FailedCreateClosesTheFlowWithoutANotification) {
    server_.scriptSettings({{200, "{\"app\": {\"status\": \"new\"}}"}});
    server_.setOnboardingStatus(400);
    ns::ConsoleCapture console;
    run(2, 0);
    EXPECT_EQ(server_.methods(), (std::vector<std::string>{"GET", "POST"}));
    EXPECT_EQ(notifications_.load(), 0);
    bool logged = false;
    for (const auto& line : console.lines()) {
        logged |= line.rfind("[Zovaze] unable to complete application configure: ", 0) == 0;
    }
    EXPECT_TRUE(logged);
    EXPECT_TRUE(manager_->hasAttemptedAppConfigure());
}

TEST_F(SettingsFlow, UpdateRequiredAnnouncesBeforeThePut) {
    server_.scriptSettings({{200, "{\"app\": {\"status\": \"activated\", \"update_required\": true}}"}});
    run(2, 1);
    ASSERT_EQ(server_.methods(), (std::vector<std::string>{"GET", "PUT"}));
    EXPECT_EQ(notifications_.load(), 1);
    EXPECT_EQ(requestsAtNotification_.load(), 1) << "the notification goes out before the update is sent";
    EXPECT_EQ(server_.requests()[1].path, "/spi/v1/platforms/ios/apps/com.velotest.app");
}

TEST_F(SettingsFlow, EndpointsComeFromTheEnvironmentThenTheInfoPlistThenTheDefaults) {
    EXPECT_EQ(ZOVSettingsOnboardingManager::valueForConfigurationKey("SettingsEndpoint"), server_.base());
    {
        ::unsetenv("ConfigureEndpoint");
        EXPECT_EQ(ZOVSettingsOnboardingManager::valueForConfigurationKey("ConfigureEndpoint"),
                  "https://plist.invalid");
        ::setenv("ConfigureEndpoint", server_.base().c_str(), 1);
    }
    SDKHome bare(Dict{{"CFBundleIdentifier", "com.velotest.bare"}});
    ::unsetenv("SettingsEndpoint");
    EXPECT_EQ(ZOVSettingsOnboardingManager::valueForConfigurationKey("SettingsEndpoint"),
              ZOVSettingsOnboardingManager::defaultSettingsEndpoint);
    EXPECT_EQ(ZOVSettingsOnboardingManager::valueForConfigurationKey("Other"), std::nullopt);
}

// The API key, the developer token and the installation id reach no plain-HTTP host, whether the
// endpoint names one or a loopback or pinned HTTPS endpoint redirects there; nor does an endless answer
// fill the disk. Each failure leaves the cache as it was, for the next launch.
TEST_F(SettingsFlow, NoRouteLeadsARequestToAPlainHttpHostOrFillsTheDisk) {
    velotest::HostileServer target(velotest::HostileServer::Behaviour::listen);
    velotest::HostileServer bounce(velotest::HostileServer::Behaviour::redirect, target.nameURL("/x"));
    velotest::HostileServer endless(velotest::HostileServer::Behaviour::endless);
    enum class Kind { settings, onboarding };
    struct Row {
        const char* what;
        Kind kind;
        std::string endpoint; // the settings or the configure endpoint
        bool serverRedirects; // the pinned HTTPS server answers with a redirect to the target
    };
    const Row rows[] = {
        {"settings from a host name", Kind::settings, target.nameURL(), false},
        {"settings redirected by a loopback endpoint", Kind::settings, bounce.url(), false},
        {"settings redirected by the pinned server", Kind::settings, server_.base(), true},
        {"settings that never end", Kind::settings, endless.url(), false},
        {"onboarding at a host name", Kind::onboarding, target.nameURL(), false},
        {"onboarding redirected by a loopback endpoint", Kind::onboarding, bounce.url(), false},
        {"onboarding redirected by the pinned server", Kind::onboarding, server_.base(), true},
    };
    const std::string cached = "{\"app\": {\"status\": \"activated\"}, \"kept\": true}";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::create_directories(directory_);
        std::ofstream(settingsFile(), std::ios::trunc) << cached;
        const bool settings = row.kind == Kind::settings;
        ScopedEnvironment settingsEndpoint("SettingsEndpoint", settings ? row.endpoint : server_.base());
        ScopedEnvironment configureEndpoint("ConfigureEndpoint", settings ? server_.base() : row.endpoint);
        if (settings && row.serverRedirects)
            server_.scriptSettings({{302, "", "application/json", target.nameURL("/settings")}});
        else
            server_.scriptSettings({{200, "{\"app\": {\"status\": \"new\"}}"}});
        if (row.serverRedirects && !settings)
            server_.redirectOnboarding(target.nameURL("/apps"));
        else
            server_.setOnboardingStatus(200);

        ns::ConsoleCapture console;
        auto manager = ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(
            model_, server_.pinnedClient(), directory_);
        manager->beginSettingsAndOnboardingOperationsWithAPIKey("API-KEY", {{"io.zovaze.sdk.ios", "1.6.0"}});
        const std::string failure = settings ? "[Zovaze] failed to download settings "
                                             : "[Zovaze] unable to complete application configure: ";
        EXPECT_TRUE(awaitTheEnd(*manager));
        const auto lines = console.lines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.rfind(failure, 0) == 0; }));
        EXPECT_EQ(target.connections(), 0);
        if (settings) {
            EXPECT_EQ(readFile(settingsFile()), cached);
            std::error_code ignored;
            EXPECT_TRUE(std::filesystem::is_empty(ns::Sandbox::tmp(), ignored));
        }
        manager.reset();
    }
    EXPECT_EQ(endless.connections(), 1);
    // Cut off at the settings bound: the server got out that and what the sockets could buffer, far
    // from the 512 MiB it offers.
    EXPECT_LT(endless.bodyBytesSent(), ZOVSettings::maximumDocumentLength + 32u * 1024 * 1024);
}

TEST(SettingsCacheLocation, UsesTheBundleIdentifierUnlessItWouldLeaveTheFolder) {
    struct Row {
        const char* identifier;
        bool usedAsIs;
    };
    const Row rows[] = {
        {"com.velotest.app", true}, {"", false}, {".", false}, {"..", false}, {"a/../../b", false}};
    for (const auto& row : rows) {
        SDKHome home(Dict{{"CFBundleIdentifier", row.identifier}});
        const std::filesystem::path directory = ZOVSettingsOnboardingManager::defaultSettingsDirectoryPath();
        const std::filesystem::path root = ns::Sandbox::caches() / "io.zovaze.sdk.ios.data";
        EXPECT_EQ(directory.parent_path(), root) << row.identifier;
        if (row.usedAsIs) {
            EXPECT_EQ(directory.filename(), row.identifier);
        }
        EXPECT_NE(directory.filename(), "..");
        EXPECT_NE(directory.filename(), ".");
    }
}

} // namespace
