#pragma once
// A scripted HTTPS server for the SDK's network tests and a way to wait for the client's answer.
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/TestServers.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

namespace velotest {

struct ClientOutcome {
    std::optional<std::vector<std::uint8_t>> body;
    net::URLResponseRef response;
    std::optional<ns::Error> error;
    std::string text() const { return body ? std::string(body->begin(), body->end()) : std::string(); }
};

// /status/<code>?retry=<Retry-After>&type=<Content-Type or json-utf8>&until=<n>: answers <code> (or 200 from
// the n-th attempt on), numbering attempts per path in "X-Request-Id".
class ScriptedServer {
  public:
    ScriptedServer()
        : root(makeRootAuthority("Velo SDK Test Root")), leaf(makeServerCertificate(*root)), server(*leaf) {
        server.routes().Get(
            R"(/status/(\d+))", [this](const httplib::Request& request, httplib::Response& response) {
                int attempt = countAttempt(request.path);
                int status = std::stoi(request.matches[1]);
                if (request.has_param("until") && attempt >= std::stoi(request.get_param_value("until")))
                    status = 200;
                response.status = status;
                response.set_header("X-Request-Id", "req-" + std::to_string(attempt));
                if (request.has_param("retry"))
                    response.set_header("Retry-After", request.get_param_value("retry"));
                std::string type =
                    request.has_param("type") ? request.get_param_value("type") : "application/json";
                if (type == "json-utf8")
                    type = "application/json; charset=UTF-8"; // '=' cannot travel in a query value here
                if (status != 204 && status != 304)
                    response.set_content("body-" + std::to_string(status), type.c_str());
            });
        server.start();
    }

    std::string url(const std::string& path) const { return server.url(path); }
    int attempts(const std::string& path) const {
        std::lock_guard lock(mutex_);
        auto found = attempts_.find(path);
        return found == attempts_.end() ? 0 : found->second;
    }
    zovaze::CertificateArray pins() const { return {root->netCertificate()}; }

    std::unique_ptr<TestIdentity> root;
    std::unique_ptr<TestIdentity> leaf;
    TestHTTPSServer server;

  private:
    int countAttempt(const std::string& path) {
        std::lock_guard lock(mutex_);
        return ++attempts_[path];
    }
    mutable std::mutex mutex_;
    std::map<std::string, int> attempts_;
};

inline ClientOutcome runClientData(ZOVNetworkClient& client, const net::URLRequest& request,
                                   std::uint64_t limit, double seconds = velotest::kPatience) {
    auto waiter = std::make_shared<Waiter<ClientOutcome>>();
    auto calls = std::make_shared<std::atomic<int>>(0);
    client.startDataTaskWithRequest(
        request, limit, [waiter, calls](const auto& body, const auto& response, const auto& error) {
            if (++*calls > 1) ADD_FAILURE() << "completion handler called twice";
            waiter->set(ClientOutcome{body, response, error});
        });
    auto outcome = waiter->wait(seconds);
    return outcome ? *outcome : ClientOutcome{std::nullopt, nullptr, ns::Error("test-timeout", -424242)};
}

} // namespace velotest
