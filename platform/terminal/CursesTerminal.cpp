#define NCURSES_WIDECHAR 1
#include "platform/terminal/CursesTerminal.hpp"

#include "platform/dispatch/MainQueue.hpp"
#include "platform/terminal/CharacterLocale.hpp"
#include "platform/terminal/CursesCanvas.hpp"
#include "platform/terminal/CursesScreen.hpp"
#include "platform/terminal/EscapeSequence.hpp"
#include "platform/terminal/TerminalCapabilities.hpp"
#include "platform/terminal/TerminalRestore.hpp"

#include <curses.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <poll.h>
#include <unistd.h>

namespace term {

namespace {

std::atomic<bool> gStopRequested{false};
constexpr int kStopSignals[] = {SIGTERM, SIGHUP};
struct sigaction gPrevious[32];

void onStopSignal(int) {
    gStopRequested = true;
}

// While it lives, SIGTERM and SIGHUP end the loop instead of the process; the earlier handlers come
// back with the end of its scope.
class StopSignalsEndTheLoop {
  public:
    StopSignalsEndTheLoop() {
        gStopRequested = false;
        struct sigaction stop {};
        stop.sa_handler = onStopSignal;
        sigemptyset(&stop.sa_mask);
        for (int s : kStopSignals)
            ::sigaction(s, &stop, &gPrevious[s]);
    }
    ~StopSignalsEndTheLoop() {
        for (int s : kStopSignals)
            ::sigaction(s, &gPrevious[s], nullptr);
    }
    StopSignalsEndTheLoop(const StopSignalsEndTheLoop&) = delete;
    StopSignalsEndTheLoop& operator=(const StopSignalsEndTheLoop&) = delete;
};

Key translate(int status, wint_t ch) {
    if (status == KEY_CODE_YES) {
        switch (ch) {
        case KEY_UP:
            return Key::named(Key::Kind::up);
        case KEY_DOWN:
            return Key::named(Key::Kind::down);
        case KEY_LEFT:
            return Key::named(Key::Kind::left);
        case KEY_RIGHT:
            return Key::named(Key::Kind::right);
        case KEY_HOME:
            return Key::named(Key::Kind::home);
        case KEY_END:
            return Key::named(Key::Kind::end);
        case KEY_PPAGE:
            return Key::named(Key::Kind::pageUp);
        case KEY_NPAGE:
            return Key::named(Key::Kind::pageDown);
        case KEY_ENTER:
            return Key::named(Key::Kind::enter);
        case KEY_BACKSPACE:
            return Key::named(Key::Kind::backspace);
        case KEY_DC:
            return Key::named(Key::Kind::deleteKey);
        case KEY_BTAB:
            return Key::named(Key::Kind::backTab);
        case KEY_RESIZE:
            return Key::named(Key::Kind::resize);
        default:
            return Key::typed("");
        }
    }
    switch (ch) {
    case L'\r':
    case L'\n':
        return Key::named(Key::Kind::enter);
    case 27:
        return Key::named(Key::Kind::escape);
    case L'\t':
        return Key::named(Key::Kind::tab);
    case 127:
    case 8:
        return Key::named(Key::Kind::backspace);
    default:
        break;
    }
    // Ctrl-Space (Ctrl-@) types the null character: text may hold it, and the screens show it.
    if (ch == 0) return Key::typed(std::string(1, '\0'));
    if (ch >= 1 && ch <= 26) return Key::ctrl(static_cast<char>('a' + ch - 1));
    if (ch < 32) return Key::typed("");
    char buffer[MB_LEN_MAX];
    std::mbstate_t state{};
    std::size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(ch), &state);
    if (n == static_cast<std::size_t>(-1)) return Key::typed("");
    return Key::typed(std::string(buffer, n));
}

// After an ESC: what arrived with it. Nothing (the person pressed Esc) is Esc; the rest of a sequence the
// terminal's description does not name is decoded rather than read as Esc and typing.
Key readAfterEscape() {
    std::string sequence;
    timeout(0);
    while (sequence.size() < 16 && !isCompleteEscapeSequence(sequence)) {
        wint_t next = 0;
        int status = get_wch(&next);
        if (status == ERR) break;
        if (status == KEY_CODE_YES || next > 0x7e || next < 0x20) {
            // A key of its own came right after: Esc first, the key on the next read.
            if (status == KEY_CODE_YES)
                ungetch(static_cast<int>(next));
            else
                unget_wch(static_cast<wchar_t>(next));
            break;
        }
        sequence.push_back(static_cast<char>(next));
    }
    if (sequence.empty()) return Key::named(Key::Kind::escape);
    return decodeEscapeSequence(sequence);
}

// get_wch answers ERR both when its wait ends without a key and when the terminal can no longer be read
// (hung up: end of file; its other side closed: EIO). The kernel tells the second by a hang-up on the
// descriptor.
bool inputGone() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&input, 1, 0)) < 0 && errno == EINTR) {
    }
    return ready < 0 || (input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// A terminal that cannot put the cursor where it is told (TERM=dumb, a printing terminal) would turn
// every screen into one garbled line: such a type is named on standard error and refused.
bool canDrawScreens() {
    if (terminfo::canMoveCursor()) return true;
    const char* type = std::getenv("TERM");
    std::fprintf(stderr,
                 "%s: the terminal type '%s' cannot move the cursor, so no screen can be drawn;"
                 " start it in a full-screen terminal (TERM=xterm-256color, for example).\n",
                 program_invocation_short_name, type ? type : "");
    return false;
}

} // namespace

int CursesTerminal::run(FrontEnd& frontEnd, Options options) {
    if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) return 1;
    const auto localeProblem = adoptUTF8CharacterType();
    if (!canDrawScreens()) return 1;
    // Normally done at the program's start, before a crash reporter; harmless when it was.
    installTerminalRestoration();
    // The screen and the stop handlers are put back on every way out of run(), an exception included;
    // whatever ends the process while the screen is ours (a signal, exit() from deep inside) restores
    // the terminal through the handlers installed above.
    CursesScreen screen;
    if (!screen.opened()) {
        const char* type = std::getenv("TERM");
        std::fprintf(stderr, "%s: cannot use the terminal type '%s'.\n", program_invocation_short_name,
                     type ? type : "");
        return 1;
    }
    StopSignalsEndTheLoop stopSignals;
    timeout(0);

    CursesCanvas canvas;
    frontEnd.layout(COLS, LINES);
    // Said once, on the first screen, until the first key.
    if (localeProblem) frontEnd.notice(*localeProblem);
    auto& mainQueue = dispatch::main();
    int keys = 0;
    bool dirty = true;
    // When an animation next needs a frame drawn (seconds on the dispatch clock).
    // When the next animation frame is due, in clock seconds; infinity while nothing moves. (A plain
    // double: GCC's -O3 flow analysis misreads an optional here as possibly uninitialised.)
    constexpr double kNoFrame = std::numeric_limits<double>::infinity();
    double frameAt = kNoFrame;

    for (;;) {
        if (mainQueue.drain() > 0) dirty = true;
        if (dispatch::toSeconds(dispatch::clock().now()) >= frameAt) dirty = true;
        if (dirty) {
            frontEnd.draw(canvas);
            canvas.present();
            dirty = false;
            frameAt = kNoFrame;
            if (auto wait = frontEnd.secondsUntilAnimationFrame())
                frameAt = dispatch::toSeconds(dispatch::clock().now()) + *wait;
        }
        if (frontEnd.quitRequested() || gStopRequested) break;
        if (options.maxKeys && keys >= *options.maxKeys) break;

        // Wait for a key, but no longer than the next due work (and wake now and then for work
        // posted from other threads).
        auto due = mainQueue.secondsUntilNextDue();
        int waitMs = 50;
        if (due) waitMs = std::max(0, std::min(waitMs, static_cast<int>(*due * 1000)));
        if (frameAt != kNoFrame) {
            double untilFrame = frameAt - dispatch::toSeconds(dispatch::clock().now());
            waitMs = std::max(0, std::min(waitMs, static_cast<int>(untilFrame * 1000) + 1));
        }
        timeout(waitMs);
        wint_t ch = 0;
        int status = get_wch(&ch);
        if (status == ERR) {
            // The terminal went away without a SIGHUP reaching us (a session leader that ignores it, as
            // nohup or a supervisor does): every read now fails at once. It ends the loop as SIGHUP does.
            if (inputGone()) break;
            continue;
        }
        Key key = translate(status, ch);
        if (key.is(Key::Kind::escape)) key = readAfterEscape();
        if (key.is(Key::Kind::resize)) {
            frontEnd.layout(COLS, LINES);
            mainQueue.drain();
        }
        if (key.is(Key::Kind::text) && key.text.empty()) continue;
        frontEnd.handleKey(key);
        ++keys;
        dirty = true;
    }
    // The screen was drawn just before the loop ended; only work run since can change it.
    if (mainQueue.drain() > 0) {
        frontEnd.draw(canvas);
        canvas.present();
    }
    return 0;
}

} // namespace term
