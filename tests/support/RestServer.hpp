#pragma once
// A small Parse-style REST server on 127.0.0.1 for backend tests: it records every request it sees
// and answers with whatever the test has put in `answer` for that request.
#include "tests/support/HttpListener.hpp"

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RestServer {
  public:
    struct Seen {
        std::string method;
        std::string path;
        std::string where; // the "where" query parameter, when given
        std::string applicationId;
        std::string clientKey;
        std::string contentType;
        std::string body;
    };
    struct Answer {
        int status = 200;
        std::string body = "{}";
    };
    using Responder = std::function<Answer(const Seen&)>;

    explicit RestServer(Responder responder) : responder_(std::move(responder)) {
        auto handle = [this](const httplib::Request& request, httplib::Response& response) {
            Seen seen{request.method,
                      request.path,
                      request.has_param("where") ? request.get_param_value("where") : "",
                      request.get_header_value("X-Parse-Application-Id"),
                      request.get_header_value("X-Parse-Client-Key"),
                      request.get_header_value("Content-Type"),
                      request.body};
            {
                std::lock_guard lock(mutex_);
                seen_.push_back(seen);
            }
            Answer answer = responder_(seen);
            response.status = answer.status;
            response.set_content(answer.body, "application/json");
        };
        server_.Get(".*", handle);
        server_.Post(".*", handle);
        server_.Put(".*", handle);
        listener_ = std::make_unique<velotest::HttpListener>(server_);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(listener_->port()) + "/parse"; }
    std::vector<Seen> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    Responder responder_;
    httplib::Server server_;
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
    std::unique_ptr<velotest::HttpListener> listener_; // last: stopped before what the routes use goes
};
