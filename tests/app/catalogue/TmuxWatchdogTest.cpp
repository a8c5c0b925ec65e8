// A test process killed while it drives a program under tmux (at ctest's timeout, say) leaves nothing
// behind: its watchdog ends the server and what runs in its window, and removes the server's socket
// and the test's temporary folders.
#include "tests/support/FreshProcess.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kDoomedVariable = "VELO_TEST_TMUX_DOOMED";

// Whether `pid` is a process that has not ended (a zombie has).
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// In the process to be killed: a folder of the test's, a server with a window, and what a watcher needs
// to know said on standard output, one "key: value" a line; then it waits to be killed.
[[noreturn]] void playTheKilledTest() {
    velotest::TempFolder folder("velo-doomed");
    velotest::Tmux tmux("velo-doomed-tmux");
    // A program that runs until it is killed: cat on the terminal waits for input that never comes.
    tmux.start("cat");
    tmux.waitFor("");
    std::printf("folder: %s\nsocket: %s\nserver: %s\npane: %s\nready: yes\n", folder.string().c_str(),
                tmux.format("#{socket_path}").c_str(), tmux.format("#{pid}").c_str(),
                tmux.format("#{pane_pid}").c_str());
    std::fflush(stdout);
    for (;;)
        ::pause();
}

TEST(TmuxWatchdog, AKilledTestLeavesNoServerSocketOrFolderBehind) {
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";
    if (std::getenv(kDoomedVariable) != nullptr) playTheKilledTest();

    const auto [child, output] = velotest::startThisTestAnew(kDoomedVariable, "yes");
    ASSERT_GE(child, 0);
    std::map<std::string, std::string> said;
    std::string text;
    char buffer[4096];
    while (!said.count("ready") && velotest::readableWithin(output, velotest::kPatience)) {
        const ssize_t got = ::read(output, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (const auto colon = line.find(": "); colon != std::string::npos)
                said[line.substr(0, colon)] = line.substr(colon + 2);
    }
    ::close(output);
    ::kill(child, SIGKILL);
    velotest::reapWithin(child);
    ASSERT_TRUE(said.count("ready")) << "the killed test never got its server going; it said:\n" << text;
    const std::filesystem::path folder = said["folder"], socket = said["socket"];
    const pid_t server = std::stoi(said["server"]), pane = std::stoi(said["pane"]);
    ASSERT_FALSE(folder.empty());
    ASSERT_FALSE(socket.empty());

    EXPECT_TRUE(velotest::eventually([&] { return !std::filesystem::exists(folder); }))
        << "the test's folder is left: " << folder;
    EXPECT_TRUE(velotest::eventually([&] { return !std::filesystem::exists(socket.parent_path()); }))
        << "the server's socket is left: " << socket;
    EXPECT_TRUE(velotest::eventually([&] { return !running(server); })) << "the tmux server runs on";
    EXPECT_TRUE(velotest::eventually([&] { return !running(pane); })) << "the window's program runs on";
}

} // namespace
