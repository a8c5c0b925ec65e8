#include "model/LessonText.hpp"

#include <ostream>
#include <utility>

LessonText::LessonText(std::string text) : owned_(std::make_shared<const std::string>(std::move(text))) {
    view_ = *owned_;
}

std::ostream& operator<<(std::ostream& out, const LessonText& text) {
    return out << text.view();
}
