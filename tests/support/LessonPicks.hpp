#pragma once
// Lessons the screen tests pick from the course by what they show.
#include "model/Chapter.hpp"

#include <vector>

struct LessonPlace {
    Lesson::Ptr lesson; // none when the course has no such lesson
    int chapter = 0;    // counted from 0
    int row = 0;
};

// A lesson whose answer field sits between code on both sides, neither side with a blank of its own,
// and has a placeholder: the line a field drawn flush against its code would make unreadable.
inline LessonPlace tightFieldLesson(const std::vector<Chapter::Ptr>& chapters) {
    for (std::size_t c = 0; c < chapters.size(); ++c) {
        const auto& lessons = chapters[c]->lessons;
        for (std::size_t r = 0; r < lessons.size(); ++r) {
            const auto& l = lessons[r];
            const int line = static_cast<int>(l->textFieldInLine);
            auto before = l->text1(line);
            auto after = l->text2(line);
            if (before && !before->empty() && before->back() != ' ' && after && !after->empty() &&
                after->front() != ' ' && !l->textFieldFormatting.placeholderText.empty())
                return {l, static_cast<int>(c), static_cast<int>(r)};
        }
    }
    return {};
}

// A lesson with keyboard words whose next lesson in its chapter has words too: a word still chosen from
// the first would be typed into the second.
inline LessonPlace wordsFollowedByWords(const std::vector<Chapter::Ptr>& chapters) {
    auto hasWords = [](const Lesson::Ptr& l) {
        return l->inputAccessoryViewTextValues && !l->inputAccessoryViewTextValues->empty();
    };
    for (std::size_t c = 0; c < chapters.size(); ++c) {
        const auto& lessons = chapters[c]->lessons;
        for (std::size_t r = 0; r + 1 < lessons.size(); ++r)
            if (hasWords(lessons[r]) && hasWords(lessons[r + 1]))
                return {lessons[r], static_cast<int>(c), static_cast<int>(r)};
    }
    return {};
}
