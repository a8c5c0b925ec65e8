#pragma once
// A one-line text field with a delegate, a selection and the first-responder role.
//
// Units: every range and position of a text field counts characters (extended grapheme clusters): an
// emoji, a flag or a letter with combining marks is one character. The delegate therefore sees the edit
// in the same unit the text helpers use, and the text it computes from (text, range, replacement) is
// exactly the text the field will hold.
//
// Two kinds of change:
// - programmatic (setText, replaceRange, setSelectedRange): applied at once, the delegate is not asked;
// - user edits (typeText, deleteBackward, deleteForward, paste, pressReturn), the entry points the terminal
// and tests
//   use for keys: they act only while the field is first responder, ask the delegate first and apply the
//   edit only when it answers true. An applied user edit sends the editingChanged actions.
//
// Selection: exists only while the field is first responder (becoming it puts the caret at the end;
// resigning clears it). Ranges outside the text are clipped to it, never rejected.
//
// First responder: one view app-wide. becomeFirstResponder(), in this order: asks shouldBeginEditing,
// makes any other first responder resign (which posts its will-hide), calls didBeginEditing, then posts
// "UIKeyboardWillShowNotification" (user info "UIKeyboardFrameBeginUserInfoKey": the keyboard's start
// frame, a ui::Rect), as the phone does. resignFirstResponder() stops being first responder, posts
// "UIKeyboardWillHideNotification" (begin frame: the shown keyboard) and calls didEndEditing.
// Notifications go to the default notification centre, synchronously on the calling (main) thread, with
// the field as their sender, so that a screen can tell its own fields' keyboard from another's.
//
// Thread-safety: main thread only. Invalid UTF-8 in the text is kept as it is; each bad byte counts as
// one character.
#include "platform/uikit/AttributedString.hpp"
#include "platform/uikit/Control.hpp"
#include "platform/uikit/Font.hpp"
#include "platform/uikit/Range.hpp"

#include <memory>
#include <optional>
#include <string>

namespace ui {

class TextField;

// The field's delegate. Every method has the answer the field uses without a delegate.
class TextFieldDelegate {
  public:
    virtual ~TextFieldDelegate() = default;
    virtual bool shouldBeginEditing(TextField&) { return true; }
    virtual void didBeginEditing(TextField&) {}
    // `range` in characters of the current text; `replacement` replaces it.
    virtual bool shouldChangeCharacters(TextField&, Range, const std::string&) { return true; }
    virtual bool shouldReturn(TextField&) { return true; }
    virtual void didEndEditing(TextField&) {}
};

class TextField : public Control {
  public:
    TextField() = default;
    ~TextField() override;

    const std::string& text() const { return text_; }
    // Replaces the whole text; the caret (while editing) goes to the end.
    void setText(std::string text);
    // Length of the text in characters.
    std::size_t length() const;

    const std::string& placeholder() const { return attributedPlaceholder_.text(); }
    // Drops the placeholder's colours.
    void setPlaceholder(std::string placeholder);
    const AttributedString& attributedPlaceholder() const { return attributedPlaceholder_; }
    // Also sets the placeholder text.
    void setAttributedPlaceholder(AttributedString placeholder);

    Color textColor() const { return textColor_; }
    void setTextColor(Color color) { textColor_ = color; }
    const Font& font() const { return font_; }
    void setFont(Font font) { font_ = std::move(font); }

    // Held weakly, as on the phone: a delegate that is gone counts as none.
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }

    // Selection in characters; nullopt when not editing. An empty range is the insertion point.
    std::optional<Range> selectedRange() const { return selection_; }
    // Ignored while not editing.
    void setSelectedRange(Range range);

    // Programmatic replacement of `range` (characters, clipped) by `text`; the delegate is not asked.
    // While editing, the caret goes right after the inserted text.
    void replaceRange(Range range, const std::string& text);

    // User edits; each returns true when the edit was applied.
    // Types `text` over the selection.
    bool typeText(const std::string& text);
    // Deletes the selection, or the character before the caret (nothing at the start).
    bool deleteBackward();
    // Deletes the selection, or the character after the caret (nothing at the end).
    bool deleteForward();
    // Types the general pasteboard's string (nothing when it holds none or an empty one).
    bool paste();
    // Asks shouldReturn; returns its answer. Changes no text.
    bool pressReturn();

    // Keyboard bar shown above the keyboard while the field is edited.
    std::shared_ptr<View> inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<View> view) { inputAccessoryView_ = std::move(view); }
    bool autocorrection() const { return autocorrection_; }
    void setAutocorrection(bool enabled) { autocorrection_ = enabled; }

    bool canBecomeFirstResponder() const override { return true; }
    // Returns false when the delegate refuses (or it is already first responder: then true).
    bool becomeFirstResponder() override;
    // Always succeeds; does nothing when not first responder.
    bool resignFirstResponder() override;
    bool isEditing() const { return selection_.has_value(); }

  private:
    // Applies a user edit after asking the delegate.
    bool userEdit(Range range, const std::string& replacement);
    void applyEdit(Range range, const std::string& replacement);
    Range clip(Range range) const;

    std::string text_;
    AttributedString attributedPlaceholder_;
    Color textColor_ = Color::black();
    Font font_;
    std::weak_ptr<TextFieldDelegate> delegate_;
    std::optional<Range> selection_;
    std::shared_ptr<View> inputAccessoryView_;
    bool autocorrection_ = true;
};

} // namespace ui
