#include "platform/uikit/TextField.hpp"

#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/Text.hpp"
#include "platform/uikit/Keyboard.hpp"
#include "platform/uikit/Pasteboard.hpp"

#include <algorithm>

namespace ui {

namespace {
void postKeyboard(const char* name, const TextField* field, Rect beginFrame) {
    ns::NotificationCenter::defaultCenter().post(name, field, {{keyboardFrameBeginUserInfoKey, beginFrame}});
}
} // namespace

TextField::~TextField() = default;

void TextField::setText(std::string text) {
    text_ = std::move(text);
    if (selection_) selection_ = Range{length(), 0};
}

std::size_t TextField::length() const {
    return ns::characterCount(text_);
}

void TextField::setPlaceholder(std::string placeholder) {
    attributedPlaceholder_ = AttributedString(std::move(placeholder));
}

void TextField::setAttributedPlaceholder(AttributedString placeholder) {
    attributedPlaceholder_ = std::move(placeholder);
}

Range TextField::clip(Range range) const {
    std::size_t count = length();
    std::size_t location = std::min(range.location, count);
    return Range{location, std::min(range.length, count - location)};
}

void TextField::setSelectedRange(Range range) {
    if (selection_) selection_ = clip(range);
}

void TextField::applyEdit(Range range, const std::string& replacement) {
    std::size_t begin = ns::byteOffsetOfCharacter(text_, range.location);
    std::size_t end = ns::byteOffsetOfCharacter(text_, range.end());
    text_.replace(begin, end - begin, replacement);
    if (selection_) {
        // Counted on the new text: an insert can merge with its neighbours into one character (a
        // combining mark after a letter), so the caret is where the inserted bytes end, in characters.
        std::size_t caret = ns::characterCount(std::string_view(text_).substr(0, begin + replacement.size()));
        selection_ = Range{caret, 0};
    }
}

void TextField::replaceRange(Range range, const std::string& text) {
    applyEdit(clip(range), text);
}

bool TextField::userEdit(Range range, const std::string& replacement) {
    if (!selection_) return false;
    range = clip(range);
    if (auto delegate = delegate_.lock()) {
        if (!delegate->shouldChangeCharacters(*this, range, replacement)) return false;
    }
    // The delegate may have changed the text meanwhile; the edit still applies within the text.
    applyEdit(clip(range), replacement);
    sendActions(ControlEvent::editingChanged);
    return true;
}

bool TextField::typeText(const std::string& text) {
    if (!selection_ || text.empty()) return false;
    return userEdit(*selection_, text);
}

bool TextField::deleteBackward() {
    if (!selection_) return false;
    Range selection = clip(*selection_);
    if (selection.length > 0) return userEdit(selection, "");
    if (selection.location == 0) return false;
    return userEdit(Range{selection.location - 1, 1}, "");
}

bool TextField::deleteForward() {
    if (!selection_) return false;
    Range selection = clip(*selection_);
    if (selection.length > 0) return userEdit(selection, "");
    if (selection.location >= length()) return false;
    return userEdit(Range{selection.location, 1}, "");
}

bool TextField::paste() {
    auto string = Pasteboard::general().string();
    if (!string || string->empty()) return false;
    return typeText(*string);
}

bool TextField::pressReturn() {
    if (!selection_) return false;
    if (auto delegate = delegate_.lock()) return delegate->shouldReturn(*this);
    return true;
}

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    auto keep = weak_from_this().lock();
    if (auto delegate = delegate_.lock()) {
        if (!delegate->shouldBeginEditing(*this)) return false;
    }
    if (View* other = firstResponder()) other->resignFirstResponder();
    detail::setFirstResponder(this);
    selection_ = Range{length(), 0};
    // The phone's order: the field reports that editing began, then the keyboard announces itself.
    if (auto delegate = delegate_.lock()) delegate->didBeginEditing(*this);
    sendActions(ControlEvent::editingDidBegin);
    if (isFirstResponder()) postKeyboard(keyboardWillShowNotification, this, keyboardHiddenFrame());
    return true;
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = weak_from_this().lock();
    // Cleared before anyone is told, so handlers that resign every field do not come back here.
    detail::setFirstResponder(nullptr);
    selection_.reset();
    postKeyboard(keyboardWillHideNotification, this, keyboardShownFrame());
    if (auto delegate = delegate_.lock()) delegate->didEndEditing(*this);
    sendActions(ControlEvent::editingDidEnd);
    return true;
}

} // namespace ui
