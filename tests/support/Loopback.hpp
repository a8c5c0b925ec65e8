#pragma once
// A listening TCP socket on 127.0.0.1 at a port the system picks, for the tests' own servers.
//
// Failure contract: a socket that cannot be made gives -1 (and port 0); the test's connections then fail.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

} // namespace velotest
