// The anchor of the first-screen benchmarks: the least a terminal program does to show one screen. It
// starts ncurses in a wide-character locale with colours, fills an 80x24 screen as the chapter list
// does (a title, numbered rows in two colours, a key legend), shows it once and ends; with `--wait` it
// stays at that screen until a key comes (the idle-memory benchmark's anchor).
#include <clocale>
#include <cstdio>
#include <cstring>
#include <curses.h>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    initscr();
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    start_color();
    init_pair(1, COLOR_WHITE, COLOR_BLACK);
    init_pair(2, COLOR_GREEN, COLOR_BLACK);
    attron(A_BOLD | COLOR_PAIR(1));
    mvaddstr(0, 30, "Velomarinth");
    attroff(A_BOLD);
    char row[96];
    for (int line = 2; line < LINES - 1; ++line) {
        std::snprintf(row, sizeof row, "%3d. CHAPTER %-40d %3d / %3d", line - 1, line - 1, line % 7, 20);
        attron(COLOR_PAIR(line % 2 == 0 ? 1 : 2));
        mvaddstr(line, 2, row);
    }
    attron(A_REVERSE);
    mvaddstr(LINES - 1, 0, "Up Down select  Enter open  / search  s settings  q quit");
    attroff(A_REVERSE);
    refresh();
    if (argc > 1 && std::strcmp(argv[1], "--wait") == 0) getch();
    endwin();
    return 0;
}
