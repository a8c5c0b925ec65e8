// The life of reports across launches, with the crash handlers only recorded: the start of a launch
// and what becomes of earlier reports.
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"
#include "tests/support/OnExit.hpp"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

// ---- the start -----------------------------------------------------------------------------------

TEST(LaunchStart, AFirstLaunchPreparesTheTreeTheMarkerAndItsOwnReport) {
    TestApp app;
    auto kit = std::make_shared<TestKit>();
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::string("beta-1")));
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
    EXPECT_TRUE(fs::is_directory(app.files->processingPath()));
    EXPECT_TRUE(fs::is_directory(app.files->preparedPath()));
    EXPECT_TRUE(controller->launchFailureMarkerPresent());
    EXPECT_EQ(app.handlerInstalls, 1);
    EXPECT_TRUE(kit->detected().empty());

    ASSERT_TRUE(app.startRecord.has_value());
    const StartRecord& record = *app.startRecord;
    EXPECT_EQ(record.apiKey, "test-api-key");
    EXPECT_FALSE(record.submissionTarget);
    EXPECT_EQ(record.numbers.firstInstall, 1);
    EXPECT_FALSE(record.crashCallbackTarget);
    EXPECT_FALSE(record.customBundleIdentifier.has_value());
    EXPECT_EQ(record.reportDirectory, app.files->activePath() + "/launch1");
    EXPECT_EQ(record.reportIdentifier, "launch1");
    EXPECT_EQ(record.installationIdentifier, "test-install");
    EXPECT_EQ(record.betaToken, "beta-1");
    EXPECT_EQ(record.numbers.machExceptionMask, 0u);

    // The main thread's first pass through its queue: the launch did not fail.
    dispatch::main().drain();
    EXPECT_FALSE(controller->launchFailureMarkerPresent());
}

TEST(LaunchStart, TheStartRecordCarriesTheServerLimitsAndTheCallbackTarget) {
    TestApp app;
    auto kit = std::make_shared<TestKit>();
    kit->installCrashCallback = true;
    kit->serverSettings = json::parse(R"({"features":{"collect_logged_exceptions":false},
        "session":{"log_buffer_size":4096,"max_custom_exception_events":5,"max_custom_key_value_pairs":9}})");
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    const StartRecord& record = *app.startRecord;
    EXPECT_TRUE(record.crashCallbackTarget);
    EXPECT_FALSE(record.betaToken.has_value());
    EXPECT_EQ(record.numbers.errorReportingEnabled, 0);
    EXPECT_EQ(record.numbers.customExceptionsEnabled, 0);
    EXPECT_EQ(record.numbers.maxCustomExceptions, 5u);
    EXPECT_EQ(record.numbers.logBufferSize, 4096u);
    EXPECT_EQ(record.numbers.errorLogBufferSize, 4096u);
    EXPECT_EQ(record.numbers.maxCustomKeys, 9u);
}

struct MaskCase {
    std::set<int> signals;
    std::uint32_t mask;
};

class LaunchMask : public ::testing::TestWithParam<MaskCase> {};

TEST_P(LaunchMask, LeavesOutTheFaultsWhoseSignalsTheAppWants) {
    TestApp app;
    auto kit = std::make_shared<TestKit>();
    kit->deliveredSignals = GetParam().signals;
    auto controller = app.launch(kit, "launch1");
    EXPECT_EQ(controller->machExceptionMask(), GetParam().mask);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, LaunchMask,
    ::testing::Values(MaskCase{{}, 0}, MaskCase{{SIGSEGV}, 0x2}, MaskCase{{SIGBUS, SIGSEGV}, 0x2},
                      MaskCase{{SIGABRT, SIGILL, SIGTRAP}, 0x444},
                      MaskCase{{SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP}, 0x44E}));

TEST(LaunchStart, WithoutABundleIdentifierNothingIsTouched) {
    zovtest::SDKHome home({{"CFBundleVersion", "1"}});
    ns::ConsoleCapture console;
    auto kit = std::make_shared<TestKit>();
    bool installed = false;
    auto controller = ZEVCrashReportingController::initWithFileManager(
        std::make_shared<ZEVFileManager>(), kit,
        {[] { return std::string("id"); }, [&](const ZEVContextInitData*) { installed = true; }});
    EXPECT_FALSE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    EXPECT_FALSE(installed);
    EXPECT_FALSE(fs::exists(home.home() / "Library/Caches/com.zevuzavidav.data"));
    EXPECT_TRUE(console.contains(
        "[Zevuzavidav] An application must have a valid bundle idenifier in its Info.plist"));
}

TEST(LaunchStart, ReportingSwitchedOffEmptiesEveryFolderAndInstallsNothing) {
    TestApp app;
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    app.writeEarlierCrash("old");
    writeText(fs::path(app.files->processingPath()) / "p" / "x", "");
    writeText(fs::path(app.files->preparedPath()) / "a.multipartmime", "x");
    writeText(fs::path(app.files->pendingPath()) / "q", "");
    writeText(fs::path(app.files->preparedPath()) / ".hidden", "");
    auto kit = std::make_shared<TestKit>();
    kit->serverSettings = json::parse(R"({"features":{"collect_reports":false}})");
    ns::ConsoleCapture console;
    auto controller = app.launch(kit, "launch1");
    EXPECT_FALSE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    EXPECT_TRUE(console.contains("[Zevuzavidav:Crash] Reporting is disabled"));
    EXPECT_EQ(app.handlerInstalls, 0);
    for (const auto& folder : {app.files->activePath(), app.files->processingPath(),
                               app.files->preparedPath(), app.files->pendingPath()})
        EXPECT_TRUE(app.names(folder).empty()) << folder;
    EXPECT_TRUE(fs::exists(fs::path(app.files->preparedPath()) / ".hidden"));
}

// A link in the place of a folder of the tree, or of one above it, leads elsewhere: with reporting on
// or off, the start looks at every folder from the sandbox's Library down before it removes, lists or
// makes anything, so an older layout's marker, report folders and packages found through the link are
// neither removed nor sent, and the launch's own folders are made in the sandbox.
struct LinkedFolderCase {
    const char* name;
    const char* place; // below the root; "" the root, ".." com.zevuzavidav.data
    bool reporting;
};

class LaunchStartLink : public ::testing::TestWithParam<LinkedFolderCase> {};

TEST_P(LaunchStartLink, LeavesWhatTheLinkPointsToUntouched) {
    ReportServer server;
    TestApp app(server.base());
    velotest::TempFolder outside;
    const fs::path place = linkInPlaceOfFolder(app.files->rootPath(), GetParam().place, outside.path());
    const auto before = velotest::folderContents(outside.path());
    auto kit = std::make_shared<TestKit>();
    if (!GetParam().reporting) kit->serverSettings = json::parse(R"({"features":{"collect_reports":false}})");
    auto controller = app.launch(kit, "launch1");
    EXPECT_EQ(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt), GetParam().reporting);
    TestApp::settle(controller);

    EXPECT_EQ(velotest::folderContents(outside.path()), before);
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(place)));
    EXPECT_EQ(app.names(app.files->activePath()),
              GetParam().reporting ? std::vector<std::string>{"launch1"} : std::vector<std::string>{});
    EXPECT_TRUE(kit->detected().empty());
    EXPECT_TRUE(server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Places, LaunchStartLink,
                         ::testing::Values(LinkedFolderCase{"StructureReportingOn", "v3", true},
                                           LinkedFolderCase{"StructureReportingOff", "v3", false},
                                           LinkedFolderCase{"RootReportingOn", "", true},
                                           LinkedFolderCase{"RootReportingOff", "", false},
                                           LinkedFolderCase{"DataFolderReportingOn", "..", true},
                                           LinkedFolderCase{"DataFolderReportingOff", "..", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The launch marker only needs to exist: a hard link in its place is never truncated or written, so
// the file of its other name keeps its bytes.
TEST(LaunchStart, AHardLinkInTheMarkersPlaceKeepsItsOutsideBytes) {
    TestApp app;
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    velotest::TempFolder outside;
    writeText(outside.path() / "theirs", "someone else's bytes");
    auto controller = app.launch(std::make_shared<TestKit>(), "launch1");
    fs::create_hard_link(outside.path() / "theirs", controller->launchFailureMarkerPath());
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    EXPECT_TRUE(controller->launchFailureMarkerPresent());
    TestApp::settle(controller); // the launch got going: the marker goes
    EXPECT_FALSE(controller->launchFailureMarkerPresent());
    EXPECT_EQ(readFile(outside.path() / "theirs"), "someone else's bytes");
}

TEST(LaunchStart, AnOlderTreeGoesBeforeTheNewLaunchMakesItsFolders) {
    TestApp app;
    writeText(app.files->legacyMarkerPath(), "");
    writeText(fs::path(app.files->rootPath()) / "old" / "report.plist", "x");
    auto controller = app.launch(std::make_shared<TestKit>(), "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    EXPECT_FALSE(fs::exists(app.files->legacyMarkerPath()));
    EXPECT_FALSE(fs::exists(fs::path(app.files->rootPath()) / "old"));
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
}

TEST(LaunchStart, WithoutItsOwnReportFolderNoHandlersGoInButEarlierReportsAreHandled) {
    TestApp app;
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    app.writeEarlierCrash("old");
    auto kit = std::make_shared<TestKit>();
    kit->mustInform = true;
    kit->decision = TestKit::Decision::never;
    ns::ConsoleCapture console;
    auto controller = app.launch(kit, ""); // no execution identifier: no folder can be made
    EXPECT_FALSE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    EXPECT_TRUE(console.contains("[Zevuzavidav:Crash] Unable to setup a new report"));
    EXPECT_EQ(app.handlerInstalls, 0);
    EXPECT_EQ(kit->detected(), std::vector<std::string>{"old"});
    // The launch still got going: the marker goes at the main thread's first pass.
    TestApp::settle(controller);
    EXPECT_FALSE(controller->launchFailureMarkerPresent());
}

// ---- earlier reports ------------------------------------------------------------------------------

TEST(EarlierReports, FoldersWithNothingToSendAreDeletedUnheardWithOrWithoutMetadata) {
    TestApp app;
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    auto quiet = fs::path(app.files->activePath()) / "quiet";
    writeMetadata(quiet, "quiet");
    writeText(quiet / "log_a.zevrecord", "");
    writeText(quiet / "user_incremental_kv.zevrecord", "");
    writeText(fs::path(app.files->activePath()) / "nometadata" / "log_a.zevrecord", "{}");
    writeText(fs::path(app.files->activePath()) / "stray.txt", "x");
    auto kit = std::make_shared<TestKit>();
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    TestApp::settle(controller);
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
    EXPECT_TRUE(kit->detected().empty());
}

TEST(EarlierReports, TheAppsNoDeletesTheReportAndItsSilenceKeepsIt) {
    ReportServer server;
    TestApp app(server.base());
    auto kit = std::make_shared<TestKit>();
    kit->mustInform = true;
    kit->decision = TestKit::Decision::drop;
    auto controller = app.startAfterCrashes(kit, {"dropped"});
    ASSERT_TRUE(app.started);
    TestApp::settle(controller);
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
    EXPECT_EQ(kit->detected(), std::vector<std::string>{"dropped"});

    app.writeEarlierCrash("undecided");
    kit->decision = TestKit::Decision::never;
    controller = app.launch(kit, "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    TestApp::settle(controller);
    EXPECT_EQ(kit->unanswered(), 1u);
    // launch1 did not crash and wrote nothing to send: it went like any quiet launch.
    EXPECT_EQ(app.names(app.files->activePath()), (std::vector<std::string>{"launch2", "undecided"}));
    EXPECT_TRUE(server.requests().empty());
}

// A launch that crashed before its start wrote its metadata, or while it did, left a record to send and
// metadata that is missing, cut or short of a section. Its folder is never removed for that: it is sent
// under its own name with its metadata made whole from the running launch's. A launch without metadata
// of its own to make it from sends what it can read as it is and leaves the rest for a later launch.
TEST(EarlierReports, ACrashWithoutWholeMetadataIsSentUnderItsFoldersName) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    const fs::path missing = app.writeEarlierCrash("no-metadata", "mach_exception.zevrecord");
    fs::remove(missing / "metadata.zevrecord");
    const fs::path cut = app.writeEarlierCrash("cut-metadata");
    writeText(cut / "metadata.zevrecord", "{\"identity\":{\"session_id\":\"cut");
    const fs::path shortOfOne = app.writeEarlierCrash("short-metadata");
    auto lines = readLines(shortOfOne / "metadata.zevrecord");
    lines.pop_back();
    writeLines(shortOfOne / "metadata.zevrecord", lines);

    auto kit = std::make_shared<TestKit>();
    ns::ConsoleCapture console;
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return !server.requests().empty(); }));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), std::vector<std::string>{"short-metadata"});
    EXPECT_EQ(kit->detected(), std::vector<std::string>{"short-metadata"});
    EXPECT_EQ(app.names(app.files->activePath()),
              (std::vector<std::string>{"cut-metadata", "launch1", "no-metadata"}));
    for (const auto& folder : {missing, cut})
        EXPECT_TRUE(saw(console, "[Zevuzavidav:Crash] Unable to rebuild the metadata of the report at " +
                                     folder.string()))
            << folder;

    controller.reset();
    kit = std::make_shared<TestKit>();
    app.writesOwnMetadata = true;
    controller = app.launch(kit, "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return server.requests().size() >= 3; }));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    const auto requests = server.requests();
    EXPECT_EQ(reportIds(requests),
              (std::vector<std::string>{"cut-metadata", "no-metadata", "short-metadata"}));
    auto told = kit->detected();
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<std::string>{"cut-metadata", "no-metadata"}));
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch2"});
    // What went up says which facts are the later launch's.
    for (const auto& request : requests) {
        auto parts = partsOf(request);
        if (parts["report_id"] != "no-metadata") continue;
        const auto metadata = gunzip(parts["metadata"]);
        ASSERT_TRUE(metadata);
        const json identity = json::parse(metadata->substr(0, metadata->find('\n')));
        EXPECT_EQ(identity["identity"]["session_id"], "no-metadata");
        EXPECT_EQ(identity["identity"]["api_key"], "test-api-key");
        EXPECT_EQ(identity["identity"]["rebuilt"], true);
    }
}

// What a launch finds in "processing" and cannot send: a folder whose removal was cut short (its
// metadata gone first), a crash file without metadata, a stray file. It goes at the next start, once;
// a folder whose metadata is there but unreadable is left alone.
TEST(EarlierReports, AProcessingItemThatHoldsNoReportGoesAtTheNextStartOnce) {
    TestApp app;
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    const fs::path processing = app.files->processingPath();
    writeText(processing / "cut-short" / "binary_images.zevrecord", "{}\n");
    writeText(processing / "crash-only" / "signal.zevrecord", "{}\n");
    writeText(processing / "stray-file", "x");
    writeText(processing / "unreadable" / "metadata.zevrecord", "{\"identity\":{\"session_id\":\"cut");
    writeText(processing / "unreadable" / "signal.zevrecord", "{}\n");
    for (const char* id : {"launch1", "launch2"}) {
        ns::ConsoleCapture console;
        auto controller = app.launch(std::make_shared<TestKit>(), id);
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        TestApp::settle(controller);
        EXPECT_EQ(app.names(processing), std::vector<std::string>{"unreadable"}) << id;
        const std::string removal = "[Zevuzavidav:Crash] Removing a processing item that holds no report: ";
        for (const char* gone : {"cut-short", "crash-only", "stray-file"}) {
            const std::string path = (processing / gone).string();
            EXPECT_EQ(console.contains(removal + path), std::string(id) == "launch1") << id << " " << gone;
            EXPECT_FALSE(saw(console, "[Zevuzavidav:Crash] Unable to read identifier at path " + path))
                << gone;
        }
        EXPECT_TRUE(saw(console, "[Zevuzavidav:Crash] Unable to read identifier at path " +
                                     (processing / "unreadable").string()));
    }
}

// Earlier reports go oldest first, by the start of their launch rather than by their folders' names or
// the order the folder lists them in; a report without a start date counts as the oldest. All of them
// are told of first, newest first, before the first is handed over.
TEST(EarlierReports, AreHandedToTheAppOldestFirst) {
    TestApp app;
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    const std::vector<std::string> names = {"k", "c", "x", "a", "q", "f", "z", "m", "b", "t"};
    for (std::size_t i = 0; i < names.size(); ++i)
        app.writeEarlierCrash(names[i], "signal.zevrecord", 1700000100 + 10 * (i % 5) + i / 5);
    writeLines(fs::path(app.files->activePath()) / "undated" / "metadata.zevrecord",
               {json{{"identity", {{"session_id", "undated"}}}}});
    writeText(fs::path(app.files->activePath()) / "undated" / "errors_a.zevrecord", "");
    auto kit = std::make_shared<TestKit>();
    kit->mustInform = true;
    kit->decision = TestKit::Decision::never;
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    const std::vector<std::string> oldestFirst = {"undated", "k", "f", "c", "z", "x",
                                                  "m",       "a", "b", "q", "t"};
    EXPECT_EQ(kit->handed(), oldestFirst);
    // The newest is told of as the start returns (the urgent road may send it at once), the others on
    // the work queue, ahead of anything there that takes a report away: newest first all the same.
    const std::vector<std::string> toldAtOnce = kit->detected();
    ASSERT_FALSE(toldAtOnce.empty());
    EXPECT_EQ(toldAtOnce.front(), oldestFirst.back());
    TestApp::settle(controller);
    EXPECT_EQ(kit->detected(), std::vector<std::string>(oldestFirst.rbegin(), oldestFirst.rend()));
}

// A crash analytics did not keep when first told (its folder unmarked) is told of again right before its
// report is packaged, whichever road takes it there: the backlog from "active" or from "processing", the
// prompt's answer, an app extension's prompt-free road. The urgent road, told just before, is not told
// twice. A folder marked counted (in "active", then moved to "processing" by a launch whose packaging
// failed) is not told again. Each report goes once.
TEST(EarlierReports, ACrashAnalyticsDidNotKeepIsToldAgainBeforeItIsPackaged) {
    enum class Road { backlog, processing, prompt, extension, urgent };
    const struct {
        const char* name;
        Road road;
        bool kept;
        std::size_t told;
    } cases[] = {
        {"backlog, not kept", Road::backlog, false, 2},       {"backlog, kept", Road::backlog, true, 1},
        {"processing, not kept", Road::processing, false, 1}, {"processing, kept", Road::processing, true, 0},
        {"prompt, not kept", Road::prompt, false, 2},         {"prompt, kept", Road::prompt, true, 1},
        {"extension, not kept", Road::extension, false, 2},   {"urgent, not kept", Road::urgent, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportServer server;
        TestApp app(server.base());
        ASSERT_TRUE(app.files->prepareForNewLaunch());
        const fs::path folder = app.writeEarlierCrash("old");
        auto kit = std::make_shared<TestKit>();
        kit->keepsCrashes = c.kept;
        kit->canUseBackgroundSessions = false;
        if (c.road == Road::processing) {
            if (c.kept) {
                ASSERT_TRUE(ZEVInternalReport::reportWithPath(folder.string())->markCrashCounted());
            }
            ASSERT_TRUE(app.files->moveItemAtPath(folder.string(), app.files->processingPath()));
        }
        if (c.road == Road::prompt || c.road == Road::extension)
            kit->serverSettings = json::parse(R"({"features":{"prompt_enabled":true}})");
        if (c.road == Road::urgent) writeText(fs::path(app.files->structurePath()) / "launchmarker", "");
        if (c.road == Road::extension)
            zevuzavidav::setPlatformFactsProvider([] {
                zevuzavidav::PlatformFacts facts;
                facts.extensionPointIdentifier = "com.apple.widget-extension";
                return facts;
            });
        velotest::OnExit ordinaryApp([] { zevuzavidav::setPlatformFactsProvider(nullptr); });

        auto controller = app.launch(kit, "launch1");
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        if (c.road == Road::prompt) {
            std::shared_ptr<ui::AlertView> alert;
            ASSERT_TRUE(TestApp::eventually(
                [&] { return (alert = controller->crashReportSubmissionAlert()) != nullptr; }));
            for (std::int64_t button = 0; button < alert->numberOfButtons(); ++button)
                if (alert->buttonTitleAtIndex(button) == "Send")
                    controller->alertViewClickedButtonAtIndex(*alert, button);
        }
        ASSERT_TRUE(server.waitForRequests(1));
        ASSERT_TRUE(TestApp::settleUploads(controller));
        EXPECT_EQ(reportIds(server.requests()), std::vector<std::string>{"old"});
        EXPECT_EQ(kit->detected(), std::vector<std::string>(c.told, "old"));
    }
}

} // namespace
