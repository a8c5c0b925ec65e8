#pragma once
// The curses screen, ours for as long as this object lives. Opening saves the terminal's modes (from
// then on an ending signal puts them back, TerminalRestore.hpp), starts curses on standard input and
// output and sets it up for full-screen key reading: raw keys without echo, the keypad's keys decoded,
// a short escape delay, the terminal's default colours. Destruction puts the terminal back on every
// way out of the scope that holds it, a return or an exception alike: the session ends, endwin
// restores the modes and the screen is freed.
//
// Failure contract: when curses cannot start on this terminal type, opened() is false, the terminal is
// left as it was and destruction does nothing.

struct screen; // ncurses' SCREEN, kept out of this header with the macros of <curses.h>

namespace term {

class CursesScreen {
  public:
    CursesScreen();
    ~CursesScreen();
    CursesScreen(const CursesScreen&) = delete;
    CursesScreen& operator=(const CursesScreen&) = delete;

    bool opened() const { return screen_ != nullptr; }

  private:
    ::screen* screen_ = nullptr;
};

} // namespace term
