#pragma once
// What the terminal type ($TERM) can do, asked of terminfo without taking over the screen. Kept apart
// from the rest of the front end, whose names terminfo's header would clash with.
//
// Failure contract: none; an unknown type answers as capable (curses names it when it starts).
namespace terminfo {

// Whether the terminal can move the cursor to any place on the screen (the "cup" capability).
bool canMoveCursor();

} // namespace terminfo
