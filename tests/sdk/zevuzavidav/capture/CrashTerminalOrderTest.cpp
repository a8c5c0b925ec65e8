// The crash reporter and the terminal front end in one process, started in the app's order: the
// terminal's restoration first, then the crash context. Forked children crash while a terminal session
// is active; their standard output shares the SDK log, so the bytes show what happened in which order.
#include "platform/terminal/TerminalRestore.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using json = nlohmann::json;
using recordtest::Road;

__attribute__((noinline)) void sendTrap() {
    kill(getpid(), SIGTRAP);
}
__attribute__((noinline)) void callAbort() {
    std::abort();
}

struct OrderCase {
    const char* name;
    Road road;
    void (*crash)();
    int signal;
    const char* recordFile;
    const char* section;
    std::int64_t code; // the signal's own code, or the first exception code
};

class CrashTerminalOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(CrashTerminalOrder, TheReporterSeesTheSignalFirstAndTheTerminalIsBackBeforeTheEnd) {
    const OrderCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        term::installTerminalRestoration();
        recordtest::initializeContext(dir, c.road);
        int log = open((dir + "/sdk.log").c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
        dup2(log, STDOUT_FILENO);
        term::beginTerminalSession();
        c.crash();
    });
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), c.signal);

    int unparsable = 0;
    auto lines = recordtest::readLines(dir + "/" + c.recordFile, &unparsable);
    EXPECT_EQ(unparsable, 0);
    ASSERT_FALSE(lines.empty());
    const json& cause = lines.front()[c.section];
    if (std::string(c.section) == "signal") {
        EXPECT_EQ(cause["number"], c.signal);
        EXPECT_EQ(cause["code"], c.code);
        if (c.crash == recordtest::writeThroughNull) {
            EXPECT_EQ(cause["address"], 0);
        }
    } else {
        EXPECT_EQ(cause["codes"][0], c.code);
        EXPECT_EQ(cause["codes"][1], 0); // the faulting address
    }
    EXPECT_TRUE(lines.back().contains("storage")) << "the record ran to its end";

    std::ifstream in(dir + "/sdk.log");
    std::stringstream text;
    text << in.rdbuf();
    std::string log = text.str();
    auto recorded = log.find("completed recording all thread data");
    auto restored = log.find("\033[?1049l");
    ASSERT_NE(recorded, std::string::npos) << log;
    ASSERT_NE(restored, std::string::npos) << log;
    EXPECT_LT(recorded, restored);
    EXPECT_EQ(log.find("\033[?1049l", restored + 1), std::string::npos) << "restored once";
}

INSTANTIATE_TEST_SUITE_P(
    CrashWithTerminal, CrashTerminalOrder,
    ::testing::Values(
        OrderCase{"FaultAtThePort", Road::exceptionPort, recordtest::writeThroughNull, SIGSEGV,
                  "mach_exception.zevrecord", "mach_exception", 1},
        OrderCase{"FaultAtTheSignalHandler", Road::signals, recordtest::writeThroughNull, SIGSEGV,
                  "signal.zevrecord", "signal", SEGV_MAPERR},
        OrderCase{"SentTrap", Road::exceptionPort, sendTrap, SIGTRAP, "signal.zevrecord", "signal", SI_USER},
        OrderCase{"Abort", Road::exceptionPort, callAbort, SIGABRT, "signal.zevrecord", "signal", SI_TKILL}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
