#pragma once
// How the lesson screen shares the rows of its area, from the top down: a blank, the instruction, a
// blank, the code, a blank, the buttons, the help bar with a blank above it; the word bar, when the
// lesson has one, keeps the last row for itself.
//
// A terminal tall enough gets every part whole. In a shorter one the parts give way in a fixed order,
// so that the line the learner types in goes last: the blank at the top first, then the help bar (its
// keys stay on the key line), then the instruction beyond its first three lines (it scrolls), then the
// code beyond the three lines around the answer line (the code shows a window that holds the answer
// line), then the instruction down to one line and the code down to the answer line, then the blanks
// around the code, the word bar's row, the instruction's last line, the buttons and the answer line.
// Code comes before the instruction because a code line left out cannot be reached, while the
// instruction can be scrolled.
//
// Failure contract: none; negative counts count as none, and the rows given out never exceed `height`.
struct LessonRows {
    int topBlank = 0;
    int instruction = 0;
    int blankAboveCode = 0;
    int code = 0;
    int blankBelowCode = 0;
    int buttons = 0;
    int helpBar = 0; // the bar and the blank above it: 0 or 2
    int wordBar = 0;

    int total() const {
        return topBlank + instruction + blankAboveCode + code + blankBelowCode + buttons + helpBar + wordBar;
    }
    friend bool operator==(const LessonRows&, const LessonRows&) = default;
};

LessonRows shareLessonRows(int height, int instructionLines, int codeLines, bool wordBar);
