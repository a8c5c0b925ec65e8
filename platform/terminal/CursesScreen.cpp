#define NCURSES_WIDECHAR 1
#include "platform/terminal/CursesScreen.hpp"

#include "platform/terminal/TerminalRestore.hpp"

#include <curses.h>

namespace term {

CursesScreen::CursesScreen() {
    // The modes to restore are the ones before curses changes any.
    beginTerminalSession();
    // newterm, unlike initscr, reports an unknown terminal type instead of ending the process.
    screen_ = newterm(nullptr, stdout, stdin);
    if (!screen_) {
        endTerminalSession();
        return;
    }
    set_term(screen_);
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(25);
    if (has_colors()) {
        start_color();
        use_default_colors();
    }
}

CursesScreen::~CursesScreen() {
    if (!screen_) return;
    endTerminalSession();
    endwin();
    delscreen(screen_);
}

} // namespace term
