// The shipped program (the Swift bundle, run in tmux) with its servers pointed at hostile ones. Every
// endpoint is a loopback server that redirects to a plain-HTTP host name: over two launches, with a
// crash between them so the second one has a report to send, nothing reaches that host, the report
// waits for a later launch, and the app stays usable. A settings download still running when the app
// is killed leaves nothing in tmp/ after the next start. Skipped when the program has not been built
// or tmux is not installed.
#include "tests/support/Files.hpp"
#include "tests/support/HostileServer.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace {

using velotest::readFile;

namespace fs = std::filesystem;
using velotest::HostileServer;
using velotest::quote;
using velotest::waitUntil;

std::size_t filesIn(const fs::path& folder) {
    std::error_code ignored;
    std::size_t count = 0;
    for (fs::directory_iterator entry(folder, ignored), end; !ignored && entry != end;
         entry.increment(ignored))
        ++count;
    return count;
}

class HostileEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(bundle_ / "velomarinth")) GTEST_SKIP() << "the program is not built";
        if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";
    }

    // Starts the program on the test's home with these servers; its process id lands in `pid`.
    void launch(velotest::Tmux& tmux, const std::string& settings, const std::string& others) {
        tmux.start("sh -c " +
                   quote("echo $$ > " + quote(pidFile().string()) + "; exec env VELOMARINTH_HOME=" +
                         quote(home_.path().string()) + " " + velotools::loopbackServerWords() +
                         " VELOMARINTH_BACKEND_SERVER=" + others + "/parse SettingsEndpoint=" + settings +
                         " ConfigureEndpoint=" + others + " ZevuzavidavReportsEndpoint=" + others +
                         " TERM=xterm-256color " + quote((bundle_ / "velomarinth").string())));
    }
    pid_t pid() const {
        std::ifstream in(pidFile());
        pid_t pid = 0;
        in >> pid;
        return pid;
    }
    fs::path pidFile() const { return home_.path() / "pid"; }
    fs::path sandbox() const { return home_.path() / "com.velomarinth.swift"; }
    fs::path prepared() const {
        return sandbox() / "Library" / "Caches" / "com.zevuzavidav.data" / "com.velomarinth.swift" / "v3" /
               "prepared";
    }

    const fs::path bundle_ = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app";
    velotest::TempFolder home_;
};

TEST_F(HostileEndToEnd, RedirectsToAPlainHttpHostReachNothingAndTheAppStaysUsable) {
    HostileServer target(HostileServer::Behaviour::listen);
    HostileServer bounce(HostileServer::Behaviour::redirect, target.nameURL("/stolen"), 307);

    // The first launch downloads settings through the redirect, then crashes.
    {
        velotest::Tmux tmux("hostile-e2e-1");
        launch(tmux, bounce.url(""), bounce.url(""));
        tmux.waitFor("SWIFT BASICS");
        EXPECT_TRUE(waitUntil([&] { return bounce.connections() >= 1; }));
        ASSERT_GT(pid(), 0);
        ASSERT_EQ(::kill(pid(), SIGSEGV), 0);
        tmux.waitFor("PROGRAM-ENDED");
    }
    // The second one has a report to send: it goes to the redirect too, and stays.
    velotest::Tmux tmux("hostile-e2e-2");
    launch(tmux, bounce.url(""), bounce.url(""));
    tmux.waitFor("SWIFT BASICS");
    EXPECT_TRUE(waitUntil([&] {
        for (const auto& head : bounce.heads())
            if (head.rfind("POST /sdk-api/v1/platforms/ios/apps/com.velomarinth.swift/reports", 0) == 0)
                return true;
        return false;
    })) << readFile(sandbox() / "Library" / "Logs" / "console.log")
        << tmux.screen();
    EXPECT_TRUE(waitUntil([&] { return filesIn(prepared()) == 1; })) << "the package waits";

    // Still a working app: a chapter opens, its lessons show, and back.
    tmux.keys("Enter");
    const std::string chapter = tmux.waitFor("COURSE 1");
    EXPECT_NE(chapter.find("COURSE 1"), std::string::npos) << chapter;
    tmux.keys("Escape");
    tmux.waitFor("SWIFT BASICS");
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");

    EXPECT_EQ(target.connections(), 0);
    EXPECT_GE(bounce.connections(), 3); // settings twice, the report once, maybe the backend
    const std::string log = readFile(sandbox() / "Library" / "Logs" / "console.log");
    EXPECT_NE(log.find("App Transport Security"), std::string::npos) << log;
    EXPECT_EQ(filesIn(prepared()), 1u);
}

TEST_F(HostileEndToEnd, ADownloadCutOffByKillingTheAppIsGoneAfterTheNextStart) {
    HostileServer trickle(HostileServer::Behaviour::trickle);
    const fs::path tmp = sandbox() / "tmp";
    {
        velotest::Tmux tmux("hostile-e2e-3");
        launch(tmux, trickle.url(""), "https://127.0.0.1:9");
        tmux.waitFor("SWIFT BASICS");
        ASSERT_TRUE(waitUntil([&] { return filesIn(tmp) == 1 && trickle.bodyBytesSent() > 0; }));
        ASSERT_EQ(::kill(pid(), SIGKILL), 0);
        tmux.waitFor("PROGRAM-ENDED");
    }
    EXPECT_EQ(filesIn(tmp), 1u) << "a kill leaves the download behind";
    velotest::Tmux tmux("hostile-e2e-4");
    launch(tmux, "https://127.0.0.1:9", "https://127.0.0.1:9");
    tmux.waitFor("SWIFT BASICS");
    EXPECT_TRUE(waitUntil([&] { return filesIn(tmp) == 0; }));
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

} // namespace
