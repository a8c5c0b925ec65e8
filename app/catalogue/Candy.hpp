#pragma once
// One search entry: a lesson with its chapter, and the text the search filter looks through.
//
// Failure contract: none. The entries share the catalogue's Chapter and Lesson objects.
#include "model/Chapter.hpp"
#include "model/Lesson.hpp"

#include <string>
#include <string_view>
#include <vector>

struct Candy {
    std::string chapterName;
    std::string lessonName;
    Chapter::Ptr chapter;
    Lesson::Ptr lesson;
    std::string searchString;
};

// One entry per lesson, chapter by chapter in lesson order. searchString is the lesson title, a blank and
// the chapter title, followed by a blank and the lesson's searchText when it has one.
std::vector<Candy> makeCandies(const std::vector<Chapter::Ptr>& chapters);

// The entries whose searchString contains `searchText`, both lower-cased by the plain Unicode mapping
// (no locale), in the order given. An empty text matches every entry.
std::vector<Candy> filterCandies(const std::vector<Candy>& candies, std::string_view searchText);
