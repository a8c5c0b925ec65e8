#pragma once
// A plain HTTP server on 127.0.0.1 that misbehaves as a test says, for every connection: it redirects,
// it answers with a body that never ends, or it only listens. It counts what reaches it, so a test can
// show that nothing did.
//
// The same listener is reachable under two names: url() gives the loopback literal 127.0.0.1, which the
// request policy allows for plain HTTP, and nameURL() the host name "localhost", which it refuses. A
// request the policy lets through by mistake still lands here, on this machine, and is counted.
//
// Every loop is bounded: an endless body stops after `endlessCap` bytes or 60 s, whichever comes first.
// Its threads block on their sockets; the server's end wakes them (StopSignal).
//
// Failure contract: a listener that cannot be made leaves port() 0; the tests' requests then fail.
#include "tests/support/Loopback.hpp"
#include "tests/support/Waiter.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velotest {

class HostileServer {
  public:
    enum class Behaviour {
        listen,   // reads the request, answers 200 "{}"
        redirect, // answers `status` with "Location: <target>"
        endless,  // answers 200 with a chunked body that never ends
        trickle,  // the same, 1 KiB every 100 ms: a download that is still running when the app quits
    };

    static constexpr std::uint64_t endlessCap = 512ull * 1024 * 1024;

    explicit HostileServer(Behaviour behaviour, std::string target = {}, int status = 302,
                           std::string contentType = "application/json")
        : behaviour_(behaviour), target_(std::move(target)), status_(status),
          contentType_(std::move(contentType)) {
        listener_ = listenOnLoopback(port_, 32);
        acceptor_ = std::thread([this] { serve(); });
    }
    ~HostileServer() {
        stop_.stop();
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& worker : workers_)
            worker.join();
        if (listener_ >= 0) ::close(listener_);
    }
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::string nameURL(const std::string& path = "/") const {
        return "http://localhost:" + std::to_string(port_) + path;
    }

    int connections() const { return connections_.load(); }
    std::uint64_t bytesReceived() const { return bytesReceived_.load(); }
    std::uint64_t bodyBytesSent() const { return bodyBytesSent_.load(); }
    // The request heads read so far ("GET /x HTTP/1.1\r\nHost: ...").
    std::vector<std::string> heads() const {
        std::lock_guard lock(mutex_);
        return heads_;
    }

  private:
    using Deadline = StopSignal::Deadline;

    void serve() {
        while (stop_.ready(listener_, POLLIN)) {
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            ++connections_;
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, fd] {
                handle(fd);
                ::close(fd);
            });
        }
    }

    // The head, and the body as far as "Content-Length" says (bounded by time).
    std::string readRequest(int fd) {
        std::string text;
        char buffer[16384];
        std::size_t wanted = std::string::npos;
        const Deadline deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(static_cast<long>(kPatience));
        for (;;) {
            const std::size_t end = text.find("\r\n\r\n");
            if (end != std::string::npos && wanted == std::string::npos) {
                wanted = end + 4;
                const std::string head = text.substr(0, end);
                for (const char* name : {"\r\nContent-Length:", "\r\ncontent-length:"}) {
                    std::size_t at = head.find(name);
                    if (at != std::string::npos) wanted += std::stoul(head.substr(at + std::strlen(name)));
                }
            }
            if (wanted != std::string::npos && text.size() >= wanted) break;
            if (!stop_.ready(fd, POLLIN, deadline)) break;
            ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            bytesReceived_ += static_cast<std::uint64_t>(got);
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

    bool sendAll(int fd, const std::string& bytes, Deadline deadline) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (!stop_.ready(fd, POLLOUT, deadline)) return false;
            ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (sent <= 0) return false;
            done += static_cast<std::size_t>(sent);
        }
        return done == bytes.size();
    }

    void handle(int fd) {
        const std::string request = readRequest(fd);
        {
            std::lock_guard lock(mutex_);
            heads_.push_back(request.substr(0, request.find("\r\n\r\n")));
        }
        const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        switch (behaviour_) {
        case Behaviour::listen:
            sendAll(fd,
                    "HTTP/1.1 200 OK\r\nContent-Type: " + contentType_ +
                        "\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}",
                    deadline);
            break;
        case Behaviour::redirect:
            sendAll(fd,
                    "HTTP/1.1 " + std::to_string(status_) + " Moved\r\nLocation: " + target_ +
                        "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                    deadline);
            break;
        case Behaviour::endless:
        case Behaviour::trickle: {
            if (!sendAll(fd,
                         "HTTP/1.1 200 OK\r\nContent-Type: " + contentType_ +
                             "\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n",
                         deadline))
                break;
            const std::size_t size = behaviour_ == Behaviour::trickle ? 0x400 : 0x10000;
            char length[16];
            std::snprintf(length, sizeof length, "%zx\r\n", size);
            const std::string chunk = length + std::string(size, '7') + "\r\n";
            while (bodyBytesSent_ < endlessCap && std::chrono::steady_clock::now() < deadline) {
                if (!sendAll(fd, chunk, deadline)) break;
                bodyBytesSent_ += size;
                // Slow on purpose, but never past the server's end.
                if (behaviour_ == Behaviour::trickle && !stop_.pause(std::chrono::milliseconds(100))) break;
            }
            break;
        }
        }
    }

    const Behaviour behaviour_;
    const std::string target_;
    const int status_;
    const std::string contentType_;
    int listener_ = -1;
    int port_ = 0;
    StopSignal stop_;
    std::atomic<int> connections_{0};
    std::atomic<std::uint64_t> bytesReceived_{0};
    std::atomic<std::uint64_t> bodyBytesSent_{0};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<std::string> heads_;
};

// How far this process's resident set rose above its size when the measure began: the kernel's peak
// (VmHWM, which "5" in clear_refs resets to the present size) less that starting size. Never below
// zero: other threads free memory meanwhile, and the peak is kept up to date only lazily, so it may
// come out under the size first read.
class MemoryRise {
  public:
    MemoryRise() {
        std::ofstream("/proc/self/clear_refs") << "5";
        start_ = peak();
    }
    std::uint64_t bytes() const {
        const std::uint64_t now = peak();
        return now > start_ ? now - start_ : 0;
    }

  private:
    static std::uint64_t peak() {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
        return 0;
    }
    std::uint64_t start_ = 0;
};

} // namespace velotest
