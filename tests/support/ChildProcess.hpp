#pragma once
// Runs part of a test in a child process of its own (fork, no exec): for tests that need a second
// process on the same files, or a process that file permissions bind even when the tests run as root.
//
// Turns lets the two processes take turns over two pipes.
//
// Failure contract: the child's gtest failures are printed by the child and turn into its exit status
// 1; runInChild returns the exit status (or 128 + signal), -1 when no child could be made;
// waitStatusOfChild returns the raw wait status.
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velotest {

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

inline int waitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// Starts `body` in a child and returns its pid (-1 on failure); the child ends when `body` returns.
inline pid_t startChild(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
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
        EXPECT_EQ(::read(fd, &c, 1), 1);
    }
    int toChild_[2];
    int toParent_[2];
};

// Runs `body` in a child of its own (one that may crash, or is meant to) and returns the child's wait
// status as waitpid gives it (-1 when no child could be made). A child whose body returns exits with
// `ifBodyReturns`, so a crash that never came is told apart; one that hangs is ended by SIGALRM once
// kPatience has passed, so that it never outlives the test.
inline int waitStatusOfChild(const std::function<void()>& body, int ifBodyReturns = 3) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::alarm(static_cast<unsigned>(kPatience));
        body();
        ::_exit(ifBodyReturns);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return status;
}

inline int runInChild(const std::function<void()>& body) {
    const pid_t pid = startChild(body);
    return pid < 0 ? -1 : waitForChild(pid);
}

} // namespace velotest
