#pragma once
// Keys that reach the program as raw escape sequences: curses turns the sequences the terminal's
// description names into keys, but when TERM does not match the emulator (xterm's description inside
// tmux, say) End or Page Down arrive as ESC [ 4 ~ and the like. Read as they come, those would be an
// Esc (going back a screen) followed by typed characters; decoded here, they are the keys meant.
//
// Failure contract: a sequence that is not understood gives nothing (Key::typed("")), never Esc.
#include "platform/terminal/Key.hpp"

#include <string_view>

namespace term {

// Whether `sequence` (what followed ESC) is complete: a CSI ("[" ...) or SS3 ("O" ...) sequence ends
// with its final byte (@ to ~); anything else is complete after one character.
bool isCompleteEscapeSequence(std::string_view sequence);

// The key `sequence` (what followed ESC) stands for; modifiers (Ctrl-, Shift-arrows) are dropped.
Key decodeEscapeSequence(std::string_view sequence);

} // namespace term
