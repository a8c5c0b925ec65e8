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

// The later crash waited on nothing: the turn was free, the process ended by that crash, with no wait
// for the first one in the SDK log, leaving the first crash's one whole record in `firstRecordFile` and,
// for an exception, its own whole record. An exit was not held: the process exited with its status.
inline void expectTheLaterCrashWaitedOnNothing(int status, const std::string& dir, LaterCrash later,
                                               const std::string& firstRecordFile) {
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kTurnStillHeld)
        << "the turn stayed kept for a crash the program went on from";
    const std::string log = velotest::readFile(dir + "/sdk.log");
    if (later == LaterCrash::exit) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << howItEnded(status, dir);
        EXPECT_EQ(log.find("The process exits while a crash is under way"), std::string::npos)
            << "the exit was held:\n"
            << log;
    } else {
        EXPECT_TRUE(WIFSIGNALED(status) &&
                    WTERMSIG(status) == (later == LaterCrash::fault ? SIGSEGV : SIGABRT))
            << howItEnded(status);
    }
    EXPECT_EQ(log.find("was not recorded in time"), std::string::npos) << "the later crash waited:\n" << log;
    EXPECT_EQ(wholeRecordsIn(dir, firstRecordFile).size(), 1u);
    if (later == LaterCrash::exception) {
        EXPECT_EQ(wholeRecordsIn(dir, "exception.zevrecord").size(), 1u);
    }
}

} // namespace crashtest
