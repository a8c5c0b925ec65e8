#pragma once
// Runs a FrontEnd on the real terminal with ncurses: full screen, keys without echo, colours (24-bit
// where the terminal has them, the nearest of 256 otherwise), resize handling, and the main loop that
// runs the main queue between keys. It draws in a UTF-8 character type whatever the user's locale
// (CharacterLocale.hpp); when none can be had, the first screen says so.
//
// The terminal is restored on every way out: normal return, an exception, exit(), any signal that ends
// the process (TerminalRestore.hpp; install it at the program's start, before a crash reporter, so the
// reporter sees the signal first), and SIGTERM/SIGHUP (which end the loop instead).
//
// Bounded mode (maxKeys): after that many keys have been handled and the main queue has settled, the
// screen is drawn once more and run() returns, so scripted runs end by themselves.
//
// Failure contract: run() returns 1 without touching the terminal when standard input or output is
// not a terminal, curses cannot start (an unknown TERM is named on standard error), or the terminal
// type cannot move the cursor (TERM=dumb; said on standard error); 0 otherwise.
#include "platform/terminal/FrontEnd.hpp"

#include <optional>

namespace term {

class CursesTerminal {
  public:
    struct Options {
        std::optional<int> maxKeys;
    };

    int run(FrontEnd& frontEnd, Options options);
};

} // namespace term
