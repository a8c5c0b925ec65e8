#include "content/swiftui/SwiftUILesson.hpp"

#include "content/LessonForm.hpp"
#include "content/swiftui/SwiftUIColors.hpp"

#include <stdexcept>

namespace content::swiftui {

std::string hintMessage(const SwiftUILesson& record, const std::string& answer) {
    std::string message;
    if (record.steps.empty()) {
        message = record.sentence + "\n";
    } else {
        for (std::size_t i = 0; i < record.steps.size(); ++i)
            message += std::to_string(i + 1) + ". " + record.steps[i] + "\n";
    }
    return message + answer;
}

Lesson::Ptr makeSwiftUILesson(const SwiftUILesson& record) {
    if (record.steps.empty() == record.sentence.empty())
        throw std::invalid_argument(record.id + ": the hint needs either steps or one sentence");

    LessonForm form{
        .id = record.id,
        .number = record.number,
        .title = record.title,
        .instruction = record.instruction,
        .code = record.code,
        .lines = record.lines,
        .padTo = record.given,
        .accepted = record.accepted,
        .success = record.success,
        .hint = {kHintTitle, ""},
        .wrong = {{kStuckTitle, kStuckMessage, kStuckAnswer, true}},
        .placeholder = kPlaceholder,
        .words = record.words,
        .autoColor = false,
        .printValue = "",
        .sameMessage = true,
        .search = record.search,
    };
    form.accepted.push_back(kShortcutAnswer);
    auto lesson = makeLesson(form);
    // The hint ends with the answer, which the form reads out of the code.
    lesson->errors.front().message = hintMessage(record, lesson->answer);
    lesson->customStrings = lessonColors(*lesson, record.own, record.colorCount);
    return lesson;
}

void addSwiftUILesson(Chapter& chapter, const SwiftUILesson& record) {
    chapter.lessons.push_back(makeSwiftUILesson(record));
}

} // namespace content::swiftui
