// The whole road in the program a person runs: tmux runs the test-only build (the real crash kit, started
// by the app's own start, with the hooks of tests/support/CrashKitHooks.cpp). The first run writes
// through a null pointer on its main thread; the second, pointed at a local HTTPS server whose root it
// pins, sends that crash while its first screen is up, or, when the server settings ask for the prompt,
// once the person has answered "Send Crash Report?" in the terminal. Skipped when the program has not
// been built or tmux is not installed.
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

using reporttest::parseMultipart;
using velotest::quote;
namespace fs = std::filesystem;
using reporttest::entries;

struct RunCase {
    const char* name;
    bool prompt;
    const char* answer; // tmux keys that answer the prompt
    bool sent;
};

class CrashRoadEndToEnd : public ::testing::TestWithParam<RunCase> {};

TEST_P(CrashRoadEndToEnd, TheNextRunOfTheProgramSendsTheCrashOfTheLastOne) {
    const RunCase& run = GetParam();
    fs::path program = std::string(VELO_BINARY_DIR) + "/test-bundles/crashkit/Swift.app/velomarinth";
    if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    reporttest::ReportServer server;
    velotest::TempFolder home;
    const std::string environment =
        "VELOMARINTH_HOME=" + quote(home.path().string()) + " " + velotools::loopbackServerWords() +
        ""
        " SettingsEndpoint=https://127.0.0.1:9"
        " ZevuzavidavReportsEndpoint=" +
        quote(server.base()) +
        " VELOMARINTH_TEST_PINNED_ROOTS=" + quote(std::getenv("VELOMARINTH_TEST_PINNED_ROOTS"));
    const fs::path tree =
        home.path() / "com.velomarinth.swift/Library/Caches/com.zevuzavidav.data/com.velomarinth.swift/v3";

    std::string crashed;
    {
        velotest::Tmux first("velo-road-e2e-first");
        first.start("env " + environment + " VELOMARINTH_TEST_NULL_WRITE=1 " + quote(program.string()));
        first.waitFor("PROGRAM-ENDED");
        auto active = entries(tree / "active");
        ASSERT_EQ(active.size(), 1u);
        crashed = active[0];
        ASSERT_TRUE(fs::exists(tree / "active" / crashed / "mach_exception.zevrecord"));
    }
    EXPECT_TRUE(server.requests().empty());

    if (run.prompt) {
        // Server settings an earlier run cached, which the next start takes.
        auto cache =
            home.path() / "com.velomarinth.swift/Library/Caches/io.zovaze.sdk.ios.data/com.velomarinth.swift";
        fs::create_directories(cache);
        std::ofstream(cache / "settings.json") << R"({"features":{"prompt_enabled":true}})";
    }
    velotest::Tmux second("velo-road-e2e-second");
    second.start("env " + environment + " " + quote(program.string()));
    second.waitFor("SWIFT BASICS");
    if (run.prompt) {
        second.waitFor("the prompt and its buttons", [](const std::string& shown) {
            return shown.find("Send Crash Report?") != std::string::npos &&
                   shown.find("[ Don't Send ] [ Send ] [ Always Send ]") != std::string::npos;
        });
        EXPECT_TRUE(server.requests().empty());
        second.keys(run.answer);
    }
    if (!run.sent) {
        ASSERT_TRUE(velotest::waitUntil([&] { return entries(tree / "active").size() == 1; }));
        EXPECT_NE(entries(tree / "active")[0], crashed);
        EXPECT_TRUE(server.requests().empty());
        return;
    }
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(velotest::waitUntil([&] { return entries(tree / "prepared").empty(); }));
    second.keys("q");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/sdk-api/v1/platforms/ios/apps/com.velomarinth.swift/reports");
    EXPECT_EQ(requests[0].header("X-Zevuzavidav-API-Key"), "5d8b3f0e2a7c49e1b6d04f8a3c9e7b2d1f6a0c84");
    std::string type = requests[0].header("Content-Type");
    auto body = parseMultipart(requests[0].body, type.substr(type.find("boundary=") + 9));
    std::map<std::string, std::string> parts;
    for (const auto& part : body.parts)
        parts[part.name] = part.data;
    EXPECT_EQ(parts["report_id"], crashed);
    EXPECT_EQ(parts.count("mach_exception"), 1u);
    ASSERT_EQ(parts.count("mach_exception.zevrecord"), 1u) << "no symbolicated crash file";
    // The fault came from the program's own code on its main thread: the crashed thread's symbolicated
    // stack names the faulting function first and main further out.
    const auto raw = reporttest::gunzip(parts["mach_exception"]);
    const auto symbolicated = reporttest::gunzip(parts["mach_exception.zevrecord"]);
    ASSERT_TRUE(raw && symbolicated);
    std::optional<std::size_t> crashedThread;
    std::istringstream lines(*raw);
    for (std::string line; std::getline(lines, line);) {
        auto section = nlohmann::json::parse(line, nullptr, false);
        if (!section.is_object() || !section.contains("threads")) continue;
        for (std::size_t i = 0; i < section["threads"].size(); ++i)
            if (section["threads"][i].value("crashed", false)) crashedThread = i;
    }
    ASSERT_TRUE(crashedThread);
    const auto threads = nlohmann::json::parse(*symbolicated, nullptr, false)["threads"];
    ASSERT_GT(threads.size(), *crashedThread);
    std::vector<std::string> symbols;
    for (const auto& frame : threads[*crashedThread])
        symbols.push_back(frame["symbol"].is_string() ? frame["symbol"].get<std::string>() : "?");
    ASSERT_FALSE(symbols.empty());
    EXPECT_EQ(symbols.front(), "velotest::writeThroughNull()") << ::testing::PrintToString(symbols);
    EXPECT_NE(std::find(symbols.begin(), symbols.end(), "main"), symbols.end())
        << ::testing::PrintToString(symbols);
    auto active = entries(tree / "active");
    ASSERT_EQ(active.size(), 1u);
    EXPECT_NE(active[0], crashed);
}

INSTANTIATE_TEST_SUITE_P(CrashRuns, CrashRoadEndToEnd,
                         ::testing::Values(RunCase{"WithoutPrompt", false, "", true},
                                           RunCase{"PromptAnsweredSend", true, "Right Enter", true},
                                           RunCase{"PromptAnsweredDontSend", true, "Escape", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
