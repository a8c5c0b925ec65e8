// The app's backend calls against a real Parse Server (tools/backend/local-backend): the installation
// save, the lesson's video lookup and registration, the search's request log, a wrong client key and a
// server that goes away mid-run. What the app stored is read back from the server field by field.
//
// Each case starts from a known state for the lessons it uses (they are distinct between cases, which
// run in parallel against one database) and leaves what it made behind for a person to look at.
#include "app/catalogue/AppDelegate.hpp"
#include "app/catalogue/ChapterViewController.hpp"
#include "app/catalogue/SearchResultsTableViewController.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "platform/services/Executor.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/services/rest/RestBackendClient.hpp"
#include "tests/integration/LocalParseServer.hpp"
#include "tests/support/CatalogueWorld.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <set>

namespace {

using nlohmann::json;

constexpr const char* connected = "You have successfully connected your app to Back4App!";

// The keys a stored object holds besides the server's own (objectId, createdAt, updatedAt).
std::set<std::string> ownKeys(const json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items())
        if (key != "objectId" && key != "createdAt" && key != "updatedAt") keys.insert(key);
    return keys;
}

class ParseServer : public ::testing::Test {
  protected:
    std::optional<LocalParseServer> backend;
    CatalogueWorld world;
    ns::ConsoleCapture console;
    std::optional<svc::ScopedOverride<svc::Executor>> mainQueue;
    std::shared_ptr<svc::RestBackendClient> client;
    std::optional<svc::ScopedOverride<std::shared_ptr<svc::BackendClient>>> installed;

    void SetUp() override {
        std::string whyNot;
        backend = LocalParseServer::fromEnvironment(whyNot);
        if (!backend) {
            GTEST_SKIP() << "No local Parse Server (" << whyNot
                         << "). Start one with `tools/backend/local-backend start DIR` and set "
                            "VELOMARINTH_TEST_BACKEND=DIR; .ci/run does both.";
        }
        auto version = backend->reportedVersion();
        ASSERT_TRUE(version) << "the Parse Server at " << backend->server << " does not answer";
        EXPECT_EQ(*version, backend->parseServerVersion);
        std::cout << "Against parse-server " << *version << " on PostgreSQL " << backend->postgresVersion
                  << " at " << backend->server << "\n";
        mainQueue.emplace(svc::setCallbackExecutor,
                          [](svc::Task task) { dispatch::main().async(std::move(task)); });
    }

    // Starts the app's backend as the shipped start-up does, pointed at `server` through the same
    // environment variables a person would set.
    void startApp(const std::string& server, const std::string& clientKey,
                  const std::string& version = "5.2") {
        ::setenv("VELOMARINTH_BACKEND_SERVER", server.c_str(), 1);
        ::setenv("VELOMARINTH_BACKEND_APP_ID", backend->applicationId.c_str(), 1);
        ::setenv("VELOMARINTH_BACKEND_CLIENT_KEY", clientKey.c_str(), 1);
        client = std::make_shared<svc::RestBackendClient>(
            svc::RestBackendClient::Options{installationFile(), "com.velomarinth.swift", version, 5, 10});
        installed.emplace(svc::setSharedBackendClient, client);
        AppDelegate delegate(client, nullptr);
        EXPECT_TRUE(delegate.application(ui::Application::shared(), {}));
        for (const char* name :
             {"VELOMARINTH_BACKEND_SERVER", "VELOMARINTH_BACKEND_APP_ID", "VELOMARINTH_BACKEND_CLIENT_KEY"})
            ::unsetenv(name);
    }
    std::filesystem::path installationFile() const { return world.home.path() / "installation.json"; }
    json storedInstallation() const {
        std::ifstream in(installationFile());
        return json::parse(in, nullptr, false);
    }

    bool waitFor(const std::function<bool()>& done) {
        return dispatch::main().runUntil(done, velotest::kPatience);
    }
    // Waits up to 10 s for the server to hold what `done` looks for; the app's main queue runs meanwhile.
    bool waitForServer(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            dispatch::main().runOnce(0.1);
        }
        return true;
    }
    std::size_t linesStartingWith(std::string_view prefix) const {
        std::size_t n = 0;
        for (const auto& line : console.lines())
            n += line.starts_with(prefix);
        return n;
    }

    Lesson::Ptr lesson(std::size_t chapter, std::size_t index) {
        return world.main().chapters.at(chapter)->lessons.at(index);
    }
    // Opens a lesson from the home screen through its chapter's list, as a person would.
    void openLesson(std::size_t chapter, std::size_t index) {
        while (world.navigation->viewControllers().size() > 1)
            world.navigation->popViewController(false);
        world.main().tableView->selectRow({0, static_cast<int>(chapter)});
        world.settle();
        auto list = world.top<ChapterViewController>();
        ASSERT_TRUE(list);
        list->tableView->layoutIfNeeded();
        list->tableView->selectRow({0, static_cast<int>(index)});
        ASSERT_TRUE(world.top<LessonViewController>());
    }
    // Types `text` into search and picks the first result; answers the chosen lesson's id.
    std::string searchAndPick(const std::string& text) {
        while (world.navigation->viewControllers().size() > 1)
            world.navigation->popViewController(false);
        world.main().openSearch();
        world.settle();
        auto search = world.top<SearchResultsTableViewController>();
        if (!search) return "";
        typeSearch(*search->searchController, text);
        world.settle();
        if (search->filteredCandies.empty() || !search->tableView->selectRow({0, 0})) return "";
        return search->selectedCandy->lesson->lessonID.str();
    }

    // Nothing when the server cannot be read, so a failed read never passes for "no objects".
    std::optional<std::size_t> count(const std::string& className, const json& where) const {
        auto found = backend->find(className, where);
        if (!found) return std::nullopt;
        return found->size();
    }
    void clean(const std::string& className, const json& where) const {
        ASSERT_TRUE(backend->removeAll(className, where));
    }
};

TEST_F(ParseServer, TheInstallationIsSavedAndTheNextLaunchUpdatesTheSameOne) {
    startApp(backend->server, backend->clientKey, "5.2");
    ASSERT_TRUE(waitFor([&] { return console.contains(connected); }));

    json kept = storedInstallation();
    ASSERT_TRUE(kept.contains("objectId")) << kept.dump();
    std::string installationId = kept["installationId"];
    auto stored = backend->find("_Installation", {{"installationId", installationId}});
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 1u);
    const json& first = stored->at(0);
    EXPECT_EQ(first["objectId"], kept["objectId"]);
    EXPECT_EQ(first["deviceType"], "linux");
    EXPECT_EQ(first["appIdentifier"], "com.velomarinth.swift");
    EXPECT_EQ(first["appVersion"], "5.2");
    EXPECT_EQ(ownKeys(first),
              (std::set<std::string>{"installationId", "deviceType", "appIdentifier", "appVersion"}));

    // A later launch of a newer version: the same installation object, updated in place.
    installed.reset();
    client.reset();
    startApp(backend->server, backend->clientKey, "5.3");
    ASSERT_TRUE(waitFor([&] { return console.count(connected) == 2; }));
    stored = backend->find("_Installation", {{"installationId", installationId}});
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 1u);
    EXPECT_EQ(stored->at(0)["objectId"], kept["objectId"]);
    EXPECT_EQ(stored->at(0)["appVersion"], "5.3");
    EXPECT_EQ(storedInstallation(), kept);
}

TEST_F(ParseServer, ALessonWithoutARowIsRegisteredOnceAndItsVideoIsFoundWhenSet) {
    world.launch();
    auto asked = lesson(0, 1);
    auto other = lesson(0, 2);
    clean("VideoTutorials", {{"lessonID", asked->lessonID}});
    clean("VideoTutorials", {{"lessonID", other->lessonID}});
    auto videoBefore = asked->videoTutorial;
    startApp(backend->server, backend->clientKey);
    ASSERT_TRUE(waitFor([&] { return console.contains(connected); }));

    openLesson(0, 1);
    ASSERT_TRUE(waitForServer([&] { return count("VideoTutorials", {{"lessonID", asked->lessonID}}) == 1; }));
    auto rows = backend->find("VideoTutorials", {{"lessonID", asked->lessonID}});
    ASSERT_TRUE(rows);
    const json row = rows->at(0);
    EXPECT_EQ(row["lessonID"], asked->lessonID);
    EXPECT_EQ(ownKeys(row), std::set<std::string>{"lessonID"});

    // The second query finds that row: nothing more is registered. The other lesson's registration
    // is queued behind anything the second query could have saved, so once it is there, so would be
    // a second row.
    openLesson(0, 1);
    openLesson(0, 2);
    ASSERT_TRUE(waitForServer([&] { return count("VideoTutorials", {{"lessonID", other->lessonID}}) == 1; }));
    EXPECT_EQ(count("VideoTutorials", {{"lessonID", asked->lessonID}}), 1u);
    EXPECT_EQ(asked->videoTutorial, videoBefore);
    EXPECT_EQ(console.count("Successfully retrieved LessonID"), 3u);

    // Someone fills in the video id: the next visit takes it.
    ASSERT_TRUE(backend->update("VideoTutorials", row["objectId"], {{"videoID", "abcdefghijk"}}));
    openLesson(0, 1);
    ASSERT_TRUE(waitFor([&] { return asked->videoTutorial == std::optional<std::string>("abcdefghijk"); }));
    EXPECT_TRUE(console.contains("Video found on Parse.  ID: abcdefghijk"));
}

TEST_F(ParseServer, ASearchChoiceStoresTheLessonAndTheTextAsTwoObjects) {
    // Quotes and an apostrophe: the text travels as JSON and is stored as typed.
    const std::string text = R"("Hi" It's)";
    world.launch();
    startApp(backend->server, backend->clientKey);
    ASSERT_TRUE(waitFor([&] { return console.contains(connected); }));
    auto expected = lesson(0, 0); // the only lesson whose title holds the text
    clean("SearchRequests", {{"lessonID", expected->lessonID}});
    clean("SearchRequests", {{"searchString", text}});

    ASSERT_EQ(searchAndPick(text), expected->lessonID);
    ASSERT_TRUE(waitForServer([&] { return count("SearchRequests", {{"searchString", text}}) == 1; }));
    auto byLesson = backend->find("SearchRequests", {{"lessonID", expected->lessonID}});
    auto byText = backend->find("SearchRequests", {{"searchString", text}});
    ASSERT_TRUE(byLesson && byText);
    ASSERT_EQ(byLesson->size(), 1u);
    ASSERT_EQ(byText->size(), 1u);
    EXPECT_EQ(byLesson->at(0)["lessonID"], expected->lessonID);
    EXPECT_EQ(ownKeys(byLesson->at(0)), std::set<std::string>{"lessonID"});
    EXPECT_EQ(byText->at(0)["searchString"], text);
    EXPECT_EQ(ownKeys(byText->at(0)), std::set<std::string>{"searchString"});
    EXPECT_TRUE(console.contains("Successfully retrieved LessonID"));
}

TEST_F(ParseServer, AWrongClientKeyIsLoggedAndStoresNothing) {
    world.launch();
    auto asked = lesson(2, 0);
    clean("VideoTutorials", {{"lessonID", asked->lessonID}});
    startApp(backend->server, std::string(40, '0'));

    // The installation save fails with the server's own word for it; the app goes on.
    ASSERT_TRUE(waitFor([&] { return console.contains("unauthorized"); }));
    openLesson(2, 0);
    ASSERT_TRUE(waitFor([&] { return linesStartingWith("Error: ") == 1; }));
    EXPECT_FALSE(console.contains(connected));
    EXPECT_FALSE(console.contains("Successfully retrieved LessonID"));

    json kept = storedInstallation();
    EXPECT_FALSE(kept.contains("objectId"));
    EXPECT_EQ(count("_Installation", {{"installationId", kept["installationId"]}}), 0u);
    EXPECT_EQ(count("VideoTutorials", {{"lessonID", asked->lessonID}}), 0u);
    EXPECT_TRUE(world.top<LessonViewController>());
}

TEST_F(ParseServer, AServerThatGoesAwayMidRunLeavesLoggedFailuresAndWhatWasStored) {
    SpareParseServer spare(*backend, VELO_SOURCE_DIR "/tools/backend/local-backend");
    ASSERT_TRUE(spare.waitUntilHealthy(std::chrono::seconds(60)));
    world.launch();
    auto before = lesson(3, 0);
    auto after = lesson(3, 1);
    const std::string text = lesson(3, 2)->title.str();
    clean("VideoTutorials", {{"lessonID", before->lessonID}});
    clean("VideoTutorials", {{"lessonID", after->lessonID}});
    clean("SearchRequests", {{"searchString", text}});

    startApp("http://127.0.0.1:" + std::to_string(spare.port()) + "/parse", backend->clientKey);
    ASSERT_TRUE(waitFor([&] { return console.contains(connected); }));
    openLesson(3, 0);
    ASSERT_TRUE(waitForServer([&] {
        return count("VideoTutorials", {{"lessonID", before->lessonID}}) == 1;
    }));

    spare.stop();
    openLesson(3, 1);
    EXPECT_EQ(searchAndPick(text), lesson(3, 2)->lessonID);
    EXPECT_TRUE(world.top<LessonViewController>()); // opened without waiting for the backend
    // The video lookups of both lessons and the search's own query fail, each with its line.
    ASSERT_TRUE(waitFor([&] { return linesStartingWith("Error: ") == 3; }));
    EXPECT_EQ(linesStartingWith("Error: Error Domain=VelomarinthBackendErrorDomain Code=2 "), 3u);

    EXPECT_EQ(count("VideoTutorials", {{"lessonID", before->lessonID}}), 1u);
    EXPECT_EQ(count("VideoTutorials", {{"lessonID", after->lessonID}}), 0u);
    EXPECT_EQ(count("SearchRequests", {{"searchString", text}}), 0u);
}

} // namespace
