#pragma once
// A listening TCP socket on 127.0.0.1 at a port the system picks, for the tests' own servers, and the
// stop signal that lets their threads block on sockets yet end at once when the server goes.
//
// Failure contract: a socket that cannot be made gives -1 (and port 0); the test's connections then fail.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>

namespace velotest {

inline int listenOnLoopback(int& port, int backlog = 8) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, backlog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        port = 0;
        return -1;
    }
    port = ntohs(address.sin_port);
    return listener;
}

// The end of a server, for the threads that wait on its sockets: stop() closes the write end of a
// pipe, which wakes every poll on the read end, now and later. So a server's threads block until there
// is work or the end has come, rather than waking every few milliseconds to look.
class StopSignal {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    StopSignal() {
        if (::pipe2(pipe_, O_CLOEXEC) != 0) pipe_[0] = pipe_[1] = -1;
    }
    ~StopSignal() {
        stop();
        if (pipe_[0] >= 0) ::close(pipe_[0]);
    }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // True for the call that stopped it, false for any later one.
    bool stop() {
        if (stopped_.exchange(true)) return false;
        if (pipe_[1] >= 0) ::close(pipe_[1]);
        return true;
    }
    bool stopped() const { return stopped_.load(); }

    // Waits until `fd` is ready for `events` (true), or until the stop or the deadline comes (false).
    // A negative `fd` is never ready: the wait is for the stop alone.
    bool ready(int fd, short events, std::optional<Deadline> deadline = std::nullopt) const {
        for (;;) {
            if (stopped()) return false;
            int timeout = -1;
            if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    *deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) return false;
                timeout = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
            }
            pollfd watch[2] = {{fd, events, 0}, {pipe_[0], POLLIN, 0}};
            const int got = ::poll(watch, 2, timeout);
            if (got < 0 && errno != EINTR) return false;
            if (watch[1].revents != 0) return false;
            if (got > 0 && watch[0].revents != 0) return true;
        }
    }
    // Waits for `duration` to pass (true), or for the stop (false).
    bool pause(std::chrono::milliseconds duration) const {
        return !ready(-1, 0, std::chrono::steady_clock::now() + duration) && !stopped();
    }

  private:
    int pipe_[2] = {-1, -1};
    std::atomic<bool> stopped_{false};
};

} // namespace velotest
