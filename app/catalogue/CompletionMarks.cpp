#include "app/catalogue/CompletionMarks.hpp"

void markCompletedLessons(Chapter& chapter, const std::optional<std::vector<std::string>>& completedIDs) {
    if (!completedIDs) return;
    for (const auto& id : *completedIDs) {
        for (const auto& lesson : chapter.lessons) {
            if (lesson->lessonID == id) lesson->completed = true;
        }
    }
}
