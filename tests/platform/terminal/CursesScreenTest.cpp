// The curses screen in a child whose standard input and output are a pseudo-terminal: inside the
// guard's scope the terminal reads raw keys without echo; once the scope is left, by its end or by an
// exception, the terminal has its earlier modes again. A terminal type curses does not know leaves
// the terminal untouched.
#include "platform/terminal/CursesScreen.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What the child found, as its exit code.
enum Finding { kAsBefore = 0, kNotOpened = 10, kModesUnchanged, kNotRestored, kOpenedAnyway };

termios modes() {
    termios now{};
    ::tcgetattr(STDIN_FILENO, &now);
    return now;
}

bool sameModes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag;
}

// Runs `body` in a child whose standard input and output are the terminal side of a new
// pseudo-terminal, with TERM=`type`; returns the child's wait status. The parent reads whatever is
// drawn, so a full terminal buffer never holds the child up.
template <typename Body> int onPseudoTerminal(const char* type, Body body) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    const std::string terminal = ::ptsname(master);
    pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10);
        int slave = ::open(terminal.c_str(), O_RDWR);
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDOUT_FILENO);
        ::setenv("TERM", type, 1);
        ::_exit(body());
    }
    int status = 0;
    char drawn[4096];
    while (::waitpid(child, &status, WNOHANG) == 0) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 20) > 0 && ::read(master, drawn, sizeof drawn) < 0) ::usleep(1000);
    }
    ::close(master);
    return status;
}

TEST(CursesScreen, EveryWayOutOfTheScopePutsTheTerminalModesBack) {
    for (bool byException : {false, true}) {
        SCOPED_TRACE(byException ? "left by an exception" : "left at the end of the block");
        const int status = onPseudoTerminal("xterm-256color", [byException] {
            const termios before = modes();
            try {
                term::CursesScreen screen;
                if (!screen.opened()) return kNotOpened;
                if (sameModes(before, modes())) return kModesUnchanged;
                if (byException) throw std::runtime_error("a screen failed to draw");
            } catch (const std::runtime_error&) {
            }
            return sameModes(before, modes()) ? kAsBefore : kNotRestored;
        });
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), kAsBefore);
    }
}

TEST(CursesScreen, AnUnknownTerminalTypeLeavesTheTerminalAlone) {
    const int status = onPseudoTerminal("no-such-terminal-type", [] {
        const termios before = modes();
        {
            term::CursesScreen screen;
            if (screen.opened()) return kOpenedAnyway;
        }
        return sameModes(before, modes()) ? kAsBefore : kNotRestored;
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), kAsBefore);
}

} // namespace
