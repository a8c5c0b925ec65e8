// The platform session while a host name is being looked up and the name server never answers: every
// way a task ends (cancelled, timed out, its session invalidated, the engine stopped) ends it while the
// look-up still waits, never after it.
#include "platform/net/CurlEngine.hpp"
#include "platform/net/CurlTask.hpp"
#include "platform/net/URLError.hpp"
#include "platform/net/URLSession.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/StalledResolver.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>

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

} // namespace
