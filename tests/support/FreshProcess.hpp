#pragma once
// Runs the current test in a fresh process of its own: this test program started anew (fork and exec)
// with only this test. For tests whose changes to the process cannot be undone (a crash context started
// for real, its handlers, a file-size limit), so that the tests after them find the process as it was,
// and for tests that need a process without the threads and state earlier tests left.
//
//   TEST(Suite, Case) {
//       if (velotest::ranInAFreshProcess()) return; // here: the child ran it, and its result is ours
//       ...                                          // in the child: the test itself
//   }
//
// The child's output is copied to this process's; the child ends with this process. Failure contract: a child
// that fails, dies, or does not run exactly this test fails the test here, and one still running after
// kPatienceForAChild is killed and fails it; in the child the call answers false.
//
// startThisTestAnew is the start alone, for a test that deals with its child otherwise (kills it, say).
#include "tests/support/ChildProcess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace velotest {

inline constexpr const char* kFreshProcessVariable = "VELO_TEST_FRESH_PROCESS";

// The current test's name, "Suite.Case".
inline std::string currentTestName() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(test->test_suite_name()) + "." + test->name();
}

// This test program started anew with only the current test, and `variable` set to `value` in its
// environment (the rest as this process has it): its pid (-1 when none could be started, the test
// failed) and the read end of a pipe (closed on exec) that its output goes to.
struct StartedAnew {
    pid_t pid = -1;
    int output = -1;
};
inline StartedAnew startThisTestAnew(const std::string& variable, const std::string& value) {
    // Everything the child needs is made before the fork: between fork and exec only exec runs.
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=" + currentTestName();
    std::string color = "--gtest_color=no";
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::string(*entry).rfind(variable + "=", 0) != 0) variables.emplace_back(*entry);
    variables.push_back(variable + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : variables)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {self.data(), filter.data(), color.data(), nullptr};

    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe for the child: " << std::strerror(errno);
        return {};
    }
    std::fflush(nullptr);
    const pid_t child = forkTiedToThisProcess();
    if (child == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(output[1], STDERR_FILENO);
        ::execve(self.c_str(), argv, envp.data());
        ::_exit(127);
    }
    ::close(output[1]);
    if (child < 0) {
        ::close(output[0]);
        ADD_FAILURE() << "no child process for " << currentTestName() << ": " << std::strerror(errno);
        return {};
    }
    return {child, output[0]};
}

inline bool ranInAFreshProcess() {
    const std::string name = currentTestName();
    if (const char* running = std::getenv(kFreshProcessVariable); running != nullptr && name == running)
        return false;
    const auto [child, output] = startThisTestAnew(kFreshProcessVariable, name);
    if (child < 0) return true;
    // The child's own waits end within kPatience, so by this bound it has ended, passed or failed; one
    // still running is hung, and is killed.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(kPatienceForAChild);
    const auto secondsLeft = [&] {
        return std::max(0.0,
                        std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count());
    };
    std::string said;
    char buffer[4096];
    bool ended = false; // the output's end: the child has gone, or closed it on its way out
    while (!ended && readableWithin(output, secondsLeft())) {
        const ssize_t got = ::read(output, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        ended = got <= 0;
        if (got > 0) {
            said.append(buffer, static_cast<std::size_t>(got));
            std::fwrite(buffer, 1, static_cast<std::size_t>(got), stdout);
        }
    }
    ::close(output);
    if (!ended) {
        ADD_FAILURE() << name << " had not ended in its own process after " << kPatienceForAChild
                      << " s; killed (its output so far is above)";
        ::kill(child, SIGKILL);
        reapWithin(child, kPatience, "the killed fresh process");
        return true;
    }
    const int status = reapWithin(child, secondsLeft(), "the fresh process");
    if (status == -1) {
        ADD_FAILURE() << "the fresh process running " << name << " could not be waited for";
        return true;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << name << " failed in its own process (its output is above), status " << status;
    EXPECT_NE(said.find("[  PASSED  ] 1 test."), std::string::npos)
        << "the child did not run " << name << " alone";
    return true;
}

} // namespace velotest
