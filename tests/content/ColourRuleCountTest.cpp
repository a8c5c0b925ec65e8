// The Swift course stores a fixed number of colour rules per lesson; chapters written in the lesson
// form reach that number with their own rules plus the automatic ones.
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace content_test;

namespace {

// Lesson id to the number of colour rules the lesson stores, chapters 1 to 9.
const std::map<std::string, std::size_t> kRuleCounts = {
    {"CH1L1", 9},   {"CH1L10", 14}, {"CH1L11", 9},  {"CH1L12", 16}, {"CH1L13", 16}, {"CH1L14", 7},
    {"CH1L15", 10}, {"CH1L16", 11}, {"CH1L17", 12}, {"CH1L18", 10}, {"CH1L19", 9},  {"CH1L2", 7},
    {"CH1L20", 12}, {"CH1L3", 10},  {"CH1L4", 11},  {"CH1L5", 12},  {"CH1L6", 15},  {"CH1L7", 17},
    {"CH1L8", 13},  {"CH1L9", 10},  {"CH2L1", 14},  {"CH2L10", 15}, {"CH2L11", 16}, {"CH2L2", 15},
    {"CH2L3", 19},  {"CH2L4", 18},  {"CH2L5", 12},  {"CH2L6", 14},  {"CH2L7", 12},  {"CH2L8", 18},
    {"CH2L9", 15},  {"CH3L1", 18},  {"CH3L10", 22}, {"CH3L11", 16}, {"CH3L12", 55}, {"CH3L13", 44},
    {"CH3L2", 25},  {"CH3L3", 29},  {"CH3L4", 24},  {"CH3L5", 25},  {"CH3L6", 32},  {"CH3L7", 25},
    {"CH3L8", 29},  {"CH3L9", 21},  {"CH4L1", 20},  {"CH4L10", 22}, {"CH4L11", 43}, {"CH4L12", 43},
    {"CH4L13", 46}, {"CH4L14", 43}, {"CH4L2", 19},  {"CH4L3", 21},  {"CH4L4", 20},  {"CH4L5", 20},
    {"CH4L6", 15},  {"CH4L7", 8},   {"CH4L8", 16},  {"CH4L9", 21},  {"CH5L1", 16},  {"CH5L10", 17},
    {"CH5L11", 12}, {"CH5L12", 13}, {"CH5L13", 20}, {"CH5L14", 14}, {"CH5L15", 17}, {"CH5L16", 24},
    {"CH5L17", 21}, {"CH5L18", 20}, {"CH5L2", 16},  {"CH5L3", 15},  {"CH5L4", 16},  {"CH5L5", 15},
    {"CH5L6", 14},  {"CH5L7", 10},  {"CH5L8", 11},  {"CH5L9", 17},  {"CH6L1", 15},  {"CH6L10", 8},
    {"CH6L11", 11}, {"CH6L12", 11}, {"CH6L13", 14}, {"CH6L2", 17},  {"CH6L3", 15},  {"CH6L4", 19},
    {"CH6L5", 14},  {"CH6L6", 20},  {"CH6L7", 24},  {"CH6L8", 23},  {"CH6L9", 4},   {"CH7L1", 21},
    {"CH7L10", 24}, {"CH7L11", 21}, {"CH7L12", 13}, {"CH7L13", 17}, {"CH7L14", 14}, {"CH7L15", 13},
    {"CH7L16", 12}, {"CH7L17", 13}, {"CH7L2", 15},  {"CH7L3", 23},  {"CH7L4", 13},  {"CH7L5", 20},
    {"CH7L6", 17},  {"CH7L7", 14},  {"CH7L8", 13},  {"CH7L9", 32},  {"CH8L1", 13},  {"CH8L10", 25},
    {"CH8L11", 25}, {"CH8L12", 23}, {"CH8L13", 25}, {"CH8L14", 23}, {"CH8L15", 24}, {"CH8L16", 27},
    {"CH8L2", 15},  {"CH8L3", 20},  {"CH8L4", 17},  {"CH8L5", 16},  {"CH8L6", 20},  {"CH8L7", 26},
    {"CH8L8", 24},  {"CH8L9", 25},  {"CH9L1", 18},  {"CH9L10", 16}, {"CH9L11", 20}, {"CH9L12", 12},
    {"CH9L13", 16}, {"CH9L14", 17}, {"CH9L15", 19}, {"CH9L2", 16},  {"CH9L3", 16},  {"CH9L4", 17},
    {"CH9L5", 27},  {"CH9L6", 16},  {"CH9L7", 13},  {"CH9L8", 12},  {"CH9L8B", 78}, {"CH9L9", 16},
};

TEST(SwiftColourRules, ChaptersOneToNineStoreTheirNumberOfRules) {
    std::size_t checked = 0;
    for (const auto& [chapter, lesson] : allLessons(0)) {
        auto expected = kRuleCounts.find(lesson->lessonID.str());
        if (chapter->number > 9 || expected == kRuleCounts.end()) continue;
        EXPECT_EQ(lesson->customStrings().size(), expected->second) << lesson->lessonID;
        ++checked;
    }
    EXPECT_EQ(checked, kRuleCounts.size());
}

TEST(SwiftColourRules, AutomaticRulesNeverRepeatARuleOfTheSameSection) {
    for (const auto& [chapter, lesson] : allLessons(0)) {
        if (chapter->number > 9) continue;
        for (std::size_t i = 0; i < lesson->customStrings().size(); ++i)
            for (std::size_t j = i + 1; j < lesson->customStrings().size(); ++j) {
                const auto& a = lesson->customStrings()[i];
                const auto& b = lesson->customStrings()[j];
                EXPECT_FALSE(a.customStringSection == b.customStringSection &&
                             a.rangeOfString == b.rangeOfString)
                    << lesson->lessonID << ": " << a.rangeOfString;
            }
    }
}

} // namespace
