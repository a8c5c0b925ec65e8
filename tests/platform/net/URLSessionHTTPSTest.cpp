// The platform session against a real HTTPS server on 127.0.0.1: data, upload and download tasks, the
// server-trust challenge and what each answer to it does.
#include "platform/net/URLError.hpp"
#include "platform/net/URLSession.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/TestServers.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace velotest;

namespace {

class URLSessionHTTPS : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = makeRootAuthority("Velo Test Root");
        leaf_ = makeServerCertificate(*root_);
        server_ = std::make_unique<TestHTTPSServer>(*leaf_);
        server_->routes().Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("X-Request-Id", "abc-123");
            response.set_content("hello there", "text/plain");
        });
        server_->routes().Get(
            "/empty", [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
        server_->routes().Get("/big", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(300000, 'x'), "application/octet-stream");
        });
        server_->routes().Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "application/octet-stream");
            response.set_header("X-Content-Type-Seen", request.get_header_value("Content-Type"));
        });
        server_->start();
    }

    net::URLSessionRef session(std::shared_ptr<RecordingDelegate> delegate) {
        return net::URLSession::sessionWithConfiguration(nullptr, std::move(delegate));
    }

    TempHome home_;
    std::unique_ptr<TestIdentity> root_;
    std::unique_ptr<TestIdentity> leaf_;
    std::unique_ptr<TestHTTPSServer> server_;
};

TEST_F(URLSessionHTTPS, DataTaskDeliversStatusHeadersAndBodyAfterTheDelegateAcceptsTheTrust) {
    auto delegate = std::make_shared<RecordingDelegate>(RecordingDelegate::TrustAnswer::useCredential);
    auto outcome = runDataTask(*session(delegate), net::URLRequest(server_->url("/hello")));

    ASSERT_FALSE(outcome.error) << outcome.error->description();
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode(), 200);
    EXPECT_EQ(outcome.response->valueForHTTPHeaderField("x-request-id"), "abc-123");
    EXPECT_EQ(outcome.response->MIMEType(), "text/plain");
    EXPECT_EQ(outcome.body(), "hello there");
    // One new connection, one challenge, carrying the server's one-certificate chain for the host asked.
    EXPECT_EQ(delegate->events(), std::vector<std::string>{"challenge 127.0.0.1 1"});
}

TEST_F(URLSessionHTTPS, EachAnswerToTheTrustChallengeDecidesTheRequest) {
    struct Case {
        RecordingDelegate::TrustAnswer answer;
        bool systemTrustsTestRoot;
        long expectedCode; // 0 = success
    };
    const Case cases[] = {
        {RecordingDelegate::TrustAnswer::cancel, true, net::URLErrorCancelled},
        {RecordingDelegate::TrustAnswer::defaultHandling, false, net::URLErrorServerCertificateUntrusted},
        {RecordingDelegate::TrustAnswer::defaultHandling, true, 0},
    };
    for (const auto& c : cases) {
        if (c.systemTrustsTestRoot)
            net::ServerTrust::overrideSystemAnchorCertificates(std::vector{root_->netCertificate()});
        else
            net::ServerTrust::overrideSystemAnchorCertificates(std::vector<net::CertificateRef>{});
        auto outcome = runDataTask(*session(std::make_shared<RecordingDelegate>(c.answer)),
                                   net::URLRequest(server_->url("/hello")));
        net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
        if (c.expectedCode == 0) {
            EXPECT_FALSE(outcome.error);
            EXPECT_EQ(outcome.body(), "hello there");
        } else {
            ASSERT_TRUE(outcome.error);
            EXPECT_EQ(outcome.error->domain(), net::URLErrorDomain);
            EXPECT_EQ(outcome.error->code(), c.expectedCode);
            EXPECT_FALSE(outcome.data);
        }
    }
}

TEST_F(URLSessionHTTPS, WithoutADelegateTheSystemRootsDecide) {
    auto plain = net::URLSession::sessionWithConfiguration(nullptr);
    auto refused = runDataTask(*plain, net::URLRequest(server_->url("/hello")));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), net::URLErrorServerCertificateUntrusted);

    net::ServerTrust::overrideSystemAnchorCertificates(std::vector{root_->netCertificate()});
    auto accepted = runDataTask(*net::URLSession::sessionWithConfiguration(nullptr),
                                net::URLRequest(server_->url("/hello")));
    net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
    EXPECT_FALSE(accepted.error);
}

TEST_F(URLSessionHTTPS, EmptyBodyGivesEmptyDataNotNone) {
    auto outcome =
        runDataTask(*session(std::make_shared<RecordingDelegate>()), net::URLRequest(server_->url("/empty")));
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(outcome.response->statusCode(), 204);
    ASSERT_TRUE(outcome.data);
    EXPECT_TRUE(outcome.data->empty());
}

TEST_F(URLSessionHTTPS, DownloadHandsOverAFlushedFileAndDeletesItAfterTheHandler) {
    for (const std::string path : {"/big", "/empty"}) {
        auto s = session(std::make_shared<RecordingDelegate>());
        struct Seen {
            std::string location;
            bool existed = false;
            std::uintmax_t size = 0;
            std::optional<ns::Error> error;
        };
        Waiter<Seen> waiter;
        auto task = s->downloadTaskWithRequest(
            net::URLRequest(server_->url(path)), [&](const auto& location, const auto&, const auto& error) {
                Seen seen;
                seen.error = error;
                if (location) {
                    seen.location = *location;
                    seen.existed = std::filesystem::exists(*location);
                    std::error_code ignored;
                    seen.size = std::filesystem::file_size(*location, ignored);
                }
                waiter.set(seen);
            });
        task->resume();
        auto seen = waiter.wait();
        ASSERT_TRUE(seen);
        EXPECT_FALSE(seen->error) << path;
        EXPECT_TRUE(seen->existed) << path;
        EXPECT_EQ(seen->size, path == "/big" ? 300000u : 0u);
        EXPECT_TRUE(seen->location.starts_with(ns::Sandbox::tmp().string()));
        // Deletion follows the handler on the delegate queue: wait for the queue to drain.
        s->delegateQueue()->waitUntilAllOperationsAreFinished();
        EXPECT_FALSE(std::filesystem::exists(seen->location)) << path;
    }
}

TEST_F(URLSessionHTTPS, UploadStreamsTheFileAsTheBody) {
    auto file = home_.path() / "upload.bin";
    std::string content;
    for (int i = 0; i < 50000; ++i)
        content += static_cast<char>('a' + i % 26);
    std::ofstream(file, std::ios::binary) << content;

    net::URLRequest request(server_->url("/echo"));
    request.setHTTPMethod("POST");
    request.setValue("application/x-test", "Content-Type");
    auto s = session(std::make_shared<RecordingDelegate>());
    Waiter<DataOutcome> waiter;
    auto task = s->uploadTaskWithRequest(request, file.string(),
                                         [&](const auto& data, const auto& response, const auto& error) {
                                             waiter.set(DataOutcome{data, response, error});
                                         });
    EXPECT_EQ(task->kind(), net::URLSessionTaskKind::upload);
    task->resume();
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome);
    ASSERT_FALSE(outcome->error);
    EXPECT_EQ(outcome->body(), content);
    EXPECT_EQ(outcome->response->valueForHTTPHeaderField("X-Content-Type-Seen"), "application/x-test");
}

TEST_F(URLSessionHTTPS, UploadOfAMissingFileFailsWithoutSendingAnything) {
    auto s = session(std::make_shared<RecordingDelegate>());
    Waiter<DataOutcome> waiter;
    net::URLRequest request(server_->url("/echo"));
    request.setHTTPMethod("POST");
    auto task = s->uploadTaskWithRequest(request, (home_.path() / "missing").string(),
                                         [&](const auto& d, const auto& r, const auto& e) {
                                             waiter.set({d, r, e});
                                         });
    task->resume();
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome && outcome->error);
    EXPECT_EQ(outcome->error->code(), net::URLErrorFileDoesNotExist);
}

TEST_F(URLSessionHTTPS, DelegateWithoutHandlerGetsResponseDataAndCompletionInOrder) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto task = s->dataTaskWithRequest(net::URLRequest(server_->url("/hello")));
    task->resume();
    ASSERT_TRUE(delegate->completed.wait());
    EXPECT_EQ(delegate->events(),
              (std::vector<std::string>{"challenge 127.0.0.1 1", "response 200", "complete 0"}));
    EXPECT_EQ(delegate->body(), "hello there");
}

TEST_F(URLSessionHTTPS, ConfigurationHeadersFillOnlyWhatTheRequestLacks) {
    std::string seenA, seenB;
    server_->routes().Get("/headers", [&](const httplib::Request& request, httplib::Response& response) {
        seenA = request.get_header_value("X-A");
        seenB = request.get_header_value("X-B");
        response.set_content("ok", "text/plain");
    });
    auto configuration = net::URLSessionConfiguration::defaultSessionConfiguration();
    net::HeaderFields extra;
    extra.set("X-A", "from-session");
    extra.set("X-B", "from-session");
    configuration->setHTTPAdditionalHeaders(extra);
    auto s = net::URLSession::sessionWithConfiguration(configuration, std::make_shared<RecordingDelegate>());
    net::URLRequest request(server_->url("/headers"));
    request.setValue("from-request", "X-A");
    auto outcome = runDataTask(*s, request);
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(seenA, "from-request");
    EXPECT_EQ(seenB, "from-session");
}

} // namespace
