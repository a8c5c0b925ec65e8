// Temporary folders in a test process with threads: a child forked while another thread makes or
// removes folders can make one of its own.
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/wait.h>
#include <thread>

namespace {

TEST(TempFolder, AChildForkedWhileAnotherThreadMakesFoldersMakesOneOfItsOwn) {
    std::atomic<bool> stop{false};
    // Folders made and removed as fast as the registry of living folders takes them, so that it is
    // busy at nearly every fork.
    std::thread churn([&] {
        auto& live = velotest::LiveFolders::shared();
        while (!stop.load(std::memory_order_relaxed)) {
            live.add("/nonexistent/velo-churn");
            live.remove("/nonexistent/velo-churn");
        }
    });
    constexpr int kChildren = 200;
    int made = 0;
    // The first child that cannot make its folder hangs until its alarm: no more are tried after it.
    for (int child = 0; child < kChildren && made == child; ++child) {
        const int status = velotest::waitStatusOfChild([] { velotest::TempFolder folder("velo-forked"); });
        made += WIFEXITED(status) && WEXITSTATUS(status) == 3 ? 1 : 0;
    }
    stop = true;
    churn.join();
    EXPECT_EQ(made, kChildren) << "a child forked amid the other thread's folders could not make its own";
}

} // namespace
