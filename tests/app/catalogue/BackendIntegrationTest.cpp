// The app against a local REST server through the real backend client: start-up registers the
// installation, the lesson screen looks up tutorial videos, search logs its choices; a server that is
// down or answers garbage changes nothing but console lines.
#include "app/catalogue/AppDelegate.hpp"
#include "app/catalogue/ChapterViewController.hpp"
#include "app/catalogue/SearchResultsTableViewController.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "platform/services/Executor.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/services/rest/RestBackendClient.hpp"
#include "tests/support/CatalogueWorld.hpp"
#include "tests/support/RestServer.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

namespace {

using nlohmann::json;

RestServer::Answer parseServer(const RestServer::Seen& seen) {
    if (seen.method == "POST") return {201, R"({"objectId":"new1","createdAt":"2026-12-06T00:00:00.000Z"})"};
    if (seen.path.ends_with("/classes/VideoTutorials")) {
        auto lesson = json::parse(seen.where, nullptr, false).value("lessonID", "");
        if (lesson == "CH1L2")
            return {200, R"({"results":[{"objectId":"v1","lessonID":"CH1L2","videoID":"abcdefghijk"}]})"};
        if (lesson == "CH1L3")
            return {200, R"({"results":[{"objectId":"v2","lessonID":"CH1L3","videoID":"first000001"},
                                        {"objectId":"v3","lessonID":"CH1L3","videoID":"second00002"}]})"};
        return {200, R"({"results":[]})"};
    }
    return {200, R"({"results":[]})"};
}

class BackendIntegration : public ::testing::Test {
  protected:
    std::unique_ptr<RestServer> server;
    CatalogueWorld world;
    std::optional<svc::ScopedOverride<svc::Executor>> mainQueue;
    std::shared_ptr<svc::RestBackendClient> client;
    std::optional<svc::ScopedOverride<std::shared_ptr<svc::BackendClient>>> installed;

    void start(RestServer::Responder responder) {
        server = std::make_unique<RestServer>(std::move(responder));
        ::setenv("VELOMARINTH_BACKEND_SERVER", server->url().c_str(), 1);
        client = std::make_shared<svc::RestBackendClient>(svc::RestBackendClient::Options{
            world.home.path() / "installation.json", "com.velomarinth.swift", CatalogueWorld::version, 5, 5});
        installed.emplace(svc::setSharedBackendClient, client);
        mainQueue.emplace(svc::setCallbackExecutor,
                          [](svc::Task task) { dispatch::main().async(std::move(task)); });
        AppDelegate delegate(client, nullptr);
        delegate.application(ui::Application::shared(), {});
        ::unsetenv("VELOMARINTH_BACKEND_SERVER");
        world.launch();
    }

    std::size_t seenCount(const std::string& method, const std::string& suffix) {
        std::size_t n = 0;
        for (const auto& s : server->seen())
            n += s.method == method && s.path.ends_with(suffix);
        return n;
    }
    bool waitFor(const std::function<bool()>& done) {
        return dispatch::main().runUntil(done, velotest::kPatience);
    }

    std::shared_ptr<LessonViewController> openLesson(int row) {
        auto& home = world.main();
        if (!world.top<ChapterViewController>()) home.tableView->selectRow({0, 0});
        world.settle();
        auto chapter = world.top<ChapterViewController>();
        chapter->tableView->layoutIfNeeded();
        chapter->tableView->selectRow({0, row});
        auto lesson = world.top<LessonViewController>();
        world.navigation->popViewController(false);
        return lesson;
    }
};

TEST_F(BackendIntegration, InstallationVideoLookupsAndSearchLogsReachTheServer) {
    ns::ConsoleCapture console;
    start(parseServer);
    ASSERT_TRUE(
        waitFor([&] { return console.contains("You have successfully connected your app to Back4App!"); }));
    EXPECT_EQ(seenCount("POST", "/installations"), 1u);

    auto chapter = world.main().chapters[0];
    std::optional<LessonText> thirdBefore = chapter->lessons[2]->videoTutorial;

    // No row: the lesson id is registered.
    openLesson(0);
    ASSERT_TRUE(waitFor([&] { return seenCount("POST", "/classes/VideoTutorials") == 1; }));
    auto registered = server->seen().back();
    EXPECT_EQ(json::parse(registered.body), json({{"lessonID", chapter->lessons[0]->lessonID}}));

    // One row: its video id becomes the lesson's.
    openLesson(1);
    ASSERT_TRUE(waitFor(
        [&] { return chapter->lessons[1]->videoTutorial == std::optional<std::string>("abcdefghijk"); }));
    EXPECT_TRUE(console.contains("Video found on Parse.  ID: abcdefghijk"));

    // Two rows: nothing is taken, nothing registered.
    openLesson(2);
    ASSERT_TRUE(waitFor([&] { return seenCount("GET", "/classes/VideoTutorials") == 3; }));
    world.settle();
    EXPECT_EQ(chapter->lessons[2]->videoTutorial, thirdBefore);
    EXPECT_EQ(seenCount("POST", "/classes/VideoTutorials"), 1u);

    // A search choice: a query by lesson id, then the two log objects.
    world.main().openSearch();
    world.settle();
    auto search = world.top<SearchResultsTableViewController>();
    ASSERT_TRUE(search);
    typeSearch(*search->searchController, "swift basics");
    world.settle();
    ASSERT_TRUE(search->tableView->selectRow({0, 0}));
    ASSERT_TRUE(waitFor([&] { return seenCount("POST", "/classes/SearchRequests") == 2; }));
    std::vector<json> bodies;
    for (const auto& s : server->seen())
        if (s.method == "POST" && s.path.ends_with("/classes/SearchRequests"))
            bodies.push_back(json::parse(s.body));
    EXPECT_EQ(bodies[0], json({{"lessonID", chapter->lessons[0]->lessonID}}));
    EXPECT_EQ(bodies[1], json({{"searchString", "swift basics"}}));
    EXPECT_TRUE(console.contains("Successfully retrieved LessonID"));
}

TEST_F(BackendIntegration, SearchTextThatIsNotUtf8IsLoggedWithReplacementCharacters) {
    start(parseServer);
    world.main().openSearch();
    world.settle();
    auto search = world.top<SearchResultsTableViewController>();
    ASSERT_TRUE(search);
    typeSearch(*search->searchController, "swift");
    world.settle();
    ASSERT_TRUE(search->tableView->selectRow({0, 0}));
    // Back on the search screen before the backend answers, the learner types an e-acute as a Latin-1
    // terminal sends it: one byte that is no UTF-8. The answer logs the text as it stands then.
    world.navigation->popViewController(false);
    typeSearch(*search->searchController, "swift\xE9");
    ASSERT_TRUE(waitFor([&] { return seenCount("POST", "/classes/SearchRequests") == 2; }));
    std::string logged;
    for (const auto& s : server->seen())
        if (s.method == "POST" && s.body.find("searchString") != std::string::npos) logged = s.body;
    EXPECT_EQ(json::parse(logged), json({{"searchString", "swift\uFFFD"}}));
}

TEST_F(BackendIntegration, AServerAnsweringGarbageChangesNothingButConsoleLines) {
    ns::ConsoleCapture console;
    start([](const RestServer::Seen&) { return RestServer::Answer{200, "<html>not the backend</html>"}; });
    auto chapter = world.main().chapters[0];
    auto before = chapter->lessons[1]->videoTutorial;
    auto record = *world.main().progressReport;

    openLesson(1);
    world.main().openSearch();
    world.settle();
    auto search = world.top<SearchResultsTableViewController>();
    typeSearch(*search->searchController, "swift");
    world.settle();
    search->tableView->selectRow({0, 0});
    EXPECT_TRUE(world.top<LessonViewController>()); // opened without waiting

    std::size_t errors = 0;
    ASSERT_TRUE(waitFor([&] {
        errors = 0;
        for (const auto& line : console.lines())
            errors += line.starts_with("Error: ");
        return errors >= 2;
    }));
    EXPECT_EQ(chapter->lessons[1]->videoTutorial, before);
    EXPECT_EQ(seenCount("POST", "/classes/SearchRequests"), 0u);
    EXPECT_EQ(seenCount("POST", "/classes/VideoTutorials"), 0u);
    EXPECT_EQ(world.main().progressReport->lessons, record.lessons);
    EXPECT_FALSE(console.contains("You have successfully connected your app to Back4App!"));
}

TEST_F(BackendIntegration, AServerThatIsDownOnlyPrints) {
    std::string url;
    {
        RestServer closed(parseServer);
        url = closed.url();
    }
    ns::ConsoleCapture console;
    ::setenv("VELOMARINTH_BACKEND_SERVER", url.c_str(), 1);
    client = std::make_shared<svc::RestBackendClient>(
        svc::RestBackendClient::Options{world.home.path() / "installation.json", "", "", 2, 2});
    installed.emplace(svc::setSharedBackendClient, client);
    mainQueue.emplace(svc::setCallbackExecutor,
                      [](svc::Task task) { dispatch::main().async(std::move(task)); });
    AppDelegate delegate(client, nullptr);
    EXPECT_TRUE(delegate.application(ui::Application::shared(), {}));
    ::unsetenv("VELOMARINTH_BACKEND_SERVER");
    auto& home = world.launch();
    EXPECT_EQ(home.chapters.size(), 26u);
    openLesson(0);
    ASSERT_TRUE(waitFor([&] {
        for (const auto& line : console.lines())
            if (line.starts_with("Could not reach the backend")) return true;
        return false;
    }));
    ASSERT_TRUE(waitFor([&] {
        for (const auto& line : console.lines())
            if (line.starts_with("Error: ")) return true;
        return false;
    }));
}

} // namespace
