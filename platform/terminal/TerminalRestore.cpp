#include "platform/terminal/TerminalRestore.hpp"

#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/Threads.hpp"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace term {

namespace {

struct termios gSavedTermios;
std::atomic<bool> gHaveSavedTermios{false};
std::atomic<bool> gActive{false};
// The process whose screen the session is: a child it forks that exits or crashes shares the terminal
// but must not put it back under the program, which still draws on it.
std::atomic<pid_t> gOwner{0};
std::atomic<bool> gInstalled{false};
std::terminate_handler gPreviousTerminate = nullptr;

// Signals whose default action ends the process (with or without a core file).
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,
                                  SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU,
                                  SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};

// Enough for the few system calls of the handler; a stack overflow leaves no room on the thread's own.
alignas(16) char gAlternateStack[64 * 1024];

void onEndingSignal(int number, siginfo_t*, void*) {
    int savedErrno = errno;
    restoreTerminal();
    // The default action, then the signal again: pending until this handler returns (or at once when
    // it was reached through another handler), it then ends the process. A fault re-raised this way
    // ends it before its instruction could run again.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    // Refused by a sandbox, the signal sent again would only come back here, for good.
    if (::sigaction(number, &fallback, nullptr) != 0) darwin::endWithoutTheDefaultAction(number);
    // Through the process's id known from its start: a sandbox that traps getpid would otherwise turn
    // this into a SIGSYS of its own.
    darwin::sendToThisThread(number);
    errno = savedErrno;
}

bool isDefault(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
}

void takeSignal(int number) {
    struct sigaction current {};
    if (::sigaction(number, nullptr, &current) != 0 || !isDefault(current)) return;
    struct sigaction action {};
    action.sa_sigaction = onEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    ::sigaction(number, &action, nullptr);
}

void restoreAtExit() {
    restoreTerminal();
}

} // namespace

void installTerminalRestoration() {
    if (gInstalled.exchange(true)) return;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
        stack_t stack{};
        stack.ss_sp = gAlternateStack;
        stack.ss_size = sizeof gAlternateStack;
        ::sigaltstack(&stack, nullptr);
    }
    for (int number : kEndingSignals)
        takeSignal(number);
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number)
        takeSignal(number);
    std::atexit(restoreAtExit);
    gPreviousTerminate = std::set_terminate([] {
        restoreTerminal();
        if (gPreviousTerminate) gPreviousTerminate();
        std::abort();
    });
}

void beginTerminalSession() {
    gHaveSavedTermios = ::tcgetattr(STDIN_FILENO, &gSavedTermios) == 0;
    gOwner = darwin::currentProcessId();
    gActive = true;
}

void endTerminalSession() {
    gActive = false;
}

bool restoreTerminal() {
    if (darwin::currentProcessId() != gOwner.load() || !gActive.exchange(false)) return false;
    // Leave the alternate screen, show the caret, reset attributes.
    static const char reset[] = "\033[0m\033[?25h\033[?1049l\r\n";
    ssize_t ignored = ::write(STDOUT_FILENO, reset, sizeof reset - 1);
    (void)ignored;
    if (gHaveSavedTermios) ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTermios);
    return true;
}

} // namespace term
