#include "app/catalogue/Candy.hpp"

#include <gtest/gtest.h>

namespace {

Lesson::Ptr lesson(std::string id, std::string title, std::optional<std::string> searchText = std::nullopt) {
    auto l = Lesson::initWith1Line(std::move(id), 1, std::move(title), "instruction", "let x = 1", "1", "", 1,
                                   1, {});
    l->searchText = std::move(searchText);
    return l;
}

std::vector<Chapter::Ptr> catalogue() {
    auto basics = Chapter::make("SWIFT BASICS", 1);
    basics->lessons = {lesson("CH1L1", "hello world"), lesson("CH1L2", "Variables", "var let constant")};
    auto empty = Chapter::make("EMPTY", 2);
    auto cafe = Chapter::make("Ünïcode Café", 3);
    cafe->lessons = {lesson("CH3L1", "Straße")};
    return {basics, empty, cafe};
}

std::vector<std::string> ids(const std::vector<Candy>& candies) {
    std::vector<std::string> out;
    for (const auto& c : candies)
        out.push_back(c.lesson->lessonID.str());
    return out;
}

TEST(Candy, OneEntryPerLessonInCatalogueOrderSharingTheObjects) {
    auto chapters = catalogue();
    auto candies = makeCandies(chapters);
    ASSERT_EQ(ids(candies), (std::vector<std::string>{"CH1L1", "CH1L2", "CH3L1"}));
    EXPECT_EQ(candies[0].chapter, chapters[0]);
    EXPECT_EQ(candies[2].lesson, chapters[2]->lessons[0]);
    EXPECT_EQ(candies[0].searchString, "hello world SWIFT BASICS");
    EXPECT_EQ(candies[1].searchString, "Variables SWIFT BASICS var let constant");
    EXPECT_EQ(candies[1].lessonName, "Variables");
    EXPECT_EQ(candies[1].chapterName, "SWIFT BASICS");
}

TEST(Candy, FilterMatchesCaseInsensitivelyAcrossTheJoinedText) {
    auto candies = makeCandies(catalogue());
    struct Case {
        const char* text;
        std::vector<std::string> expected;
    } cases[] = {
        {"", {"CH1L1", "CH1L2", "CH3L1"}},
        {"HELLO", {"CH1L1"}},
        {"swift basics", {"CH1L1", "CH1L2"}}, // a chapter title lists its lessons
        {"world swift", {"CH1L1"}},           // spans the blank between the titles
        {"constant", {"CH1L2"}},              // only in the lesson's searchText
        {"ÜNÏCODE CAFÉ", {"CH3L1"}},          // non-ASCII upper case
        {"STRASSE", {}},                      // lower-casing, not case folding
        {"straße", {"CH3L1"}},
        {"nothing like this", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ids(filterCandies(candies, c.text)), c.expected) << c.text;
    }
}

} // namespace
