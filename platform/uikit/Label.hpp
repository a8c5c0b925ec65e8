#pragma once
// A text label. Its text may carry foreground-colour runs (attributed text).
//
// Setting plain text drops the runs; setting attributed text also sets the plain text to its text, so
// text() and attributedText().text() always agree. Main thread only; nothing fails.
#include "platform/uikit/AttributedString.hpp"
#include "platform/uikit/Font.hpp"
#include "platform/uikit/View.hpp"

#include <string>

namespace ui {

class Label : public View {
  public:
    Label() = default;
    explicit Label(std::string text);

    const std::string& text() const { return attributedText_.text(); }
    void setText(std::string text);
    const AttributedString& attributedText() const { return attributedText_; }
    void setAttributedText(AttributedString text);

    Color textColor() const { return textColor_; }
    void setTextColor(Color color) { textColor_ = color; }
    const Font& font() const { return font_; }
    void setFont(Font font) { font_ = std::move(font); }
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines) { numberOfLines_ = lines; }

  private:
    AttributedString attributedText_;
    Color textColor_ = Color::black();
    Font font_;
    int numberOfLines_ = 1;
};

} // namespace ui
