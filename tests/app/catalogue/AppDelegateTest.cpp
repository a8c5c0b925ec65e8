#include "app/catalogue/AppDelegate.hpp"
#include "app/catalogue/BackendSettings.hpp"
#include "app/catalogue/Describe.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/services/FakeBackendClient.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct Launch {
    std::shared_ptr<svc::FakeBackendClient> backend = std::make_shared<svc::FakeBackendClient>();
    std::vector<std::vector<std::string>> sdkStarts;
    AppDelegate delegate{backend,
                         [this](const std::vector<std::string>& kits) { sdkStarts.push_back(kits); }};
};

// The SDK starts once the backend is ready and before the installation is saved; launching does not
// wait for the save.
TEST(AppDelegate, StartsBackendThenSDKThenSavesTheInstallationAndGoesOn) {
    auto backend = std::make_shared<svc::FakeBackendClient>();
    std::vector<std::vector<std::string>> sdkStarts;
    int initializedBeforeSDK = -1;
    std::size_t savesBeforeSDK = 99;
    AppDelegate delegate(backend, [&](const std::vector<std::string>& kits) {
        sdkStarts.push_back(kits);
        initializedBeforeSDK = backend->initializeCount();
        savesBeforeSDK = backend->saveRequests().size();
    });
    EXPECT_TRUE(delegate.application(ui::Application::shared(), {}));
    EXPECT_EQ(sdkStarts, (std::vector<std::vector<std::string>>{{"Zevuzavidav"}}));
    EXPECT_EQ(initializedBeforeSDK, 1);
    EXPECT_EQ(savesBeforeSDK, 0u);
    EXPECT_EQ(backend->initializeCount(), 1);
    auto saves = backend->saveRequests();
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_TRUE(saves[0].installation);
    EXPECT_FALSE(saves[0].completed);
}

TEST(AppDelegate, InstallationSaveOutcomeIsOneConsoleLine) {
    struct Case {
        bool succeeded;
        std::optional<ns::Error> error;
        std::string line;
    } cases[] = {
        {true, std::nullopt, "You have successfully connected your app to Back4App!"},
        {false, ns::Error::make(svc::backendErrorDomain, 2, "Could not reach the backend"),
         "Could not reach the backend"},
        {false, std::nullopt, "Uknown error"},
    };
    for (const auto& c : cases) {
        Launch launch;
        launch.delegate.application(ui::Application::shared(), {});
        ns::ConsoleCapture console;
        ASSERT_TRUE(launch.backend->completeSave(0, c.succeeded, c.error));
        EXPECT_EQ(console.lines(), std::vector<std::string>{c.line});
    }
}

TEST(AppDelegate, WithoutAnInstallationNothingIsSavedAndLaunchingStillSucceeds) {
    Launch launch;
    launch.backend->setCurrentInstallation(std::nullopt);
    EXPECT_TRUE(launch.delegate.application(ui::Application::shared(), {}));
    EXPECT_TRUE(launch.backend->saveRequests().empty());
}

TEST(BackendSettings, TheEnvironmentOverridesTheCompiledValues) {
    ::unsetenv("VELOMARINTH_BACKEND_SERVER");
    ::setenv("VELOMARINTH_BACKEND_APP_ID", "local-app", 1);
    ::setenv("VELOMARINTH_BACKEND_CLIENT_KEY", "", 1); // empty counts as unset
    auto configuration = backend::configuration();
    ::unsetenv("VELOMARINTH_BACKEND_APP_ID");
    ::unsetenv("VELOMARINTH_BACKEND_CLIENT_KEY");
    EXPECT_EQ(configuration.applicationId, "local-app");
    EXPECT_EQ(configuration.clientKey, backend::clientKey);
    EXPECT_EQ(configuration.server, backend::server);
}

TEST(Describe, ValuesPrintAsTheAppsDiagnosticsAlwaysHave) {
    EXPECT_EQ(describeList({}), "[]");
    EXPECT_EQ(describeList({"lessonZero", "say \"hi\"\\"}), R"(["lessonZero", "say \"hi\"\\"])");
    EXPECT_EQ(describeOptionalList(std::nullopt), "nil");
    EXPECT_EQ(describeOptionalList(std::vector<std::string>{"a"}), R"(Optional(["a"]))");
    EXPECT_EQ(describeOptionalText(std::nullopt), "nil");
    EXPECT_EQ(describeOptionalText(std::string(R"(say "hi"\)")), R"(Optional("say \"hi\"\\"))");
    EXPECT_EQ(describeFloat(0.0f), "0.0");
    EXPECT_EQ(describeFloat(1.0f), "1.0");
    EXPECT_EQ(describeFloat(0.15f), "0.15");
    EXPECT_EQ(describeFloat(1.0f / 3.0f), "0.33333334");
    EXPECT_EQ(describeDouble(187.5), "187.5");
    EXPECT_EQ(describeDouble(375.0), "375.0");
}

} // namespace
