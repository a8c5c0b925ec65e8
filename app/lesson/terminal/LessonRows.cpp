#include "app/lesson/terminal/LessonRows.hpp"

#include <algorithm>

LessonRows shareLessonRows(int height, int instructionLines, int codeLines, bool wordBar) {
    const int instruction = std::max(0, instructionLines);
    const int code = std::max(0, codeLines);
    int left = std::max(0, height);
    LessonRows rows;
    // Gives `part` up to `wanted` rows in all, as far as the rows left go.
    auto grant = [&left](int& part, int wanted) {
        const int more = std::clamp(wanted - part, 0, left);
        part += more;
        left -= more;
    };
    // In the order of need: what is granted first goes last.
    grant(rows.code, std::min(code, 1));
    grant(rows.buttons, 1);
    grant(rows.instruction, std::min(instruction, 1));
    if (wordBar) grant(rows.wordBar, 1);
    if (rows.instruction > 0 && rows.code > 0) grant(rows.blankAboveCode, 1);
    grant(rows.blankBelowCode, 1);
    grant(rows.code, std::min(code, 3));
    grant(rows.instruction, std::min(instruction, 3));
    grant(rows.code, code);
    grant(rows.instruction, instruction);
    if (left >= 2) grant(rows.helpBar, 2);
    grant(rows.topBlank, 1);
    return rows;
}
