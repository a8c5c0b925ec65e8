#pragma once
// Drives the real program in a terminal for end-to-end tests: tmux runs it in a fixed-size window on a
// private server socket, keys go in with send-keys and the screen comes back with capture-pane.
//
// The server's socket lies in a temporary folder of the Tmux object's own, removed with it (tmux leaves
// its socket behind when the server ends).
//
// tmux puts its server in a session of its own, so nothing ends it with the test but the Tmux object.
// Should the test process end without it (killed at ctest's timeout, or by hand), a watchdog that
// waits for the test process to go ends the server and what runs in its windows, and removes the
// socket's folder and every other temporary folder the test process had (LiveFolders).
//
// Failure contract: a tmux command that fails gives "" (the test's own checks then fail); waitFor
// records a test failure with the last screen when what it waits for never shows.
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace velotest {

// The command's standard output (its errors are dropped).
inline std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// `text` as one single-quoted shell word.
inline std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline bool hasTmux() {
    return !run("command -v tmux").empty();
}

// Polls `condition` every 50 ms until it holds (false after kPatience).
inline bool waitUntil(const std::function<bool()>& condition) {
    return eventually(condition, std::chrono::milliseconds(50));
}

// The first line of `screen` that holds `text`, or "".
inline std::string lineWith(const std::string& screen, const std::string& text) {
    std::istringstream in(screen);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos) return line;
    return "";
}

// Whether the first line of `screen` that holds `row` also holds `part`.
inline bool rowShows(const std::string& screen, const std::string& row, const std::string& part) {
    return lineWith(screen, row).find(part) != std::string::npos;
}

// Ends the tmux server on `socket` once this process has gone, however it goes. A shell in a session of
// its own, deaf to the signals a terminal sends to the test's process group, and no descendant of the
// test process (started through a child that ends at once), so that what kills the test's process tree
// (ctest at its timeout) does not reach it. It waits on a socket whose other end only this process holds
// (closed on exec, so tmux and other programs never hold it), learning there of the test's temporary
// folders (LiveFolders), one path a line. Let go, it is told so and ends doing nothing: the Tmux object
// has ended the server, and the folders' owners remove them. When the socket ends without a word, the
// process has gone: it kills what runs in the server's windows and the server, and removes the folders.
class TmuxWatchdog {
  public:
    explicit TmuxWatchdog(const std::string& socket) {
        static const char* const script =
            "trap '' HUP INT TERM PIPE QUIT; folders=''; "
            "while IFS= read -r line; do "
            "if [ \"$line\" = 'let go' ]; then exit 0; fi; "
            "folders=\"$folders$line\n\"; "
            "done; "
            "panes=$(tmux -S \"$1\" list-panes -a -F '#{pane_pid}' 2>/dev/null); "
            "tmux -S \"$1\" kill-server 2>/dev/null; "
            "for pane in $panes; do kill -9 \"-$pane\" 2>/dev/null || kill -9 \"$pane\" 2>/dev/null; done; "
            "printf '%s' \"$folders\" | while IFS= read -r folder; do rm -rf -- \"$folder\"; done; "
            "exit 0";
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
        // Everything the child uses is made before the fork: between fork and exec it only calls the
        // kernel.
        std::string shell = "/bin/sh", dashC = "-c", body = script, name = "velo-tmux-watchdog",
                    target = socket;
        char* argv[] = {shell.data(), dashC.data(), body.data(), name.data(), target.data(), nullptr};
        const int quiet = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        const pid_t starter = ::fork();
        if (starter == 0) {
            ::setsid();
            if (::fork() != 0) ::_exit(0);
            ::dup2(ends[0], STDIN_FILENO);
            if (quiet >= 0) {
                ::dup2(quiet, STDOUT_FILENO);
                ::dup2(quiet, STDERR_FILENO);
            }
            // Nothing of the test's but the socket: above all not ctest's output pipe, whose end ctest
            // waits for.
            ::syscall(SYS_close_range, 3U, ~0U, 0U);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::execv(shell.c_str(), argv);
            ::_exit(127);
        }
        if (quiet >= 0) ::close(quiet);
        ::close(ends[0]);
        if (starter < 0) {
            ::close(ends[1]);
            return;
        }
        reapWithin(starter, kPatience, "the tmux watchdog's starter");
        lifeline_ = ends[1];
        LiveFolders::shared().watch(lifeline_);
    }
    // Lets the watchdog go.
    ~TmuxWatchdog() {
        if (lifeline_ < 0) return;
        LiveFolders::shared().unwatch(lifeline_);
        // A watchdog already gone must not end this process by SIGPIPE.
        [[maybe_unused]] const ssize_t told = ::send(lifeline_, "let go\n", 7, MSG_NOSIGNAL);
        ::close(lifeline_);
    }
    TmuxWatchdog(const TmuxWatchdog&) = delete;
    TmuxWatchdog& operator=(const TmuxWatchdog&) = delete;

  private:
    int lifeline_ = -1;
};

class Tmux {
  public:
    // `name` tells the servers of different tests apart in a listing of the temporary folder; each Tmux
    // has a socket of its own all the same: a server whose last window was stopped goes away by itself,
    // and on a busy machine the next one started on its socket could still meet it going.
    explicit Tmux(const std::string& name = "velo-e2e")
        : folder_(name), socket_(folder_.string() + "/socket"), watchdog_(socket_) {}
    // The folder goes before the watchdog is let go: a kill in between still finds it known.
    ~Tmux() {
        run(tmux("kill-server"));
        std::error_code ignored;
        std::filesystem::remove_all(folder_.path(), ignored);
    }
    Tmux(const Tmux&) = delete;
    Tmux& operator=(const Tmux&) = delete;

    // Starts `command` in a window of `columns` x `rows` (100x30 unless given); "PROGRAM-ENDED" shows
    // once it has returned, on a line of its own even when a killed program left the terminal raw (no
    // carriage return after a line feed), where it would otherwise wrap at whatever column was last
    // written.
    void start(const std::string& command, int columns = 100, int rows = 30) {
        run(tmux("new-session -d -s app -x " + std::to_string(columns) + " -y " + std::to_string(rows) + " " +
                 quote(command + "; printf '\\r\\nPROGRAM-ENDED\\r\\n'; sleep 60")));
    }
    // Ends the window (and what runs in it), so that the next start can use the name again.
    void stop() { run(tmux("kill-session -t app")); }
    std::string format(const std::string& variable) {
        return run(tmux("display-message -p -t app " + quote(variable)));
    }
    // Gives the window a new size; the program sees it as a terminal resize.
    void resizeWindow(int columns, int rows) {
        run(tmux("resize-window -t app -x " + std::to_string(columns) + " -y " + std::to_string(rows)));
    }
    void keys(const std::string& keys) { run(tmux("send-keys -t app " + keys)); }
    void literal(const std::string& text) { run(tmux("send-keys -t app -l " + quote(text))); }
    std::string screen() { return run(tmux("capture-pane -p -t app")); }
    // The screen with its colours as escape sequences.
    std::string colouredScreen() { return run(tmux("capture-pane -e -p -t app")); }
    bool shows(const std::string& text) { return screen().find(text) != std::string::npos; }

    // Waits until the screen shows `text`; returns the screen (or "" after kPatience).
    std::string waitFor(const std::string& text) {
        return waitFor("\"" + text + "\"",
                       [&](const std::string& shown) { return shown.find(text) != std::string::npos; });
    }
    // Waits until `holds` is true of the screen; returns that screen (or "" after kPatience, with a
    // failure naming `what`). The program draws a screen in pieces and a capture can fall between them,
    // so a test that reads several things from one screen waits until every one of them is there, not
    // for one of them and then reads the rest.
    std::string waitFor(const std::string& what, const std::function<bool(const std::string&)>& holds) {
        std::string shown;
        if (waitUntil([&] { return holds(shown = screen()); })) return shown;
        ADD_FAILURE() << "screen never showed " << what << "; last screen:\n" << screen();
        return "";
    }
    // Waits until the screen's first line that holds `row` also holds `part`; returns the screen.
    std::string waitForRow(const std::string& row, const std::string& part) {
        return waitFor("\"" + part + "\" on the line of \"" + row + "\"",
                       [&](const std::string& shown) { return rowShows(shown, row, part); });
    }

  private:
    std::string tmux(const std::string& arguments) const {
        return "tmux -S " + quote(socket_) + " " + arguments;
    }
    TempFolder folder_;
    std::string socket_;
    TmuxWatchdog watchdog_; // let go once the destructor's body has ended the server
};

} // namespace velotest
