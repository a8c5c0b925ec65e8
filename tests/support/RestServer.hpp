#pragma once
// A small Parse-style REST server on 127.0.0.1 for backend tests: it records every request it sees
// and answers with whatever the test has put in `answer` for that request.
#include "tests/support/Waiter.hpp"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
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
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] {
            server_.listen_after_bind();
            listenReturned_ = true;
        });
        // stop() only interrupts a server that is already listening: wait until it is (or has given
        // up, its socket not made). The library tells this by no event, so it is looked at.
        velotest::eventually([this] { return server_.is_running() || listenReturned_; },
                             std::chrono::milliseconds(1));
    }
    ~RestServer() {
        server_.stop();
        thread_.join();
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/parse"; }
    std::vector<Seen> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    Responder responder_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> listenReturned_{false};
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
};
