// The whole road of a crash: a child process is launch N (it starts crash reporting for real and then
// crashes by a null write, an uncaught C++ exception or abort), this process is launch N+1 and sends the
// report to a local HTTPS server pinned by a test root. The child is this test program run again with
// only the same test (fork and exec), so it starts clean and has the same images this process
// symbolicates against.
// Suites are named Crash* so sanitizer runs leave them out.
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/uikit/Device.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/FreshProcess.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// Outside any unnamed namespace, so the test program exports them and symbolication can name them.
namespace crashlife {

__attribute__((noinline)) void nullWrite() {
    volatile int* volatile target = nullptr;
    *target = 1;
}
__attribute__((noinline)) void throwUncaught() {
    throw std::runtime_error("launch N gives up");
}
__attribute__((noinline)) void callAbort() {
    std::abort();
}
// Called through a pointer the compiler cannot see through, so no crash is folded away as unreachable.
void (*volatile crashNow)() = nullptr;
__attribute__((noinline)) void crashMiddle(const std::string& kind) {
    crashNow = kind == "signal" ? nullWrite : kind == "abort" ? callAbort : throwUncaught;
    if (kind == "exception") {
        // On a thread of its own, nothing above the throw catches it (the test framework would).
        std::thread([] { crashNow(); }).join();
    } else {
        crashNow();
    }
    asm volatile("" ::: "memory");
}

} // namespace crashlife

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

// ---- launch N: the child's side ------------------------------------------------------------------

// Leaves a file when the crash handler calls back, with nothing but open and close.
class CallbackKit : public TestKit {
  public:
    explicit CallbackKit(const std::string& path) {
        std::snprintf(path_, sizeof path_, "%s", path.c_str());
        installCrashCallback = true;
    }
    void detectedCrash() override {
        int fd = ::open(path_, O_WRONLY | O_CREAT, 0644);
        if (fd >= 0) ::close(fd);
    }

  private:
    char path_[512];
};

// Launch N: starts crash reporting in the sandbox and bundle the variables name, then crashes as told.
[[noreturn]] void startAndCrash(const std::string& kind) {
    alarm(30); // a launch that fails to crash must not outlive its test
    ns::Sandbox::setHome(std::getenv("VELO_LAUNCH_HOME"));
    ns::Bundle::setMainBundlePath(std::getenv("VELO_LAUNCH_BUNDLE"));
    dispatch::main().bindToCurrentThread();
    auto kit =
        std::make_shared<CallbackKit>(std::string(std::getenv("VELO_LAUNCH_HOME")) + "/crash-callback");
    std::string id = std::getenv("VELO_LAUNCH_ID");
    auto controller = ZEVCrashReportingController::initWithFileManager(
        std::make_shared<ZEVFileManager>(), kit, {[id] { return id; }, ZEVContextInitialize});
    if (!controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt)) _exit(4);
    dispatch::main().drain(); // the launch got going: no urgent report next time
    crashlife::crashMiddle(kind);
    _exit(3);
}

int runLaunchN(const TestApp& app, const std::string& id, const std::string& kind) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry)
        variables.emplace_back(*entry);
    variables.push_back("VELO_LAUNCH_CRASH=" + kind);
    variables.push_back("VELO_LAUNCH_ID=" + id);
    variables.push_back("VELO_LAUNCH_HOME=" + app.home().home().string());
    variables.push_back("VELO_LAUNCH_BUNDLE=" + app.home().bundle().path().string());
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    // The child runs this same test, which sees the variables and plays launch N.
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char* argv[] = {self.data(), filter.data(), nullptr};
    return velotest::waitStatusOfChild([&] { ::execve(self.c_str(), argv, envp.data()); }, 127);
}

// ---- launch N+1: this process --------------------------------------------------------------------

struct RoadCase {
    const char* name;
    const char* kind;
    int signal;
    const char* crashFile;
    std::vector<std::string> symbols; // named on the crashed stack after symbolication
};

class CrashRoad : public ::testing::TestWithParam<RoadCase> {};

std::vector<std::string> symbolsOf(const json& symbolicated) {
    std::vector<std::string> symbols;
    for (const auto& thread : symbolicated["threads"])
        for (const auto& frame : thread)
            if (frame["symbol"].is_string()) symbols.push_back(frame["symbol"]);
    return symbols;
}

TEST_P(CrashRoad, TheCrashOfOneLaunchReachesTheServerInTheNext) {
    const RoadCase& road = GetParam();
    if (const char* kind = std::getenv("VELO_LAUNCH_CRASH")) startAndCrash(kind);
    // Launch N+1 starts crash reporting for real, which no test can undo.
    if (velotest::ranInAFreshProcess()) return;
    ReportServer server;
    TestApp app(server.base());
    const std::string childId = "a1b2c3d4e5f60718293a4b5c6d7e8f90";
    int status = runLaunchN(app, childId, road.kind);
    ASSERT_TRUE(WIFSIGNALED(status)) << "launch N ended with status " << status;
    EXPECT_EQ(WTERMSIG(status), road.signal);
    ASSERT_TRUE(fs::exists(fs::path(app.files->activePath()) / childId / road.crashFile));
    EXPECT_TRUE(fs::exists(app.home().home() / "crash-callback")) << "the kit heard nothing of the crash";

    ns::ConsoleCapture console;
    auto kit = std::make_shared<TestKit>();
    ZEVCrashReportingController::Environment environment;
    environment.executionIdentifier = [] { return std::string("launchnplus1"); };
    environment.contextInitialize = ZEVContextInitialize;
    auto controller = ZEVCrashReportingController::initWithFileManager(app.files, kit, environment);
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(kit->detected(), std::vector<std::string>{childId});

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const Request& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, kReportsPath);
    const std::vector<std::string> order = {"User-Agent",
                                            "Accept",
                                            "Accept-Charset",
                                            "Accept-Language",
                                            "Content-Language",
                                            "X-Zevuzavidav-Developer-Token",
                                            "X-Zevuzavidav-API-Client-Id",
                                            "X-Zevuzavidav-API-Client-Display-Version",
                                            "X-Zevuzavidav-API-Client-Build-Version",
                                            "X-Zevuzavidav-API-Key",
                                            "Content-Type",
                                            "Content-Length"};
    std::vector<std::string> sent;
    for (const auto& [name, value] : request.headers)
        if (std::find(order.begin(), order.end(), name) != order.end()) sent.push_back(name);
    EXPECT_EQ(sent, order);
    EXPECT_EQ(request.header("User-Agent"), "Zevuzavidav iOS SDK/3.4.0");
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(request.header("X-Zevuzavidav-Developer-Token"), "7c3e9a1f0b5d2e8c4a6f1b9d3e7c0a5f2b8d4e6a");
    EXPECT_EQ(request.header("X-Zevuzavidav-API-Client-Id"), "com.rizudiz.zevuzavidav.ios");
    EXPECT_EQ(request.header("X-Zevuzavidav-API-Key"), "test-api-key");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));

    // The boundary is the package's own file name.
    std::string type = request.header("Content-Type");
    ASSERT_EQ(type.rfind("multipart/form-data; boundary=", 0), 0u) << type;
    std::string boundary = type.substr(type.find('=') + 1);
    std::string submitted;
    for (const auto& line : console.lines())
        if (line.rfind("[Zevuzavidav:Crash:Reports] Submitting async ", 0) == 0) submitted = line.substr(46);
    EXPECT_EQ(fs::path(submitted).filename().string(), boundary + ".multipartmime");

    auto body = parseMultipart(request.body, boundary);
    EXPECT_EQ(body.head, "MIME-Version: 1.0\r\n");
    EXPECT_TRUE(body.closed);
    ASSERT_GE(body.parts.size(), 2u);
    EXPECT_EQ(body.parts[0].name, "api_key");
    EXPECT_EQ(body.parts[0].data, "test-api-key");
    EXPECT_EQ(body.parts[1].name, "report_id");
    EXPECT_EQ(body.parts[1].data, childId);
    std::map<std::string, std::string> members;
    for (std::size_t i = 2; i < body.parts.size(); ++i) {
        auto bytes = gunzip(body.parts[i].data);
        ASSERT_TRUE(bytes.has_value()) << body.parts[i].fileName;
        members[body.parts[i].name] = *bytes;
        if (body.parts[i].name == "sdk") continue; // the SDK log is text, not records
        std::istringstream lines(*bytes);
        for (std::string line; std::getline(lines, line);)
            EXPECT_FALSE(json::parse(line, nullptr, false).is_discarded())
                << body.parts[i].fileName << ": " << line;
    }
    std::string crashStem = fs::path(road.crashFile).stem().string();
    for (const auto& name : {std::string("metadata"), std::string("binary_images"), crashStem})
        EXPECT_EQ(members.count(name), 1u) << name;
    ASSERT_EQ(members.count(road.crashFile), 1u) << "no symbolicated " << road.crashFile;
    auto symbols = symbolsOf(json::parse(members[road.crashFile]));
    for (const auto& expected : road.symbols)
        EXPECT_NE(std::find(symbols.begin(), symbols.end(), expected), symbols.end())
            << expected << " not among " << json(symbols).dump();

    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launchnplus1"});
}

INSTANTIATE_TEST_SUITE_P(
    CrashFaults, CrashRoad,
    ::testing::Values(
        // A fault goes the exception-port road first, so its record is the Mach exception's.
        RoadCase{"NullWrite",
                 "signal",
                 SIGSEGV,
                 "mach_exception.zevrecord",
                 {"crashlife::nullWrite()", "crashlife::crashMiddle(std::__cxx11::basic_string<char, "
                                            "std::char_traits<char>, std::allocator<char> > const&)"}},
        RoadCase{"UncaughtException",
                 "exception",
                 SIGABRT,
                 "exception.zevrecord",
                 {"crashlife::throwUncaught()", "std::terminate()"}},
        RoadCase{"Abort", "abort", SIGABRT, "signal.zevrecord", {"abort", "crashlife::callAbort()"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The keys a launch records about itself, read back from its own internal key-value file.
std::map<std::string, std::string> internalKeys(const fs::path& folder) {
    auto unhex = [](const std::string& text) {
        std::string out;
        for (std::size_t i = 0; i + 1 < text.size(); i += 2)
            out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
        return out;
    };
    std::map<std::string, std::string> keys;
    for (const auto& line : readLines(folder / "internal_incremental_kv.zevrecord"))
        keys[unhex(line["kv"]["key"])] =
            line["kv"]["value"].is_string() ? unhex(line["kv"]["value"]) : "(none)";
    return keys;
}

TEST(CrashRoadState, ALaunchRecordsHowItStartedAndWhatBecomesOfItsState) {
    // The launch starts crash reporting for real, which no test can undo.
    if (velotest::ranInAFreshProcess()) return;
    TestApp app;
    auto kit = std::make_shared<TestKit>();
    ZEVCrashReportingController::Environment environment;
    environment.executionIdentifier = [] { return std::string("thislaunch"); };
    environment.contextInitialize = ZEVContextInitialize;
    auto controller = ZEVCrashReportingController::initWithFileManager(app.files, kit, environment);
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    dispatch::main().drain(); // the first pass of the main thread
    auto folder = fs::path(app.files->activePath()) / "thislaunch";
    auto sync = [] { zevuzavidav::sharedCrashContext().loggingQueue->sync([] {}); };
    sync();
    auto keys = internalKeys(folder);
    EXPECT_GT(std::stod(keys["com.zevuzavidav.kit-start-time"]), 0.0);
    EXPECT_GE(std::stod(keys["com.zevuzavidav.first-run-loop-time"]),
              std::stod(keys["com.zevuzavidav.kit-start-time"]));
    EXPECT_EQ(keys["com.zevuzavidav.in-background"], "0");
    EXPECT_EQ(keys["com.zevuzavidav.device-orientation"], "0");
    EXPECT_EQ(keys["com.zevuzavidav.ui-orientation"], "1");
    EXPECT_FALSE(controller->launchFailureMarkerPresent());
    EXPECT_EQ(readLines(folder / "metadata.zevrecord")[0]["identity"]["session_id"], "thislaunch");

    ns::NotificationCenter::defaultCenter().post(ui::applicationDidEnterBackgroundNotification);
    ui::Device::current().setOrientation(ui::DeviceOrientation::landscapeLeft);
    ui::Application::shared().setStatusBarOrientation(ui::InterfaceOrientation::landscapeLeft);
    sync();
    keys = internalKeys(folder);
    EXPECT_EQ(keys["com.zevuzavidav.in-background"], "1");
    EXPECT_EQ(keys["com.zevuzavidav.device-orientation"], "3");
    EXPECT_EQ(keys["com.zevuzavidav.ui-orientation"], "4");
    ns::NotificationCenter::defaultCenter().post(ui::applicationWillEnterForegroundNotification);
    sync();
    EXPECT_EQ(internalKeys(folder)["com.zevuzavidav.in-background"], "0");
    ui::Device::current().setOrientation(ui::DeviceOrientation::unknown);
}

} // namespace
