// The Swift edition crashes in a terminal, as a person would see it: tmux runs the test-only build whose
// crash kit, started by the app's own start, is the real one (tests/support/CrashKitHooks.cpp only adds
// hooks). It opens a library with plain dlopen after capture has started, and is then killed by SIGSEGV
// or writes through a null pointer on its main thread. The record left in the sandbox must tell the
// truth, and the terminal must be back. Skipped when the program has not been built or tmux is not
// installed.
#include "platform/foundation/Bundle.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using json = nlohmann::json;
using velotest::quote;
using velotest::Tmux;

struct EndToEndCase {
    const char* name;
    bool nullWriteOnTheMainThread; // else killed by SIGSEGV from outside
};

class CrashEndToEnd : public ::testing::TestWithParam<EndToEndCase> {};

json section(const std::string& path, const char* name) {
    int unparsable = 0;
    for (const auto& line : recordtest::readLines(path, &unparsable))
        if (line.contains(name)) return line[name];
    return nullptr;
}

// Everything under `root` that another user could read: folders not 0700, files not 0600.
std::vector<std::string> openToOthers(const std::filesystem::path& root) {
    std::vector<std::string> found;
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator entry(root, ignored), end; entry != end;
         entry.increment(ignored)) {
        const auto status = entry->symlink_status(ignored);
        const auto mode = static_cast<unsigned>(status.permissions()) & 0777u;
        if ((status.type() == std::filesystem::file_type::directory && mode != 0700u) ||
            (status.type() == std::filesystem::file_type::regular && mode != 0600u))
            found.push_back(entry->path().string() + " " + std::to_string(mode));
    }
    return found;
}

TEST_P(CrashEndToEnd, TheRecordTellsTheTruthAndTheTerminalIsBack) {
    const EndToEndCase& c = GetParam();
    std::filesystem::path program =
        std::string(VELO_BINARY_DIR) + "/test-bundles/crashkit/Swift.app/velomarinth";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    velotest::TempFolder home;
    auto pidFile = home.path() / "pid";
    // A common umask, so that only the program's own modes keep its files private.
    std::string launch =
        "umask 022; echo $$ > " + quote(pidFile.string()) +
        "; exec env VELOMARINTH_HOME=" + quote(home.path().string()) + " " +
        velotools::loopbackServerWords() + " VELOMARINTH_TEST_DLOPEN=" + quote(VELO_DLOPEN_FIXTURE) +
        (c.nullWriteOnTheMainThread ? " VELOMARINTH_TEST_NULL_WRITE=1 " : " ") + quote(program.string());
    Tmux tmux(std::string("velo-crash-e2e-") + c.name);
    tmux.start("sh -c " + quote(launch) +
               "; echo ENDED-BY-$(kill -l $?);"
               " stty -a | tr ' ;' '\\n\\n' | grep -x -e echo -e icanon | tr '\\n' ' '; echo");
    if (!c.nullWriteOnTheMainThread) {
        tmux.waitFor("SWIFT BASICS");
        std::ifstream in(pidFile);
        pid_t pid = 0;
        in >> pid;
        ASSERT_GT(pid, 0);
        ASSERT_EQ(::kill(pid, SIGSEGV), 0);
    }
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(shown.find("ENDED-BY-SEGV"), std::string::npos) << shown;
    EXPECT_NE(shown.find("icanon echo"), std::string::npos) << shown;
    EXPECT_EQ(tmux.format("#{alternate_on}"), "0\n");

    // The launch's report folder: active/<execution identifier>.
    auto active = home.path() / "com.velomarinth.swift" / "Library" / "Caches" / "com.zevuzavidav.data" /
                  "com.velomarinth.swift" / "v3" / "active";
    ASSERT_TRUE(std::filesystem::is_directory(active));
    std::string report = std::filesystem::directory_iterator(active)->path().string();

    // The records hold user logs, keys and ids; like everything else of the sandbox (logs, defaults,
    // analytics) they are private to the user, whatever the umask.
    EXPECT_FALSE(std::filesystem::is_empty(report));
    EXPECT_EQ(openToOthers(home.path() / "com.velomarinth.swift"), std::vector<std::string>{});

    ns::Bundle swift(std::filesystem::path(VELO_SOURCE_DIR) / "app" / "bundles" / "Swift");
    json application = section(report + "/metadata.zevrecord", "application");
    EXPECT_EQ(application["bundle_id"], "com.velomarinth.swift");
    EXPECT_EQ(application["build_version"],
              *swift.objectForInfoDictionaryKey("CFBundleVersion")->stringValue());
    EXPECT_EQ(application["display_version"],
              *swift.objectForInfoDictionaryKey("CFBundleShortVersionString")->stringValue());
    EXPECT_EQ(section(report + "/metadata.zevrecord", "executable")["architecture"],
              recordtest::machineOfThisProgram());

    bool libraryListed = false;
    int unparsable = 0;
    for (const auto& line : recordtest::readLines(report + "/binary_images.zevrecord", &unparsable))
        libraryListed |= line.contains("load") && line["load"]["path"] == VELO_DLOPEN_FIXTURE;
    EXPECT_TRUE(libraryListed) << "the library opened after start";

    if (c.nullWriteOnTheMainThread) {
        // The fault reached the exception port with its own code and address.
        json exception = section(report + "/mach_exception.zevrecord", "mach_exception");
        EXPECT_EQ(exception["name"], "EXC_BAD_ACCESS");
        EXPECT_EQ(exception["code_name"], "KERN_INVALID_ADDRESS");
        EXPECT_EQ(exception["codes"], json::array({1, 0}));
        json queues = section(report + "/mach_exception.zevrecord", "dispatch_queue_names");
        json threads = section(report + "/mach_exception.zevrecord", "threads");
        ASSERT_EQ(queues.size(), threads.size());
        for (std::size_t i = 0; i < threads.size(); ++i) {
            if (threads[i].value("crashed", false)) {
                EXPECT_EQ(queues[i], "com.apple.main-thread");
            }
        }
    } else {
        // A signal sent by another process: its own code (SI_USER), not one of a re-raise.
        json signal = section(report + "/signal.zevrecord", "signal");
        EXPECT_EQ(signal["number"], SIGSEGV);
        EXPECT_EQ(signal["code"], SI_USER);
        EXPECT_EQ(signal["name"], "SIGSEGV");
    }
}

INSTANTIATE_TEST_SUITE_P(CrashEndToEnd, CrashEndToEnd,
                         ::testing::Values(EndToEndCase{"KilledBySigsegv", false},
                                           EndToEndCase{"NullWriteOnTheMainThread", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
