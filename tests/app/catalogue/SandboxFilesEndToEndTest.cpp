// The shipped program (the Swift bundle, run in tmux) on a sandbox whose own contents are hostile:
// links where its folders and log belong, FIFOs where it reads and writes files, a preferences file
// far past any record. Nothing outside the sandbox is touched, nothing blocks the first screen, and
// what cannot be read is set aside with the damaged-record alert. Skipped when the program has not
// been built or tmux is not installed.
#include "EndToEnd.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using velotest::Tmux;
using velotest::waitUntil;

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The sandbox of the Swift edition in `home`, with settings that turn crash reporting off cached where
// the SDK reads them at start (no server is reachable to replace them).
struct Sandbox {
    explicit Sandbox(const fs::path& home) : root(home / "com.velomarinth.swift") {}
    fs::path root;
    fs::path logs() const { return root / "Library" / "Logs"; }
    fs::path reports() const {
        return root / "Library" / "Caches" / "com.zevuzavidav.data" / "com.velomarinth.swift" / "v3";
    }
    fs::path settings() const {
        return root / "Library" / "Caches" / "io.zovaze.sdk.ios.data" / "com.velomarinth.swift" /
               "settings.json";
    }
    fs::path preferences() const { return root / "Library" / "Preferences" / "com.velomarinth.swift.plist"; }
};

std::string command(const fs::path& home) {
    return e2e::command(home, "Swift",
                        "SettingsEndpoint=https://127.0.0.1:9 ConfigureEndpoint=https://127.0.0.1:9");
}

// Starts the program on `home`, waits until the SDK has read the cached settings that turn reporting
// off (the report folders are emptied then), and quits.
void runUntilReportingIsOffThenQuit(const char* name, const fs::path& home, const Sandbox& sandbox) {
    Tmux tmux(name);
    tmux.start(command(home));
    tmux.waitFor("SWIFT BASICS");
    EXPECT_TRUE(waitUntil([&] {
        return velotest::readFile(sandbox.logs() / "console.log")
                   .find("[Zevuzavidav:Crash] Reporting is disabled") != std::string::npos;
    })) << velotest::readFile(sandbox.logs() / "console.log");
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(SandboxFilesEndToEnd, LinkedFoldersAndLogLeaveWhatTheyPointToUntouched) {
    E2E_REQUIRE_PROGRAM("Swift");
    velotest::TempFolder home;
    const Sandbox sandbox(home.path());
    const fs::path elsewhere = home.path() / "elsewhere";
    // Unlocked regular files (what a sweep of tmp/ removes), report folders and packages (what emptying
    // the report folders removes) and a log of someone else's.
    writeText(elsewhere / "tmp" / "CFNetworkDownload_theirs.tmp", "theirs");
    writeText(elsewhere / "processing" / "report" / "signal.zevrecord", "theirs");
    writeText(elsewhere / "prepared" / "theirs.multipartmime", "theirs");
    writeText(elsewhere / "log", "theirs\n");
    writeText(sandbox.settings(), R"({"features": {"collect_reports": false}})");
    fs::create_directories(sandbox.logs());
    fs::create_directories(sandbox.reports());
    fs::create_symlink(elsewhere / "tmp", sandbox.root / "tmp");
    fs::create_symlink(elsewhere / "processing", sandbox.reports() / "processing");
    fs::create_symlink(elsewhere / "prepared", sandbox.reports() / "prepared");
    fs::create_symlink(elsewhere / "log", sandbox.logs() / "console.log");

    runUntilReportingIsOffThenQuit("sandbox-links", home.path(), sandbox);

    EXPECT_EQ(velotest::readFile(elsewhere / "tmp" / "CFNetworkDownload_theirs.tmp"), "theirs");
    EXPECT_EQ(velotest::readFile(elsewhere / "processing" / "report" / "signal.zevrecord"), "theirs");
    EXPECT_EQ(velotest::readFile(elsewhere / "prepared" / "theirs.multipartmime"), "theirs");
    EXPECT_EQ(velotest::readFile(elsewhere / "log"), "theirs\n");
    // Each link was removed as a link: the program's own tmp/ and log stand in their places, and with
    // reporting off the report folders are not made again.
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(sandbox.root / "tmp")));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(sandbox.logs() / "console.log")));
    for (const fs::path& folder : {sandbox.reports() / "processing", sandbox.reports() / "prepared"})
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder))) << folder;
}

// Links one level up: in the place of the report tree's "v3", of the analytics folder and of the SDK's
// folder in Application Support. With reporting off the start empties the report folders and the SDK
// keeps its defaults and an analytics session: each folder is looked at from Library down first, so what
// the links point to (an earlier tree with reports, old sessions and defaults) is left as it was.
TEST(SandboxFilesEndToEnd, LinksAboveTheSDKsFoldersLeaveWhatTheyPointToUntouched) {
    E2E_REQUIRE_PROGRAM("Swift");
    velotest::TempFolder home;
    const Sandbox sandbox(home.path());
    const fs::path elsewhere = home.path() / "elsewhere";
    writeText(elsewhere / "v3" / "active" / "report" / "signal.zevrecord", "theirs");
    writeText(elsewhere / "v3" / "processing" / "report" / "signal.zevrecord", "theirs");
    writeText(elsewhere / "v3" / "prepared" / "theirs.multipartmime", "theirs");
    writeText(elsewhere / "v3" / "pending" / "theirs", "theirs");
    writeText(elsewhere / "analytics" / "v1" / "ACTIVE" / "1_S" / "2_F" / "1.log", "theirs");
    writeText(elsewhere / "analytics" / "v1" / "stray", "theirs");
    writeText(elsewhere / "defaults" / "ZEVUserDefaults.plist", "not a property list");
    const auto before = velotest::folderContents(elsewhere);
    writeText(sandbox.settings(), R"({"features": {"collect_reports": false}})");
    const fs::path support = sandbox.root / "Library" / "Application Support" / "com.zevuzavidav";
    fs::create_directories(sandbox.reports().parent_path());
    fs::create_directories(support.parent_path());
    fs::create_symlink(elsewhere / "v3", sandbox.reports());
    fs::create_symlink(elsewhere / "analytics", sandbox.reports().parent_path() / "analytics");
    fs::create_symlink(elsewhere / "defaults", support);

    runUntilReportingIsOffThenQuit("sandbox-upper-links", home.path(), sandbox);

    EXPECT_EQ(velotest::folderContents(elsewhere), before);
    for (const fs::path& folder : {sandbox.reports(), sandbox.reports().parent_path() / "analytics", support})
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder))) << folder;
    EXPECT_TRUE(fs::is_regular_file(support / "ZEVUserDefaults.plist")) << "the SDK's defaults are ours";
    const std::string log = velotest::readFile(sandbox.logs() / "console.log");
    EXPECT_NE(log.find("Sandbox: removed the symbolic link " + sandbox.reports().string()), std::string::npos)
        << log;
}

TEST(SandboxFilesEndToEnd, FifosForTheSettingsAndTheLogDoNotHoldUpTheFirstScreen) {
    E2E_REQUIRE_PROGRAM("Swift");
    velotest::TempFolder home;
    const Sandbox sandbox(home.path());
    fs::create_directories(sandbox.settings().parent_path());
    fs::create_directories(sandbox.logs());
    // Nothing ever opens the other end: an open that waits for it never returns.
    ASSERT_EQ(::mkfifo(sandbox.settings().c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((sandbox.logs() / "console.log").c_str(), 0600), 0);

    Tmux tmux("sandbox-fifos");
    tmux.start(command(home.path()));
    tmux.waitFor("SWIFT BASICS");
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");
    // The settings FIFO went like a damaged settings file; the log is a file of the program's own.
    EXPECT_FALSE(fs::exists(fs::symlink_status(sandbox.settings())));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(sandbox.logs() / "console.log")));
}

TEST(SandboxFilesEndToEnd, AnOversizedPreferencesFileIsSetAsideAndTheAppStarts) {
    E2E_REQUIRE_PROGRAM("Swift");
    velotest::TempFolder home;
    const Sandbox sandbox(home.path());
    // A sound property list, one value past the bound: read whole, it would load without a word.
    const auto bytes = ns::writePropertyList(
        ns::PropertyList(ns::PropertyList::Dictionary{
            {"big", ns::PropertyList(ns::PropertyList::Data(ns::UserDefaults::maximumFileLength, 'x'))}}),
        ns::PropertyListFormat::binary);
    ASSERT_TRUE(bytes);
    writeText(sandbox.preferences(), std::string(bytes->begin(), bytes->end()));
    const std::uintmax_t size = bytes->size();

    Tmux tmux("sandbox-oversized");
    tmux.start(command(home.path()));
    tmux.waitFor("the damaged-record alert saying where the file is kept", [](const std::string& shown) {
        return shown.find("Your saved progress was damaged") != std::string::npos &&
               shown.find("kept as") != std::string::npos;
    });
    tmux.keys("Enter");
    tmux.waitFor("SWIFT BASICS");
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");

    // Kept whole beside the fresh record that was saved in its place.
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(sandbox.preferences().parent_path()))
        if (entry.path().filename().string().starts_with("com.velomarinth.swift.plist.corrupt-"))
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(fs::file_size(kept[0]), size);
    EXPECT_LT(fs::file_size(sandbox.preferences()), ns::UserDefaults::maximumFileLength);
}

} // namespace
