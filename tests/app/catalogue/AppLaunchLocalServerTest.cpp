// The program itself, started in a terminal in a temporary home with the SDK's endpoints pointed at a
// local HTTPS settings server. The test-only build (which also trusts the server's test root, named by
// VELOMARINTH_TEST_PINNED_ROOTS) holds the whole conversation; the shipped build, given the same
// variable, must still refuse the server. Skipped only when tmux is not installed.
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/identity/ZOVApplicationIdentiferModel.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/SettingsServer.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using velotest::readFile;

using velotest::quote;
using velotest::waitUntil;

const std::filesystem::path kTestBundle = std::string(VELO_BINARY_DIR) + "/test-bundles/Swift.app";
const std::filesystem::path kShippedBundle = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app";
const std::string kBundleIdentifier = "com.velomarinth.swift";

std::string infoString(const ns::Bundle& bundle, std::string_view key) {
    const ns::PropertyList* value = bundle.objectForInfoDictionaryKey(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? *text : std::string("<absent>");
}

class AppAgainstLocalServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";
        ASSERT_FALSE(folder_.path().empty());
        rootsFile_ = folder_.path() / "test-roots.pem";
        FILE* file = std::fopen(rootsFile_.c_str(), "w");
        ASSERT_NE(file, nullptr);
        const int written = PEM_write_X509(file, server_.root().certificate());
        std::fclose(file);
        ASSERT_EQ(written, 1);
    }

    // Starts the program of `bundle` and checks that the catalogue shows at once, whatever the SDK does.
    void launch(const std::filesystem::path& bundle) {
        const std::filesystem::path executable = bundle / "velomarinth";
        ASSERT_TRUE(std::filesystem::exists(executable)) << executable << " is built with the tests";
        const std::string command =
            "env VELOMARINTH_HOME=" + quote(home().string()) + " " + velotools::loopbackServerWords() + "" +
            " SettingsEndpoint=" + server_.base() + " ConfigureEndpoint=" + server_.base() +
            " VELOMARINTH_TEST_PINNED_ROOTS=" + quote(rootsFile_.string()) + " TERM=xterm-256color " +
            quote(executable.string());
        tmux_.start(command);
        EXPECT_TRUE(waitUntil([&] { return tmux_.shows("SWIFT BASICS"); })) << tmux_.screen();
    }

    void quit() {
        tmux_.keys("C-c");
        EXPECT_TRUE(waitUntil([&] { return tmux_.shows("PROGRAM-ENDED"); }));
    }

    // Waits for `count` requests, then until the cache holds `body`. The cache is written by the
    // hand-over of the flow's last answer, which makes at once whatever request would follow it, on
    // the SDK's own network thread; the test sees the cache, quits the program and compares the
    // requests only once the program has ended and can make no more.
    void awaitRequestsAndCache(std::size_t count, const std::string& body) {
        EXPECT_TRUE(zovtest::eventually([&] { return server_.requests().size() >= count; })) << "log:\n"
                                                                                             << log();
        EXPECT_TRUE(waitUntil([&] { return readFile(settingsFile()) == body; })) << readFile(settingsFile());
    }

    std::filesystem::path home() const { return folder_.path() / "home"; }
    std::filesystem::path sandbox() const { return home() / kBundleIdentifier; }
    std::filesystem::path settingsFile() const {
        return sandbox() / "Library" / "Caches" / "io.zovaze.sdk.ios.data" / kBundleIdentifier /
               "settings.json";
    }
    std::string log() const { return readFile(sandbox() / "Library" / "Logs" / "console.log"); }

    // Declared first, so it outlives the program (the tmux server goes first and takes the program along).
    zovtest::SettingsServer server_;
    velotest::TempFolder folder_;
    std::filesystem::path rootsFile_;
    velotest::Tmux tmux_{"zov-localpins"};
};

std::string query(const zovtest::SeenRequest& request, const std::string& key) {
    auto found = request.query.find(key);
    return found == request.query.end() ? std::string("<absent>") : found->second;
}

TEST_F(AppAgainstLocalServer, NewAppIsCreatedThenDownloadedAgainAndTheAnswerCachedByteForByte) {
    const std::string second =
        "{\"app\": {\"status\": \"activated\", \"update_required\": false},\n  \"features\":{\"x\" : 1} }";
    server_.scriptSettings({{200, "{\"app\": {\"status\": \"new\"}}"}, {200, second}});
    launch(kTestBundle);
    awaitRequestsAndCache(3, second);
    quit();
    ASSERT_EQ(server_.methods(), (std::vector<std::string>{"GET", "POST", "GET"})) << log();

    // What the app must have said about itself, read independently from its bundle and executable.
    const ns::Bundle bundle(kTestBundle);
    const auto model = ZOVApplicationIdentiferModel::initWithInstallID(
        std::nullopt, (kTestBundle / "velomarinth").string(), bundle);
    ASSERT_TRUE(model && model->instanceIdentifier() && model->icon());
    ASSERT_EQ(model->architectureUUIDMap().size(), 1u);
    const auto& [architecture, uuid] = *model->architectureUUIDMap().begin();
    std::ifstream iconFile(kTestBundle / "AppIcon60x60@2x.png", std::ios::binary);
    const std::vector<std::uint8_t> icon{std::istreambuf_iterator<char>(iconFile), {}};
    const ns::PropertyList* zovaze = bundle.objectForInfoDictionaryKey("Zovaze");
    const ns::PropertyList* apiKeyValue =
        zovaze && zovaze->dictionaryValue() ? zovaze->dictionaryValue()->find("APIKey") : nullptr;
    const std::string* apiKey = apiKeyValue ? apiKeyValue->stringValue() : nullptr;
    ASSERT_TRUE(apiKey);

    const std::vector<zovtest::SeenRequest> requests = server_.requests();
    for (const auto& request : requests)
        EXPECT_EQ(request.header("X-Zevuzavidav-API-Key"), *apiKey) << request.path;
    // Both downloads describe the same installation and the same build.
    const std::string installID = requests[0].header("X-Zevuzavidav-Installation-ID");
    EXPECT_EQ(installID.size(), 36u) << installID;
    for (const std::size_t get : {0u, 2u}) {
        EXPECT_EQ(requests[get].path, "/spi/v2/platforms/ios/apps/" + kBundleIdentifier + "/settings");
        EXPECT_EQ(requests[get].header("X-Zevuzavidav-Installation-ID"), installID);
        EXPECT_EQ(query(requests[get], "build_version"), infoString(bundle, "CFBundleVersion"));
        EXPECT_EQ(query(requests[get], "display_version"), infoString(bundle, "CFBundleShortVersionString"));
        EXPECT_EQ(query(requests[get], "instance"), *model->instanceIdentifier());
        EXPECT_EQ(query(requests[get], "icon_hash"), ZOVSHA1HexFromData(icon));
    }

    const zovtest::SeenRequest& post = requests[1];
    EXPECT_EQ(post.path, "/spi/v1/platforms/ios/apps");
    EXPECT_EQ(post.header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
    // The fields in the order they must be sent. The libraries (the SDK and each kit the app starts)
    // come as one run between the app's own fields and its slices.
    std::vector<std::pair<std::string, std::string>> expected = {
        {"app[identifier]", kBundleIdentifier},
        {"app[instance_identifier]", *model->instanceIdentifier()},
        {"app[name]", infoString(bundle, "CFBundleDisplayName")},
        {"app[build_version]", infoString(bundle, "CFBundleVersion")},
        {"app[display_version]", infoString(bundle, "CFBundleShortVersionString")},
        {"app[source]", std::to_string(ZOVInstallSource())},
        {"app[minimum_sdk_version]", model->minimumSDKString()},
        {"app[built_sdk_version]", model->builtSDKString()},
    };
    // The icon travels as the SDK re-encoded it; its hash is the file's.
    const std::string iconData(model->icon()->data().begin(), model->icon()->data().end());
    std::map<std::string, std::string> libraries;
    for (const auto& part : post.parts) {
        if (part.name.rfind("app[build][libraries][", 0) != 0) continue;
        expected.emplace_back(part.name, part.content);
        libraries[part.name] = part.content;
    }
    // The SDK, the crash kit the app starts, and the analytics kit the SDK adds beside it.
    EXPECT_EQ(libraries, (std::map<std::string, std::string>{
                             {"app[build][libraries][io.zovaze.sdk.ios]", Zovaze::displayVersion},
                             {"app[build][libraries][com.rizudiz.zevuzavidav.ios]", "3.4.0"},
                             {"app[build][libraries][com.rizudiz.answers.ios]", "1.0.0"},
                         }));
    expected.insert(expected.end(), {
                                        {"app[slices][][arch]", architecture},
                                        {"app[slices][][uuid]", uuid},
                                        {"app[icon][hash]", ZOVSHA1HexFromData(icon)},
                                        {"app[icon][prerendered]", "false"},
                                        {"app[icon][width]", "120"},
                                        {"app[icon][height]", "120"},
                                        {"app[icon][data]", iconData},
                                    });
    std::vector<std::string> names;
    for (const auto& part : post.parts)
        names.push_back(part.name);
    std::vector<std::string> expectedNames;
    for (const auto& [name, value] : expected)
        expectedNames.push_back(name);
    ASSERT_EQ(names, expectedNames);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(post.parts[i].content, expected[i].second) << post.parts[i].name;
    EXPECT_EQ(post.parts.back().filename, "icon.png");
    EXPECT_EQ(post.parts.back().contentType, "image/png");
}

TEST_F(AppAgainstLocalServer, SettledAppIsOneDownloadCachedByteForByte) {
    const std::string body = "{\"app\":{\"status\":\"activated\"},\"cache\" : {\"duration\": 3600}}\n";
    server_.scriptSettings({{200, body}});
    launch(kTestBundle);
    awaitRequestsAndCache(1, body);
    quit();
    EXPECT_EQ(server_.methods(), std::vector<std::string>{"GET"}) << log();
    EXPECT_EQ(log().find("failed to download settings"), std::string::npos) << log();
}

TEST_F(AppAgainstLocalServer, ShippedProgramRefusesTheTestRootEvenWhenTheVariableNamesIt) {
    server_.scriptSettings({{200, "{\"app\": {\"status\": \"activated\"}}"}});
    launch(kShippedBundle);
    EXPECT_TRUE(waitUntil([&] {
        return log().find("[Zovaze] failed to download settings ") != std::string::npos;
    })) << log();
    quit();
    EXPECT_TRUE(server_.requests().empty()) << "the handshake must fail before any request is read";
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

} // namespace
