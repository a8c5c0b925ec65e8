#pragma once
// A crash the program went on from (a handler from before the SDK returned, stepped over the fault or
// jumped back into the program), then a later crash on a thread of its own, or the program's exit from
// one: the child's side, and the parent's check that the later crash or the exit waited on nothing the
// first one left behind.
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/Files.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace crashtest {

// exit: no crash; the program exits (std::exit(0)).
enum class LaterCrash { fault, exception, exit };

// The exit status of a child in which the first crash's turn was still held as it went on.
inline constexpr int kTurnStillHeld = 5;

inline void* faultOnAThreadOfItsOwn(void*) {
    recordtest::writeThroughNull();
    return nullptr;
}

inline void* throwOnAThreadOfItsOwn(void*) {
    throw std::runtime_error("thrown after a crash the program went on from");
}

inline void* exitOnAThreadOfItsOwn(void*) {
    std::exit(0);
}

// In the child, once the first crash went on: ends it with kTurnStillHeld when a recording turn is still
// held (unless `turnMayStayKept`: the program left the handler by a jump that kept its mask, which reads
// as still inside); else the later crash (or exit) comes on a thread of its own, and the child waits for
// the end.
[[noreturn]] inline void crashLaterOnAThreadOfItsOwn(LaterCrash later, bool turnMayStayKept = false) {
    if (!turnMayStayKept && zevuzavidav::recordingTurnHolder() != 0) _exit(kTurnStillHeld);
    pthread_t thread;
    void* (*const body)(void*) = later == LaterCrash::fault       ? faultOnAThreadOfItsOwn
                                 : later == LaterCrash::exception ? throwOnAThreadOfItsOwn
                                                                  : exitOnAThreadOfItsOwn;
    if (pthread_create(&thread, nullptr, body, nullptr) != 0) {
        _exit(kSetUpFailed);
    }
    for (;;)
        pause();
}

// The causes of the crash records left in `dir`, the signal's and the exception port's, each record whole;
// `stopHeldOff`: but for a thread that holds the recorder's stop off for good (it left a handler it was
// handed a crash on to by a jump that keeps the handler's mask), recorded without its registers.
inline std::vector<std::string> crashCausesIn(const std::string& dir, bool stopHeldOff = false) {
    std::vector<std::string> causes;
    for (const char* file : {"signal.zevrecord", "mach_exception.zevrecord"}) {
        int unparsable = 0;
        for (const auto& record : recordsIn(dir + "/" + file, &unparsable)) {
            if (stopHeldOff)
                EXPECT_TRUE(recordtest::sectionOfRecord(record, "storage").is_object())
                    << file << " not finished";
            else
                recordtest::expectWholeRecord(record, file);
            const nlohmann::json& cause = record.front();
            causes.push_back(cause.contains("signal") ? cause["signal"].value("name", "")
                                                      : cause["mach_exception"].value("name", ""));
        }
        EXPECT_EQ(unparsable, 0) << file << " holds a line cut short";
    }
    return causes;
}

// The later crash waited on nothing: the turn was free, the process ended by that crash, with no wait for
// the first one in the SDK log, and the later crash is the one recorded, whole, in place of the first (an
// exception with the abort that ends it). An exit was not held: the process exited with its status, and,
// as a launch that ended by exit crashed in none of its crashes, left no crash record.
inline void expectTheLaterCrashWaitedOnNothing(int status, const std::string& dir, LaterCrash later,
                                               bool stopHeldOff = false) {
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kTurnStillHeld)
        << "the turn stayed kept for a crash the program went on from";
    const std::string log = velotest::readFile(dir + "/sdk.log");
    const std::vector<std::string> causes = crashCausesIn(dir, stopHeldOff);
    switch (later) {
    case LaterCrash::exit:
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << howItEnded(status, dir);
        EXPECT_EQ(log.find("The process exits while a crash is under way"), std::string::npos)
            << "the exit was held:\n"
            << log;
        EXPECT_TRUE(causes.empty()) << causes.size() << " records of crashes the program went on from";
        break;
    case LaterCrash::fault:
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << howItEnded(status);
        EXPECT_TRUE(causes == std::vector<std::string>{"SIGSEGV"} ||
                    causes == std::vector<std::string>{"EXC_BAD_ACCESS"})
            << causes.size() << " records, the first of " << (causes.empty() ? "none" : causes.front());
        break;
    case LaterCrash::exception:
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << howItEnded(status);
        EXPECT_EQ(causes, std::vector<std::string>{"SIGABRT"});
        EXPECT_EQ(wholeRecordsIn(dir, "exception.zevrecord").size(), 1u);
        break;
    }
    EXPECT_EQ(log.find("was not recorded in time"), std::string::npos) << "the later crash waited:\n" << log;
}

} // namespace crashtest
