// The program a person runs, as built for them (bundles/Swift.app/velomarinth, no test sources): tmux
// runs it, it is killed by SIGSEGV from outside while it waits for a key, and the next launch, pointed
// at a local plain-HTTP report server (the shipped program sends in clear only to a loopback address),
// sends the report. Its symbolicated stacks must name the program's own functions, which only its
// exported symbols make possible; and a launch killed between packaging the report and removing its
// folder must not make the report go twice. Skipped when the program has not been built or tmux is not
// installed.
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using json = nlohmann::json;
using velotest::quote;
namespace fs = std::filesystem;
using reporttest::entries;

class CrashShippedProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
        if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";
    }

    std::string environment() const {
        return "VELOMARINTH_HOME=" + quote(home.path().string()) +
               " VELOMARINTH_BACKEND_SERVER=http://127.0.0.1:9/parse SettingsEndpoint=https://127.0.0.1:9"
               " ZevuzavidavReportsEndpoint=" +
               quote(server.base());
    }
    fs::path tree() const {
        return home.path() /
               "com.velomarinth.swift/Library/Caches/com.zevuzavidav.data/com.velomarinth.swift/v3";
    }

    // A launch killed by SIGSEGV from outside once its first screen is up; its report folder's name.
    std::string crashOnce() {
        const fs::path pidFile = home.path() / "pid";
        velotest::Tmux first("velo-shipped-crash");
        first.start("sh -c " +
                    quote("echo $$ > " + quote(pidFile.string()) + "; exec env " + environment() + " " +
                          quote(program.string())) +
                    "; printf '\\r\\nENDED-BY-%s\\r\\n' $(kill -l $?)");
        first.waitFor("SWIFT BASICS", 20);
        pid_t pid = 0;
        std::ifstream(pidFile) >> pid;
        EXPECT_GT(pid, 0);
        if (pid > 0) {
            EXPECT_EQ(::kill(pid, SIGSEGV), 0);
        }
        const std::string shown = first.waitFor("PROGRAM-ENDED", 20);
        EXPECT_NE(shown.find("ENDED-BY-SEGV"), std::string::npos) << shown;
        auto active = entries(tree() / "active");
        return active.size() == 1 ? active[0] : std::string();
    }

    static std::map<std::string, std::string> partsOf(const reporttest::Request& request) {
        const std::string type = request.header("Content-Type");
        std::map<std::string, std::string> parts;
        for (const auto& part :
             reporttest::parseMultipart(request.body, type.substr(type.find("boundary=") + 9)).parts)
            parts[part.name] = part.data;
        return parts;
    }

    const fs::path program = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app/velomarinth";
    reporttest::ReportServer server{reporttest::ReportServer::PlainHTTP{}};
    velotest::TempFolder home;
};

// The section `name` of a gzip member holding a record file, or null.
json sectionOf(const std::string& member, const char* name) {
    auto text = reporttest::gunzip(member);
    if (!text) return nullptr;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        auto section = json::parse(line, nullptr, false);
        if (section.is_object() && section.contains(name)) return section[name];
    }
    return nullptr;
}

TEST_F(CrashShippedProgram, TheNextLaunchSendsAReportWhoseMainThreadNamesMain) {
    const std::string crashed = crashOnce();
    ASSERT_FALSE(crashed.empty());
    velotest::Tmux second("velo-shipped-send");
    second.start("env " + environment() + " " + quote(program.string()));
    second.waitFor("SWIFT BASICS", 20);
    ASSERT_TRUE(server.waitForRequests(1, 30)) << second.screen();
    ASSERT_TRUE(velotest::waitUntil([&] { return entries(tree() / "prepared").empty(); }, 20));
    second.keys("q");
    second.waitFor("PROGRAM-ENDED", 10);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    // The main thread is the one named after the program; the symbolicated threads are in record order.
    const json names = sectionOf(parts["signal"], "thread_names");
    const json threads = sectionOf(parts["signal.zevrecord"], "threads");
    ASSERT_TRUE(names.is_array() && threads.is_array())
        << "the raw or the symbolicated crash file is missing";
    ASSERT_EQ(names.size(), threads.size());
    const auto main = std::find(names.begin(), names.end(), "velomarinth");
    ASSERT_NE(main, names.end());
    std::vector<std::string> symbols;
    for (const auto& frame : threads[static_cast<std::size_t>(main - names.begin())])
        if (frame["library"] == "velomarinth")
            symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
    EXPECT_NE(std::find(symbols.begin(), symbols.end(), "main"), symbols.end())
        << "the program's frames of the main thread: " << ::testing::PrintToString(symbols);
}

// The launch that sends the report is killed with SIGKILL (by a preloaded rename) the moment the package
// appears in "prepared", before the report's folder in "processing" is removed: the launch after it
// must send the report once in all, not the package and a second packaging of the folder.
TEST_F(CrashShippedProgram, AKillBetweenPackagingAndCleanUpStillSendsTheReportOnce) {
    const std::string crashed = crashOnce();
    ASSERT_FALSE(crashed.empty());
    {
        velotest::Tmux killed("velo-shipped-killed");
        // SIGKILL leaves the terminal raw: the marker starts its own line so that it cannot wrap.
        killed.start("sh -c " +
                     quote("exec env LD_PRELOAD=" + quote(VELO_KILL_AFTER_PACKAGE) + " " + environment() +
                           " " + quote(program.string())) +
                     "; printf '\\r\\nENDED-BY-%s\\r\\n' $(kill -l $?)");
        const std::string shown = killed.waitFor("PROGRAM-ENDED", 20);
        EXPECT_NE(shown.find("ENDED-BY-KILL"), std::string::npos) << shown;
    }
    ASSERT_EQ(entries(tree() / "prepared").size(), 1u);
    ASSERT_EQ(entries(tree() / "processing"), std::vector<std::string>{crashed});
    EXPECT_TRUE(server.requests().empty());

    velotest::Tmux last("velo-shipped-after-kill");
    last.start("env " + environment() + " " + quote(program.string()));
    last.waitFor("SWIFT BASICS", 20);
    ASSERT_TRUE(server.waitForRequests(1, 30)) << last.screen();
    // Both leftovers are dealt with once nothing waits in "prepared" or "processing" any more.
    ASSERT_TRUE(velotest::waitUntil(
        [&] { return entries(tree() / "prepared").empty() && entries(tree() / "processing").empty(); }, 20));
    last.keys("q");
    last.waitFor("PROGRAM-ENDED", 10);
    std::vector<std::string> sent;
    for (const auto& request : server.requests())
        sent.push_back(partsOf(request)["report_id"]);
    EXPECT_EQ(sent, std::vector<std::string>{crashed});
}

} // namespace
