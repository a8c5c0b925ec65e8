#pragma once
// The `completed` flags of the lessons, brought up to date from the learner record's ids. The chapter
// rows and the lesson list set flags each time they draw; the course home makes every flag follow the
// record after each save, since a save merges with what another running copy stored and may drop ids
// (a reset there) as well as add them.
//
// Failure contract: none. An absent list counts as empty for following; the placeholder "lessonZero" or
// an id of another chapter marks nothing; lessons that share an id are marked together.
#include "model/Chapter.hpp"

#include <optional>
#include <string>
#include <vector>

// Sets `completed` on every lesson whose lessonID equals one of `completedIDs` (exact text); never clears.
void markCompletedLessons(Chapter& chapter, const std::optional<std::vector<std::string>>& completedIDs);

// Sets `completed` on every lesson of `chapters` whose lessonID is in `completedIDs` and clears it on
// every other.
void followCompletedLessons(const std::vector<Chapter::Ptr>& chapters,
                            const std::optional<std::vector<std::string>>& completedIDs);
