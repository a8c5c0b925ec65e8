// The platform session while a host name is being looked up and the name server never answers: every
// way a task ends (cancelled, timed out, its session invalidated, the engine stopped, the program
// exiting) ends it while the look-up still waits, never after it. The program's exit abandons every
// transfer under way, also one the engine thread is busy with as the exit comes.
#include "platform/net/CurlEngine.hpp"
#include "platform/net/CurlTask.hpp"
#include "platform/net/URLError.hpp"
#include "platform/net/URLSession.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/StalledResolver.hpp"
#include "tests/support/TestServers.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <unistd.h>

using namespace velotest;

namespace {

const std::string kStalledURL = std::string("https://api.") + kStalledDomain + "/settings";

enum class Ending { cancel, timeout, invalidate };

struct EndingCase {
    const char* name;
    Ending ending;
    long code;
};

class StalledLookup : public ::testing::TestWithParam<EndingCase> {
  protected:
    TempHome home_;
};

TEST_P(StalledLookup, EndsTheTaskWhileTheLookUpStillWaits) {
    StalledLookups stalled;
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    net::URLRequest request(kStalledURL);
    if (GetParam().ending == Ending::timeout) request.setTimeoutInterval(0.1);
    Waiter<DataOutcome> outcome;
    std::atomic<int> completions{0};
    auto task = session->dataTaskWithRequest(request, [&](const auto& d, const auto& r, const auto& e) {
        ++completions;
        outcome.set({d, r, e});
    });
    task->resume();
    ASSERT_TRUE(stalled.inProgress()) << "the host's name was never looked up";

    if (GetParam().ending == Ending::cancel) task->cancel();
    if (GetParam().ending == Ending::invalidate) session->invalidateAndCancel();
    auto ended = outcome.wait();
    const int heldWhenEnded = stalled.held();

    ASSERT_TRUE(ended && ended->error) << "the task never ended";
    EXPECT_EQ(ended->error->code(), GetParam().code) << ended->error->description();
    EXPECT_GE(heldWhenEnded, 1) << "the task ended only once the look-up had";
    ASSERT_TRUE(delegateQueueDrained(*session));
    EXPECT_EQ(completions.load(), 1);
    EXPECT_EQ(tasksUnderWay(*session), 0u);
}

INSTANTIATE_TEST_SUITE_P(Endings, StalledLookup,
                         ::testing::Values(EndingCase{"Cancelled", Ending::cancel, net::URLErrorCancelled},
                                           EndingCase{"TimedOut", Ending::timeout, net::URLErrorTimedOut},
                                           EndingCase{"Invalidated", Ending::invalidate,
                                                      net::URLErrorCancelled}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StalledLookupEngine, StopReturnsAndFailsTheTaskWhileTheLookUpStillWaits) {
    TempHome home;
    StalledLookups stalled;
    auto engine = net::detail::CurlEngine::create();
    Waiter<std::optional<ns::Error>> completed;
    auto task = std::make_shared<net::detail::CurlTask>(
        1, net::URLSessionTaskKind::data, net::URLRequest(kStalledURL), "",
        std::weak_ptr<net::detail::CurlSession>(),
        [&](const auto&, const auto&, const auto& error) { completed.set(error); }, nullptr);
    engine->add(task);
    ASSERT_TRUE(stalled.inProgress()) << "the host's name was never looked up";

    EXPECT_TRUE(stalled.returnsWhileTheLookUpsWait([&] { engine->stop(); }))
        << "the stop waited for the look-up";
    auto error = completed.wait();
    ASSERT_TRUE(error) << "the task never completed";
    EXPECT_TRUE(*error) << "a task cut off by the stop completed as a success";
}

// The threads of this process named as engine threads are.
int engineThreads() {
    int count = 0;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* task = ::readdir(tasks)) {
            std::string name;
            std::getline(std::ifstream(std::string("/proc/self/task/") + task->d_name + "/comm"), name);
            count += name == "net.CurlEngine";
        }
        ::closedir(tasks);
    }
    return count;
}

// What the program of a ProgramExit test leaves to its exit handler, which runs after the engines'.
struct AtExit {
    // Made by the program itself: its destructor would never run, as exit() skips them.
    TempHome* home = nullptr;
    // The task under way when the program exits.
    net::URLSessionTaskRef* task = nullptr;
    // Its request waits on a name look-up that never ends.
    bool waitsOnALookUp = false;
    // Threads of the program's own (a TLS server's) may still be inside OpenSSL: the program ends here,
    // before OpenSSL's exit handler frees its state under them.
    bool endsHere = false;
};
AtExit atExit;

// Ends the program with `code`, its sandbox removed first.
[[noreturn]] void leave(int code) {
    delete atExit.home;
    atExit.home = nullptr;
    std::_Exit(code);
}

// Registered before any engine is made, so it runs after the engines' exit handler and before
// OpenSSL's: no engine thread may be left to use OpenSSL's state as it goes, the engines' end must not
// have waited for the look-up, which a name server that never answers holds for good, and the task
// under way is abandoned, not completed (its handler would run while the program's objects go).
void afterTheEnginesEnded() {
    // The kernel lists a thread a moment past waking the thread that joins it: a joined thread is gone
    // soon after, one still running never is.
    if (!eventually([] { return engineThreads() == 0; }, std::chrono::milliseconds(1))) {
        std::fprintf(stderr, "%d engine threads still run as OpenSSL's state goes\n", engineThreads());
        leave(3);
    }
    if (atExit.waitsOnALookUp && velo_stalled_lookups() < 1) {
        std::fprintf(stderr, "the exit waited for the look-up\n");
        leave(4);
    }
    if (atExit.task && (*atExit.task)->error()) {
        std::fprintf(stderr, "the task under way completed as the program exited\n");
        leave(6);
    }
    if (atExit.endsHere) leave(0);
    delete atExit.home;
    atExit.home = nullptr;
}

// A program that ends with a session it never let go of (a process-wide one, say), whose task waits on
// a look-up: its exit stops the engine and joins its thread before OpenSSL frees its state, without
// waiting for the look-up, and abandons the task. The program runs in a process of its own, started
// afresh.
TEST(ProgramExit, JoinsEveryEngineThreadBeforeOpenSSLGoesAndAbandonsWhatWaitsOnALookUp) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit(afterTheEnginesEnded);
            // Bounded here, so that an exit that waits for the look-up fails rather than hangs.
            ::setenv("VELO_STALLED_LOOKUP_SECONDS", std::to_string(static_cast<int>(kPatience)).c_str(), 1);
            atExit.home = new TempHome;
            atExit.waitsOnALookUp = true;
            StalledLookups stalled;
            auto* session =
                new std::shared_ptr<net::URLSession>(net::URLSession::sessionWithConfiguration(nullptr));
            atExit.task = new net::URLSessionTaskRef((*session)->dataTaskWithRequest(
                net::URLRequest(kStalledURL), [](const auto&, const auto&, const auto&) {}));
            (*atExit.task)->resume();
            if (!stalled.inProgress()) leave(5);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// Tells the test that the server's trust is being asked about, and never answers.
class ChallengeHeld : public net::URLSessionDelegate {
  public:
    void URLSessionDidReceiveChallenge(net::URLSession&, const net::URLAuthenticationChallenge&,
                                       net::ChallengeCompletionHandler) override {
        asked.set(true);
    }
    Waiter<bool> asked;
};

// The exit comes while the engine thread is inside a round of its transfers, waiting for the delegate
// to judge the server's certificate: the stop gives the challenge up, which ends the transfer within
// that same round. That transfer is abandoned too, not completed.
TEST(ProgramExit, AbandonsATransferThatItsStopEndsMidRound) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit(afterTheEnginesEnded);
            atExit.home = new TempHome;
            atExit.endsHere = true;
            const auto* root = makeRootAuthority("Velo Test Root").release();
            auto* server = new TestHTTPSServer(*makeServerCertificate(*root).release());
            server->start();
            auto delegate = std::make_shared<ChallengeHeld>();
            auto* session = new std::shared_ptr<net::URLSession>(
                net::URLSession::sessionWithConfiguration(nullptr, delegate));
            atExit.task = new net::URLSessionTaskRef((*session)->dataTaskWithRequest(
                net::URLRequest(server->url("/")), [](const auto&, const auto&, const auto&) {}));
            (*atExit.task)->resume();
            if (!delegate->asked.wait()) leave(5);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
