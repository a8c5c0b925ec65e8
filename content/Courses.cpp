#include "content/Courses.hpp"

#include "content/cpp/CppCourse.hpp"
#include "content/swift/SwiftCourse.hpp"
#include "content/swiftui/SwiftUICourse.hpp"

namespace content {

const Course& swiftCourse() {
    static const Course course = {
        {1, "SWIFT BASICS", buildSwiftChapter1, 20},
        {2, "TRUE OR FALSE", buildSwiftChapter2, 11},
        {3, "IF STATEMENTS", buildSwiftChapter3, 13},
        {4, "OPTIONAL?", buildSwiftChapter4, 14},
        {5, "ARRAYS", buildSwiftChapter5, 18},
        {6, "LOOP DE LOOP", buildSwiftChapter6, 13},
        {7, "STRINGS", buildSwiftChapter7, 17},
        {8, "DICTIONARIES", buildSwiftChapter8, 16},
        {9, "FUNCTIONS", buildSwiftChapter9, 16},
        {10, "SWITCH", buildSwiftChapter10, 12},
        {11, "TUPLES", buildSwiftChapter11, 13},
        {12, "ENUMS", buildSwiftChapter12, 17},
        {13, "STRUCTS", buildSwiftChapter13, 19},
        {14, "CLASSES", buildSwiftChapter14, 20},
        {15, "TIPS AND TRICKS", buildSwiftChapter15, 14},
        {16, "CLOSURES", buildSwiftChapter16, 13},
        {17, "EXTENSIONS", buildSwiftChapter17, 5},
        {18, "PROPERTIES", buildSwiftChapter18, 10},
        {19, "PROTOCOLS", buildSwiftChapter19, 11},
        {20, "DELEGATES", buildSwiftChapter20, 16},
        {21, "TYPE CASTING", buildSwiftChapter21, 8},
        {22, "GENERICS", buildSwiftChapter22, 9},
        {23, "MAP FILTER REDUCE", buildSwiftChapter23, 24},
        {24, "SETS", buildSwiftChapter24, 18},
        {25, "GUARD & DEFER", buildSwiftChapter25, 14},
        {26, "ERROR HANDLING", buildSwiftChapter26, 11},
    };
    return course;
}

const Course& cppCourse() {
    static const Course course = {
        {1, "C++ BASICS", buildCppChapter1, 30},    {2, "TRUE OR FALSE", buildCppChapter2, 13},
        {3, "IF STATEMENTS", buildCppChapter3, 13}, {4, "LOOP DE LOOP", buildCppChapter4, 14},
        {5, "ARRAYS", buildCppChapter5, 13},        {6, "POINTERS", buildCppChapter6, 19},
        {7, "STRINGS", buildCppChapter7, 17},
    };
    return course;
}

const Course& swiftUICourse() {
    static const Course course = {
        {1, "SwiftUI Basics", buildSwiftUIChapter1, 7},       {2, "Text View", buildSwiftUIChapter2, 9},
        {3, "Image View", buildSwiftUIChapter3, 14},          {4, "View Stacks", buildSwiftUIChapter4, 11},
        {5, "Handling User Input", buildSwiftUIChapter5, 12}, {6, "List View", buildSwiftUIChapter6, 6},
        {7, "Navigation View", buildSwiftUIChapter7, 5},      {8, "Alert View", buildSwiftUIChapter8, 6},
    };
    return course;
}

const Course& courseForEdition(int editionCode) {
    switch (editionCode) {
    case 1:
        return cppCourse();
    case 3:
        return swiftUICourse();
    default:
        return swiftCourse();
    }
}

std::vector<Chapter::Ptr> buildChapters(const Course& course) {
    std::vector<Chapter::Ptr> chapters;
    for (const auto& entry : course) {
        auto chapter = Chapter::make(std::string(entry.title), entry.number);
        if (entry.builder) entry.builder(*chapter);
        chapters.push_back(chapter);
    }
    return chapters;
}

} // namespace content
