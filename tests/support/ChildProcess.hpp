#pragma once
// Runs part of a test in a child process of its own (fork, no exec): for tests that need a second
// process on the same files, or a process that file permissions bind even when the tests run as root.
//
// Turns lets the two processes take turns over two pipes.
//
// Every child made here ends with the test: the kernel kills it when the test process goes, however
// that goes (a failure, ctest's timeout killing it), and every wait for a child or a turn is bounded by
// kPatience, so a child that hangs fails the test instead of holding it.
//
// Failure contract: the child's gtest failures are printed by the child and turn into its exit status
// 1; runInChild returns the exit status (or 128 + signal), -1 when no child could be made;
// waitStatusOfChild returns the raw wait status. A child still running after kPatience is killed and
// the test fails, saying so.
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velotest {

// How long a child running a test's body of its own may take: its own waits end within kPatience, so
// one still running after this is hung.
inline constexpr double kPatienceForAChild = kPatience + 10;

// Drops the capabilities that let root ignore file permissions (no-op for other users), so that a
// chmod 000 file is as unreadable as it is for a learner.
inline void dropFilePermissionOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return;
    for (unsigned cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[cap / 32].effective &= ~(1u << (cap % 32));
        data[cap / 32].permitted &= ~(1u << (cap % 32));
    }
    ::syscall(SYS_capset, &header, data);
}

// fork() for a child that must not outlive this process: the kernel sends it `signal` once the thread
// that forked it is gone (with the process, or on its own), which holds across exec. Call it from the
// test's own thread, which outlives the child. Between fork and exec the child may only make calls that
// are safe after a fork of a process with threads.
inline pid_t forkTiedToThisProcess(int signal = SIGKILL) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, signal);
        if (::getppid() != parent) ::_exit(126); // the parent went before the child could tie itself
    }
    return pid;
}

// True once `fd` is readable (or at its end), false when `seconds` pass first.
inline bool readableWithin(int fd, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left > 0 ? left : 0));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// Waits for the child `pid` to end and gives its raw wait status (-1 when it is no child of ours). One
// still running after `seconds` is killed, and the test fails naming `what`.
inline int reapWithin(pid_t pid, double seconds = kPatience, const char* what = "the child process") {
    if (pid <= 0) return -1;
    // Readable once the child has ended; without it (a kernel before 5.3) the wait looks every 5 ms.
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    bool done = false;
    if (ended >= 0) {
        done = readableWithin(ended, seconds);
        ::close(ended);
    } else {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid != 0) {
                done = true;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (!done) {
        ADD_FAILURE() << what << " (" << pid << ") had not ended after " << seconds << " s; killed";
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return status;
}

// The child's exit status, or 128 + the signal that ended it (-1 when it is no child of ours); waited
// for within kPatience.
inline int waitForChild(pid_t pid) {
    const int status = reapWithin(pid);
    if (status == -1) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// Starts `body` in a child and returns its pid (-1 on failure); the child ends when `body` returns.
inline pid_t startChild(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t pid = forkTiedToThisProcess();
    if (pid == 0) {
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    return pid;
}

// Alternating turns between this process and a child, over two pipes.
class Turns {
  public:
    Turns() {
        EXPECT_EQ(::pipe(toChild_), 0);
        EXPECT_EQ(::pipe(toParent_), 0);
    }
    ~Turns() {
        for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]})
            ::close(fd);
    }
    void passToChild() { pass(toChild_[1]); }
    void waitForChild() { wait(toParent_[0]); }
    void passToParent() { pass(toParent_[1]); }
    void waitForParent() { wait(toChild_[0]); }

  private:
    static void pass(int fd) { EXPECT_EQ(::write(fd, "x", 1), 1); }
    static void wait(int fd) {
        char c;
        if (!readableWithin(fd, kPatience)) {
            ADD_FAILURE() << "the other process did not pass the turn within " << kPatience << " s";
            return;
        }
        EXPECT_EQ(::read(fd, &c, 1), 1) << "the other process ended without passing the turn";
    }
    int toChild_[2];
    int toParent_[2];
};

// Runs `body` in a child of its own (one that may crash, or is meant to) and returns the child's wait
// status as waitpid gives it (-1 when no child could be made). A child whose body returns exits with
// `ifBodyReturns`, so a crash that never came is told apart; one that hangs is ended by SIGALRM once
// kPatience has passed, so that the status says it hung. Should the alarm be lost (a body that blocks
// it or sets its own), this process kills the child a little later and fails the test.
inline int waitStatusOfChild(const std::function<void()>& body, int ifBodyReturns = 3) {
    std::fflush(nullptr);
    const pid_t pid = forkTiedToThisProcess();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::alarm(static_cast<unsigned>(kPatience));
        body();
        ::_exit(ifBodyReturns);
    }
    return reapWithin(pid, kPatienceForAChild, "the child, past its own alarm,");
}

inline int runInChild(const std::function<void()>& body) {
    const pid_t pid = startChild(body);
    return pid < 0 ? -1 : waitForChild(pid);
}

} // namespace velotest
