#pragma once
// A local HTTPS stand-in for the SDK's settings and API services. It records every request it sees and
// answers settings downloads from a script (one answer per GET; the last one repeats).
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "tests/support/TestServers.hpp"
#include "tests/support/Waiter.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zovtest {

struct SeenPart {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

struct SeenRequest {
    std::vector<SeenPart> parts; // form parts, in the order they were sent
    std::string method;
    std::string path;
    std::multimap<std::string, std::string> query;
    httplib::Headers headers;
    std::string body;
    std::string header(const std::string& name) const {
        auto found = headers.find(name);
        return found == headers.end() ? std::string("<absent>") : found->second;
    }
};

struct ScriptedAnswer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::string location; // sent as "Location" when not empty
};

class SettingsServer {
  public:
    SettingsServer()
        : root_(velotest::makeRootAuthority("Zovaze Settings Test Root")),
          leaf_(velotest::makeServerCertificate(*root_)), server_(*leaf_) {
        auto record = [this](const httplib::Request& request) {
            SeenRequest seen{{}, request.method, request.path, {}, request.headers, request.body};
            for (const auto& [key, value] : request.params)
                seen.query.emplace(key, value);
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(seen));
        };
        server_.routes().Get(R"(/spi/v2/platforms/([^/]+)/apps/([^/]+)/settings)",
                             [this, record](const httplib::Request& request, httplib::Response& response) {
                                 record(request);
                                 ScriptedAnswer answer;
                                 {
                                     std::lock_guard lock(mutex_);
                                     answer = settings_.size() > 1 ? settings_.front() : settings_.back();
                                     if (settings_.size() > 1) settings_.pop_front();
                                 }
                                 response.status = answer.status;
                                 if (!answer.location.empty())
                                     response.set_header("Location", answer.location);
                                 response.set_content(answer.body, answer.contentType.c_str());
                             });
        // Read part by part, so the form fields are seen in the order they were sent.
        auto onboarding = [this](const httplib::Request& request, httplib::Response& response,
                                 const httplib::ContentReader& reader) {
            SeenRequest seen{{}, request.method, request.path, {}, request.headers, {}};
            for (const auto& [key, value] : request.params)
                seen.query.emplace(key, value);
            if (request.is_multipart_form_data()) {
                reader(
                    [&seen](const httplib::MultipartFormData& header) {
                        seen.parts.push_back({header.name, header.filename, header.content_type, {}});
                        return true;
                    },
                    [&seen](const char* data, std::size_t length) {
                        seen.parts.back().content.append(data, length);
                        return true;
                    });
            } else {
                reader([&seen](const char* data, std::size_t length) {
                    seen.body.append(data, length);
                    return true;
                });
            }
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(seen));
            response.status = onboardingStatus_;
            if (!onboardingLocation_.empty()) response.set_header("Location", onboardingLocation_);
            response.set_content("{}", "application/json");
        };
        server_.routes().Post(R"(/spi/v1/platforms/([^/]+)/apps)", onboarding);
        server_.routes().Put(R"(/spi/v1/platforms/([^/]+)/apps/([^/]+))", onboarding);
        server_.start();
    }

    void scriptSettings(std::vector<ScriptedAnswer> answers) {
        std::lock_guard lock(mutex_);
        settings_.assign(answers.begin(), answers.end());
    }
    void setOnboardingStatus(int status) {
        std::lock_guard lock(mutex_);
        onboardingStatus_ = status;
    }
    // Onboarding requests are answered with a redirect there.
    void redirectOnboarding(std::string location, int status = 307) {
        std::lock_guard lock(mutex_);
        onboardingStatus_ = status;
        onboardingLocation_ = std::move(location);
    }
    std::vector<SeenRequest> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<std::string> methods() const {
        std::vector<std::string> seen;
        for (const auto& request : requests())
            seen.push_back(request.method);
        return seen;
    }
    std::string base() const { return server_.url(""); }
    // The root the server's chain ends in, for a client in another process to pin.
    const velotest::TestIdentity& root() const { return *root_; }
    std::shared_ptr<ZOVNetworkClient> pinnedClient() const {
        return ZOVNetworkClient::initWithQueue(nullptr, zovaze::CertificateArray{root_->netCertificate()});
    }

  private:
    std::unique_ptr<velotest::TestIdentity> root_;
    std::unique_ptr<velotest::TestIdentity> leaf_;
    velotest::TestHTTPSServer server_;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> requests_;
    std::deque<ScriptedAnswer> settings_{ScriptedAnswer{200, "{}"}};
    int onboardingStatus_ = 200;
    std::string onboardingLocation_;
};

using velotest::eventually;

} // namespace zovtest
