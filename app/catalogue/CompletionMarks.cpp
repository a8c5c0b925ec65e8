#include "app/catalogue/CompletionMarks.hpp"

#include <set>
#include <string_view>

void markCompletedLessons(Chapter& chapter, const std::optional<std::vector<std::string>>& completedIDs) {
    if (!completedIDs) return;
    for (const auto& id : *completedIDs) {
        for (const auto& lesson : chapter.lessons) {
            if (lesson->lessonID == id) lesson->completed = true;
        }
    }
}

void followCompletedLessons(const std::vector<Chapter::Ptr>& chapters,
                            const std::optional<std::vector<std::string>>& completedIDs) {
    std::set<std::string_view> ids;
    if (completedIDs) ids.insert(completedIDs->begin(), completedIDs->end());
    for (const auto& chapter : chapters)
        for (const auto& lesson : chapter->lessons)
            lesson->completed = ids.contains(lesson->lessonID.view());
}
