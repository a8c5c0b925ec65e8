// Forked children that set up the crash context and check what it installed and wrote. Suites are
// named Crash* so sanitizer runs can leave them out.
#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Images.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using velotest::readFile;

using json = nlohmann::json;

std::vector<json> sections(const std::string& path) {
    int unparsable = 0;
    auto lines = recordtest::readLines(path, &unparsable);
    EXPECT_EQ(unparsable, 0) << path;
    return lines;
}

// Runs `body` in a child; returns its wait status.
template <typename Body> int inChild(Body body) {
    return velotest::waitStatusOfChild(body, 0);
}

bool ourHandlerFor(int number) {
    struct sigaction current {};
    sigaction(number, nullptr, &current);
    return (current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == ZEVSignalHandler;
}

TEST(CrashContext, RecordsLoadedImagesAndImagesOpenedAndClosedLater) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        recordtest::initializeContext(dir);
        // A library nothing else links, so opening and closing it really maps and unmaps an image.
        void* handle = darwin::openImage(VELO_DLOPEN_FIXTURE, RTLD_NOW);
        if (handle == nullptr) _exit(4);
        darwin::closeImage(handle);
        zevuzavidav::sharedCrashContext().binaryImagesQueue->sync([] {});
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    auto lines = sections(dir + "/binary_images.zevrecord");
    ASSERT_GE(lines.size(), 5u);
    std::size_t loadsAtStart = 0;
    while (loadsAtStart < lines.size() && lines[loadsAtStart].contains("load"))
        ++loadsAtStart;
    const json& opened = lines[lines.size() - 2];
    const json& closed = lines.back();
    ASSERT_TRUE(opened.contains("load"));
    ASSERT_TRUE(closed.contains("unload"));
    EXPECT_NE(opened["load"]["path"].get<std::string>().find("dlopen_fixture"), std::string::npos);
    EXPECT_EQ(closed["unload"]["base"], opened["load"]["base"]);
    EXPECT_EQ(opened["load"]["uuid"].get<std::string>().size(), 32u);
    EXPECT_GE(loadsAtStart, 4u); // the executable, libc, libstdc++, the loader, ...
    auto metadata = sections(dir + "/metadata.zevrecord");
    ASSERT_EQ(metadata.size(), 4u);
    EXPECT_EQ(metadata[0]["identity"]["generator"], "Zevuzavidav iOS SDK/3.4.0");
    EXPECT_EQ(metadata[0]["identity"]["install_id"], "install");
    EXPECT_TRUE(metadata[0]["identity"]["beta_token"].is_null());
    EXPECT_EQ(metadata[1]["host"]["platform"], "ios");
    EXPECT_EQ(metadata[3]["executable"]["architecture"], recordtest::machineOfThisProgram());
}

TEST(CrashContext, ATracedProcessGetsNoHandlersButStillItsFiles) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(5);
        recordtest::initializeContext(dir);
        bool none =
            !ourHandlerFor(SIGSEGV) && !ourHandlerFor(SIGABRT) && std::get_terminate() != ZEVTerminateHandler;
        _exit(none ? 0 : 6);
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(sections(dir + "/metadata.zevrecord").empty());
    EXPECT_NE(readFile(dir + "/sdk.log").find("Debugger present - not installing handlers"),
              std::string::npos);
}

void laterHandler(int) {}

TEST(CrashContext, WarnsAboutHandlersReplacedAfterStart) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    std::string errors = dir + "/stderr.txt";
    int status = inChild([&] {
        recordtest::initializeContext(dir);
        int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        ZEVSignalCheckHandlers(); // all ours: nothing to say
        signal(SIGBUS, laterHandler);
        ZEVSignalCheckHandlers();
        ns::ConsoleCapture console;
        ZEVExceptionCheckHandlers();
        std::set_terminate([] { std::abort(); });
        ZEVExceptionCheckHandlers();
        bool warned =
            console.lines().size() == 1 &&
            console.lines()[0].rfind("[Zevuzavidav:Crash] Warning: std::get_terminate is '", 0) == 0;
        _exit(warned ? 0 : 7);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string text = readFile(errors);
    EXPECT_NE(text.find("[Zevuzavidav] The signal SIGBUS has a non-Zevuzavidav handler ("), std::string::npos)
        << text;
    EXPECT_EQ(text.find("SIGSEGV"), std::string::npos) << text;
}

// The alternate stack the calling thread had before the SDK started.
char earlierStack[65536];
void installEarlierStack() {
    stack_t stack{};
    stack.ss_sp = earlierStack;
    stack.ss_size = sizeof earlierStack;
    sigaltstack(&stack, nullptr);
}

void earlierSegvHandler(int, siginfo_t*, void*) {
    stack_t current{};
    sigaltstack(nullptr, &current);
    // The earlier handler runs on the earlier alternate stack, with the interrupted errno.
    _exit(errno == 1234 && (current.ss_flags & SS_ONSTACK) != 0 ? 7 : 8);
}

TEST(CrashContext, TheEarlierHandlerAndAlternateStackGetTheSignalAfterTheRecord) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        installEarlierStack();
        struct sigaction action {};
        action.sa_sigaction = earlierSegvHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigaction(SIGSEGV, &action, nullptr);
        recordtest::initializeContext(dir, recordtest::Road::signals);
        errno = 1234;
        *static_cast<volatile int*>(nullptr) = 1;
        _exit(3);
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 7);
    auto lines = sections(dir + "/signal.zevrecord");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0]["signal"]["name"], "SIGSEGV");
    EXPECT_EQ(lines[0]["signal"]["errno"], 1234);
    // The handler runs on the SDK's stack, which the kernel will not swap while it is in use: that
    // expected refusal is no error of the report.
    EXPECT_EQ(readFile(dir + "/sdk.log").find("Unable to setup stack"), std::string::npos);
}

// Outside a handler the earlier stack goes back on the thread the SDK took it from, and only there:
// any other thread keeps its own (it would otherwise share the first thread's).
TEST(CrashContext, TheEarlierAlternateStackGoesBackOnlyOnTheThreadItWasTakenFrom) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        installEarlierStack();
        recordtest::initializeContext(dir, recordtest::Road::signals);
        ZEVSignalReadOnlyContext* part = &zevuzavidav::sharedReadOnlyContext()->signal;
        stack_t before{}, after{};
        bool otherRestored = false;
        darwin::startThread(nullptr, [&] {
            sigaltstack(nullptr, &before);
            otherRestored = ZEVSignalSafeInstallPreexistingHandlers(part);
            sigaltstack(nullptr, &after);
        }).join();
        if (!otherRestored || after.ss_sp != before.ss_sp || after.ss_sp == earlierStack) _exit(4);
        stack_t current{};
        sigaltstack(nullptr, &current);
        if (current.ss_sp != zevuzavidav::sharedReadOnlyContext()->signalStack) _exit(5);
        if (!ZEVSignalSafeInstallPreexistingHandlers(part)) _exit(6);
        sigaltstack(nullptr, &current);
        _exit(current.ss_sp == earlierStack && current.ss_size == sizeof earlierStack ? 0 : 7);
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(dir + "/sdk.log").find("Unable to setup stack"), std::string::npos);
}

// The alternate stack the SDK gives the thread that starts it lies in its region right above the
// exception server's stack, and the reserve stacks right above it: a page below each is inaccessible, so
// that a handler running past its bottom faults there instead of writing over the stack below.
TEST(CrashContext, TheAlternateAndTheReserveStacksHaveAnInaccessiblePageBelowThem) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        recordtest::initializeContext(dir);
        const ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
        stack_t current{};
        sigaltstack(nullptr, &current);
        if (current.ss_sp != readOnly->signalStack) _exit(4);
        const long page = sysconf(_SC_PAGESIZE);
        int failed = 5;
        for (void* stack : {readOnly->signalStack, readOnly->reserveStack, readOnly->signalReserveStack}) {
            auto* bottom = static_cast<char*>(stack);
            unsigned char resident = 0;
            const bool guardMapped = bottom != nullptr && mincore(bottom - page, 1, &resident) == 0;
            char byte = 0;
            const bool guardReadable =
                darwin::readMemory(reinterpret_cast<std::uintptr_t>(bottom - 1), &byte, 1);
            const bool stackReadable = darwin::readMemory(reinterpret_cast<std::uintptr_t>(bottom), &byte, 1);
            if (!guardMapped || guardReadable || !stackReadable) _exit(failed);
            ++failed;
        }
        _exit(0);
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "4: not the alternate stack; 5: the alternate stack; 6: the reserve";
}

char* alternateStackBottom = nullptr;

// Calls itself, a kilobyte a call, until it stands 64 KiB below the bottom of the alternate stack.
__attribute__((noinline)) int runPastTheBottom(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (reinterpret_cast<char*>(__builtin_frame_address(0)) > alternateStackBottom - 65536)
        return runPastTheBottom(depth + 1) + frame[0];
    return frame[0];
}

void deepHandler(int) {
    runPastTheBottom(0);
}

TEST(CrashContext, AHandlerThatRunsPastTheAlternateStackFaultsOnItsGuard) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        recordtest::initializeContext(dir);
        stack_t current{};
        sigaltstack(nullptr, &current);
        alternateStackBottom = static_cast<char*>(current.ss_sp);
        struct sigaction action {};
        action.sa_handler = deepHandler;
        action.sa_flags = SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, nullptr);
        raise(SIGUSR1);
        _exit(3); // the handler came back: it wrote 64 KiB into whatever lies below the stack
    });
    // The fault on the guard cannot be handled on the used-up stack: it ends the process.
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}

std::atomic<bool> useContextAtTheVeryEnd{false};

// Runs after every static object of the program has been destroyed (from the loader's fini list).
__attribute__((destructor)) void useTheContextAfterStaticDestruction() {
    if (!useContextAtTheVeryEnd.load()) return;
    auto queue = zevuzavidav::sharedCrashContext().loggingQueue;
    bool usable = queue != nullptr && ZEVContextIsInitialized();
    if (usable) queue->sync([] {});
    ZEVSDKLog("%s: still here\n", "useTheContextAfterStaticDestruction");
    _exit(usable ? 9 : 10);
}

TEST(CrashContext, OutlivesStaticDestruction) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    int status = inChild([&] {
        recordtest::initializeContext(dir);
        useContextAtTheVeryEnd = true;
        std::exit(0);
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 9);
    EXPECT_NE(readFile(dir + "/sdk.log").find("useTheContextAfterStaticDestruction: still here"),
              std::string::npos);
}

std::atomic<int> ready{0};

TEST(CrashContext, OfTwoThreadsCrashingAtOnceOnlyOneRecords) {
    for (int round = 0; round < 20; ++round) {
        const velotest::TempFolder folder;
        const std::string dir = folder.string();
        int status = inChild([&] {
            recordtest::initializeContext(dir, recordtest::Road::signals);
            auto crash = [] {
                darwin::ensureSignalStack();
                ready.fetch_add(1);
                while (ready.load() < 2) {
                }
                *static_cast<volatile int*>(nullptr) = 1;
            };
            std::thread first(crash);
            std::thread second(crash);
            first.join();
            second.join();
        });
        // The thread that lost the claim waits for the winner, whose record is whole and whose signal
        // ends the process.
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
        auto lines = sections(dir + "/signal.zevrecord");
        int signalSections = 0;
        for (const auto& line : lines)
            signalSections += line.contains("signal") ? 1 : 0;
        EXPECT_EQ(signalSections, 1);
        EXPECT_TRUE(lines.back().contains("storage")); // the record ran to its last section
    }
}

} // namespace
