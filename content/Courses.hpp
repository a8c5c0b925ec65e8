#pragma once
// The registry of the courses: for every chapter of a course its number, title, builder and the number
// of lessons the builder appends, in chapter order. The catalogue builds an edition from it and the
// content tests walk it, so a chapter counts as written the moment its builder is entered here.
//
// A chapter whose builder is not written yet has `builder` null; it is listed all the same, with the
// lesson count it will have, so counts and titles can be checked before its lessons exist.
#include "model/Chapter.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

namespace content {

struct ChapterEntry {
    std::int64_t number;
    std::string_view title;
    ChapterBuilder builder; // null while the chapter is not written
    int lessonCount;
};

using Course = std::vector<ChapterEntry>;

const Course& swiftCourse();   // editions 0 (Swift) and 2 (Zovud ERO)
const Course& cppCourse();     // edition 1
const Course& swiftUICourse(); // edition 3

// The course of an edition code; any unknown code gets the Swift course, as the edition helper does.
const Course& courseForEdition(int editionCode);

// Makes every chapter of `course` (title, number, no lessons) and runs its builder when it has one.
std::vector<Chapter::Ptr> buildChapters(const Course& course);

} // namespace content
