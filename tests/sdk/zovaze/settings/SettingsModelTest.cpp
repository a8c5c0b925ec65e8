// The cached settings model, the settings request, the cache replacement and the onboarding request,
// without a server.
#include "platform/foundation/Console.hpp"
#include "sdk/zovaze/settings/ZOVDownloadAndSaveSettingsOperation.hpp"
#include "sdk/zovaze/settings/ZOVOnboardingOperation.hpp"
#include "sdk/zovaze/settings/ZOVSettings.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/SDKHome.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <sys/stat.h>
#include <thread>

using namespace zovtest;
using Dict = ns::PropertyList::Dictionary;

namespace {

class SettingsModel : public ::testing::Test {
  protected:
    SettingsModel() : home_(Dict{{"CFBundleIdentifier", "com.velotest.app"}, {"CFBundleVersion", "7"}}) {
        path_ = (home_.home() / "settings.json").string();
    }
    void write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

    SDKHome home_;
    std::string path_;
};

TEST_F(SettingsModel, OnboardingQuestionsFollowTheAppSection) {
    struct Row {
        const char* document;
        bool present;
        bool needsOnboarding;
        bool updateRequired;
    };
    const Row rows[] = {
        {R"({"app": {"status": "new"}})", true, true, false},
        {R"({"app": {"status": "New"}})", true, false, false},
        {R"({"app": null})", true, false, false},
        {R"({"app": "new"})", true, false, false},
        {R"({"app": {"status": 1, "update_required": true}})", true, false, true},
        {R"({"app": {"status": "activated", "update_required": 1}})", true, false, true},
        {R"({"app": {"update_required": "yes"}})", true, false, false},
        {R"({"features": {}})", true, false, false},
        {R"([{"app": {"status": "new"}}])", false, false, false},
    };
    for (const auto& row : rows) {
        write(row.document);
        ZOVSettings settings(path_);
        EXPECT_EQ(settings.settingsDictionary() != nullptr, row.present) << row.document;
        EXPECT_EQ(settings.appNeedsOnboarding(), row.needsOnboarding) << row.document;
        EXPECT_EQ(settings.appUpdateRequired(), row.updateRequired) << row.document;
    }
}

TEST_F(SettingsModel, CorruptFileIsRemovedOnFirstReadAndLoggedOnce) {
    write("{\"app\": ");
    ZOVSettings settings(path_);
    ns::ConsoleCapture console;
    EXPECT_EQ(settings.settingsDictionary(), nullptr);
    EXPECT_EQ(settings.settingsDictionary(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path_));
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("[Zovaze] Could not load settings with error: ", 0), 0u);
}

// A cache file too deep or too long to be settings goes like a corrupt one, without a crash; one at
// the bounds is read.
TEST_F(SettingsModel, FilesBeyondTheDepthOrLengthBoundAreRemovedLikeCorruptOnes) {
    auto app = [](std::size_t levels) {
        return "{\"app\": {\"status\": \"new\", \"deep\": " + std::string(levels, '[') +
               std::string(levels, ']') + "}}";
    };
    struct Row {
        const char* what;
        std::string document;
        bool kept;
    };
    const Row rows[] = {
        {"a million levels (2 MB)", app(1000000), false},
        {"half a million levels, under the length bound", app(500000), false},
        {"62 levels below \"app\"", app(62), true},
        {"a flat document longer than the bound",
         "{\"pad\": \"" + std::string(ZOVSettings::maximumDocumentLength, 'x') + "\"}", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write(row.document);
        ZOVSettings settings(path_);
        ns::ConsoleCapture console;
        EXPECT_EQ(settings.appNeedsOnboarding(), row.kept);
        EXPECT_EQ(settings.settingsDictionary() != nullptr, row.kept);
        EXPECT_EQ(std::filesystem::exists(path_), row.kept);
        EXPECT_EQ(console.lines().size(), row.kept ? 0u : 1u);
    }
}

// A link or a FIFO in the cache file's place goes like a corrupt file: the entry itself is removed,
// what the link points to is not read or touched, and the FIFO is never waited on.
TEST_F(SettingsModel, ALinkOrAFifoInTheFilesPlaceIsRemovedUnread) {
    const std::filesystem::path outside = home_.home() / "outside.json";
    std::ofstream(outside) << R"({"app": {"status": "new"}})";
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "fifo" : "link");
        if (fifo)
            ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
        else
            std::filesystem::create_symlink(outside, path_);
        ZOVSettings settings(path_);
        ns::ConsoleCapture console;
        EXPECT_EQ(settings.settingsDictionary(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path_)));
        EXPECT_EQ(console.lines().size(), 1u);
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(outside));
}

TEST_F(SettingsModel, DocumentIsKeptUntilClearedThenReadAfresh) {
    ZOVSettings settings(path_);
    EXPECT_EQ(settings.settingsDictionary(), nullptr) << "no file yet";
    write(R"({"v": 1})");
    auto first = settings.settingsDictionary();
    ASSERT_TRUE(first);
    write(R"({"v": 2})");
    EXPECT_EQ((*settings.settingsDictionary())["v"], 1);
    settings.clearSettingsDictionary();
    EXPECT_EQ((*settings.settingsDictionary())["v"], 2);
    EXPECT_EQ((*first)["v"], 1) << "a reader keeps the document it was given";
}

// A download replaces the file and then clears the held document (twice in a launch when the app is
// created). A reader that was still loading the older file at that moment must not leave that older
// document held for the rest of the launch.
TEST_F(SettingsModel, AClearDuringALoadNeverLeavesTheOlderDocumentHeld) {
    // In each round the readers load while the next file is put in place between two clears, and
    // every reader has finished its loads (the second barrier) before the held document is checked.
    constexpr int kReaders = 3;
    constexpr int kVersions = 200;
    ZOVSettings settings(path_);
    std::barrier round(kReaders + 1);
    const std::string staged = path_ + ".staged";
    int stale = 0;
    {
        std::vector<std::jthread> readers; // joined on every way out of this block
        for (int i = 0; i < kReaders; ++i) {
            readers.emplace_back([&] {
                for (int version = 1; version <= kVersions; ++version) {
                    round.arrive_and_wait();
                    for (int load = 0; load < 3; ++load)
                        settings.settingsDictionary();
                    round.arrive_and_wait();
                }
            });
        }
        for (int version = 1; version <= kVersions; ++version) {
            std::ofstream(staged, std::ios::binary) << R"({"v": )" << version << "}";
            round.arrive_and_wait();
            settings.clearSettingsDictionary();     // readers start loading the current file...
            std::filesystem::rename(staged, path_); // ...while the next one is put in place
            settings.clearSettingsDictionary();
            round.arrive_and_wait();
            auto document = settings.settingsDictionary();
            if (!document || (*document)["v"] != version) ++stale;
        }
    }
    EXPECT_EQ(stale, 0);
}

TEST_F(SettingsModel, SettingsURLLeavesOutAbsentParameters) {
    auto full = ZOVSettings::settingsURLForEndpoint("https://s.example", "abc", "hash");
    ASSERT_TRUE(full);
    EXPECT_EQ(
        full->rfind("https://s.example/spi/v2/platforms/ios/apps/com.velotest.app/settings?build_version=7&",
                    0),
        0u)
        << *full;
    EXPECT_NE(full->find("&instance=abc&icon_hash=hash&source="), std::string::npos) << *full;
    EXPECT_EQ(full->find("display_version"), std::string::npos) << "no short version in this bundle";
    auto noIcon = ZOVSettings::settingsURLForEndpoint("https://s.example", std::nullopt, std::nullopt);
    EXPECT_EQ(noIcon->find("icon_hash"), std::string::npos);
    EXPECT_EQ(noIcon->find("instance"), std::string::npos);
    EXPECT_FALSE(ZOVSettings::settingsURLForEndpoint("https://s.example/ bad", std::nullopt, std::nullopt));
}

std::shared_ptr<ZOVDownloadAndSaveSettingsOperation> download(std::optional<std::string> token) {
    return ZOVDownloadAndSaveSettingsOperation::initWithAPIKey("KEY", {}, "https://s.example/x", "/tmp/d",
                                                               "/tmp/d/s", "INSTALL", std::move(token), {});
}

TEST(SettingsDownloadRequest, AdvertisingTokenOnlyWhenAllowedAndNotEmpty) {
    {
        SDKHome home(Dict{{"CFBundleIdentifier", "com.velotest.app"}});
        auto request = download("TOKEN")->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
            "https://s.example/x");
        EXPECT_EQ(request.timeoutInterval(), 10.0);
        EXPECT_EQ(request.valueForHTTPHeaderField("X-Zevuzavidav-Advertising-Token"), "TOKEN");
        for (const std::optional<std::string>& token :
             {std::optional<std::string>(), std::optional<std::string>("")}) {
            auto bare = download(token)->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
                "https://s.example/x");
            EXPECT_FALSE(bare.valueForHTTPHeaderField("X-Zevuzavidav-Advertising-Token"));
        }
    }
    SDKHome forbidding(Dict{{"CFBundleIdentifier", "com.velotest.app"},
                            {"Zovaze", ns::PropertyList(Dict{{"ReportIdentifiers", false}})},
                            {"ZevuzavidavCollectDeviceIdentifiers", true}});
    auto operation = download("TOKEN");
    EXPECT_EQ(operation->advertisingToken(), std::nullopt);
    EXPECT_FALSE(operation->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL("https://s.example/x")
                     .valueForHTTPHeaderField("X-Zevuzavidav-Advertising-Token"));
    EXPECT_FALSE(
        ZOVDownloadAndSaveSettingsOperation::initWithAPIKey(std::nullopt, {}, "u", "d", "f", {}, {}, {}));
}

TEST_F(SettingsModel, ReplacementKeepsTheOldFileOnFailureAndLeavesOnlyTheNewOneOnSuccess) {
    const auto directory = home_.home() / "cache";
    const auto target = directory / "settings.json";
    std::filesystem::create_directories(directory);
    std::ofstream(target) << "old";
    std::ofstream(directory / "leftover.tmp") << "x";

    auto failed = ZOVDownloadAndSaveSettingsOperation::replaceSettingsFile(
        (home_.home() / "missing").string(), directory.string(), target.string());
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->domain(), zovaze::kSettingsCacheErrorDomain);
    std::ifstream kept(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");

    const auto downloaded = home_.home() / "download.json";
    std::ofstream(downloaded) << "new";
    EXPECT_FALSE(ZOVDownloadAndSaveSettingsOperation::replaceSettingsFile(
        downloaded.string(), directory.string(), target.string()));
    std::ifstream replaced(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}), "new");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"settings.json"});
}

// Nothing can be read from a folder named "settings.json", so it holds no settings worth keeping; a
// successful download must still be able to take its place, or the app would never see settings again.
TEST_F(SettingsModel, AFolderWhereTheSettingsFileBelongsIsReplacedByTheDownload) {
    const auto directory = home_.home() / "cache";
    const auto target = directory / "settings.json";
    std::filesystem::create_directories(target / "inside");
    const auto downloaded = home_.home() / "download.json";
    std::ofstream(downloaded) << R"({"v": 3})";
    EXPECT_FALSE(ZOVDownloadAndSaveSettingsOperation::replaceSettingsFile(
        downloaded.string(), directory.string(), target.string()));
    ZOVSettings settings(target.string());
    ASSERT_TRUE(settings.settingsDictionary());
    EXPECT_EQ((*settings.settingsDictionary())["v"], 3);
}

// A link in the place of the settings' folder, or of the folder above it, leads elsewhere: the folder
// is looked at from the sandbox's Library down before the cached file is read or removed and before a
// download is put in place (which leaves "settings.json" alone in the folder), so what the link points
// to is neither read, removed nor written, and the download lands in the sandbox.
TEST_F(SettingsModel, ALinkInPlaceOfTheSettingsFolderLeavesWhatItPointsToUntouched) {
    const auto data = ns::Sandbox::caches() / "io.zovaze.sdk.ios.data";
    const auto directory = data / "com.velotest.app";
    for (const auto& place : {directory, data}) {
        SCOPED_TRACE(place.string());
        velotest::TempFolder outside;
        const auto mirror = outside.path() / std::filesystem::relative(directory, place);
        std::filesystem::create_directories(mirror);
        std::ofstream(mirror / "settings.json") << R"({"app": {"status": "new"}})";
        std::ofstream(mirror / "theirs.json") << "theirs";
        std::ofstream(outside.path() / "broken.json") << "{"; // would be removed as corrupt
        const auto before = velotest::folderContents(outside.path());
        std::filesystem::remove_all(data);
        std::filesystem::create_directories(place.parent_path());
        std::filesystem::create_symlink(outside.path(), place);

        ZOVSettings settings((directory / "settings.json").string());
        EXPECT_EQ(settings.settingsDictionary(), nullptr);
        ZOVSettings broken((place / "broken.json").string());
        EXPECT_EQ(broken.settingsDictionary(), nullptr);
        EXPECT_EQ(velotest::folderContents(outside.path()), before);

        std::filesystem::remove_all(place);
        std::filesystem::create_symlink(outside.path(), place);
        const auto downloaded = home_.home() / "download.json";
        std::ofstream(downloaded) << R"({"v": 3})";
        EXPECT_FALSE(ZOVDownloadAndSaveSettingsOperation::replaceSettingsFile(
            downloaded.string(), directory.string(), (directory / "settings.json").string()));
        EXPECT_EQ(velotest::folderContents(outside.path()), before);
        EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(place)));
        ZOVSettings fresh((directory / "settings.json").string());
        ASSERT_TRUE(fresh.settingsDictionary());
        EXPECT_EQ((*fresh.settingsDictionary())["v"], 3);
    }
}

TEST(OnboardingRequest, CreateIsAShortPostAndUpdateAPutToTheApp) {
    SDKHome home(Dict{{"CFBundleIdentifier", "com.velotest/app"}});
    auto operation =
        ZOVOnboardingOperation::initWithDelegate({}, true, "KEY", {}, nullptr, "https://api.example", {});
    ASSERT_TRUE(operation);
    auto create = operation->onboardingRequestForAppCreate(true);
    EXPECT_EQ(create.HTTPMethod(), "POST");
    EXPECT_EQ(create.URL(), "https://api.example/spi/v1/platforms/ios/apps");
    EXPECT_EQ(create.timeoutInterval(), 2.0);
    auto update = operation->onboardingRequestForAppCreate(false);
    EXPECT_EQ(update.HTTPMethod(), "PUT");
    EXPECT_EQ(update.URL(), "https://api.example/spi/v1/platforms/ios/apps/com.velotest_app");
    EXPECT_EQ(update.timeoutInterval(), 10.0);
    EXPECT_EQ(update.valueForHTTPHeaderField("X-Zevuzavidav-API-Key"), "KEY");
    EXPECT_FALSE(ZOVOnboardingOperation::initWithDelegate({}, true, std::nullopt, {}, nullptr, "x", {}));
}

TEST(OnboardingRequest, BodyWithoutModelOmitsItsFieldsAndKeepsTheOrder) {
    SDKHome home(Dict{{"CFBundleIdentifier", "com.velotest.app"}, {"CFBundleName", "Name"}});
    auto operation = ZOVOnboardingOperation::initWithDelegate(
        {}, true, "KEY", {{"io.zovaze.sdk.ios", "1.6.0"}}, nullptr, "https://api.example", {});
    net::URLRequest request = operation->onboardingRequestForAppCreate(true);
    ASSERT_TRUE(operation->encodeBody(request));
    const auto& body = *request.HTTPBody();
    const std::string text(body.begin(), body.end());
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), std::to_string(body.size()));
    std::vector<std::string> names;
    for (std::size_t at = text.find("name=\""); at != std::string::npos; at = text.find("name=\"", at + 1)) {
        names.push_back(text.substr(at + 6, text.find('"', at + 6) - at - 6));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"app[identifier]", "app[name]", "app[source]",
                                               "app[build][libraries][io.zovaze.sdk.ios]"}));
    EXPECT_EQ(text.find("icon"), std::string::npos);
}

} // namespace
