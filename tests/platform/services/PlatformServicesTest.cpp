#include "platform/services/DeviceInfo.hpp"
#include "platform/services/Executor.hpp"
#include "platform/services/FakeAudioSession.hpp"
#include "platform/services/FakeURLOpener.hpp"
#include "platform/services/FakeVideoStreamClient.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/services/VideoStreamClient.hpp"

#include "PrivatePath.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/utsname.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

TEST(VideoStream, LinuxClientAnswersTheWebPageOfAVideoIdOnTheExecutor) {
    struct Case {
        std::string id;
        std::optional<std::string> address;
    } cases[] = {
        {"-Q2_8ZZ-KMs", "https://www.youtube.com/watch?v=-Q2_8ZZ-KMs"},
        {"", std::nullopt},
        {"a b", std::nullopt},
        {"x&list=1", std::nullopt},
        {std::string(65, 'a'), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        int delivered = 0;
        svc::ScopedOverride executor(svc::setCallbackExecutor, [&](svc::Task t) {
            ++delivered;
            t();
        });
        std::optional<svc::StreamURLs> urls;
        std::optional<ns::Error> error;
        svc::LinuxVideoStreamClient().getVideo(c.id, [&](auto u, auto e) {
            urls = std::move(u);
            error = std::move(e);
        });
        EXPECT_EQ(delivered, 1);
        if (c.address) {
            ASSERT_TRUE(urls);
            EXPECT_EQ(*urls, (svc::StreamURLs{{svc::videoQualityHTTPLiveStreaming, *c.address}}));
            EXPECT_FALSE(error);
        } else {
            EXPECT_FALSE(urls);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain(), svc::videoStreamErrorDomain);
            EXPECT_EQ(error->code(), static_cast<long>(svc::VideoStreamErrorCode::noStreams));
        }
    }
}

TEST(VideoStream, FakeRecordsAndAnswersOnce) {
    svc::FakeVideoStreamClient fake;
    std::optional<svc::StreamURLs> got;
    fake.getVideo("id1", [&](auto u, auto) { got = u; });
    EXPECT_EQ(fake.requestedIdentifiers(), (std::vector<std::string>{"id1"}));
    EXPECT_TRUE(fake.answer(0, svc::StreamURLs{{svc::videoQualityHTTPLiveStreaming, "https://x/m3u8"}},
                            std::nullopt));
    EXPECT_FALSE(fake.answer(0, std::nullopt, std::nullopt));
    EXPECT_FALSE(fake.answer(1, std::nullopt, std::nullopt));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->at("HTTPLiveStreaming"), "https://x/m3u8");
}

TEST(AudioSession, LinuxAcceptsCategoriesAndDoubleCanFail) {
    svc::LinuxAudioSession session;
    EXPECT_FALSE(session.category());
    EXPECT_TRUE(session.setCategory(svc::audioSessionCategoryAmbient));
    EXPECT_EQ(session.category(), "AVAudioSessionCategoryAmbient");
    EXPECT_FALSE(session.setCategory(""));
    EXPECT_EQ(session.category(), "AVAudioSessionCategoryAmbient");

    svc::FakeAudioSession fake;
    fake.setFailure(ns::Error::make(svc::audioSessionErrorDomain, 561017449, "busy"));
    auto r = fake.setCategory(svc::audioSessionCategoryAmbient);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code(), 561017449);
    EXPECT_FALSE(fake.category());
    EXPECT_EQ(fake.requestedCategories(), (std::vector<std::string>{"AVAudioSessionCategoryAmbient"}));
}

// Runs with PATH pointing at a folder of our own, so the real xdg-open is never started.
class URLOpenerViaXdgOpen : public ::testing::Test {
  protected:
    void installOpener() {
        path_.installScript("xdg-open", "printf '%s' \"$1\" > \"" + (dir_ / "opened").string() + "\"\n");
    }
    std::string opened() {
        // The shell creates the file before printf fills it: wait for the content, not the name.
        const fs::path file = dir_ / "opened";
        std::error_code ec;
        velotest::eventually([&] { return fs::exists(file, ec) && fs::file_size(file, ec) > 0; },
                             std::chrono::milliseconds(10));
        std::ifstream in(dir_ / "opened");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    PrivatePath path_;
    const fs::path& dir_ = path_.dir();
};

TEST_F(URLOpenerViaXdgOpen, FalseWithoutXdgOpen) {
    EXPECT_FALSE(svc::XdgURLOpener().openURL("https://example.com"));
}

TEST_F(URLOpenerViaXdgOpen, PassesTheAddressAsOneArgumentWithoutAShell) {
    installOpener();
    const std::string url = "https://example.com/a b?x=1&y=$(touch pwned);`id`";
    EXPECT_TRUE(svc::XdgURLOpener().openURL(url));
    EXPECT_EQ(opened(), url);
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
}

TEST_F(URLOpenerViaXdgOpen, RefusesAddressesThatLookLikeOptions) {
    installOpener();
    EXPECT_FALSE(svc::XdgURLOpener().openURL("--help"));
    EXPECT_FALSE(svc::XdgURLOpener().openURL(""));
}

TEST(URLOpenerDouble, RecordsAndAnswers) {
    auto fake = std::make_shared<svc::FakeURLOpener>();
    svc::ScopedOverride installed(svc::setSharedURLOpener, fake);
    EXPECT_TRUE(svc::sharedURLOpener()->openURL("itms-apps://x"));
    fake->setResult(false);
    EXPECT_FALSE(svc::sharedURLOpener()->openURL("mailto:a@b"));
    EXPECT_EQ(fake->openedURLs(), (std::vector<std::string>{"itms-apps://x", "mailto:a@b"}));
}

TEST(DeviceInfo, MachineIdentifierIsUnameMachineAndCanBeOverridden) {
    struct utsname info {};
    ASSERT_EQ(::uname(&info), 0);
    EXPECT_EQ(svc::deviceMachineIdentifier(), info.machine);
    {
        svc::ScopedOverride machine(svc::setDeviceMachineIdentifierOverride, "iPhone6,1");
        EXPECT_EQ(svc::deviceMachineIdentifier(), "iPhone6,1");
    }
    EXPECT_EQ(svc::deviceMachineIdentifier(), info.machine);
}

} // namespace
