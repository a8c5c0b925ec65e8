// Crash-reporting settings: the local switches and endpoints (environment > Info.plist > default), the
// server switches and limits with their defaults, and the prompt texts.
#include "sdk/zevuzavidav/settings/ZEVSettings.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "tests/support/SDKHome.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace {

using nlohmann::json;

ZEVSettings settingsFrom(const char* text) {
    return ZEVSettings(std::make_shared<const json>(json::parse(text)));
}

// Each server value falls back to its own default when its key, its section or the whole document is
// missing; a present value counts even when zero or false; odd values give the default or are clamped.
TEST(ReportSettingsServer, ValuesAndTheirDefaults) {
    struct Row {
        const char* document; // nullptr: no document at all
        bool errors, crashes, prompt;
        std::uint32_t logBuffer, maxExceptions, maxKeys;
        double suspend;
    };
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    const Row rows[] = {
        {nullptr, true, true, false, 65536, 16, 16, 3600},
        {"{}", true, true, false, 65536, 16, 16, 3600},
        {"[1]", true, true, false, 65536, 16, 16, 3600},
        {R"({"features":{"collect_logged_exceptions":false,"collect_reports":false,"prompt_enabled":true},
            "session":{"log_buffer_size":0,"max_custom_exception_events":3,"max_custom_key_value_pairs":0},
            "beta":{"update_suspend_duration":12.5}})",
         false, false, true, 0, 3, 0, 12.5},
        {R"({"features":{"collect_logged_exceptions":0},"session":{}})", false, true, false, 65536, 16, 16,
         3600},
        {R"({"features":{"collect_reports":{"x":1},"prompt_enabled":"yes"},
            "session":{"log_buffer_size":-5,"max_custom_exception_events":1e12,"max_custom_key_value_pairs":"9"},
            "beta":{"update_suspend_duration":"soon"}})",
         true, true, true, 0, kMax, 16, 3600},
    };
    for (const Row& row : rows) {
        const ZEVSettings settings = row.document ? settingsFrom(row.document) : ZEVSettings(nullptr);
        SCOPED_TRACE(row.document ? row.document : "(none)");
        EXPECT_EQ(settings.errorReportingEnabled(), row.errors);
        EXPECT_EQ(settings.crashReportingEnabled(), row.crashes);
        EXPECT_EQ(settings.userPromptEnabled(), row.prompt);
        EXPECT_EQ(settings.logBufferSize(), row.logBuffer);
        EXPECT_EQ(settings.maxCustomExceptions(), row.maxExceptions);
        EXPECT_EQ(settings.maxCustomKeys(), row.maxKeys);
        EXPECT_EQ(settings.betaSuspendDuration(), row.suspend);
    }
}

struct TextCase {
    const char* text;
    bool value;
};

class ReportSettingsText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ReportSettingsText, ReadsASwitchFromText) {
    EXPECT_EQ(ZEVSettings::boolFromText(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ReportSettingsText,
                         ::testing::Values(TextCase{"YES", true}, TextCase{"  yes", true},
                                           TextCase{"true", true}, TextCase{"T", true}, TextCase{"1", true},
                                           TextCase{"9lives", true}, TextCase{"NO", false},
                                           TextCase{"0", false}, TextCase{"false", false},
                                           TextCase{"", false}, TextCase{"   ", false},
                                           TextCase{"on", false}));

class ReportSettingsLocal : public ::testing::Test {
  protected:
    explicit ReportSettingsLocal(ns::PropertyList::Dictionary local = {{"SubmitReports", true},
                                                                       {"PackageReports", false},
                                                                       {"ReportsEndpoint",
                                                                        "https://plist.example"}})
        : home({{"CFBundleIdentifier", "com.example.app"}, {"Zevuzavidav", std::move(local)}}) {}
    zovtest::SDKHome home;
    ZEVSettings settings{nullptr};
};

TEST_F(ReportSettingsLocal, TheInfoPlistBeatsTheDefaultsOnlyForItsOwnKeys) {
    EXPECT_TRUE(settings.shouldSubmitReports());
    EXPECT_FALSE(settings.shouldPackageReports());
    EXPECT_TRUE(settings.canProcessUrgentReports());
    EXPECT_EQ(settings.reportsEndpoint(), "https://plist.example");
    EXPECT_EQ(settings.betaEndpoint(), ZEVSettings::defaultBetaEndpoint);
}

TEST_F(ReportSettingsLocal, TheEnvironmentBeatsTheInfoPlistAndIsLoggedEveryTime) {
    ns::ConsoleCapture console;
    zovtest::ScopedEnvironment submit("ZevuzavidavSubmitReports", "NO");
    zovtest::ScopedEnvironment endpoint("ZevuzavidavReportsEndpoint", "https://127.0.0.1:9");
    EXPECT_FALSE(settings.shouldSubmitReports());
    EXPECT_FALSE(settings.shouldSubmitReports());
    EXPECT_EQ(settings.reportsEndpoint(), "https://127.0.0.1:9");
    EXPECT_EQ(console.count("[Zevuzavidav:Crash] override: 'SubmitReports' => 'NO'"), 2u);
    EXPECT_EQ(console.count("[Zevuzavidav:Crash] override: 'ReportsEndpoint' => 'https://127.0.0.1:9'"), 1u);
    EXPECT_EQ(ZEVSettings::valueForConfigurationKey("SubmitReports"), ns::PropertyList("NO"));
}

TEST(ReportSettingsDefaults, WithoutAnyConfigurationEverySwitchIsOnAndEndpointsAreHttps) {
    zovtest::SDKHome home({{"CFBundleIdentifier", "com.example.app"}});
    EXPECT_FALSE(ZEVSettings::configuration().has_value());
    ZEVSettings settings(nullptr);
    EXPECT_TRUE(settings.shouldPackageReports());
    EXPECT_TRUE(settings.shouldSubmitReports());
    EXPECT_TRUE(settings.canProcessUrgentReports());
    EXPECT_EQ(settings.reportsEndpoint().rfind("https://", 0), 0u);
    EXPECT_EQ(settings.betaEndpoint().rfind("https://", 0), 0u);
}

TEST(ReportSettingsBundles, EveryEditionReportsAndChecksBetaOverHttps) {
    for (const char* edition : {"Swift", "ZovudERO", "Cpp", "SwiftUI"}) {
        ns::Bundle::setMainBundlePath(std::string(VELO_SOURCE_DIR) + "/app/bundles/" + edition);
        ASSERT_TRUE(ZEVSettings::configuration().has_value()) << edition;
        ZEVSettings settings(nullptr);
        EXPECT_EQ(settings.reportsEndpoint(), ZEVSettings::defaultReportsEndpoint) << edition;
        EXPECT_EQ(settings.betaEndpoint(), ZEVSettings::defaultBetaEndpoint) << edition;
        EXPECT_TRUE(settings.shouldPackageReports() && settings.shouldSubmitReports()) << edition;
    }
    ns::Bundle::setMainBundlePath({});
}

TEST(ReportSettingsPrompt, TheStringsTableBeatsTheServerWhichBeatsTheDefault) {
    zovtest::SDKHome home({{"CFBundleIdentifier", "com.example.app"}});
    auto settings = settingsFrom(R"({"prompt":{"title":"Server title","send_button_title":"Server send"}})");
    EXPECT_EQ(settings.interactivePromptTitle(), "Server title");
    EXPECT_EQ(settings.interactivePromptSendTitle(), "Server send");
    EXPECT_EQ(settings.interactivePromptMessage(),
              "Looks like we crashed! Please help us fix the problem by sending a crash report.");
    EXPECT_EQ(settings.interactivePromptCancelTitle(), "Don't Send");
    EXPECT_EQ(ZEVSettings(nullptr).interactivePromptAlwaysSendTitle(), "Always Send");
    EXPECT_EQ(ZEVSettings(nullptr).interactivePromptTitle(), "Send Crash Report?");

    ns::PropertyList::Dictionary table{{"ZevuzavidavCrashSubmissionPromptTitle", "Bericht senden?"}};
    home.bundle().writeFile(
        "Base.lproj/Zevuzavidav.strings",
        ns::writePropertyList(ns::PropertyList(table), ns::PropertyListFormat::binary).value());
    EXPECT_EQ(settings.interactivePromptTitle(), "Bericht senden?");
    EXPECT_EQ(settings.interactivePromptSendTitle(), "Server send");
}

} // namespace
