// Search matches the lower-cased text "lesson title, chapter title, search words" of each lesson; the
// search words the course gives must lead the learner to their lessons.
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

using namespace content_test;

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::set<std::string> found(int editionCode, const std::string& words) {
    std::set<std::string> ids;
    for (const auto& [chapter, lesson] : allLessons(editionCode)) {
        auto text = lesson->title + " " + chapter->title;
        if (lesson->searchText) text += " " + *lesson->searchText;
        if (lowered(text).find(lowered(words)) != std::string::npos) ids.insert(lesson->lessonID);
    }
    return ids;
}

struct SearchCase {
    const char* words;
    std::set<std::string> mustFind;
};

void PrintTo(const SearchCase& searchCase, std::ostream* os) {
    *os << '"' << searchCase.words << '"';
}

class SwiftSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SwiftSearch, FindsTheLessonsTaggedWithTheWords) {
    for (int edition : {0, 2}) {
        auto ids = found(edition, GetParam().words);
        for (const auto& id : GetParam().mustFind)
            EXPECT_TRUE(ids.contains(id)) << "\"" << GetParam().words << "\" does not find " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TaggedLessons, SwiftSearch,
    ::testing::Values(SearchCase{"control flow",
                                 {"CH3L1", "CH3L2", "CH3L3", "CH3L4", "CH3L5", "CH3L6", "CH3L7", "CH3L8",
                                  "CH6L1", "CH6L2", "CH6L3", "CH6L5", "CH6L6", "CH6L7", "CH6L8"}},
                      SearchCase{"Control Flow", {"CH3L1", "CH6L8"}},
                      SearchCase{"remainder operator %", {"CH3L13"}}, SearchCase{"??", {"CH4L13", "CH4L14"}},
                      SearchCase{"inout", {"CH9L10"}}, SearchCase{"argument label", {"CH9L8B"}},
                      SearchCase{"ternary", {"CH3L12", "CH3L13", "CH4L11", "CH4L12"}},
                      SearchCase{"ternary operator", {"CH24L5", "CH24L9"}},
                      SearchCase{"range operator", {"CH24L8", "CH24L9"}}, SearchCase{"isSubset", {"CH24L15"}},
                      SearchCase{"isSuperset", {"CH24L17"}}, SearchCase{"isDisjoint", {"CH24L18"}},
                      SearchCase{"Any type", {"CH21L7"}},
                      SearchCase{"optionals", {"CH23L22", "CH23L23", "CH23L24"}},
                      SearchCase{"enumerated", {"CH23L8"}}, SearchCase{"sorted", {"CH23L10"}},
                      SearchCase{"sum array", {"CH23L16"}}));

TEST(SwiftSearch, SearchWordsStayOnTheirLessons) {
    EXPECT_EQ(found(0, "argument label"), (std::set<std::string>{"CH9L8B"}));
    EXPECT_EQ(found(0, "remainder operator %"), (std::set<std::string>{"CH3L13"}));
}

TEST(SwiftUISearch, ShapeAndBackgroundLessonsAreFoundAsOverlays) {
    EXPECT_EQ(found(3, "overlay"),
              (std::set<std::string>{"CH3L9", "CH3L10", "CH3L11", "CH3L12", "CH3L13", "CH3L14"}));
    EXPECT_EQ(found(3, "clipShape"), (std::set<std::string>{"CH3L8"}));
}

} // namespace

namespace {

TEST(CppSearch, SearchWordsLeadToTheirLessons) {
    const auto arrays = found(1, "array");
    for (const char* id :
         {"C++CH5L6", "C++CH5L7", "C++CH5L8", "C++CH5C1", "C++CH5C2", "C++CH5C3", "C++CH5C4", "C++CH5C5"})
        EXPECT_TRUE(arrays.contains(id)) << "\"array\" does not find " << id;
    EXPECT_EQ(found(1, "occurrences"), (std::set<std::string>{"C++CH7L10", "C++CH7L11", "C++CH7L12"}));
    EXPECT_EQ(found(1, "random numbers"), (std::set<std::string>{"C++CH4L6", "C++CH4L7"}));
}

} // namespace
