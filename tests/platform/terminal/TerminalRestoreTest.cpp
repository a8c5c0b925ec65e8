// Forked children end by a signal while a terminal session is active; what they wrote to their standard
// output shows whether the terminal was put back, and their wait status how they ended.
#include "platform/terminal/TerminalRestore.hpp"
#include "tests/support/ChildProcess.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kLeaveAlternateScreen = "\033[?1049l";

struct Ending {
    int status = 0;
    std::string output;
};

// Runs `body` in a child whose standard output is a file; returns how it ended and what it wrote.
template <typename Body> Ending inChild(Body body) {
    char pattern[] = "/tmp/velo-restoreXXXXXX";
    int fd = mkstemp(pattern);
    Ending ending;
    ending.status = velotest::waitStatusOfChild([&] {
        dup2(fd, STDOUT_FILENO);
        body();
    });
    std::ifstream in(pattern);
    std::stringstream text;
    text << in.rdbuf();
    ending.output = text.str();
    close(fd);
    unlink(pattern);
    return ending;
}

int recurse(int depth);
int (*volatile recurseAgain)(int) = recurse;
int recurse(int depth) {
    volatile char pad[256];
    pad[0] = static_cast<char>(depth);
    return recurseAgain(depth + 1) + pad[0];
}

TEST(TerminalRestore, EverySignalThatEndsTheProcessPutsTheTerminalBackFirst) {
    const int signals[] = {SIGQUIT, SIGTRAP, SIGSYS,  SIGUSR1, SIGSEGV,
                           SIGABRT, SIGPIPE, SIGXCPU, SIGINT,  SIGRTMIN + 3};
    for (int number : signals) {
        Ending ending = inChild([number] {
            term::installTerminalRestoration();
            term::beginTerminalSession();
            kill(getpid(), number);
            pause();
        });
        ASSERT_TRUE(WIFSIGNALED(ending.status)) << number << ": status " << ending.status;
        EXPECT_EQ(WTERMSIG(ending.status), number);
        EXPECT_NE(ending.output.find(kLeaveAlternateScreen), std::string::npos) << number;
    }
}

TEST(TerminalRestore, AStackOverflowPutsTheTerminalBackToo) {
    Ending ending = inChild([] {
        term::installTerminalRestoration();
        term::beginTerminalSession();
        recurse(0);
    });
    ASSERT_TRUE(WIFSIGNALED(ending.status)) << ending.status;
    EXPECT_EQ(WTERMSIG(ending.status), SIGSEGV);
    EXPECT_NE(ending.output.find(kLeaveAlternateScreen), std::string::npos);
}

void earlierHandler(int) {
    _exit(7);
}

TEST(TerminalRestore, HandlersAndIgnoredSignalsFoundAtStartStayAsTheyWere) {
    Ending handled = inChild([] {
        signal(SIGUSR2, earlierHandler);
        signal(SIGXFSZ, SIG_IGN);
        term::installTerminalRestoration();
        term::beginTerminalSession();
        kill(getpid(), SIGXFSZ); // ignored: the child carries on
        kill(getpid(), SIGUSR2);
        pause();
    });
    ASSERT_TRUE(WIFEXITED(handled.status)) << handled.status;
    EXPECT_EQ(WEXITSTATUS(handled.status), 7);
    EXPECT_EQ(handled.output.find(kLeaveAlternateScreen), std::string::npos);
}

TEST(TerminalRestore, OutsideASessionOrAfterItNothingIsWritten) {
    for (bool ended : {false, true}) {
        Ending ending = inChild([ended] {
            term::installTerminalRestoration();
            if (ended) {
                term::beginTerminalSession();
                term::endTerminalSession();
            }
            kill(getpid(), SIGQUIT);
            pause();
        });
        ASSERT_TRUE(WIFSIGNALED(ending.status));
        EXPECT_EQ(WTERMSIG(ending.status), SIGQUIT);
        EXPECT_EQ(ending.output, "");
    }
}

TEST(TerminalRestore, AnUncaughtExceptionAndExitPutTheTerminalBackOnce) {
    Ending thrown = inChild([] {
        term::installTerminalRestoration();
        term::beginTerminalSession();
        // On a thread of its own, so the test framework's handlers do not catch it.
        std::thread([] { throw 1; }).join();
    });
    ASSERT_TRUE(WIFSIGNALED(thrown.status));
    EXPECT_EQ(WTERMSIG(thrown.status), SIGABRT);
    std::string::size_type first = thrown.output.find(kLeaveAlternateScreen);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(thrown.output.find(kLeaveAlternateScreen, first + 1), std::string::npos) << "restored twice";

    Ending exited = inChild([] {
        term::installTerminalRestoration();
        term::beginTerminalSession();
        std::exit(5);
    });
    ASSERT_TRUE(WIFEXITED(exited.status));
    EXPECT_EQ(WEXITSTATUS(exited.status), 5);
    EXPECT_NE(exited.output.find(kLeaveAlternateScreen), std::string::npos);
}

// A child forked during the session shares the terminal: its exit and its crash leave the screen to the
// program, which still draws on it and puts it back itself.
TEST(TerminalRestore, AForkedChildLeavesTheProgramsTerminalAlone) {
    for (bool crashes : {false, true}) {
        Ending ending = inChild([crashes] {
            term::installTerminalRestoration();
            term::beginTerminalSession();
            const int child = velotest::waitStatusOfChild([crashes] {
                if (crashes) kill(getpid(), SIGQUIT);
                std::exit(0);
            });
            std::exit(WIFSIGNALED(child) == crashes ? 5 : 6);
        });
        ASSERT_TRUE(WIFEXITED(ending.status)) << crashes;
        EXPECT_EQ(WEXITSTATUS(ending.status), 5) << crashes;
        const std::string::size_type first = ending.output.find(kLeaveAlternateScreen);
        EXPECT_NE(first, std::string::npos) << crashes << ": the program's own exit restores it";
        EXPECT_EQ(ending.output.find(kLeaveAlternateScreen, first + 1), std::string::npos)
            << crashes << ": the child restored it too";
    }
}

} // namespace
