#include "platform/services/BackendClient.hpp"
#include "platform/services/Executor.hpp"
#include "platform/services/FakeBackendClient.hpp"
#include "platform/services/ScopedOverride.hpp"

#include <gtest/gtest.h>

#include <deque>

namespace {

// Collects delivered callbacks instead of running them, the way a main queue would.
struct QueuedExecutor {
    std::deque<svc::Task> tasks;
    svc::ScopedOverride<svc::Executor> installed{svc::setCallbackExecutor,
                                                 [this](svc::Task t) { tasks.push_back(std::move(t)); }};
    void drain() {
        while (!tasks.empty()) {
            auto t = std::move(tasks.front());
            tasks.pop_front();
            t();
        }
    }
};

TEST(BackendObjects, KeepKeyOrderAndReplaceInPlace) {
    svc::BackendObject o("VideoTutorials");
    o.setObject("lessonID", "CH1L1");
    o.setObject("videoID", "abcdefghijk");
    o.setObject("lessonID", "CH1L2");
    EXPECT_EQ(o.values().keys(), (std::vector<std::string>{"lessonID", "videoID"}));
    EXPECT_EQ(*o.objectForKey("lessonID")->stringValue(), "CH1L2");
    o.setObject("videoID", ns::PropertyList());
    EXPECT_EQ(o.objectForKey("videoID"), nullptr);

    svc::BackendQuery q("VideoTutorials");
    q.whereKey("lessonID", "CH1L1");
    q.whereKey("lessonID", "CH1L2");
    ASSERT_TRUE(q.condition());
    EXPECT_EQ(*q.condition()->equalTo.stringValue(), "CH1L2");
}

TEST(FakeBackend, RecordsRequestsAndCompletesThemThroughTheExecutor) {
    QueuedExecutor executor;
    svc::FakeBackendClient backend;
    backend.initialize({"app", "key", "https://example.invalid/parse"});
    svc::BackendQuery q("VideoTutorials");
    q.whereKey("lessonID", "CH5L1");
    std::optional<std::vector<svc::BackendObject>> found;
    bool findCalled = false;
    backend.findObjectsInBackground(q, [&](auto objects, auto error) {
        findCalled = true;
        found = std::move(objects);
        EXPECT_FALSE(error);
    });
    int saveCalls = 0;
    backend.saveInBackground(svc::BackendObject("SearchRequests"), [&](bool ok, auto error) {
        ++saveCalls;
        EXPECT_FALSE(ok);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 7);
    });

    ASSERT_EQ(backend.findRequests().size(), 1u);
    EXPECT_EQ(backend.findRequests()[0].query, q);
    EXPECT_EQ(backend.configuration()->server, "https://example.invalid/parse");

    svc::BackendObject row("VideoTutorials");
    row.setObject("videoID", "abcdefghijk");
    EXPECT_TRUE(backend.completeFind(0, std::vector<svc::BackendObject>{row}));
    EXPECT_FALSE(backend.completeFind(0, std::nullopt)); // only once
    EXPECT_TRUE(backend.completeSave(0, false, ns::Error("D", 7)));
    EXPECT_FALSE(backend.completeSave(3, true));
    EXPECT_FALSE(findCalled); // not before the main queue runs
    executor.drain();
    EXPECT_TRUE(findCalled);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at(0), row);
    EXPECT_EQ(saveCalls, 1);
}

TEST(FakeBackend, InstallationSavesAreMarked) {
    svc::FakeBackendClient backend;
    auto installation = backend.currentInstallation();
    ASSERT_TRUE(installation);
    bool ok = false;
    backend.saveInstallationInBackground(*installation, [&](bool succeeded, auto) { ok = succeeded; });
    ASSERT_EQ(backend.saveRequests().size(), 1u);
    EXPECT_TRUE(backend.saveRequests()[0].installation);
    backend.completeSave(0, true);
    EXPECT_TRUE(ok);
    backend.setCurrentInstallation(std::nullopt);
    EXPECT_FALSE(backend.currentInstallation());
}

TEST(SharedBackend, DefaultFailsEveryCallWithNotConfigured) {
    svc::setSharedBackendClient(nullptr);
    auto client = svc::sharedBackendClient();
    std::optional<ns::Error> findError, saveError;
    bool findHadList = true;
    client->findObjectsInBackground(svc::BackendQuery("X"), [&](auto objects, auto error) {
        findHadList = objects.has_value();
        findError = error;
    });
    client->saveInBackground(svc::BackendObject("X"), [&](bool, auto error) { saveError = error; });
    EXPECT_FALSE(findHadList);
    ASSERT_TRUE(findError && saveError);
    EXPECT_EQ(findError->domain(), svc::backendErrorDomain);
    EXPECT_EQ(findError->code(), static_cast<long>(svc::BackendErrorCode::notConfigured));

    auto fake = std::make_shared<svc::FakeBackendClient>();
    svc::ScopedOverride installed(svc::setSharedBackendClient, fake);
    EXPECT_EQ(svc::sharedBackendClient(), fake);
}

} // namespace
