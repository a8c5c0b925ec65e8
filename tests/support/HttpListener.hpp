#pragma once
// An httplib server (plain or TLS) listening on 127.0.0.1, on a thread of its own, for the tests' servers
// that answer through the library.
//
// Failure contract: a socket that cannot be bound gives port 0; the tests' requests then fail.
#include "tests/support/Waiter.hpp"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace velotest {

class HttpListener {
  public:
    // Binds `server` to a port of the system's choosing and returns once it listens, or once its loop
    // has given up. stop() only interrupts a server that already listens, and the library tells that by
    // no event, so it is looked at.
    explicit HttpListener(httplib::Server& server) : server_(server) {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] {
            server_.listen_after_bind();
            returned_ = true;
        });
        eventually([this] { return server_.is_running() || returned_; }, std::chrono::milliseconds(1));
    }
    ~HttpListener() { stop(); }
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // Stops the server and waits for its thread; harmless when done already.
    void stop() {
        server_.stop();
        if (thread_.joinable()) thread_.join();
    }
    int port() const { return port_; }

  private:
    httplib::Server& server_;
    int port_ = 0;
    std::atomic<bool> returned_{false};
    std::thread thread_;
};

} // namespace velotest
