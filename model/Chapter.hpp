#pragma once
// A chapter of a course: made by the catalogue with its title and number, filled by its builder.
#include "model/Lesson.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Chapter {
  public:
    using Ptr = std::shared_ptr<Chapter>;

    std::string title;
    std::int64_t number = 0;
    std::vector<Lesson::Ptr> lessons;

    static Ptr make(std::string title, std::int64_t number) {
        auto chapter = std::make_shared<Chapter>();
        chapter->title = std::move(title);
        chapter->number = number;
        return chapter;
    }
};

// A chapter builder: appends the chapter's lessons to `chapter.lessons` and touches nothing else.
using ChapterBuilder = void (*)(Chapter& chapter);
