#pragma once
// The word bar above the keyboard: two to six buttons, each typing one ready-made entry (a bracket, a
// colon, a quote mark) into its answer field and telling the field's delegate, as if the learner had
// typed it. The layout file (LessonInputAccessoryViewLayout.cpp) makes one layout per count, 2 to 6,
// plus a general collection used for any other count.
//
// The delegate is told of an insertion after the field holds it, with the field's whole text as the
// replacement of the whole text, so whatever it computes from (text, range, replacement) is the text
// the field now shows.
//
// Failure contract: a button whose tag has no value, or a field that is gone or not being edited, does
// nothing; without a delegate the value is typed but nobody is told. Main thread only.
#include "platform/uikit/Button.hpp"
#include "platform/uikit/TextField.hpp"
#include "platform/uikit/View.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class LessonInputAccessoryView : public ui::View {
  public:
    using Ptr = std::shared_ptr<LessonInputAccessoryView>;

    LessonInputAccessoryView() = default;
    explicit LessonInputAccessoryView(ui::Rect frame) : ui::View(frame) {}

    // A new bar made from its layout file, every handle connected.
    static Ptr loadFromNib();

    std::optional<std::vector<std::string>> textValues;
    std::weak_ptr<ui::TextField> textField;
    std::weak_ptr<ui::TextFieldDelegate> textFieldDelegate;

    std::optional<std::vector<ui::Button*>> buttons;
    std::optional<std::vector<ui::Button*>> twoButtons;
    std::optional<std::vector<ui::Button*>> threeButtons;
    std::optional<std::vector<ui::Button*>> fourButtons;
    std::optional<std::vector<ui::Button*>> fiveButtons;
    std::optional<std::vector<ui::Button*>> sixButtons;
    ui::View* twoButtonView = nullptr;
    ui::View* threeButtonsView = nullptr;
    ui::View* fourButtonsView = nullptr;
    ui::View* fiveButtonsView = nullptr;
    ui::View* sixButtonsView = nullptr;

    // Shows the layout for the current `textValues` and titles its buttons.
    void configureButtons();
    // The action of every button.
    void buttonAction(ui::Button& sender);
    void insertTextValue(ui::Button& sender);
};
