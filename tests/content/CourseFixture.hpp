#pragma once
// Every edition's catalogue, built once per test binary, for checks that must hold for every chapter
// written now and later.
#include "content/Courses.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace content_test {

struct Edition {
    std::string name;
    int code;
};

inline void PrintTo(const Edition& edition, std::ostream* os) {
    *os << edition.name;
}

// A test-name form of the edition's name ("Swift", "Cpp", "ZovudERO", "SwiftUI").
inline std::string editionTestName(const Edition& edition) {
    std::string name;
    for (char c : edition.name)
        name += c == '+' ? 'p' : c;
    std::erase(name, ' ');
    return name;
}

inline const std::vector<Edition>& editions() {
    static const std::vector<Edition> all = {{"Swift", 0}, {"C++", 1}, {"Zovud ERO", 2}, {"SwiftUI", 3}};
    return all;
}

// The chapters of an edition, built by the registry's builders (chapters not written yet are empty).
inline const std::vector<Chapter::Ptr>& builtChapters(int editionCode) {
    static std::vector<std::vector<Chapter::Ptr>> cache(4);
    auto& chapters = cache.at(static_cast<std::size_t>(editionCode));
    if (chapters.empty()) chapters = content::buildChapters(content::courseForEdition(editionCode));
    return chapters;
}

// Every lesson of an edition with its chapter, in catalogue order.
struct PlacedLesson {
    const Chapter* chapter;
    Lesson::Ptr lesson;
};

inline std::vector<PlacedLesson> allLessons(int editionCode) {
    std::vector<PlacedLesson> lessons;
    for (const auto& chapter : builtChapters(editionCode))
        for (const auto& lesson : chapter->lessons)
            lessons.push_back({chapter.get(), lesson});
    return lessons;
}

} // namespace content_test
