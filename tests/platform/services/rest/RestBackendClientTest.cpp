#include "platform/services/rest/RestBackendClient.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "tests/support/RestServer.hpp"
#include "tests/support/TempHome.hpp"

#include "tests/support/EnvironmentScope.hpp"
#include "tests/support/HostileServer.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/StalledResolver.hpp"
#include "tests/support/TestServers.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>

namespace {

using nlohmann::json;
using svc::BackendObject;
using svc::BackendQuery;

const char* kAppId = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa1";
const char* kClientKey = "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk2";

struct FindOutcome {
    std::optional<std::vector<BackendObject>> objects;
    std::optional<ns::Error> error;
};
struct SaveOutcome {
    bool succeeded = false;
    std::optional<ns::Error> error;
};

class RestBackend : public ::testing::Test {
  protected:
    velotest::TempFolder home;

    // Every server here answers or refuses at once; the time-outs only turn a hang into a failure.
    std::unique_ptr<svc::RestBackendClient> client(const std::string& server,
                                                   long timeout = static_cast<long>(velotest::kPatience)) {
        auto c = std::make_unique<svc::RestBackendClient>(
            svc::RestBackendClient::Options{home.path() / "backend" / "installation.json",
                                            "com.velomarinth.swift", "1.0.0", timeout, timeout});
        c->initialize({kAppId, kClientKey, server + "/"});
        return c;
    }

    static FindOutcome find(svc::BackendClient& c, const std::string& className,
                            const std::string& lessonID) {
        BackendQuery query(className);
        query.whereKey("lessonID", lessonID);
        std::promise<FindOutcome> done;
        c.findObjectsInBackground(query, [&](auto objects, auto error) { done.set_value({objects, error}); });
        return wait(done);
    }
    static SaveOutcome save(svc::BackendClient& c, const BackendObject& object, bool installation = false) {
        std::promise<SaveOutcome> done;
        auto callback = [&](bool ok, auto error) { done.set_value({ok, error}); };
        if (installation)
            c.saveInstallationInBackground(object, callback);
        else
            c.saveInBackground(object, callback);
        return wait(done);
    }
    template <typename T> static T wait(std::promise<T>& done) {
        auto future = done.get_future();
        if (future.wait_for(std::chrono::duration<double>(velotest::kPatience)) !=
            std::future_status::ready) {
            ADD_FAILURE() << "no callback";
            return T{};
        }
        return future.get();
    }
};

TEST_F(RestBackend, InstallationIsRegisteredOnceAndUpdatedOnLaterLaunches) {
    RestServer server([](const RestServer::Seen& seen) -> RestServer::Answer {
        if (seen.method == "POST")
            return {201, R"({"objectId":"inst42","createdAt":"2026-01-01T00:00:00.000Z"})"};
        return {200, R"({"updatedAt":"2026-01-02T00:00:00.000Z"})"};
    });
    std::string installationId;
    {
        auto c = client(server.url());
        auto installation = c->currentInstallation();
        ASSERT_TRUE(installation);
        EXPECT_FALSE(installation->objectId());
        auto outcome = save(*c, *installation, true);
        EXPECT_TRUE(outcome.succeeded);
        EXPECT_FALSE(outcome.error);
        installationId = *installation->objectForKey("installationId")->stringValue();
    }
    {
        auto c = client(server.url());
        auto installation = c->currentInstallation();
        ASSERT_TRUE(installation);
        EXPECT_EQ(installation->objectId(), std::optional<std::string>("inst42"));
        EXPECT_EQ(*installation->objectForKey("installationId")->stringValue(), installationId);
        EXPECT_TRUE(save(*c, *installation, true).succeeded);
    }
    auto seen = server.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].path, "/parse/installations");
    EXPECT_EQ(seen[0].applicationId, kAppId);
    EXPECT_EQ(seen[0].clientKey, kClientKey);
    EXPECT_EQ(seen[0].contentType, "application/json");
    auto body = json::parse(seen[0].body);
    EXPECT_EQ(body["installationId"], installationId);
    EXPECT_EQ(body["deviceType"], "linux");
    EXPECT_EQ(body["appIdentifier"], "com.velomarinth.swift");
    EXPECT_EQ(seen[1].method, "PUT");
    EXPECT_EQ(seen[1].path, "/parse/installations/inst42");
}

TEST_F(RestBackend, AnInstallationTheServerDeletedIsRegisteredAgain) {
    std::atomic<int> created{0};
    RestServer server([&](const RestServer::Seen& seen) -> RestServer::Answer {
        if (seen.method == "PUT") return {404, R"({"code":101,"error":"Object not found."})"};
        return {201, R"({"objectId":"new)" + std::to_string(++created) + R"("})"};
    });
    const auto file = home.path() / "backend" / "installation.json";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << R"({"installationId":"0f0e0d0c-0000-4000-8000-000000000001","objectId":"gone"})";
    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE(launch);
        auto c = client(server.url());
        auto installation = c->currentInstallation();
        ASSERT_TRUE(installation);
        auto outcome = save(*c, *installation, true);
        EXPECT_TRUE(outcome.succeeded);
        EXPECT_FALSE(outcome.error);
        EXPECT_EQ(c->currentInstallation()->objectId(),
                  std::optional<std::string>("new" + std::to_string(launch)));
        // Kept whole for the next launch, with no temporary beside it.
        auto kept = json::parse(*ns::readFileText(file, 1 << 20));
        EXPECT_EQ(kept["objectId"], "new" + std::to_string(launch));
        EXPECT_EQ(kept["installationId"], "0f0e0d0c-0000-4000-8000-000000000001");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
    auto seen = server.seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].method + " " + seen[0].path, "PUT /parse/installations/gone");
    EXPECT_EQ(seen[1].method + " " + seen[1].path, "POST /parse/installations");
    EXPECT_EQ(json::parse(seen[1].body)["installationId"], "0f0e0d0c-0000-4000-8000-000000000001");
    EXPECT_EQ(seen[2].method + " " + seen[2].path, "PUT /parse/installations/new1");
    EXPECT_EQ(seen[3].method, "POST");
}

TEST_F(RestBackend, ClassQueryByKeyAnswersZeroOneOrTwoRows) {
    RestServer server([](const RestServer::Seen& seen) -> RestServer::Answer {
        auto lesson = json::parse(seen.where)["lessonID"].get<std::string>();
        if (lesson == "CH1L1") return {200, R"({"results":[]})"};
        if (lesson == "CH1L2")
            return {200, R"({"results":[{"objectId":"v1","lessonID":"CH1L2","videoID":"abcdefghijk"}]})"};
        return {200, R"({"results":[{"objectId":"v2","lessonID":"CH1L3","videoID":"first000001"},
                                    {"objectId":"v3","lessonID":"CH1L3","videoID":"second00002"}]})"};
    });
    auto c = client(server.url());
    struct Case {
        const char* lessonID;
        std::vector<std::string> videoIDs;
    } cases[] = {{"CH1L1", {}}, {"CH1L2", {"abcdefghijk"}}, {"CH1L3", {"first000001", "second00002"}}};
    for (const auto& k : cases) {
        auto outcome = find(*c, "VideoTutorials", k.lessonID);
        ASSERT_FALSE(outcome.error) << outcome.error->description();
        ASSERT_TRUE(outcome.objects);
        std::vector<std::string> videos;
        for (const auto& object : *outcome.objects) {
            EXPECT_EQ(object.className(), "VideoTutorials");
            EXPECT_TRUE(object.objectId());
            videos.push_back(*object.objectForKey("videoID")->stringValue());
        }
        EXPECT_EQ(videos, k.videoIDs) << k.lessonID;
    }
    auto seen = server.seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].path, "/parse/classes/VideoTutorials");
    EXPECT_EQ(json::parse(seen[0].where), json({{"lessonID", "CH1L1"}}));
    EXPECT_EQ(seen[0].applicationId, kAppId);
}

TEST_F(RestBackend, ObjectSavePostsItsKeysAsJson) {
    RestServer server([](const RestServer::Seen&) -> RestServer::Answer {
        return {201, R"({"objectId":"s1"})"};
    });
    auto c = client(server.url());
    BackendObject object("SearchRequests");
    object.setObject("searchString", "for \"loops\" ✓");
    EXPECT_TRUE(save(*c, object).succeeded);
    auto seen = server.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].path, "/parse/classes/SearchRequests");
    EXPECT_EQ(json::parse(seen[0].body), json({{"searchString", "for \"loops\" ✓"}}));
}

TEST_F(RestBackend, FailuresArriveAsErrorsOfTheRightKind) {
    RestServer server([](const RestServer::Seen& seen) -> RestServer::Answer {
        if (seen.path.ends_with("/Broken")) return {400, R"({"code":141,"error":"Class is locked"})"};
        if (seen.path.ends_with("/Html")) return {502, "<html>bad gateway</html>"};
        return {200, "this is not json"};
    });
    auto c = client(server.url());
    struct Case {
        const char* className;
        svc::BackendErrorCode code;
        const char* description;
    } cases[] = {{"Broken", svc::BackendErrorCode::server, "Class is locked"},
                 {"Html", svc::BackendErrorCode::server, "The backend answered HTTP 502"},
                 {"Garbage", svc::BackendErrorCode::badResponse, nullptr}};
    for (const auto& k : cases) {
        auto found = find(*c, k.className, "CH1L1");
        ASSERT_TRUE(found.error) << k.className;
        EXPECT_FALSE(found.objects);
        EXPECT_EQ(found.error->domain(), svc::backendErrorDomain);
        EXPECT_EQ(found.error->code(), static_cast<long>(k.code)) << k.className;
        if (k.description) {
            EXPECT_EQ(found.error->localizedDescription(), k.description);
        }

        auto saved = save(*c, BackendObject(k.className));
        EXPECT_FALSE(saved.succeeded) << k.className;
        ASSERT_TRUE(saved.error);
        EXPECT_EQ(saved.error->code(), static_cast<long>(k.code));
    }
}

TEST_F(RestBackend, ServerDownGivesNetworkErrorsAndNothingElse) {
    std::string url;
    {
        RestServer closed([](const RestServer::Seen&) { return RestServer::Answer{}; });
        url = closed.url();
    } // the port is closed again
    auto c = client(url);
    auto found = find(*c, "VideoTutorials", "CH1L1");
    ASSERT_TRUE(found.error);
    EXPECT_EQ(found.error->code(), static_cast<long>(svc::BackendErrorCode::network));
    auto installation = c->currentInstallation();
    ASSERT_TRUE(installation);
    auto saved = save(*c, *installation, true);
    EXPECT_FALSE(saved.succeeded);
    EXPECT_EQ(saved.error->code(), static_cast<long>(svc::BackendErrorCode::network));
    EXPECT_FALSE(c->currentInstallation()->objectId());
}

// The application id and client key go straight to a backend on this machine, never through a proxy
// the environment names.
TEST_F(RestBackend, ABackendOnThisMachineIsNeverReachedThroughAProxy) {
    velotest::RawTCPServer proxy(velotest::RawTCPServer::Behaviour::reset);
    RestServer server([](const RestServer::Seen&) -> RestServer::Answer {
        return {201, R"({"objectId":"p1"})"};
    });
    velotest::EnvironmentScope proxies(velotest::everyRequestThrough(proxy.url("")));
    auto c = client(server.url());
    EXPECT_TRUE(save(*c, BackendObject("SearchRequests")).succeeded);
    EXPECT_EQ(server.seen().size(), 1u);
    EXPECT_TRUE(proxy.requests().empty());
}

TEST_F(RestBackend, UnconfiguredClientFailsEveryCall) {
    svc::RestBackendClient c({home.path() / "installation.json", "", "", 1, 1});
    auto found = find(c, "VideoTutorials", "CH1L1");
    ASSERT_TRUE(found.error);
    EXPECT_EQ(found.error->code(), static_cast<long>(svc::BackendErrorCode::notConfigured));
}

TEST_F(RestBackend, ShuttingDownAbortsASlowRequestPromptly) {
    // The server holds its answer until the client is gone: a shutdown that waited for the request
    // would find the answer given.
    velotest::Gate release;
    std::atomic<bool> answered{false};
    RestServer server([&](const RestServer::Seen&) -> RestServer::Answer {
        release.wait();
        answered = true;
        return {200, R"({"results":[]})"};
    });
    velotest::OnExit releaseOnEveryWayOut([&] { release.open(); });
    auto c = client(server.url(), 30);
    std::promise<FindOutcome> first, second;
    BackendQuery query("VideoTutorials");
    c->findObjectsInBackground(query, [&](auto o, auto e) { first.set_value({o, e}); });
    c->findObjectsInBackground(query, [&](auto o, auto e) { second.set_value({o, e}); });
    ASSERT_TRUE(velotest::eventually([&] { return !server.seen().empty(); })); // the first is in flight
    c.reset();
    EXPECT_FALSE(answered.load()) << "shutting down waited for the server's answer";
    release.open();
    EXPECT_EQ(wait(first).error->code(), static_cast<long>(svc::BackendErrorCode::network));
    EXPECT_EQ(wait(second).error->code(), static_cast<long>(svc::BackendErrorCode::network));
}

TEST_F(RestBackend, ShuttingDownMidLookUpNeitherWaitsForItNorDropsACallback) {
    // The backend's name server never answers: the look-up holds the request in flight.
    velotest::StalledLookups stalled;
    auto c = client(std::string("https://backend.") + velotest::kStalledDomain + "/parse", 30);
    std::promise<FindOutcome> first, second;
    BackendQuery query("VideoTutorials");
    c->findObjectsInBackground(query, [&](auto o, auto e) { first.set_value({o, e}); });
    c->findObjectsInBackground(query, [&](auto o, auto e) { second.set_value({o, e}); });
    ASSERT_TRUE(stalled.inProgress()) << "the backend's name was never looked up";

    EXPECT_TRUE(stalled.returnsWhileTheLookUpsWait([&] { c.reset(); }))
        << "shutting down waited for the look-up";
    EXPECT_EQ(wait(first).error->code(), static_cast<long>(svc::BackendErrorCode::network));
    EXPECT_EQ(wait(second).error->code(), static_cast<long>(svc::BackendErrorCode::network));
}

TEST_F(RestBackend, ACallbackMayReleaseTheLastReferenceToTheClient) {
    RestServer server([](const RestServer::Seen&) -> RestServer::Answer {
        return {200, R"({"results":[]})"};
    });
    std::shared_ptr<svc::BackendClient> c = client(server.url());
    std::promise<void> released;
    BackendQuery query("VideoTutorials");
    // Without an executor the callback runs on the client's own worker thread.
    c->findObjectsInBackground(query, [&c, &released](auto, auto) {
        c.reset();
        released.set_value();
    });
    auto done = released.get_future();
    ASSERT_EQ(done.wait_for(std::chrono::duration<double>(velotest::kPatience)), std::future_status::ready);
    EXPECT_FALSE(c);
}

// An installation file that cannot be read, or a folder where it should be, costs only persistence: a
// fresh installation, one console line, and the folder left as it is.
TEST_F(RestBackend, AnInstallationFileThatCannotBeReadIsReplacedWithAConsoleLine) {
    const auto file = home.path() / "backend" / "installation.json";
    for (bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "a folder" : "not json");
        std::filesystem::remove_all(file.parent_path());
        std::filesystem::create_directories(folder ? file : file.parent_path());
        if (!folder) std::ofstream(file) << "{not json";
        ns::ConsoleCapture console;
        auto c = client("http://127.0.0.1:9");
        std::optional<BackendObject> installation;
        ASSERT_NO_THROW(installation = c->currentInstallation());
        ASSERT_TRUE(installation);
        EXPECT_EQ(installation->objectForKey("installationId")->stringValue()->size(), 36u);
        ASSERT_EQ(console.lines().size(), 1u);
        if (folder) {
            EXPECT_TRUE(console.lines()[0].starts_with("The backend installation could not be kept"));
        }
        EXPECT_EQ(std::filesystem::is_directory(file), folder);
        EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
    }
}

TEST_F(RestBackend, AnObjectIdReadBackFromTheFileCannotAddressAnotherPath) {
    RestServer server([](const RestServer::Seen&) { return RestServer::Answer{200, "{}"}; });
    std::filesystem::create_directories(home.path() / "backend");
    std::ofstream(home.path() / "backend" / "installation.json")
        << R"({"installationId":"0f0e0d0c-0000-4000-8000-000000000001","objectId":"../classes/Evil?x=1"})";
    auto c = client(server.url());
    auto installation = c->currentInstallation();
    ASSERT_TRUE(installation);
    EXPECT_TRUE(save(*c, *installation, true).succeeded);
    auto seen = server.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "PUT");
    // The whole id is one segment below /installations (the server decodes it back).
    EXPECT_EQ(seen[0].path, "/parse/installations/../classes/Evil?x=1");
}

TEST_F(RestBackend, AnswersTooLongOrTooDeepAreRefusedWithoutHarm) {
    const std::string padding(4096, 'x');
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    RestServer server([&](const RestServer::Seen& seen) -> RestServer::Answer {
        auto lesson = json::parse(seen.where)["lessonID"].get<std::string>();
        if (lesson == "long") return {200, R"({"results":[{"objectId":"v1","pad":")" + padding + R"("}]})"};
        if (lesson == "deep") return {200, R"({"results":[{"objectId":"v1","deep":)" + deep + "}]}"};
        return {200, R"({"results":[{"objectId":"v1","nested":[[[["fine"]]]]}]})"};
    });
    svc::RestBackendClient c({home.path() / "installation.json", "", "", 5, 5, 2048});
    c.initialize({kAppId, kClientKey, server.url()});
    for (const char* refused : {"long", "deep"}) {
        auto outcome = find(c, "VideoTutorials", refused);
        ASSERT_TRUE(outcome.error) << refused;
        EXPECT_EQ(outcome.error->code(), static_cast<long>(svc::BackendErrorCode::badResponse)) << refused;
        EXPECT_FALSE(outcome.objects);
    }
    auto fine = find(c, "VideoTutorials", "short");
    ASSERT_FALSE(fine.error) << fine.error->description();
    ASSERT_EQ(fine.objects->size(), 1u);
}

// The client key reaches no plain-HTTP host: not when the server is one, not when a loopback server
// redirects there (a redirect is an answer, never followed), whatever the request.
TEST_F(RestBackend, TheKeyReachesNoPlainHttpHostOnAnyRoute) {
    velotest::HostileServer target(velotest::HostileServer::Behaviour::listen);
    velotest::HostileServer bounce(velotest::HostileServer::Behaviour::redirect, target.nameURL("/parse"),
                                   307);
    struct Row {
        const char* what;
        std::string server;
        svc::BackendErrorCode error;
        int bounces; // requests the loopback server sees
    };
    const Row rows[] = {
        {"the server is a host name", target.nameURL("/parse"), svc::BackendErrorCode::notConfigured, 0},
        {"the server is an address of no loopback", "http://0.0.0.0:" + std::to_string(target.port()),
         svc::BackendErrorCode::notConfigured, 0},
        {"a loopback server redirects there", bounce.url("/parse"), svc::BackendErrorCode::server, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const int before = bounce.connections();
        auto c = client(row.server);
        auto found = find(*c, "VideoTutorials", "CH1L1");
        auto saved = save(*c, BackendObject("SearchRequests"));
        ASSERT_TRUE(found.error);
        ASSERT_TRUE(saved.error);
        EXPECT_EQ(found.error->code(), static_cast<long>(row.error)) << found.error->description();
        EXPECT_EQ(saved.error->code(), static_cast<long>(row.error));
        EXPECT_EQ(bounce.connections() - before, row.bounces);
    }
    EXPECT_EQ(target.connections(), 0);
}

TEST_F(RestBackend, AnEmptyCallbackIsSkipped) {
    RestServer server([](const RestServer::Seen&) { return RestServer::Answer{200, R"({"results":[]})"}; });
    auto c = client(server.url());
    c->findObjectsInBackground(BackendQuery("VideoTutorials"), nullptr);
    c->saveInBackground(BackendObject("SearchRequests"), nullptr);
    // Both requests have been answered once a later one has.
    EXPECT_FALSE(find(*c, "VideoTutorials", "CH1L1").error);
    EXPECT_EQ(server.seen().size(), 3u);
}

} // namespace
