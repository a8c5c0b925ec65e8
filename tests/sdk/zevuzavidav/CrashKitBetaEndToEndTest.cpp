// A test build of the app is offered its newer build, in the program a person runs: tmux runs the
// test-only program from a bundle whose Info.plist says "ZevuzavidavSignedForDistribution", with the
// font "Zevuzavidav" (its 'CRSH' table holds "ABCDE") the only font fontconfig knows, and the SDK's
// settings and beta endpoints on a local HTTPS server whose root the program pins. Once the settings
// arrive the kit's beta controller asks for an update with the font's token, the terminal shows "New
// Build Available", and Install hands the URL to the desktop (a stand-in xdg-open that notes it).
// Skipped when the program has not been built or tmux is not installed.
#include "tests/sdk/zevuzavidav/support/FontFolder.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using velotest::readFile;

using velotest::quote;
namespace fs = std::filesystem;

const char* const kBetaCheckPath = "/spi/v2/platforms/ios/apps/com.velomarinth.swift/beta_update_check";

TEST(CrashKitBetaEndToEnd, ATestBuildIsOfferedItsUpdateAndInstallOpensIt) {
    const fs::path program = std::string(VELO_BINARY_DIR) + "/test-bundles/crashkit/Swift.app/velomarinth";
    if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    reporttest::ReportServer server([](const reporttest::Request& request, std::size_t) {
        reporttest::Answer answer;
        if (request.target.rfind(kBetaCheckPath, 0) == 0)
            answer.body =
                R"json({"url": "https://beta.example.com/install/7", "version_string": "1.1 (7)"})json";
        else
            answer.body = R"({"app": {"status": "activated"}})";
        return answer;
    });
    velotest::TempFolder folder;

    // The Swift bundle, signed for distribution.
    const fs::path bundle = folder.path() / "Beta.app";
    fs::create_directories(bundle);
    fs::copy_file(program, bundle / "velomarinth");
    const fs::path swift = fs::path(VELO_SOURCE_DIR) / "app/bundles/Swift";
    for (const char* icon : {"AppIcon60x60.png", "AppIcon60x60@2x.png"})
        fs::copy_file(swift / icon, bundle / icon);
    std::string info = readFile(swift / "Info.plist");
    const auto end = info.rfind("</dict>");
    ASSERT_NE(end, std::string::npos);
    info.insert(end, "\t<key>ZevuzavidavSignedForDistribution</key>\n\t<true/>\n");
    std::ofstream(bundle / "Info.plist") << info;

    // The desktop's opener, as far as the test needs one: it notes the address.
    const fs::path bin = folder.path() / "bin";
    const fs::path opened = folder.path() / "opened";
    fs::create_directories(bin);
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho \"$1\" > " << quote(opened.string()) << "\n";
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);

    reporttest::FontFolder fonts("beta-token.ttf");
    const std::string command =
        "env PATH=" + quote(bin.string()) +
        ":\"$PATH\" FONTCONFIG_FILE=" + quote(fonts.configFile().string()) +
        " VELOMARINTH_HOME=" + quote((folder.path() / "home").string()) + " " +
        velotools::loopbackServerWords() + " SettingsEndpoint=" + server.base() +
        " ZevuzavidavBetaEndpoint=" + server.base() +
        " VELOMARINTH_TEST_PINNED_ROOTS=" + quote(std::getenv("VELOMARINTH_TEST_PINNED_ROOTS")) + " " +
        quote((bundle / "velomarinth").string());
    velotest::Tmux tmux("velo-kit-beta-e2e");
    tmux.start(command);

    // The alert whole: its title, its message (the alert's width breaks it after "for"), the new
    // version and its buttons.
    tmux.waitFor("the whole update alert", [](const std::string& shown) {
        for (const char* part : {"New Build Available", "A new version of Velomarinth Swift is available for",
                                 "testing.", "1.1 (7)", "[ Cancel ] [ Install ]"})
            if (shown.find(part) == std::string::npos) return false;
        return true;
    });

    std::vector<reporttest::Request> checks;
    for (const auto& request : server.requests())
        if (request.target.rfind(kBetaCheckPath, 0) == 0) checks.push_back(request);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].method, "GET");
    EXPECT_EQ(checks[0].header("X-Zevuzavidav-Beta-Token"), "2:ABCDE");
    EXPECT_NE(checks[0].target.find("&source=3"), std::string::npos) << checks[0].target;

    tmux.keys("Right Enter");
    EXPECT_TRUE(velotest::waitUntil([&] {
        return readFile(opened) == "https://beta.example.com/install/7\n";
    })) << readFile(opened)
        << "\n"
        << tmux.screen();
    // The address can reach the desktop before the screen without the alert is drawn.
    EXPECT_TRUE(velotest::waitUntil([&] { return !tmux.shows("New Build Available"); })) << tmux.screen();
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");
}

} // namespace
