#pragma once
// Servers on 127.0.0.1 for network tests:
//  - TestHTTPSServer: cpp-httplib with TLS, certificate given by the test, routes scripted per test;
//  - RawTCPServer: a plain socket that does one scripted thing per connection (record the request and
//    answer, reset the connection, or never answer), for what a well-behaved HTTP server cannot do.
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include "tests/support/HttpListener.hpp"
#include "tests/support/Loopback.hpp"
#include "tests/support/TestPKI.hpp"
#include "tests/support/Waiter.hpp"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velotest {

class TestHTTPSServer {
  public:
    // A client whose connections outlive a test (a process-wide pool) must send "Connection: close",
    // or stop() waits for the server's keep-alive time.
    explicit TestHTTPSServer(const TestIdentity& identity)
        : server_(identity.certificate(), identity.key()) {}
    ~TestHTTPSServer() { stop(); }

    httplib::SSLServer& routes() { return server_; }

    void start() { listener_ = std::make_unique<HttpListener>(server_); }
    void stop() { listener_.reset(); }
    int port() const { return listener_ ? listener_->port() : 0; }
    std::string url(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(port()) + path;
    }

  private:
    httplib::SSLServer server_;
    std::unique_ptr<HttpListener> listener_;
};

class RawTCPServer {
  public:
    enum class Behaviour { answer, reset, silent };

    explicit RawTCPServer(Behaviour behaviour, std::string answer = {})
        : behaviour_(behaviour), answer_(std::move(answer)) {
        listener_ = listenOnLoopback(port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~RawTCPServer() {
        stop_.stop();
        if (thread_.joinable()) thread_.join();
        for (int fd : open_)
            ::close(fd);
        ::close(listener_);
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The raw request texts received so far (head and body as read).
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Waits until `count` requests have been received (false when they have not after kPatience).
    bool awaitRequests(std::size_t count) const {
        std::unique_lock lock(mutex_);
        return received_.wait_for(lock, std::chrono::duration<double>(kPatience),
                                  [&] { return requests_.size() >= count; });
    }

  private:
    // One connection at a time, in the order they arrived.
    void serve() {
        while (stop_.ready(listener_, POLLIN)) {
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            std::string request = readRequest(fd);
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            received_.notify_all();
            if (behaviour_ == Behaviour::answer) {
                ::send(fd, answer_.data(), answer_.size(), MSG_NOSIGNAL);
                ::close(fd);
            } else if (behaviour_ == Behaviour::reset) {
                linger hard{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                ::close(fd);
            } else {
                open_.push_back(fd); // never answered, closed only when the server goes
            }
        }
    }

    std::string readRequest(int fd) {
        std::string text;
        char buffer[4096];
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(static_cast<long>(kPatience));
        while (text.find("\r\n\r\n") == std::string::npos && stop_.ready(fd, POLLIN, deadline)) {
            ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

    Behaviour behaviour_;
    std::string answer_;
    int listener_ = -1;
    int port_ = 0;
    StopSignal stop_;
    std::thread thread_;
    std::vector<int> open_;
    mutable std::mutex mutex_;
    mutable std::condition_variable received_;
    std::vector<std::string> requests_;
};

} // namespace velotest
