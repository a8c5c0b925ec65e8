#include "platform/terminal/TerminalCapabilities.hpp"

#include <curses.h>
#include <term.h>
#include <unistd.h>

namespace terminfo {

bool canMoveCursor() {
    int error = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &error) != OK) return true;
    char* move = tigetstr(const_cast<char*>("cup"));
    const bool can = move && move != reinterpret_cast<char*>(-1);
    del_curterm(cur_term);
    return can;
}

} // namespace terminfo
