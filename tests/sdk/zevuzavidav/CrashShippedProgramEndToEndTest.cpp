// The program a person runs, as built for them (bundles/Swift.app/velomarinth, no test sources): tmux
// runs it, it is killed by SIGSEGV from outside while it waits for a key, and the next launch, pointed
// at a local plain-HTTP report server (the shipped program sends in clear only to a loopback address),
// sends the report. Its symbolicated stacks must name the program's own functions, which only its
// exported symbols make possible; a launch killed between packaging the report and removing its
// folder must not make the report go twice; a thread that runs out of stack, whether a library
// started it or the program did, is reported as the crashed thread; and a backlog of hundreds of
// reports must not hold back the oldest of them, nor analytics; a run of launches that crash as they
// start must each be sent and counted once in its own session, and so must a crash that a launch on a
// full disk could neither count nor package; a crash handed on to an earlier handler
// that faults or returns never holds the process; a crash among threads that keep a round of
// suspension busy is reported with the crashed thread first; a crash whose handler a library put back
// with signal(), that comes at a new deepest point of the main thread's stack, that threads with little
// stack left wait behind, that reporters installed after the SDK chain through, that comes on a thread
// whose calls a sandbox's broker answers, or on another thread as the program exits, ends the program or
// lets it go on as the kernel alone would, recorded once; a call through a null function pointer is
// recorded from address 0 on through the function that made it. Skipped when the program has not been
// built or tmux is not installed.
#include "tests/sdk/zevuzavidav/support/AnalyticsUploads.hpp"
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/LogLines.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using json = nlohmann::json;
using velotest::quote;
namespace fs = std::filesystem;
using reporttest::entries;
using reporttest::partsOf;

class CrashShippedProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
        if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";
    }

    std::string environment() const {
        return "VELOMARINTH_HOME=" + quote(home.path().string()) + " " + velotools::loopbackServerWords() +
               " SettingsEndpoint=https://127.0.0.1:9"
               " ZevuzavidavReportsEndpoint=" +
               quote(server.base());
    }
    fs::path tree() const {
        return home.path() /
               "com.velomarinth.swift/Library/Caches/com.zevuzavidav.data/com.velomarinth.swift/v3";
    }

    // Server settings, cached as if fetched, that turn analytics on and send it to this test's server
    // at `analyticsPath` every second, keeping at most 100 files pending.
    static constexpr const char* analyticsPath = "/spi/v1/analytics";
    void cacheAnalyticsSettings() const {
        const fs::path cache = home.path() / "com.velomarinth.swift/Library/Caches/io.zovaze.sdk.ios.data/"
                                             "com.velomarinth.swift";
        fs::create_directories(cache);
        std::ofstream(cache / "settings.json") << json{
            {"features", {{"collect_analytics", true}}},
            {"analytics",
             {{"url", server.base() + analyticsPath},
              {"flush_interval_secs", 1},
              {"max_pending_send_file_count", 100}}}}.dump();
    }

    // A launch killed by SIGSEGV from outside once its first screen is up; its report folder's name.
    std::string crashOnce() {
        const fs::path pidFile = home.path() / "pid";
        velotest::Tmux first("velo-shipped-crash");
        first.start("sh -c " +
                    quote("echo $$ > " + quote(pidFile.string()) + "; exec env " + environment() + " " +
                          quote(program.string())) +
                    "; printf '\\r\\nENDED-BY-%s\\r\\n' $(kill -l $?)");
        first.waitFor("SWIFT BASICS");
        pid_t pid = 0;
        std::ifstream(pidFile) >> pid;
        EXPECT_GT(pid, 0);
        if (pid > 0) {
            EXPECT_EQ(::kill(pid, SIGSEGV), 0);
        }
        const std::string shown = first.waitFor("PROGRAM-ENDED");
        EXPECT_NE(shown.find("ENDED-BY-SEGV"), std::string::npos) << shown;
        auto active = entries(tree() / "active");
        return active.size() == 1 ? active[0] : std::string();
    }

    // What a launch's shell line ends with: how the program ended, a signal's name as kill -l gives it or
    // the exit status, on a line of its own.
    static constexpr const char* kSayHowItEnded = "; status=$?; printf '\\r\\nENDED-BY-%s\\r\\n' $([ $status "
                                                  "-gt 128 ] && kill -l $status || echo $status)";

    // How the program ended, as the line kSayHowItEnded printed says it.
    static std::string endingShown(const std::string& shown) {
        const std::string line = velotest::lineWith(shown, "ENDED-BY-");
        const std::string ending = line.substr(line.find("ENDED-BY-") + 9);
        return ending.substr(0, ending.find_first_of(" \r"));
    }

    // Writes `bytes` into the FIFO a preloaded library reads its orders from, once it is open.
    static void order(const fs::path& fifo, const std::string& bytes) {
        int writer = -1;
        EXPECT_TRUE(
            velotest::waitUntil([&] { return (writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
        EXPECT_EQ(::write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(writer);
    }

    // A launch with `library` preloaded (and `more` in its environment), crashed by the bytes `which`
    // written into the FIFO that the variable `fifoVariable` names once its first screen is up; it must
    // end by one of `endings` (signal names as kill -l gives them, or the exit status). Its report
    // folder's name ("" when there is not exactly one).
    std::string crashByPreloaded(const char* library, const char* fifoVariable, const std::string& which,
                                 const std::set<std::string>& endings = {"SEGV"},
                                 const std::string& more = "") {
        const fs::path fifo = home.path() / "crash-fifo";
        if (!fs::exists(fifo)) {
            EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        }
        velotest::Tmux first("velo-shipped-preloaded");
        first.start("env LD_PRELOAD=" + quote(library) + " " + fifoVariable + "=" + quote(fifo.string()) +
                    " " + more + " " + environment() + " " + quote(program.string()) + kSayHowItEnded);
        first.waitFor("SWIFT BASICS");
        // The library's thread has the FIFO open for reading from the program's start.
        order(fifo, which);
        if (endings.count("0") != 0) {
            // Nothing ends the program: the learner quits, once the library's fault is stepped over.
            EXPECT_TRUE(velotest::waitUntil([&] { return fs::exists(fifo.string() + ".stepped"); }));
            first.keys("q");
        }
        const std::string shown = first.waitFor("PROGRAM-ENDED");
        EXPECT_EQ(endings.count(endingShown(shown)), 1u) << shown;
        auto active = entries(tree() / "active");
        return active.size() == 1 ? active[0] : std::string();
    }

    // The next launch (with `more` in its environment), which sends what earlier ones left and is quit
    // once nothing waits in "prepared"; the requests the server had by then.
    std::vector<reporttest::Request> sendWithNextLaunch(const std::string& more = "") {
        velotest::Tmux next("velo-shipped-send");
        next.start("env " + more + " " + environment() + " " + quote(program.string()));
        next.waitFor("SWIFT BASICS");
        EXPECT_TRUE(server.waitForRequests(1)) << next.screen();
        EXPECT_TRUE(velotest::waitUntil([&] { return entries(tree() / "prepared").empty(); }));
        next.keys("q");
        next.waitFor("PROGRAM-ENDED");
        return server.requests();
    }

    // A launch that faults in its first milliseconds, after the crash handlers are in and before the start
    // has written its metadata (a preloaded library holds that write and faults on a thread of its own
    // meanwhile), so before it tells of any earlier report. The folder it leaves in "active" ("" when no new
    // one is there).
    std::string crashAtStart() {
        const auto before = entries(tree() / "active");
        velotest::Tmux launch("velo-shipped-early-crash");
        launch.start("env LD_PRELOAD=" + quote(VELO_HOLD_METADATA_FIXTURE) + " VELO_HOLD_METADATA=1 " +
                     environment() + " " + quote(program.string()) + kSayHowItEnded);
        const std::string shown = launch.waitFor("PROGRAM-ENDED");
        EXPECT_NE(shown.find("ENDED-BY-SEGV"), std::string::npos) << shown;
        std::vector<std::string> added;
        for (const auto& folder : entries(tree() / "active"))
            if (std::find(before.begin(), before.end(), folder) == before.end()) added.push_back(folder);
        EXPECT_EQ(added.size(), 1u);
        return added.size() == 1 ? added[0] : std::string();
    }

    // The next launch, run until `done` holds and nothing waits in "prepared", then quit.
    void runNextLaunchUntil(const std::function<bool()>& done) {
        velotest::Tmux next("velo-shipped-early-send");
        next.start("env " + environment() + " " + quote(program.string()));
        next.waitFor("SWIFT BASICS");
        EXPECT_TRUE(velotest::waitUntil(done)) << "reports: " << reportRequests().size() << "\n"
                                               << next.screen();
        EXPECT_TRUE(velotest::waitUntil([&] { return entries(tree() / "prepared").empty(); }));
        next.keys("q");
        next.waitFor("PROGRAM-ENDED");
    }

    // The requests the server had that are report uploads.
    std::vector<reporttest::Request> reportRequests() const {
        std::vector<reporttest::Request> reports;
        for (const auto& request : server.requests())
            if (request.target.find("/reports") != std::string::npos) reports.push_back(request);
        return reports;
    }

    const fs::path program = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app/velomarinth";
    // Report uploads wait at the gate when a test closes it; everything else is answered at once.
    reporttest::Gate reportGate;
    std::atomic<bool> gateClosed{false};
    std::function<void(const reporttest::Request&)> onAnalytics;
    reporttest::ReportServer server{reporttest::ReportServer::PlainHTTP{},
                                    [this](const reporttest::Request& request, std::size_t) {
                                        if (request.target.find("/reports") != std::string::npos) {
                                            if (gateClosed) reportGate.wait();
                                        } else if (onAnalytics) {
                                            onAnalytics(request);
                                        }
                                        return reporttest::Answer{};
                                    }};
    reporttest::Gate::Opener opener{reportGate};
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

// Each record of the part (a gzip member holding a record file) is whole. The count of records.
std::size_t expectWholeRecords(const std::string& part, const std::string& member) {
    auto text = reporttest::gunzip(member);
    EXPECT_TRUE(text.has_value()) << part << " is no gzip member";
    std::istringstream in(text.value_or(""));
    int unparsable = 0;
    const auto records = recordtest::splitIntoRecords(recordtest::parseLines(in, &unparsable));
    EXPECT_EQ(unparsable, 0) << part << " holds a line cut short";
    EXPECT_FALSE(records.empty()) << part << " is empty";
    for (const auto& record : records)
        recordtest::expectWholeRecord(record, part);
    return records.size();
}

// What a next launch sent is one report, the crashed launch's, each of whose parts `wholeRecords` holds
// one whole record. The report's parts (none when it sent other than one request).
std::map<std::string, std::string>
expectOneReportWithWholeRecords(const std::vector<reporttest::Request>& requests, const std::string& crashed,
                                const std::vector<const char*>& wholeRecords) {
    EXPECT_EQ(requests.size(), 1u);
    if (requests.size() != 1) return {};
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    for (const char* part : wholeRecords) {
        EXPECT_EQ(parts.count(part), 1u) << "no " << part << " record in the report";
        if (parts.count(part) != 0) {
            EXPECT_EQ(expectWholeRecords(part, parts[part]), 1u) << part;
        }
    }
    return parts;
}

TEST_F(CrashShippedProgram, TheNextLaunchSendsAReportWhoseMainThreadNamesMain) {
    const std::string crashed = crashOnce();
    ASSERT_FALSE(crashed.empty());
    const auto requests = sendWithNextLaunch();
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
        const std::string shown = killed.waitFor("PROGRAM-ENDED");
        EXPECT_NE(shown.find("ENDED-BY-KILL"), std::string::npos) << shown;
    }
    ASSERT_EQ(entries(tree() / "prepared").size(), 1u);
    ASSERT_EQ(entries(tree() / "processing"), std::vector<std::string>{crashed});
    EXPECT_TRUE(server.requests().empty());

    velotest::Tmux last("velo-shipped-after-kill");
    last.start("env " + environment() + " " + quote(program.string()));
    last.waitFor("SWIFT BASICS");
    ASSERT_TRUE(server.waitForRequests(1)) << last.screen();
    // Both leftovers are dealt with once nothing waits in "prepared" or "processing" any more.
    ASSERT_TRUE(velotest::waitUntil(
        [&] { return entries(tree() / "prepared").empty() && entries(tree() / "processing").empty(); }));
    last.keys("q");
    last.waitFor("PROGRAM-ENDED");
    std::vector<std::string> sent;
    for (const auto& request : server.requests())
        sent.push_back(partsOf(request)["report_id"]);
    EXPECT_EQ(sent, std::vector<std::string>{crashed});
}

struct OverflowCase {
    const char* name;
    char which; // what the preloaded library is asked for (tests/sdk/zevuzavidav/fixtures/stack_overflow.c)
    const char* threadName;
};

void PrintTo(const OverflowCase& overflow, std::ostream* out) {
    *out << overflow.name;
}

class CrashShippedProgramOverflow : public CrashShippedProgram,
                                    public ::testing::WithParamInterface<OverflowCase> {};

// The crashed thread has no stack left: its handler runs on the alternate stack it was given when it
// started, which the program's own pthread_create gives a library's thread as well.
TEST_P(CrashShippedProgramOverflow, TheReportNamesTheThreadWhoseStackRanOutAsTheCrashedOne) {
    const OverflowCase overflow = GetParam();
    const std::string crashed = crashByPreloaded(VELO_STACK_OVERFLOW, "VELO_OVERFLOW_FIFO", {overflow.which});
    ASSERT_FALSE(crashed.empty());

    // The library is loaded again, as a preloaded one is, so that its frames can be named.
    const auto requests = sendWithNextLaunch("LD_PRELOAD=" + quote(VELO_STACK_OVERFLOW));
    ASSERT_EQ(requests.size(), 1u);
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    // A fault reaches the exception port first; the signal handler records it when the port does not.
    const std::string record = parts.count("mach_exception") != 0 ? "mach_exception" : "signal";
    const json threads = sectionOf(parts[record], "threads");
    const json names = sectionOf(parts[record], "thread_names");
    const json symbolicated = sectionOf(parts[record + ".zevrecord"], "threads");
    ASSERT_TRUE(threads.is_array() && names.is_array() && symbolicated.is_array())
        << "no " << record << " record in the report";
    ASSERT_EQ(names.size(), threads.size());
    ASSERT_EQ(symbolicated.size(), threads.size());
    std::vector<std::string> crashedNames;
    std::size_t at = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (threads[i].value("crashed", false)) {
            crashedNames.push_back(names[i].is_string() ? names[i].get<std::string>() : "?");
            at = i;
        }
    }
    ASSERT_EQ(crashedNames, std::vector<std::string>{overflow.threadName});
    // It crashed in the recursion, whose frames are the first the walk finds.
    ASSERT_FALSE(symbolicated[at].empty());
    EXPECT_EQ(symbolicated[at][0]["symbol"], "velo_fixture_overflow") << symbolicated[at][0];
}

INSTANTIATE_TEST_SUITE_P(CrashStackOverflow, CrashShippedProgramOverflow,
                         ::testing::Values(OverflowCase{"OnAThreadAPreloadedLibraryStarted", 't',
                                                        "velo-overflow"},
                                           OverflowCase{"OnTheNetworkEngineThread", 'n', "net.CurlEngine"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MeanwhileCase {
    const char* name;
    char which; // what the preloaded library is asked for (tests/sdk/zevuzavidav/fixtures/faults_at_once.c)
};

void PrintTo(const MeanwhileCase& meanwhile, std::ostream* out) {
    *out << meanwhile.name;
}

class CrashShippedProgramFaultsMeanwhile : public CrashShippedProgram,
                                           public ::testing::WithParamInterface<MeanwhileCase> {};

// Other threads fault while the crash is recorded: at the same moment as the crashed one, or over and
// over under a handler of the app's own. The record is whole all the same (its cause, every thread with
// its registers and stack, the closing section), the process ends by the fault, and the next launch
// sends the one report.
TEST_P(CrashShippedProgramFaultsMeanwhile, TheCrashIsRecordedWholeAndSentOnce) {
    const std::string crashed = crashByPreloaded(VELO_FAULTS_AT_ONCE, "VELO_FAULTS_FIFO", {GetParam().which});
    ASSERT_FALSE(crashed.empty());

    expectOneReportWithWholeRecords(sendWithNextLaunch(), crashed, {"mach_exception"});
}

INSTANTIATE_TEST_SUITE_P(CrashFaultsMeanwhile, CrashShippedProgramFaultsMeanwhile,
                         ::testing::Values(MeanwhileCase{"TwoThreadsAtOnce", 2},
                                           MeanwhileCase{"EightThreadsAtOnce", 8},
                                           MeanwhileCase{"ThirtyTwoThreadsAtOnce", 32},
                                           MeanwhileCase{"AThreadSteppingOverItsOwnFaults", 's'}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MeetingCase {
    const char* name;
    char which; // what the preloaded library is asked for (tests/sdk/zevuzavidav/fixtures/faults_at_once.cpp)
    std::set<std::string> endings;
};

void PrintTo(const MeetingCase& meeting, std::ostream* out) {
    *out << meeting.name;
}

class CrashShippedProgramRecordingsMeet : public CrashShippedProgram,
                                          public ::testing::WithParamInterface<MeetingCase> {};

// An uncaught exception is recorded without the crash claim, so its recording meets that of a fault on
// another thread at the same moment, or that of its own abort while a second exception is recorded.
// One waits for the other: every record the report carries is whole, and the one report goes once.
TEST_P(CrashShippedProgramRecordingsMeet, EveryRecordSentIsWhole) {
    const MeetingCase& meeting = GetParam();
    const std::string crashed =
        crashByPreloaded(VELO_FAULTS_AT_ONCE, "VELO_FAULTS_FIFO", {meeting.which}, meeting.endings);
    ASSERT_FALSE(crashed.empty());

    const auto requests = sendWithNextLaunch();
    ASSERT_EQ(requests.size(), 1u);
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    std::size_t records = 0;
    for (const char* part : recordtest::kCauseSections)
        if (parts.count(part) != 0) records += expectWholeRecords(part, parts[part]);
    EXPECT_GE(records, 1u) << "the report carries no record";
}

INSTANTIATE_TEST_SUITE_P(CrashRecordingsMeet, CrashShippedProgramRecordingsMeet,
                         ::testing::Values(MeetingCase{"AnExceptionAndAFault", 'x', {"SEGV", "ABRT"}},
                                           MeetingCase{"TwoExceptions", 'e', {"ABRT"}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TroubleCase {
    const char* name;
    const char* trouble; // VELO_TROUBLE (tests/sdk/zevuzavidav/fixtures/recorder_trouble.cpp)
    std::set<std::string> endings;
    std::vector<const char*> wholeRecords; // the parts that must hold one whole record each
    const char* keptRecord = nullptr;      // the part whose record was cut: what was kept of it
    bool thrown = false;                   // the whole records' crashed stacks hold the thrower
};

void PrintTo(const TroubleCase& trouble, std::ostream* out) {
    *out << trouble.name;
}

class CrashShippedProgramRecorderTrouble : public CrashShippedProgram,
                                           public ::testing::WithParamInterface<TroubleCase> {};

// The symbols of the crashed thread's stack in the symbolicated record of `part`.
std::vector<std::string> crashedThreadSymbols(std::map<std::string, std::string>& parts,
                                              const std::string& part) {
    const json threads = sectionOf(parts[part], "threads");
    const json symbolicated = sectionOf(parts[part + ".zevrecord"], "threads");
    std::vector<std::string> symbols;
    if (!threads.is_array() || !symbolicated.is_array() || symbolicated.size() != threads.size())
        return symbols;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (!threads[i].value("crashed", false)) continue;
        for (const auto& frame : symbolicated[i])
            symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
    }
    return symbols;
}

// No crash becomes a hang, whatever its recording meets: an exception thrown with little stack left is
// recorded whole, on a thread with a small alternate signal stack of its own too; the recording thread that
// faults ends the process at once by that fault, and one that stalls for good ends it by the crash's own
// signal once the recording's bound is out. Either way the process ends by itself, by a signal, and the next
// launch sends the one report with what was kept.
TEST_P(CrashShippedProgramRecorderTrouble, TheProcessEndsByASignalAndTheNextLaunchSendsTheReport) {
    const TroubleCase& trouble = GetParam();
    const std::string crashed = crashByPreloaded(VELO_RECORDER_TROUBLE, "VELO_TROUBLE_FIFO", "g",
                                                 trouble.endings, "VELO_TROUBLE=" + quote(trouble.trouble));
    ASSERT_FALSE(crashed.empty());

    // The library is loaded again, as a preloaded one is, so that the thrower's frames can be named.
    const auto requests =
        sendWithNextLaunch(trouble.thrown ? "LD_PRELOAD=" + quote(VELO_RECORDER_TROUBLE) : std::string());
    ASSERT_EQ(requests.size(), 1u);
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    for (const char* part : trouble.wholeRecords) {
        ASSERT_EQ(parts.count(part), 1u) << "no " << part << " record in the report";
        EXPECT_EQ(expectWholeRecords(part, parts[part]), 1u);
        if (!trouble.thrown) continue;
        const auto symbols = crashedThreadSymbols(parts, part);
        for (const char* thrower : {"velo_fixture_throw_deep", "velo_fixture_descend"})
            EXPECT_NE(std::find(symbols.begin(), symbols.end(), thrower), symbols.end())
                << part << ": " << ::testing::PrintToString(symbols);
    }
    if (trouble.keptRecord != nullptr) {
        const std::string part = trouble.keptRecord;
        ASSERT_EQ(parts.count(part), 1u) << "no " << part << " record in the report";
        EXPECT_TRUE(sectionOf(parts[part], "storage").is_null()) << part << " was not cut: no trouble came";
        // Cut once the other threads were stopped, its cause and its threads were written by then; cut
        // as it was opened, it holds nothing.
        const bool stopped = std::string(trouble.trouble).find(":stopped:") != std::string::npos;
        EXPECT_EQ(sectionOf(parts[part], part.c_str()).is_object(), stopped) << part;
        EXPECT_EQ(sectionOf(parts[part], "threads").is_array(), stopped) << part;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CrashRecorderTrouble, CrashShippedProgramRecorderTrouble,
    ::testing::Values(
        TroubleCase{"ThrowWith8KiBLeft", "little-stack:8", {"ABRT"}, {"exception", "signal"}, nullptr, true},
        TroubleCase{
            "ThrowWith12KiBLeft", "little-stack:12", {"ABRT"}, {"exception", "signal"}, nullptr, true},
        TroubleCase{
            "ThrowWith16KiBLeft", "little-stack:16", {"ABRT"}, {"exception", "signal"}, nullptr, true},
        TroubleCase{
            "ThrowWith24KiBLeft", "little-stack:24", {"ABRT"}, {"exception", "signal"}, nullptr, true},
        TroubleCase{"ThrowWith8KiBLeftOnASmallSignalStack",
                    "little-stack:8:small",
                    {"ABRT"},
                    {"exception", "signal"},
                    nullptr,
                    true},
        TroubleCase{"ThrowWith24KiBLeftOnASmallSignalStack",
                    "little-stack:24:small",
                    {"ABRT"},
                    {"exception", "signal"},
                    nullptr,
                    true},
        TroubleCase{
            "FourThrowWith12KiBLeftAtOnce", "together:4", {"ABRT"}, {"exception", "signal"}, nullptr, true},
        TroubleCase{"AbortsRecorderFaults", "abort:stopped:fault", {"SEGV"}, {}, "signal"},
        TroubleCase{"ExceptionsRecorderFaults", "throw:stopped:fault", {"SEGV"}, {}, "exception"},
        TroubleCase{"PortsRecorderFaults", "fault:stopped:fault", {"SEGV"}, {}, "mach_exception"},
        TroubleCase{"AbortsRecorderFaultsAtOpen", "abort:open:fault", {"SEGV"}, {}, "signal"},
        TroubleCase{"AbortsRecorderStalls", "abort:stopped:stall", {"ABRT"}, {}, "signal"},
        TroubleCase{"ExceptionsRecorderStalls", "throw:stopped:stall", {"ABRT"}, {}, "exception"},
        TroubleCase{"PortsRecorderStalls", "fault:stopped:stall", {"SEGV"}, {}, "mach_exception"}),
    [](const auto& info) { return std::string(info.param.name); });

// A handler installed before the crash reporter steps over a fault: the fault is recorded, and the
// program goes on and quits normally.
TEST_F(CrashShippedProgram, AFaultAnEarlierHandlerStepsOverLetsTheProgramGoOnAndQuit) {
    crashByPreloaded(VELO_RECORDER_TROUBLE, "VELO_TROUBLE_FIFO", "s", {"0"}, "VELO_TROUBLE=step");
}

// After such a fault, an uncaught exception is recorded whole, with the abort it ends by in place of the
// fault the program went on from, and the next launch sends both records.
TEST_F(CrashShippedProgram, AnExceptionAfterAFaultSteppedOverIsRecordedWhole) {
    const std::string crashed =
        crashByPreloaded(VELO_RECORDER_TROUBLE, "VELO_TROUBLE_FIFO", "st", {"ABRT"}, "VELO_TROUBLE=step");
    ASSERT_FALSE(crashed.empty());
    const auto parts =
        expectOneReportWithWholeRecords(sendWithNextLaunch(), crashed, {"signal", "exception"});
    EXPECT_EQ(parts.count("mach_exception"), 0u) << "the fault the program went on from was sent";
}

struct HandedOnCase {
    const char* name;
    const char* earlier; // VELO_EARLIER_ABORT (tests/sdk/zevuzavidav/fixtures/earlier_abort_handler.cpp)
    const char* bytes;   // what the preloaded library is asked for, in order
    std::set<std::string> endings;
    std::vector<const char*> wholeRecords; // the parts that must hold one whole record each
    const char* environment = "";          // more of the library's variables
    const char* madeFile = nullptr;        // a file "<FIFO>.<name>" the library must have made
    const char* alsoMade = nullptr;        // another
    const char* notMade = nullptr;         // one it must not have made
};

void PrintTo(const HandedOnCase& handedOn, std::ostream* out) {
    *out << handedOn.name;
}

class CrashShippedProgramHandedOn : public CrashShippedProgram,
                                    public ::testing::WithParamInterface<HandedOnCase> {};

// A crash handler installed before the crash reporter, as a second crash reporter's or a logging
// handler's would be, is handed the crash once it is recorded, as the kernel would hand it. One that
// faults (after abort(), after a throw) ends the process by that fault; one that returns from a raised
// SIGABRT, or leaves by a long jump, lets the program go on, and a later fault or throw on another thread
// then ends it; one that returns from a fault having asked for the default action back (SA_RESETHAND)
// lets that fault end the process; one that answers a system call a seccomp filter trapped answers it
// every time. Several threads taking such a signal at once all go on: the first is recorded, the others
// are handed on once it is. Either way the process ends by a signal without waiting for an end that the first
// crash never brings (the SDK log would say so; a crash that went on has let the recording turn go, as the
// program tells the handler's library), every record is whole (also one made on a thread whose own
// alternate stack is small, or that has 8 KiB of its own stack left and no alternate stack, and nothing
// below that stack changes, even under a handler that needs all the room the kernel leaves it), and the
// next launch sends the one report: of the crash that ended the process. The handler's fault is no crash of
// its own; a later fault or throw, once the crash went on, is, and its record takes the first one's place.
// A handler installed without SA_ONSTACK runs on the thread's own stack, as the kernel runs it, and one
// that reads memory guarded by the program's own SIGSEGV handler finishes that read; handlers the program
// installed after the SDK still take their signals once the crash is handed on.
TEST_P(CrashShippedProgramHandedOn, TheProcessEndsByASignalWithItsRecordsWhole) {
    const HandedOnCase& handedOn = GetParam();
    const std::string crashed =
        crashByPreloaded(VELO_EARLIER_ABORT_HANDLER, "VELO_EARLIER_FIFO", handedOn.bytes, handedOn.endings,
                         "VELO_EARLIER_ABORT=" + quote(handedOn.earlier) + " " + handedOn.environment);
    ASSERT_FALSE(crashed.empty());
    const std::string log = velotest::readFile(tree() / "active" / crashed / "sdk.log");
    EXPECT_EQ(log.find("was not recorded in time"), std::string::npos) << "a crash waited for its end:\n"
                                                                       << log;
    if (handedOn.madeFile != nullptr) {
        const std::string made = handedOn.madeFile;
        const fs::path path = home.path() / ("crash-fifo." + made);
        EXPECT_TRUE(fs::exists(path)) << path;
        // Nothing says so in the log when the later crash is a throw: it waits for the turn, then takes it
        // over, its record whole all the same.
        if (made == "returned" || made == "jumped") {
            EXPECT_EQ(velotest::readFile(path), "0")
                << "the recording turn stayed with the thread whose crash went on (0: let go)";
        }
    }
    if (handedOn.alsoMade != nullptr) {
        EXPECT_TRUE(fs::exists(home.path() / ("crash-fifo." + std::string(handedOn.alsoMade))))
            << handedOn.alsoMade;
    }
    if (handedOn.notMade != nullptr) {
        EXPECT_FALSE(fs::exists(home.path() / ("crash-fifo." + std::string(handedOn.notMade))))
            << handedOn.notMade;
    }
    EXPECT_FALSE(fs::exists(home.path() / "crash-fifo.written-below")) << "a record wrote below its stack";

    const auto parts = expectOneReportWithWholeRecords(sendWithNextLaunch(), crashed, handedOn.wholeRecords);
    for (const char* part : {"signal", "mach_exception"}) {
        if (std::find_if(handedOn.wholeRecords.begin(), handedOn.wholeRecords.end(), [&](const char* whole) {
                return std::string(whole) == part;
            }) == handedOn.wholeRecords.end()) {
            EXPECT_EQ(parts.count(part), 0u) << "the record of a crash the program went on from was sent";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    CrashHandedOn, CrashShippedProgramHandedOn,
    ::testing::Values(
        HandedOnCase{"AnAbortToAFaultingHandler", "fault", "a", {"SEGV"}, {"signal"}},
        HandedOnCase{"AThrowToAFaultingHandler", "fault", "t", {"SEGV"}, {"exception", "signal"}},
        HandedOnCase{"ARaisedAbortThatReturnsThenAFault",
                     "return",
                     "rf",
                     {"SEGV"},
                     {"mach_exception"},
                     "",
                     "returned"},
        HandedOnCase{"ARaisedAbortThatReturnsThenAThrow",
                     "return",
                     "rt",
                     {"ABRT"},
                     {"signal", "exception"},
                     "",
                     "returned"},
        HandedOnCase{"AFaultToAResettingHandlerThatReturns",
                     "return",
                     "F",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_FLAGS=resethand"},
        HandedOnCase{"AFaultOfTheMainThreadToAResettingHandlerThatReturns",
                     "return",
                     "M",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_FLAGS=resethand"},
        HandedOnCase{"ATrappedSystemCallAnEarlierHandlerAnswersThenAFault",
                     "emulate",
                     "Yf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SYS",
                     "answered-5"},
        HandedOnCase{"ThreeThreadsTrapACallAtOnceThenAFault",
                     "emulate",
                     "Yf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SYS VELO_EARLIER_TOGETHER=3",
                     "answered-15"},
        HandedOnCase{"FourThreadsRaiseAnAbortThatReturnsAtOnceThenAFault",
                     "return",
                     "rf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_TOGETHER=4",
                     "returned"},
        HandedOnCase{"ABusErrorToAResettingHandlerThatReturns",
                     "return",
                     "B",
                     {"BUS"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=BUS VELO_EARLIER_FLAGS=resethand"},
        HandedOnCase{
            "AnAbortLeftByALongJumpThenAFault", "jump", "af", {"SEGV"}, {"mach_exception"}, "", "jumped"},
        HandedOnCase{"AFaultLeftByALongJumpThenAThrow",
                     "jump",
                     "Ft",
                     {"ABRT"},
                     {"signal", "exception"},
                     "VELO_EARLIER_SIGNAL=SEGV",
                     "jumped"},
        HandedOnCase{"ARaiseOnAn8KiBSignalStackThatReturnsThenAFault",
                     "return",
                     "sf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_STACK_KIB=8",
                     "returned"},
        HandedOnCase{
            "AnAbortOnAn8KiBSignalStack", "return", "S", {"ABRT"}, {"signal"}, "VELO_EARLIER_STACK_KIB=8"},
        HandedOnCase{"ARaiseOnAn8KiBSignalStackToAHandlerThatNeedsTheKernelsRoomThenAFault",
                     "return",
                     "sf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_STACK_KIB=8 VELO_EARLIER_TAKE_ROOM=1",
                     "returned"},
        HandedOnCase{"AFaultWith8KiBOfItsOwnStackLeftToAHandlerThatNeedsTheKernelsRoom",
                     "return",
                     "o",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_FLAGS=resethand VELO_EARLIER_TAKE_ROOM=1"},
        HandedOnCase{"ARaiseOnAn8KiBSignalStackToAHandlerOffItThatNeeds12KiBThenAFault",
                     "return",
                     "sf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_STACK_KIB=8 VELO_EARLIER_FLAGS=offstack VELO_EARLIER_NEED_KIB=12",
                     "returned",
                     nullptr,
                     "on-alternate-stack"},
        HandedOnCase{"ARaisedAbortWhoseHandlersGuardedReadIsSteppedOverThenAFault",
                     "return",
                     "rf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_GUARD=step",
                     "returned",
                     "guarded"},
        HandedOnCase{"ARaisedAbortWhoseHandlersGuardedReadIsLeftByAJumpThenAFault",
                     "return",
                     "rf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_GUARD=jump",
                     "returned",
                     "guarded"},
        HandedOnCase{"ATrappedCallWhoseEmulatorsGuardedReadIsSteppedOverThenAFault",
                     "emulate",
                     "Yf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SYS VELO_EARLIER_GUARD=step",
                     "answered-5",
                     "guarded"},
        HandedOnCase{"ATrappedCallWhoseEmulatorsGuardedReadIsLeftByAJumpThenAFault",
                     "emulate",
                     "Yf",
                     {"SEGV"},
                     {"mach_exception"},
                     "VELO_EARLIER_SIGNAL=SYS VELO_EARLIER_GUARD=jump",
                     "answered-5",
                     "guarded"},
        HandedOnCase{"HandlersInstalledSinceTakeTheirSignalsAfterARecordedRaiseThenAFault",
                     "return",
                     "Lrxf",
                     {"SEGV"},
                     {"signal"},
                     "",
                     "went-on",
                     "returned"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AsWithoutCase {
    const char* name;
    const char* environment; // the library's variables (fixtures/earlier_abort_handler.cpp)
    const char* bytes;       // what the library is asked for, in order
    const char* ending;      // the signal that ends the program, as kill -l names it; "0": it goes on
    const char* cause;       // the crash's signal, as its record names it
    std::vector<const char*> made = {}; // files "<FIFO>.<name>" the library must have made
    bool thrown = false;                // an uncaught throw: its exception's record beside the abort's
    int faulters = 0;                   // threads named "velo-faulter" the record must hold
};

void PrintTo(const AsWithoutCase& asWithout, std::ostream* out) {
    *out << asWithout.name;
}

// The exception the port reports a fault of `signal` as.
std::string portsNameOf(const std::string& signal) {
    if (signal == "SIGSEGV" || signal == "SIGBUS") return "EXC_BAD_ACCESS";
    if (signal == "SIGILL") return "EXC_BAD_INSTRUCTION";
    return signal == "SIGFPE" ? "EXC_ARITHMETIC" : "";
}

// The records of the report's part `part` (a gzip member holding a record file); none without it.
std::vector<std::vector<json>> recordsOf(std::map<std::string, std::string>& parts, const char* part) {
    if (parts.count(part) == 0) return {};
    std::istringstream in(reporttest::gunzip(parts[part]).value_or(""));
    int unparsable = 0;
    auto records = recordtest::splitIntoRecords(recordtest::parseLines(in, &unparsable));
    EXPECT_EQ(unparsable, 0) << part << " holds a line cut short";
    return records;
}

// Where the thread that `threads` (a record's "threads" section) marks as crashed stands; the section's
// size when it marks none.
std::size_t crashedThreadIn(const json& threads) {
    for (std::size_t i = 0; i < threads.size(); ++i)
        if (threads[i].is_object() && threads[i].value("crashed", false)) return i;
    return threads.size();
}

// The crashed thread of `threads` starts where the fixture's "<FIFO>.crash-at" says it faulted.
void expectCrashedThreadStartsAt(const json& threads, const fs::path& crashAt) {
    ASSERT_TRUE(threads.is_array());
    const std::size_t at = crashedThreadIn(threads);
    ASSERT_LT(at, threads.size()) << "no thread is marked crashed";
    const json& stack = threads[at]["stacktrace"];
    ASSERT_TRUE(stack.is_array() && !stack.empty() && stack[0].is_number_unsigned()) << threads[at];
    EXPECT_EQ(stack[0].get<std::uint64_t>(), std::stoull(velotest::readFile(crashAt), nullptr, 16))
        << "the crashed thread does not start where it faulted";
}

class CrashShippedProgramAsWithoutTheSDK : public CrashShippedProgram,
                                           public ::testing::WithParamInterface<AsWithoutCase> {
  protected:
    fs::path made(const std::string& name) const { return home.path() / ("crash-fifo." + name); }

    // A launch with the earlier handler's library preloaded, asked for the case's bytes once its first
    // screen is up, and quit once the library says its crash came back. How it ended: a signal's name as
    // kill -l gives it, or the exit status ("0" once quit); "hung" when it had not ended within the
    // shared patience (it is then killed).
    std::string launch(const AsWithoutCase& asWithout) {
        const fs::path fifo = home.path() / "crash-fifo";
        const fs::path pidFile = home.path() / "pid";
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        velotest::Tmux first("velo-shipped-as-without");
        // The stack's limit as a crash at that limit expects it, whatever the shell had.
        first.start("ulimit -s 8192; sh -c " +
                    quote("echo $$ > " + quote(pidFile.string()) + "; exec env LD_PRELOAD=" +
                          quote(VELO_EARLIER_ABORT_HANDLER) + " VELO_EARLIER_FIFO=" + quote(fifo.string()) +
                          " " + asWithout.environment + " " + environment() + " " + quote(program.string())) +
                    kSayHowItEnded);
        first.waitFor("SWIFT BASICS");
        order(fifo, asWithout.bytes);
        std::string shown;
        const auto ended = [&] {
            return (shown = first.screen()).find("PROGRAM-ENDED") != std::string::npos;
        };
        // A crash that came back lets the program go on, whatever the case expects: the learner quits.
        if (velotest::waitUntil([&] { return fs::exists(made("came-back")) || ended(); }) && !ended())
            first.keys("q");
        if (!velotest::waitUntil(ended)) {
            pid_t pid = 0;
            std::ifstream(pidFile) >> pid;
            if (pid > 0) ::kill(pid, SIGKILL);
            first.waitFor("PROGRAM-ENDED");
            return "hung";
        }
        return endingShown(shown);
    }
};

// Shapes of a crash handed on that the kernel alone would end, or let go on, in its own way: the SDK's
// own handler put back by a library with signal(), without SA_SIGINFO and SA_ONSTACK, as CPU-feature
// probes do (or a reporter installed so that chains through the pointer signal() returned); a crash at a
// new deepest point of the main thread's stack, handed to an earlier handler that runs on that stack and
// so needs it to grow (or at the stack's limit, where the kernel ends it); threads with a few KiB of their
// own stack left and no alternate one, faulting together, so that all but one wait behind the first
// fault; reporters installed after the SDK that call its handler as the one they replaced, and flush
// their own report once it comes back; a thread whose getpid and openat a seccomp filter traps, answered
// by a sandbox's broker from before the SDK, as the SDK's own work on that thread makes those calls too;
// a fault on another thread as the program exits once q ended it. The program ends by the signal the
// kernel alone would end it by, or goes on (a raise returned from, a fault stepped over) and quits; every
// library file that says a handler got control is there, the recording turn is let go when the program
// goes on, nothing is written below a stack; the crash is recorded once, under its own signal, every
// record whole, and the next launch sends the one report; where the program went on and quit, its records are
// dropped at the exit, and nothing is sent.
TEST_P(CrashShippedProgramAsWithoutTheSDK, EndsOrGoesOnAsTheKernelAloneWouldWithTheCrashRecordedOnce) {
    const AsWithoutCase& asWithout = GetParam();
    EXPECT_EQ(launch(asWithout), asWithout.ending);
    const auto active = entries(tree() / "active");
    ASSERT_EQ(active.size(), 1u);
    const std::string crashed = active[0];
    for (const char* name : asWithout.made)
        EXPECT_TRUE(fs::exists(made(name))) << "the library made no " << name;
    if (fs::exists(made("came-back"))) {
        EXPECT_EQ(velotest::readFile(made("came-back")), "0")
            << "the recording turn stayed with the thread whose crash went on (0: let go)";
    }
    if (fs::exists(made("below"))) {
        const std::string below = velotest::readFile(made("below"));
        EXPECT_FALSE(below.empty());
        EXPECT_EQ(std::count(below.begin(), below.end(), '\xa5'), static_cast<std::ptrdiff_t>(below.size()))
            << "bytes were written below the faulting threads' stacks";
    }

    // A launch that went on from its crash and ended by quitting crashed in none: nothing of it is sent.
    if (asWithout.ending == std::string("0")) {
        for (const char* record : {"signal.zevrecord", "mach_exception.zevrecord", "exception.zevrecord"})
            EXPECT_FALSE(fs::exists(tree() / "active" / crashed / record)) << record << " was kept";
        return;
    }
    const auto requests = sendWithNextLaunch();
    ASSERT_EQ(requests.size(), 1u) << "the report once";
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    // The crash's one record: the signal's, or the port's for a fault.
    std::vector<std::string> causes;
    std::vector<json> crashRecords;
    for (const char* part : {"signal", "mach_exception"}) {
        for (const auto& record : recordsOf(parts, part)) {
            recordtest::expectWholeRecord(record, part);
            const json section = recordtest::sectionOfRecord(record, part);
            causes.push_back(std::string(part) + ":" +
                             (section.is_object() ? section.value("name", "?") : std::string("?")));
            crashRecords.push_back(record);
        }
    }
    const std::string cause = asWithout.cause;
    ASSERT_EQ(causes.size(), 1u) << ::testing::PrintToString(causes);
    EXPECT_TRUE(causes[0] == "signal:" + cause || causes[0] == "mach_exception:" + portsNameOf(cause))
        << causes[0] << ", not " << cause;
    // A fault's crashed thread starts at the faulting instruction, also where the kernel gave the SDK's
    // handler no siginfo (put back by signal()): its registers are the context the kernel fills. (Called by
    // a reporter with the number alone, the handler has no context to read.)
    if (fs::exists(made("crash-at")) && std::strchr(asWithout.bytes, 'c') == nullptr)
        expectCrashedThreadStartsAt(recordtest::sectionOfRecord(crashRecords[0], "threads"),
                                    made("crash-at"));
    const auto exceptions = recordsOf(parts, "exception");
    EXPECT_EQ(exceptions.size(), asWithout.thrown ? 1u : 0u);
    for (const auto& record : exceptions)
        recordtest::expectWholeRecord(record, "exception");
    if (asWithout.faulters > 0) {
        const json names = recordtest::sectionOfRecord(crashRecords[0], "thread_names");
        ASSERT_TRUE(names.is_array());
        EXPECT_EQ(std::count(names.begin(), names.end(), "velo-faulter"), asWithout.faulters) << names;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CrashAsWithoutTheSDK, CrashShippedProgramAsWithoutTheSDK,
    ::testing::Values(
        // The SDK's handler put back with signal(), then a crash of its signal.
        AsWithoutCase{"PutBackWithSignalThenAFault", "VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=SEGV", "pC",
                      "SEGV", "SIGSEGV"},
        AsWithoutCase{"PutBackWithSignalThenADivisionByZero",
                      "VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=FPE", "pC", "FPE", "SIGFPE"},
        AsWithoutCase{"PutBackWithSignalThenAnAbort", "VELO_EARLIER_ABORT=none", "pC", "ABRT", "SIGABRT"},
        AsWithoutCase{"PutBackWithSignalThenAFaultAnEarlierHandlerStepsOver",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_SIGNAL=SEGV",
                      "pC",
                      "0",
                      "SIGSEGV",
                      {"came-back"}},
        AsWithoutCase{"AFaultToAReporterChainedThroughSignal",
                      "VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=SEGV",
                      "cC",
                      "SEGV",
                      "SIGSEGV",
                      {"reporter-logged"}},
        AsWithoutCase{"AnAbortToAReporterChainedThroughSignal",
                      "VELO_EARLIER_ABORT=none",
                      "cC",
                      "ABRT",
                      "SIGABRT",
                      {"reporter-logged"}},
        // The main thread's stack grows for the frame of a handler without SA_ONSTACK.
        AsWithoutCase{"ARaise140KiBDeepOnTheMainThread",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_FLAGS=offstack VELO_EARLIER_DEPTH_KIB=140",
                      "G",
                      "0",
                      "SIGABRT",
                      {"new-deepest", "came-back"}},
        AsWithoutCase{"AFault1MiBDeepOnTheMainThread",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_FLAGS=offstack VELO_EARLIER_SIGNAL=SEGV "
                      "VELO_EARLIER_DEPTH_KIB=1024",
                      "G",
                      "0",
                      "SIGSEGV",
                      {"new-deepest", "came-back"}},
        AsWithoutCase{"ARaise7MiBDeepOnTheMainThread",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_FLAGS=offstack VELO_EARLIER_DEPTH_KIB=7168",
                      "G",
                      "0",
                      "SIGABRT",
                      {"new-deepest", "came-back"}},
        AsWithoutCase{"ARaiseAtTheMainThreadsStackLimit",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_FLAGS=offstack VELO_EARLIER_DEPTH_KIB=limit",
                      "G",
                      "SEGV",
                      "SIGABRT",
                      {"new-deepest"}},
        // Threads with a few KiB of their own stack left fault together.
        AsWithoutCase{"TwoFaultsWith4KiBLeftAboveGuardPagesSteppedOver",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_TOGETHER=2 "
                      "VELO_EARLIER_LEFT_KIB=4",
                      "W",
                      "0",
                      "SIGSEGV",
                      {"came-back"},
                      false,
                      2},
        AsWithoutCase{"SixteenFaultsWith4KiBLeftAboveWatchedMemorySteppedOver",
                      "VELO_EARLIER_ABORT=step VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_TOGETHER=16 "
                      "VELO_EARLIER_LEFT_KIB=4 VELO_EARLIER_BELOW=pattern",
                      "W",
                      "0",
                      "SIGSEGV",
                      {"came-back", "below"},
                      false,
                      16},
        AsWithoutCase{"FourFaultsWith6KiBLeftAboveGuardPages",
                      "VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_TOGETHER=4 "
                      "VELO_EARLIER_LEFT_KIB=6",
                      "W",
                      "SEGV",
                      "SIGSEGV",
                      {},
                      false,
                      4},
        AsWithoutCase{"SixteenFaultsWith4KiBLeftAboveWatchedMemory",
                      "VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=SEGV VELO_EARLIER_TOGETHER=16 "
                      "VELO_EARLIER_LEFT_KIB=4 VELO_EARLIER_BELOW=pattern",
                      "W",
                      "SEGV",
                      "SIGSEGV",
                      {"below"},
                      false,
                      16},
        // Reporters installed after the SDK call its handler as the one they replaced.
        AsWithoutCase{"AnAbortThroughAReporterInstalledSince",
                      "VELO_EARLIER_ABORT=none",
                      "Ra",
                      "ABRT",
                      "SIGABRT",
                      {"flushed-1"}},
        AsWithoutCase{"AThrowThroughAReporterInstalledSince",
                      "VELO_EARLIER_ABORT=none",
                      "Rt",
                      "ABRT",
                      "SIGABRT",
                      {"flushed-1"},
                      true},
        AsWithoutCase{"ARaiseOnAnotherThreadThroughAReporterInstalledSince",
                      "VELO_EARLIER_ABORT=none",
                      "Rh",
                      "ABRT",
                      "SIGABRT",
                      {"flushed-1"}},
        AsWithoutCase{"AnAbortThroughTwoReportersInstalledSince",
                      "VELO_EARLIER_ABORT=none",
                      "RRa",
                      "ABRT",
                      "SIGABRT",
                      {"flushed-1", "flushed-2"}},
        // A sandbox's broker answers a thread's trapped calls: the SDK's own, on both roads, as that thread
        // faults, and the program's own, each a crash that goes on.
        AsWithoutCase{"AFaultOnAThreadWhoseTrappedCallsABrokerAnswers",
                      "VELO_EARLIER_BROKER=answer VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=SEGV", "b",
                      "SEGV", "SIGSEGV"},
        AsWithoutCase{"AFaultOnTheSignalRoadOnAThreadWhoseTrappedCallsABrokerAnswers",
                      "VELO_EARLIER_BROKER=answer VELO_EARLIER_ABORT=none VELO_EARLIER_SIGNAL=SEGV "
                      "VELO_EARLIER_ROAD=signals",
                      "b", "SEGV", "SIGSEGV"},
        AsWithoutCase{"CallsABrokerAnswers",
                      "VELO_EARLIER_BROKER=answer VELO_EARLIER_ABORT=none",
                      "k",
                      "0",
                      "SIGSYS",
                      {"brokered"}},
        // q ends the program, and a thread faults as it exits.
        AsWithoutCase{"AFaultOnAnotherThreadAsTheProgramExits", "VELO_EARLIER_ABORT=none", "Z", "SEGV",
                      "SIGSEGV"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NullCallCase {
    const char* name;
    const char* order;      // 'n' or 'N' (fixtures/earlier_abort_handler.cpp)
    const char* threadName; // the crashed thread's
    const char* caller;     // the function that called velo_fixture_call_null
};

void PrintTo(const NullCallCase& nullCall, std::ostream* out) {
    *out << nullCall.name;
}

class CrashShippedProgramNullCall : public CrashShippedProgram,
                                    public ::testing::WithParamInterface<NullCallCase> {};

// A call through a null function pointer faults at address 0, in no image. The crashed thread starts
// there all the same, then goes on from the return address the call left: its symbolicated frames name
// the function that made the call and that function's caller.
TEST_P(CrashShippedProgramNullCall, TheCrashedThreadStartsAtTheNullTargetThenNamesTheCaller) {
    const NullCallCase& nullCall = GetParam();
    const std::string crashed = crashByPreloaded(VELO_EARLIER_ABORT_HANDLER, "VELO_EARLIER_FIFO",
                                                 nullCall.order, {"SEGV"}, "VELO_EARLIER_ABORT=none");
    ASSERT_FALSE(crashed.empty());

    // The library is loaded again, as a preloaded one is, so that its frames can be named.
    auto parts = expectOneReportWithWholeRecords(
        sendWithNextLaunch("LD_PRELOAD=" + quote(VELO_EARLIER_ABORT_HANDLER)), crashed, {});
    // A fault reaches the exception port first; the signal handler records it when the port does not.
    const std::string record = parts.count("mach_exception") != 0 ? "mach_exception" : "signal";
    ASSERT_EQ(parts.count(record), 1u) << "no record of the fault in the report";
    EXPECT_EQ(expectWholeRecords(record, parts[record]), 1u);
    const json threads = sectionOf(parts[record], "threads");
    const json names = sectionOf(parts[record], "thread_names");
    const json symbolicated = sectionOf(parts[record + ".zevrecord"], "threads");
    ASSERT_TRUE(threads.is_array() && names.is_array() && symbolicated.is_array());
    ASSERT_EQ(names.size(), threads.size());
    ASSERT_EQ(symbolicated.size(), threads.size());
    expectCrashedThreadStartsAt(threads, home.path() / "crash-fifo.crash-at");
    const std::size_t at = crashedThreadIn(threads);
    ASSERT_LT(at, threads.size());
    EXPECT_EQ(names[at], nullCall.threadName);
    std::vector<std::string> symbols;
    for (const auto& frame : symbolicated[at])
        symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
    ASSERT_GE(symbols.size(), 3u) << ::testing::PrintToString(symbols);
    EXPECT_EQ(symbols[1], "velo_fixture_call_null") << ::testing::PrintToString(symbols);
    EXPECT_EQ(symbols[2], nullCall.caller) << ::testing::PrintToString(symbols);
}

INSTANTIATE_TEST_SUITE_P(CrashNullCall, CrashShippedProgramNullCall,
                         ::testing::Values(NullCallCase{"OnTheMainThread", "n", "velomarinth", "poll"},
                                           NullCallCase{"OnAnotherThread", "N", "velo-null-call",
                                                        "velo_fixture_call_null_later"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ManyThreadsCase {
    const char* name;
    const char* threads; // VELO_MANY_THREADS (tests/sdk/zevuzavidav/fixtures/many_threads.cpp)
    char crash;          // what the crashing thread does
    const char* ending;
    std::vector<const char*> wholeRecords; // the parts that must hold one whole record each
};

void PrintTo(const ManyThreadsCase& many, std::ostream* out) {
    *out << many.name;
}

class CrashShippedProgramManyThreads : public CrashShippedProgram,
                                       public ::testing::WithParamInterface<ManyThreadsCase> {};

// A thread's name as the kernel keeps it: 15 bytes, the end of a longer name the program gives it
// (where reverse-domain names differ).
std::string kernelsName(const std::string& name) {
    return name.size() > 15 ? name.substr(name.size() - 15) : name;
}

// How many threads of each name the lines of `text` list.
std::map<std::string, int> countLines(const std::string& text) {
    std::map<std::string, int> counts;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        ++counts[line];
    return counts;
}

// A process of more threads than a record once held (512), crashed on a thread started after them all:
// every record sent holds every thread, the fixture's (its own, each it started, the crasher) and the
// program's, as the fixture listed them just before the crash (and any the program started since), each
// whole, the crashed one marked, and named as its thread named itself.
TEST_P(CrashShippedProgramManyThreads, EveryRecordHoldsEveryThreadAndTheCrashedOne) {
    const ManyThreadsCase& many = GetParam();
    const int waiting = std::stoi(many.threads);
    const std::string crashed = crashByPreloaded(VELO_MANY_THREADS_FIXTURE, "VELO_MANY_FIFO", {many.crash},
                                                 {many.ending}, "VELO_MANY_THREADS=" + quote(many.threads));
    ASSERT_FALSE(crashed.empty());
    const auto listed = countLines(velotest::readFile(home.path() / "crash-fifo.threads"));
    const auto count = [&](const char* name) { return listed.count(name) != 0 ? listed.at(name) : 0; };
    ASSERT_EQ(count("velo-waiter"), waiting) << "the fixture started other than the threads asked for";
    ASSERT_EQ(count("velo-many"), 1);
    ASSERT_EQ(count("velo-crasher"), 1);
    ASSERT_GT(listed.size(), 3u) << "the program's own threads were not listed";

    auto parts = expectOneReportWithWholeRecords(sendWithNextLaunch(), crashed, many.wholeRecords);
    for (const char* part : many.wholeRecords) {
        const json threads = sectionOf(parts[part], "threads");
        const json names = sectionOf(parts[part], "thread_names");
        ASSERT_TRUE(threads.is_array() && names.is_array() && threads.size() == names.size()) << part;
        std::map<std::string, int> recorded;
        for (std::size_t i = 0; i < threads.size(); ++i) {
            ASSERT_TRUE(names[i].is_string()) << part << ": " << names[i];
            ++recorded[kernelsName(names[i])];
            if (threads[i].value("crashed", false)) {
                EXPECT_EQ(names[i], "velo-crasher") << part;
            }
        }
        // The fixture's threads exactly as listed; the program's, every one listed, and any it started
        // since (its pools start a worker when work comes, between the listing and a later record too).
        for (const auto& [name, threadsNamed] : listed) {
            const int kept = recorded.count(name) != 0 ? recorded.at(name) : 0;
            if (name.starts_with("velo-"))
                EXPECT_EQ(kept, threadsNamed) << part << ": threads named " << name;
            else
                EXPECT_GE(kept, threadsNamed) << part << ": threads named " << name;
        }
        for (const auto& [name, threadsNamed] : recorded)
            EXPECT_TRUE(listed.count(name) != 0 || !name.starts_with("velo-"))
                << part << ": " << threadsNamed << " threads named " << name << " the fixture never started";
    }
}

INSTANTIATE_TEST_SUITE_P(
    CrashManyThreads, CrashShippedProgramManyThreads,
    ::testing::Values(
        ManyThreadsCase{
            "AFaultAmongAThousandThreadsSomeDeep", "1000:10:200", 'f', "SEGV", {"mach_exception"}},
        ManyThreadsCase{"AnAbortAmongAThousandThreads", "1000", 'a', "ABRT", {"signal"}},
        ManyThreadsCase{"AThrowAmongAThousandThreads", "1000", 't', "ABRT", {"exception", "signal"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A fault in a launch's first milliseconds: after the crash handlers are in, before the start has
// written the launch's metadata (a preloaded library holds the metadata's write and faults on a thread
// of its own meanwhile). The folder holds the crash record and no metadata. The next launch sends the
// report once, under the crashed launch's name, with its metadata made from the next launch's and
// marked so, and analytics counts the crash once, in the crashed launch's session.
TEST_F(CrashShippedProgram, ACrashBeforeTheLaunchsMetadataIsWrittenIsSentAndCountedOnce) {
    cacheAnalyticsSettings();

    const std::string crashed = crashAtStart();
    ASSERT_FALSE(crashed.empty());
    const fs::path folder = tree() / "active" / crashed;
    ASSERT_FALSE(fs::exists(fs::symlink_status(folder / "metadata.zevrecord")))
        << "the metadata was written before the crash";
    ASSERT_TRUE(fs::exists(folder / "mach_exception.zevrecord") || fs::exists(folder / "signal.zevrecord"))
        << "the fault was not recorded: " << ::testing::PrintToString(entries(folder));

    runNextLaunchUntil([&] {
        return !reportRequests().empty() &&
               !reporttest::sessionsWithACrash(server.requests(), analyticsPath).empty();
    });

    const auto sent = reportRequests();
    ASSERT_EQ(sent.size(), 1u) << "the report once";
    auto parts = partsOf(sent[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    const json identity = sectionOf(parts["metadata"], "identity");
    ASSERT_TRUE(identity.is_object()) << "no metadata was sent";
    EXPECT_EQ(identity["session_id"], crashed);
    EXPECT_EQ(identity["rebuilt"], true);
    for (const char* section : {"host", "application", "executable"})
        EXPECT_EQ(sectionOf(parts["metadata"], section)["rebuilt"], true) << section;
    EXPECT_EQ(reporttest::sessionsWithACrash(server.requests(), analyticsPath),
              std::vector<std::string>{crashed})
        << "app_crashed, once, in the crashed launch's session";
}

// Three launches in a row fault in their first milliseconds, each before it has told of the ones before.
// The launch that then runs sends the three reports, and analytics counts each crash once, in its own
// launch's session. Each report's metadata, rebuilt, puts the program where that launch had it: at the
// base of the first image its own record lists, the program, and not where the sending launch has it.
TEST_F(CrashShippedProgram, ARunOfCrashesAtStartIsSentAndEachCrashCountedOnceInItsOwnSession) {
    cacheAnalyticsSettings();
    std::set<std::string> crashed;
    for (int launch = 0; launch < 3; ++launch) {
        const std::string folder = crashAtStart();
        ASSERT_FALSE(folder.empty());
        crashed.insert(folder);
    }
    const auto reportsSent = [&] {
        std::set<std::string> sent;
        for (const auto& request : reportRequests())
            sent.insert(partsOf(request)["report_id"]);
        return sent;
    };

    runNextLaunchUntil([&] {
        return reportsSent() == crashed &&
               reporttest::sessionsWithACrash(server.requests(), analyticsPath).size() >= crashed.size();
    });

    EXPECT_EQ(reportRequests().size(), crashed.size()) << "each report once";
    auto sessions = reporttest::sessionsWithACrash(server.requests(), analyticsPath);
    std::sort(sessions.begin(), sessions.end());
    EXPECT_EQ(sessions, std::vector<std::string>(crashed.begin(), crashed.end()))
        << "app_crashed once in each crashed launch's session";
    for (const auto& request : reportRequests()) {
        auto parts = partsOf(request);
        const json executable = sectionOf(parts["metadata"], "executable");
        const json program = sectionOf(parts["binary_images"], "load");
        SCOPED_TRACE(parts["report_id"]);
        ASSERT_TRUE(executable.is_object());
        EXPECT_EQ(executable["rebuilt"], true);
        if (program.is_object()) {
            EXPECT_EQ(executable["base"], program["base"]);
        }
    }
}

// The launch after a crash finds the disk full (a file-size limit of nothing stands for it): analytics
// cannot keep the crash, and packaging the report fails, so the report stays in "processing", unmarked.
// The launch after that, with room again, tells analytics of the crash before it packages the report:
// the report goes once, and the crash counts once, in the crashed launch's session.
TEST_F(CrashShippedProgram, ACrashNotCountedOnAFullDiskIsSentAndCountedOnceByALaterLaunch) {
    cacheAnalyticsSettings();
    const std::string crashed = crashOnce();
    ASSERT_FALSE(crashed.empty());
    {
        velotest::Tmux full("velo-shipped-full-disk");
        full.start("ulimit -f 0; env " + environment() + " " + quote(program.string()));
        full.waitFor("SWIFT BASICS");
        EXPECT_TRUE(velotest::waitUntil(
            [&] { return entries(tree() / "processing") == std::vector<std::string>{crashed}; }));
        full.keys("q");
        full.waitFor("PROGRAM-ENDED");
    }
    ASSERT_EQ(entries(tree() / "processing"), std::vector<std::string>{crashed});
    ASSERT_FALSE(fs::exists(fs::symlink_status(tree() / "processing" / crashed / ".crash_counted")))
        << "analytics kept the crash on the full disk";
    ASSERT_TRUE(reportRequests().empty());

    runNextLaunchUntil([&] {
        return !reportRequests().empty() &&
               !reporttest::sessionsWithACrash(server.requests(), analyticsPath).empty();
    });

    const auto sent = reportRequests();
    ASSERT_EQ(sent.size(), 1u) << "the report once";
    EXPECT_EQ(partsOf(sent[0])["report_id"], crashed);
    EXPECT_EQ(reporttest::sessionsWithACrash(server.requests(), analyticsPath),
              std::vector<std::string>{crashed})
        << "app_crashed, once, in the crashed launch's session";
}

// A spinning process on every core of the machine, for as long as it lives.
class SpinnerOnEveryCore {
  public:
    SpinnerOnEveryCore() {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            const pid_t pid = velotest::forkTiedToThisProcess();
            if (pid == 0) {
                volatile unsigned long spins = 0;
                for (;;)
                    spins = spins + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~SpinnerOnEveryCore() {
        for (const pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    SpinnerOnEveryCore(const SpinnerOnEveryCore&) = delete;
    SpinnerOnEveryCore& operator=(const SpinnerOnEveryCore&) = delete;

  private:
    std::vector<pid_t> pids_;
};

struct ChurnCase {
    const char* name;
    char crash; // what the crashing thread does (tests/sdk/zevuzavidav/fixtures/thread_churn.cpp)
    const char* ending;
    const char* record; // the part that holds the crash's record
    bool busy;          // a spinner on every core while the crash is recorded
};

void PrintTo(const ChurnCase& churn, std::ostream* out) {
    *out << churn.name;
}

class CrashShippedProgramChurn : public CrashShippedProgram,
                                 public ::testing::WithParamInterface<ChurnCase> {};

// A crash among 2,000 waiting threads, 64 that block every signal and compute (one starting another every
// 20 ms), and two churning short-lived threads, the machine quiet or busy: every reading of the thread
// list finds new threads, and the round of suspension still ends within its bound, half the recording's:
// the record is written whole, threads and every section after them, unless the SDK log says that the
// recording's bound cut it (a machine so busy that the writing itself outlasts it). The process ends by
// the crash's signal, and the report the next launch sends holds the crashed thread, first among the
// threads, named and walked to its crash, the record cut short or not.
TEST_P(CrashShippedProgramChurn, TheReportHoldsTheCrashedThreadFirst) {
    const ChurnCase& churn = GetParam();
    std::string crashed;
    {
        std::optional<SpinnerOnEveryCore> spinners;
        if (churn.busy) spinners.emplace();
        crashed =
            crashByPreloaded(VELO_THREAD_CHURN_FIXTURE, "VELO_CHURN_FIFO", {churn.crash}, {churn.ending});
    }
    ASSERT_FALSE(crashed.empty());
    const std::string log = velotest::readFile(tree() / "active" / crashed / "sdk.log");
    const bool cutByTheBound = log.find("did not end within its bound") != std::string::npos;

    // The library is loaded again, as a preloaded one is, so that the crasher's frames can be named.
    const auto requests = sendWithNextLaunch("LD_PRELOAD=" + quote(VELO_THREAD_CHURN_FIXTURE));
    ASSERT_EQ(requests.size(), 1u);
    auto parts = partsOf(requests[0]);
    EXPECT_EQ(parts["report_id"], crashed);
    const std::string part = churn.record;
    const json threads = sectionOf(parts[part], "threads");
    const json symbolicated = sectionOf(parts[part + ".zevrecord"], "threads");
    // The SDK log's lines, each once, tell how far the recording went.
    std::string logOnce;
    std::set<std::string> seen;
    std::istringstream logLines(log);
    for (std::string line; std::getline(logLines, line);)
        if (line.find("recording thread ") == std::string::npos && seen.insert(line).second)
            logOnce += line + "\n";
    ASSERT_TRUE(threads.is_array() && !threads.empty()) << "the record sent holds no threads\n" << logOnce;
    EXPECT_TRUE(cutByTheBound || sectionOf(parts[part], "storage").is_object())
        << "the record was cut short, not by the recording's bound";
    EXPECT_TRUE(threads[0].value("crashed", false)) << "the first thread is not the crashed one";
    EXPECT_TRUE(recordtest::hasRegistersAndStack(threads[0])) << threads[0];
    // Names are written after the threads; a record cut short before them gets them from its threads, the
    // crashed thread's at least.
    const json names = sectionOf(parts[part], "thread_names");
    ASSERT_TRUE(names.is_array()) << "the record sent names no thread";
    ASSERT_EQ(names.size(), threads.size());
    EXPECT_EQ(names[0], "velo-crasher");
    ASSERT_TRUE(symbolicated.is_array() && symbolicated.size() == threads.size())
        << "the symbolicated threads do not follow the record's";
    std::vector<std::string> symbols;
    for (const auto& frame : symbolicated[0])
        symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
    EXPECT_NE(std::find(symbols.begin(), symbols.end(), "velo_fixture_churn_crash"), symbols.end())
        << ::testing::PrintToString(symbols);
}

INSTANTIATE_TEST_SUITE_P(CrashChurn, CrashShippedProgramChurn,
                         ::testing::Values(ChurnCase{"AnAbortOnAQuietMachine", 'a', "ABRT", "signal", false},
                                           ChurnCase{"AFaultOnBusyCores", 'f', "SEGV", "mach_exception",
                                                     true}),
                         [](const auto& info) { return std::string(info.param.name); });

// 300 launches crashed before this one. The report server holds its answers: the four uploads that
// reach it are the four oldest reports, and packaging waits for them, so nearly the whole backlog is
// still in "active" when analytics' first upload arrives. Once the server answers, every report goes,
// once. Analytics counts each crash in its own launch's session, never one twice; with at most 100 files
// pending it sends what that limit leaves of them.
TEST_F(CrashShippedProgram, ABacklogSendsItsOldestFirstAndAnalyticsDoesNotWaitBehindIt) {
    constexpr std::size_t kReports = 300;
    cacheAnalyticsSettings();
    {
        // A launch that ends well: analytics keeps its session as the previous one.
        velotest::Tmux quiet("velo-shipped-backlog-first");
        quiet.start("env " + environment() + " " + quote(program.string()));
        quiet.waitFor("SWIFT BASICS");
        quiet.keys("q");
        quiet.waitFor("PROGRAM-ENDED");
    }
    std::vector<std::string> oldestFirst;
    for (std::size_t i = 0; i < kReports; ++i) {
        // Names that do not follow the age: a listing's order is no help.
        const std::string id = "backlog-" + std::to_string((i * 7919) % kReports + 1000);
        reporttest::writeCrashedLaunch(tree() / "active" / id, id, 1700000000 + i);
        oldestFirst.push_back(id);
    }

    gateClosed = true;
    std::mutex seenMutex;
    std::optional<std::size_t> activeAtAnalytics;
    onAnalytics = [&](const reporttest::Request&) {
        std::lock_guard lock(seenMutex);
        if (!activeAtAnalytics) activeAtAnalytics = entries(tree() / "active").size();
    };
    velotest::Tmux second("velo-shipped-backlog");
    second.start("env " + environment() + " " + quote(program.string()));
    second.waitFor("SWIFT BASICS");
    ASSERT_TRUE(velotest::waitUntil([&] {
        std::lock_guard lock(seenMutex);
        return reportRequests().size() >= 4 && activeAtAnalytics.has_value();
    })) << second.screen();
    std::set<std::string> held;
    for (const auto& request : reportRequests())
        held.insert(partsOf(request)["report_id"]);
    EXPECT_EQ(held, std::set<std::string>(oldestFirst.begin(), oldestFirst.begin() + 4));
    {
        std::lock_guard lock(seenMutex);
        // The earlier reports not yet packaged, and this launch's own folder.
        EXPECT_GE(*activeAtAnalytics, kReports - 8 + 1) << "analytics waited for the backlog";
    }

    reportGate.open();
    ASSERT_TRUE(velotest::waitUntil([&] { return reportRequests().size() >= kReports; }))
        << reportRequests().size() << " reports arrived";
    ASSERT_TRUE(velotest::waitUntil([&] { return entries(tree() / "prepared").empty(); }));
    second.keys("q");
    second.waitFor("PROGRAM-ENDED");

    std::set<std::string> sent;
    for (const auto& request : reportRequests())
        sent.insert(partsOf(request)["report_id"]);
    EXPECT_EQ(sent.size(), kReports) << "each report once";
    EXPECT_EQ(reportRequests().size(), kReports);
    const auto crashed = reporttest::sessionsWithACrash(server.requests(), analyticsPath);
    const std::set<std::string> sessions(crashed.begin(), crashed.end());
    EXPECT_EQ(sessions.size(), crashed.size()) << "a crash counted twice";
    EXPECT_FALSE(sessions.empty());
    for (const auto& session : sessions)
        EXPECT_NE(std::find(oldestFirst.begin(), oldestFirst.end(), session), oldestFirst.end())
            << "a crash in " << session << ", which is no crashed launch's session";
}

} // namespace
