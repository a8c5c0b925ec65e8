// Guarded reads through the fallback pipe in a process and its forked child at once: each copies only
// its own bytes, and a child is not kept from the pipe by a copy its parent was in the middle of. The
// overlap is made, not hoped for: a copy of the parent is stopped between putting its bytes into the
// pipe and reading them back (a seccomp filter turns its read into a signal, whose handler lets the
// child copy then), so a pipe the two shared would hand each the other's bytes.
#include "platform/darwin/GuardedRead.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TrappedReads.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

#if defined(__x86_64__)

struct Turns {
    std::atomic<int> childMayCopy{0};
    std::atomic<int> childCopied{0}; // 1: its own bytes, 2: others or none
    std::atomic<int> parentHeld{0};
};
Turns* turns = nullptr;

// Waits for `flag` to be set by the other process (false after the shared patience).
bool waitFor(const std::atomic<int>& flag) {
    timespec start{}, now{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (flag.load() == 0) {
        sched_yield();
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec > static_cast<time_t>(velotest::kPatience)) return false;
    }
    return true;
}

char parentBytes[64];
char childBytes[64];

bool copiesItsOwn(const char (&bytes)[64]) {
    char got[64] = {};
    return darwin::readMemory(reinterpret_cast<std::uintptr_t>(bytes), got, sizeof got) &&
           std::memcmp(got, bytes, sizeof got) == 0;
}

// What the parent does the first time its copy stands between the pipe's write and its read.
void (*whileHeld)() = nullptr;

// Every read(2) of a thread that trapReads() lands here before it happens.
void onRead(int, siginfo_t*, void* raw) {
    if (void (*action)() = whileHeld) {
        whileHeld = nullptr;
        action();
    }
    velotest::makeTrappedRead(raw);
}

// From now on, on the calling thread only.
bool trapReads() {
    struct sigaction action {};
    action.sa_sigaction = onRead;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGSYS, &action, nullptr) == 0 && velotest::trapReadsOfThisThread();
}

constexpr int kNoSeccomp = 9;

// The turns live in memory the parent and child share; each test starts with fresh ones.
class GuardedReadFork : public ::testing::Test {
  protected:
    void SetUp() override {
        shared_ = mmap(nullptr, sizeof(Turns), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(shared_, MAP_FAILED);
        turns = new (shared_) Turns;
        std::memset(parentBytes, 'P', sizeof parentBytes);
        std::memset(childBytes, 'C', sizeof childBytes);
    }
    void TearDown() override {
        if (shared_ != MAP_FAILED) munmap(shared_, sizeof(Turns));
        turns = nullptr;
    }

  private:
    void* shared_ = MAP_FAILED;
};

TEST_F(GuardedReadFork, AParentAndItsChildCopyingAtOnceEachGetOnlyTheirOwnBytes) {
    // In a process of its own, which the filter binds from then on.
    const int status = velotest::waitStatusOfChild([] {
        darwin::setGuardedReadsUsePipe(true);
        const pid_t child = fork();
        if (child == 0) {
            if (!waitFor(turns->childMayCopy)) _exit(3);
            turns->childCopied = copiesItsOwn(childBytes) ? 1 : 2;
            _exit(0);
        }
        if (child < 0) _exit(4);
        whileHeld = [] {
            turns->childMayCopy = 1;
            waitFor(turns->childCopied);
        };
        if (!trapReads()) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            _exit(kNoSeccomp);
        }
        const bool parentOwn = copiesItsOwn(parentBytes);
        int childStatus = 0;
        waitpid(child, &childStatus, 0);
        if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) _exit(5);
        _exit(parentOwn ? (turns->childCopied == 1 ? 0 : 6) : (turns->childCopied == 1 ? 7 : 8));
    });
    const int childCopied = turns->childCopied.load();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    if (WEXITSTATUS(status) == kNoSeccomp) GTEST_SKIP() << "no seccomp filters here to hold the parent still";
    EXPECT_EQ(childCopied, 1) << "the child read other bytes than its own";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "6: the child read another's bytes, 7: the parent did, 8: both";
}

// The child is forked while one of the parent's threads is in the middle of a copy, holding the pipe:
// that thread does not exist in the child, which copies all the same.
TEST_F(GuardedReadFork, AChildForkedWhileItsParentCopiesCanCopyToo) {
    const int status = velotest::waitStatusOfChild([] {
        darwin::setGuardedReadsUsePipe(true);
        whileHeld = [] {
            turns->parentHeld = 1;
            waitFor(turns->childCopied);
        };
        std::atomic<int> copier{0}; // 1: copied its own bytes, 2: did not, 3: no filter
        std::thread copying([&copier] {
            if (!trapReads()) {
                copier = 3;
                turns->parentHeld = 1;
                return;
            }
            copier = copiesItsOwn(parentBytes) ? 1 : 2;
        });
        if (!waitFor(turns->parentHeld)) _exit(3);
        if (copier.load() == 3) {
            copying.join();
            _exit(kNoSeccomp);
        }
        const pid_t child = fork();
        if (child == 0) _exit(copiesItsOwn(childBytes) ? 0 : 1);
        int childStatus = 0;
        waitpid(child, &childStatus, 0);
        turns->childCopied = WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0 ? 1 : 2;
        copying.join();
        _exit(copier.load() == 1 ? 0 : 4);
    });
    const int childCopied = turns->childCopied.load();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    if (WEXITSTATUS(status) == kNoSeccomp) GTEST_SKIP() << "no seccomp filters here to hold the parent still";
    EXPECT_EQ(childCopied, 1) << "the child could not copy while its parent's copy was held";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the parent's own copy failed";
}

#endif

} // namespace
