#include "content/swiftui/SwiftUILesson.hpp"

#include "content/LessonForm.hpp"
#include "content/swiftui/SwiftUIColors.hpp"

#include <stdexcept>
#include <utility>

namespace content::swiftui {

std::string hintMessage(const SwiftUILesson& record, std::string_view answer) {
    std::string message;
    if (record.steps.empty()) {
        message.append(record.sentence).append("\n");
    } else {
        for (std::size_t i = 0; i < record.steps.size(); ++i)
            message.append(std::to_string(i + 1)).append(". ").append(record.steps[i]).append("\n");
    }
    return message.append(answer);
}

Lesson::Ptr makeSwiftUILesson(SwiftUILesson record) {
    if (record.steps.empty() == record.sentence.empty())
        throw std::invalid_argument(record.id + ": the hint needs either steps or one sentence");
    if (record.own.size() > record.colorCount)
        throw std::invalid_argument(record.id + ": more own colour rules than the lesson stores");

    LessonForm form{
        .id = std::move(record.id),
        .number = record.number,
        .title = std::move(record.title),
        .instruction = std::move(record.instruction),
        .code = std::move(record.code),
        .lines = record.lines,
        .padTo = record.given,
        .accepted = std::move(record.accepted),
        .success = std::move(record.success),
        .hint = {kHintTitle, ""},
        .wrong = {{kStuckTitle, kStuckMessage, kStuckAnswer, true}},
        .placeholder = kPlaceholder,
        .words = std::move(record.words),
        .autoColor = false,
        .printValue = "",
        .sameMessage = true,
        .search = std::move(record.search),
    };
    form.accepted.push_back(kShortcutAnswer);
    auto lesson = makeLesson(std::move(form));
    // The hint ends with the answer, which the form reads out of the code.
    lesson->errors.front().message = hintMessage(record, lesson->answer);
    lesson->setCustomStringsRecipe([own = std::move(record.own), count = record.colorCount](
                                       const Lesson& made) { return lessonColors(made, own, count); });
    return lesson;
}

void addSwiftUILesson(Chapter& chapter, SwiftUILesson record) {
    chapter.lessons.push_back(makeSwiftUILesson(std::move(record)));
}

} // namespace content::swiftui
