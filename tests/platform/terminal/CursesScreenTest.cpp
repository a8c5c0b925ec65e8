// The curses screen in a child whose standard input and output are a pseudo-terminal: inside the
// guard's scope the terminal reads raw keys without echo; once the scope is left, by its end or by an
// exception, the terminal has its earlier modes again. A terminal type curses does not know leaves
// the terminal untouched.
#include "platform/terminal/CursesScreen.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <cerrno>
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
// drawn, so a full terminal buffer never holds the child up, until the child has gone: the write end
// of a pipe that only the child holds closes with it. The parent holds the terminal side open too, so
// that its side never hangs up before the child has opened it. A child that hangs is ended by SIGALRM
// once kPatience has passed.
template <typename Body> int onPseudoTerminal(const char* type, Body body) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    const std::string terminal = ::ptsname(master);
    const int held = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    int childAlive[2];
    if (held < 0 || ::pipe2(childAlive, O_CLOEXEC) != 0) return -1;
    pid_t child = velotest::forkTiedToThisProcess();
    if (child == 0) {
        ::alarm(static_cast<unsigned>(velotest::kPatience));
        int slave = ::open(terminal.c_str(), O_RDWR);
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDOUT_FILENO);
        ::setenv("TERM", type, 1);
        ::_exit(body());
    }
    ::close(childAlive[1]);
    char drawn[4096];
    pollfd watch[2] = {{master, POLLIN, 0}, {childAlive[0], POLLIN, 0}};
    while (child > 0 && watch[1].revents == 0) {
        if (::poll(watch, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        const bool readable = (watch[0].revents & POLLIN) != 0;
        if (watch[0].revents != 0 && (!readable || ::read(master, drawn, sizeof drawn) < 0))
            watch[0].fd = -1; // nothing more to read there
    }
    int status = -1;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    for (int fd : {master, held, childAlive[0]})
        ::close(fd);
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
