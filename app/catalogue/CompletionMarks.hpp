#pragma once
// The `completed` flags of a chapter's lessons, brought up to date from the learner record's ids. The
// chapter rows and the lesson list both do this each time they draw; only the reset in Settings clears
// flags.
//
// Failure contract: none. An absent list, the placeholder "lessonZero" or an id of another chapter marks
// nothing; lessons that share an id are marked together.
#include "model/Chapter.hpp"

#include <optional>
#include <string>
#include <vector>

// Sets `completed` on every lesson whose lessonID equals one of `completedIDs` (exact text); never clears.
void markCompletedLessons(Chapter& chapter, const std::optional<std::vector<std::string>>& completedIDs);
