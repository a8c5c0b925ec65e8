// The bound of a crash recording: one that outlives it ends the process by the crash's own signal, and
// a tick of the bound's signal that comes before the bound is out, or once the recording has ended, is
// let go. Each runs in a child of its own: the bound ends a process.
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"
#include "tests/support/ChildProcess.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void leaveNoCore() {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

TEST(RecordingDeadline, ARecordingThatOutlivesItsBoundEndsTheProcessByTheCrashsSignal) {
    const int status = velotest::waitStatusOfChild([] {
        leaveNoCore();
        // SIGBUS has a handler of its own here: the bound must end the process all the same.
        std::signal(SIGBUS, [](int) {});
        if (!zevuzavidav::armRecordingDeadline(SIGBUS, 10L * 1000 * 1000)) _exit(2);
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << "status " << status;
}

TEST(RecordingDeadline, ATickBeforeTheBoundOrAfterTheRecordingIsLetGo) {
    const int status = velotest::runInChild([] {
        leaveNoCore();
        ASSERT_TRUE(zevuzavidav::armRecordingDeadline(SIGBUS, velotest::kPatienceNanos));
        ASSERT_EQ(kill(getpid(), SIGRTMAX - 2), 0); // handled before kill returns: it is not blocked
        zevuzavidav::disarmRecordingDeadline();
        ASSERT_EQ(kill(getpid(), SIGRTMAX - 2), 0);
    });
    EXPECT_EQ(status, 0);
}

} // namespace
