// The real program started in a terminal (tmux) with the SDK's endpoints pointed at a port where nothing
// listens: the catalogue must appear at once, and the SDK only logs its failed settings download.
// Skipped when the program has not been built or tmux is not installed.
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using velotest::readFile;

using velotest::waitUntil;

// A port that takes connections into its backlog and never says a word: a settings server that hangs.
class SilentPort {
  public:
    SilentPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 16);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentPort() { ::close(fd_); }
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(SDKLaunch, AHangingSettingsServerDoesNotHoldUpTheStart) {
    const std::filesystem::path bundle = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app";
    if (!std::filesystem::exists(bundle / "velomarinth")) GTEST_SKIP() << "the program is not built";
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    SilentPort silent;
    const std::string endpoint = "https://127.0.0.1:" + std::to_string(silent.port());
    const velotest::TempFolder folder;
    const std::filesystem::path& home = folder.path();
    velotest::Tmux tmux("zov-hang");
    const std::string command = "env VELOMARINTH_HOME=" + home.string() + " " +
                                velotools::loopbackServerWords() + " SettingsEndpoint=" + endpoint +
                                " TERM=xterm-256color " + (bundle / "velomarinth").string();
    tmux.start(command);
    // The settings request never gets its answer: the screen shows all the same.
    EXPECT_TRUE(waitUntil([&] { return tmux.shows("SWIFT BASICS"); }));
    // The request is still waiting for its answer: nothing failed, nothing was cached.
    const auto sandbox = home / "com.velomarinth.swift";
    EXPECT_EQ(readFile(sandbox / "Library" / "Logs" / "console.log").find("failed to download settings"),
              std::string::npos);
    tmux.keys("C-c");
    EXPECT_TRUE(waitUntil([&] { return tmux.shows("PROGRAM-ENDED"); }))
        << "quitting must not wait for the SDK's request";
}

TEST(SDKLaunch, AppStartsAtOnceAndTheSDKOnlyLogsWhenNoServerAnswers) {
    const std::filesystem::path bundle = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app";
    if (!std::filesystem::exists(bundle / "velomarinth")) GTEST_SKIP() << "the program is not built";
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    const velotest::TempFolder folder;
    const std::filesystem::path& home = folder.path();
    velotest::Tmux tmux("zov-launch");
    const std::string command = "env VELOMARINTH_HOME=" + home.string() + " " +
                                velotools::loopbackServerWords() +
                                ""
                                " SettingsEndpoint=https://127.0.0.1:9 ConfigureEndpoint=https://127.0.0.1:9"
                                " TERM=xterm-256color " +
                                (bundle / "velomarinth").string();
    tmux.start(command);
    EXPECT_TRUE(waitUntil([&] { return tmux.shows("SWIFT BASICS"); }));

    const auto sandbox = home / "com.velomarinth.swift";
    const auto log = sandbox / "Library" / "Logs" / "console.log";
    EXPECT_TRUE(waitUntil(
        [&] { return readFile(log).find("[Zovaze] failed to download settings ") != std::string::npos; }));
    const std::string text = readFile(log);
    std::ifstream iconFile(bundle / "AppIcon60x60@2x.png", std::ios::binary);
    const std::vector<std::uint8_t> icon{std::istreambuf_iterator<char>(iconFile), {}};
    EXPECT_NE(
        text.find(
            "https://127.0.0.1:9/spi/v2/platforms/ios/apps/com.velomarinth.swift/settings?build_version=1"
            "&display_version=1.0.0&instance="),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("&icon_hash=" + ZOVSHA1HexFromData(icon) + "&source="), std::string::npos) << text;
    // The installation identifier was kept; no settings were cached.
    EXPECT_TRUE(std::filesystem::exists(sandbox / "Library" / "Application Support" / "com.zevuzavidav" /
                                        "ZEVUserDefaults.plist"));
    EXPECT_FALSE(std::filesystem::exists(sandbox / "Library" / "Caches" / "io.zovaze.sdk.ios.data" /
                                         "com.velomarinth.swift" / "settings.json"));

    tmux.keys("C-c");
    EXPECT_TRUE(waitUntil([&] { return tmux.shows("PROGRAM-ENDED"); }));
}

} // namespace
