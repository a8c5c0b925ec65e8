// Sections of a crash record written from known process state: the signal section and the per-thread
// texts, read back with an independent JSON parser.
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

json onlySection(const std::string& path, const char* name) {
    int unparsable = 0;
    auto lines = recordtest::readLines(path, &unparsable);
    EXPECT_EQ(unparsable, 0);
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? json() : lines[0][name];
}

TEST(CrashSections, SignalCodesAreWrittenWithTheirSignAndOnlyAFaultWithAnAddress) {
    FakeContext context;
    struct Case {
        int signal;
        int code;
        bool fault;
    };
    // A fault's own code, and the codes of signals sent by tgkill, sigqueue and kill, where the kernel
    // puts the sender's process id in place of the address.
    for (Case c : {Case{SIGSEGV, SEGV_MAPERR, true}, Case{SIGSEGV, SI_TKILL, false},
                   Case{SIGABRT, SI_QUEUE, false}, Case{SIGTRAP, SI_USER, false}}) {
        std::string path = context.dir() + "/signal.zevrecord";
        ZEVFile file;
        ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path.c_str(), false, false));
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        info.si_signo = c.signal;
        info.si_code = c.code;
        if (c.fault)
            info.si_addr = reinterpret_cast<void*>(std::uintptr_t{0x7ffc12345678});
        else
            info.si_pid = 4321;
        zevuzavidav::writeSignalSection(&file, info.si_signo, &info, 0);
        ZEVFileClose(&file);
        json section = onlySection(path, "signal");
        EXPECT_EQ(section["number"], c.signal);
        EXPECT_EQ(section["code"], c.code) << section;
        if (c.fault)
            EXPECT_EQ(section["address"], 0x7ffc12345678u) << section;
        else
            EXPECT_FALSE(section.contains("address")) << section;
    }
}

// A handler given no siginfo (put back by signal()) still names its signal, from its own argument, and
// writes no code or address it does not have.
TEST(CrashSections, ASignalWithoutItsSiginfoIsWrittenUnderItsNumberAlone) {
    FakeContext context;
    for (int signal : {SIGSEGV, SIGABRT}) {
        std::string path = context.dir() + "/signal.zevrecord";
        ZEVFile file;
        ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path.c_str(), false, false));
        zevuzavidav::writeSignalSection(&file, signal, nullptr, 0);
        ZEVFileClose(&file);
        json section = onlySection(path, "signal");
        EXPECT_EQ(section["number"], signal);
        EXPECT_EQ(section["name"], zevuzavidav::signalName(signal));
        EXPECT_FALSE(section.contains("code")) << section;
        EXPECT_FALSE(section.contains("address")) << section;
    }
}

TEST(CrashSections, AThreadThatEndedHasNoQueueNameButARunningOneHasItsLabel) {
    FakeContext context;
    pid_t ended = 0;
    std::thread([&] { ended = darwin::currentThreadId(); }).join();
    // join() returns once the thread cleared its id, a moment before the kernel lets it go; the
    // kernel reuses ids only after a long while, so wait until this one is really gone.
    velotest::eventually([&] { return !(darwin::threadAlive(ended)); }, std::chrono::milliseconds(1));
    ASSERT_FALSE(darwin::threadAlive(ended));
    darwin::setCurrentThreadQueueLabel("com.example.sections.queue");

    ZEVProcess process{};
    process.threads[0] = darwin::currentThreadId();
    process.threads[1] = ended;
    process.threadCount = 2;
    std::string path = context.dir() + "/queues.zevrecord";
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path.c_str(), false, false));
    ZEVProcessRecordDispatchQueueNames(&process, &file);
    ZEVFileClose(&file);
    darwin::setCurrentThreadQueueLabel(nullptr);

    json names = onlySection(path, "dispatch_queue_names");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "com.example.sections.queue");
    EXPECT_TRUE(names[1].is_null()) << names;
    std::ifstream log(context.dir() + "/sdk.log");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("ZEVProcessGetThreadDispatchQueueName: unable to get thread info\n"),
              std::string::npos)
        << text.str();
}

} // namespace
