#include "platform/uikit/Label.hpp"

namespace ui {

Label::Label(std::string text) : attributedText_(std::move(text)) {}

void Label::setText(std::string text) {
    attributedText_ = AttributedString(std::move(text));
}

void Label::setAttributedText(AttributedString text) {
    attributedText_ = std::move(text);
}

} // namespace ui
