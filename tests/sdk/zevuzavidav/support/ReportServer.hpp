#pragma once
// A report server for the tests of the upload road: HTTPS on 127.0.0.1 with a certificate signed by a
// root made in this process, which the process pins (VELOMARINTH_TEST_PINNED_ROOTS, read by the test
// build's pinned root set on first use), or plain HTTP on 127.0.0.1 (PlainHTTP) for the shipped program,
// which pins only its own roots and sends in clear only to a loopback address. It records every request
// as it came, header lines in their order, and answers each as the test's script says; a silent server
// accepts connections and never says a word. Its threads block on their sockets; the server's stop wakes
// them (StopSignal).
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/support/Loopback.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/TestPKI.hpp"
#include "tests/support/Waiter.hpp"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reporttest {

// The root every report server's certificate ends in, pinned for the whole process. Its file (which the
// programs a test starts read too) lies in a folder of this process's own, removed when the process
// ends; a child forked from it that ends by exit() leaves the folder to its parent.
inline const velotest::TestIdentity& pinnedTestRoot() {
    struct PinnedRoot {
        std::unique_ptr<velotest::TestIdentity> identity =
            velotest::makeRootAuthority("Velo Report Test Root");
        std::filesystem::path folder = velotest::TempFolder("velo-report-root").release();
        pid_t owner = ::getpid();
        PinnedRoot() {
            const std::string path = (folder / "root.pem").string();
            if (FILE* file = std::fopen(path.c_str(), "w")) {
                PEM_write_X509(file, identity->certificate());
                std::fclose(file);
            }
            ::setenv("VELOMARINTH_TEST_PINNED_ROOTS", path.c_str(), 1);
        }
        ~PinnedRoot() {
            std::error_code ignored;
            if (::getpid() == owner) std::filesystem::remove_all(folder, ignored);
        }
    };
    static PinnedRoot root;
    return *root.identity;
}

struct Request {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers; // in the order sent
    std::string body;

    std::string header(const std::string& name) const {
        for (const auto& [key, value] : headers)
            if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
        return {};
    }
};

// The parts of a multipart upload (a report's), by name.
inline std::map<std::string, std::string> partsOf(const Request& request) {
    const std::string type = request.header("Content-Type");
    std::map<std::string, std::string> parts;
    for (const auto& part : parseMultipart(request.body, type.substr(type.find("boundary=") + 9)).parts)
        parts[part.name] = part.data;
    return parts;
}

struct Answer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers = {{"Content-Type", "application/json"}};
    std::string body = "{}";
};

// Holds a server's answers until the test opens it. Declare an Opener after the server: it opens the
// gate on every way out of the test, before the server waits for its workers. (HeldReportServer, below
// the server, holds every answer so.)
class Gate {
  public:
    void wait() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    struct Opener {
        Gate& gate;
        ~Opener() { gate.open(); }
    };

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

class ReportServer {
  public:
    using Script = std::function<Answer(const Request& request, std::size_t index)>;

    explicit ReportServer(Script script = {}, bool silent = false)
        : leaf_(velotest::makeServerCertificate(pinnedTestRoot())), script_(std::move(script)),
          silent_(silent) {
        context_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context_, leaf_->certificate());
        SSL_CTX_use_PrivateKey(context_, leaf_->key());
        listen();
    }
    struct PlainHTTP {};
    explicit ReportServer(PlainHTTP, Script script = {}) : script_(std::move(script)), silent_(false) {
        listen();
    }
    ~ReportServer() { stop(); }
    ReportServer(const ReportServer&) = delete;
    ReportServer& operator=(const ReportServer&) = delete;

    // The endpoint base the SDK is pointed at.
    std::string base() const {
        return (context_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
    }
    int port() const { return port_; }

    void stop() {
        if (!stop_.stop()) return;
        if (acceptor_.joinable()) acceptor_.join();
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(mutex_);
            workers.swap(workers_);
        }
        for (auto& worker : workers)
            worker.join();
        ::close(listener_);
        if (context_) SSL_CTX_free(context_);
    }

    std::vector<Request> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Waits until at least `count` requests came (false after kPatience).
    bool waitForRequests(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(velotest::kPatience),
                                 [&] { return requests_.size() >= count; });
    }

  private:
    // One accepted connection, over TLS or in clear.
    struct Connection {
        SSL* ssl;
        int fd;
        bool hasBufferedBytes() const { return ssl != nullptr && SSL_pending(ssl) > 0; }
        // Bytes read (> 0); 0 to try again; -1 when the peer went or the connection failed.
        int read(char* buffer, int size) const {
            if (ssl == nullptr) {
                long got = ::recv(fd, buffer, static_cast<std::size_t>(size), 0);
                return got > 0 ? static_cast<int>(got) : got < 0 && errno == EINTR ? 0 : -1;
            }
            int got = SSL_read(ssl, buffer, size);
            if (got > 0) return got;
            int error = SSL_get_error(ssl, got);
            return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? 0 : -1;
        }
        void write(const std::string& text) const {
            if (ssl != nullptr) {
                SSL_write(ssl, text.data(), static_cast<int>(text.size()));
                return;
            }
            for (std::size_t at = 0; at < text.size();) {
                long sent = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
                if (sent <= 0) return;
                at += static_cast<std::size_t>(sent);
            }
        }
    };

    void listen() {
        // An app that ends abandons its requests: answering a connection it closed must fail the write,
        // not end the test process with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        listener_ = velotest::listenOnLoopback(port_, 64);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }

    // Blocks on the listening socket and the server's stop together: a connection, or the end.
    void acceptLoop() {
        while (stop_.ready(listener_, POLLIN)) {
            int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, fd] { serve(fd); });
        }
    }

    // Reads what is there within the server's life; false when the peer or the server went.
    bool readSome(const Connection& connection, std::string& into) {
        char buffer[16384];
        while (!stop_.stopped()) {
            if (!connection.hasBufferedBytes() && !stop_.ready(connection.fd, POLLIN)) return false;
            int got = connection.read(buffer, sizeof buffer);
            if (got > 0) {
                into.append(buffer, static_cast<std::size_t>(got));
                return true;
            }
            if (got < 0) return false;
        }
        return false;
    }

    void serve(int fd) {
        // A client that hangs up before the answer is written (a program quitting) must not end the test
        // process: a write to the closed connection raises SIGPIPE in the writing thread, so this thread
        // blocks it and the write fails with EPIPE instead.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        if (silent_) {
            stop_.ready(-1, 0); // returns at the server's stop
            ::close(fd);
            return;
        }
        if (context_ == nullptr) {
            handle({nullptr, fd});
            ::close(fd);
            return;
        }
        SSL* ssl = SSL_new(context_);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) handle({ssl, fd});
        SSL_shutdown(ssl);
        SSL_free(ssl);
        ::close(fd);
    }

    void handle(const Connection& connection) {
        std::string data;
        std::size_t headEnd;
        while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
            if (!readSome(connection, data)) return;
        Request request;
        std::size_t lineEnd = data.find("\r\n");
        std::string requestLine = data.substr(0, lineEnd);
        request.method = requestLine.substr(0, requestLine.find(' '));
        request.target =
            requestLine.substr(request.method.size() + 1, requestLine.rfind(' ') - request.method.size() - 1);
        std::size_t at = lineEnd + 2;
        while (at < headEnd) {
            std::size_t end = data.find("\r\n", at);
            std::string line = data.substr(at, end - at);
            std::size_t colon = line.find(':');
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers.emplace_back(line.substr(0, colon), value);
            at = end + 2;
        }
        std::size_t length = std::strtoull(request.header("Content-Length").c_str(), nullptr, 10);
        request.body = data.substr(headEnd + 4);
        while (request.body.size() < length)
            if (!readSome(connection, request.body)) return;
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            index = requests_.size();
            requests_.push_back(request);
        }
        changed_.notify_all(); // a script may hold the answer: the request is seen already
        Answer answer = script_ ? script_(request, index) : Answer{};
        std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " Scripted\r\n";
        for (const auto& [name, value] : answer.headers)
            response += name + ": " + value + "\r\n";
        response += "Content-Length: " + std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n";
        response += answer.body;
        connection.write(response);
        changed_.notify_all();
    }

    std::unique_ptr<velotest::TestIdentity> leaf_;
    Script script_;
    bool silent_;
    SSL_CTX* context_ = nullptr;
    int listener_ = -1;
    int port_ = 0;
    velotest::StopSignal stop_;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
    std::vector<Request> requests_;
};

// A report server (HTTPS) that holds every answer until the test opens its gate; the gate opens on every
// way out of the test.
struct HeldReportServer {
    Gate gate;
    ReportServer server{[this](const Request&, std::size_t) {
        gate.wait();
        return Answer{};
    }};
    Gate::Opener opener{gate};
};

} // namespace reporttest
