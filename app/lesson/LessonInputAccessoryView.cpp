#include "app/lesson/LessonInputAccessoryView.hpp"

#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Text.hpp"

void LessonInputAccessoryView::configureButtons() {
    if (buttons && !buttons->empty() && buttons->front()->superview())
        buttons->front()->superview()->setHidden(true);
    for (ui::View* container :
         {twoButtonView, threeButtonsView, fourButtonsView, fiveButtonsView, sixButtonsView})
        if (container) container->setHidden(true);
    const std::size_t count = textValues ? textValues->size() : 0;
    if (count == 0) return;
    ui::View* container = nullptr;
    const std::optional<std::vector<ui::Button*>>* collection = &buttons;
    switch (count) {
    case 2:
        container = twoButtonView, collection = &twoButtons;
        break;
    case 3:
        container = threeButtonsView, collection = &threeButtons;
        break;
    case 4:
        container = fourButtonsView, collection = &fourButtons;
        break;
    case 5:
        container = fiveButtonsView, collection = &fiveButtons;
        break;
    case 6:
        container = sixButtonsView, collection = &sixButtons;
        break;
    default:
        break;
    }
    if (!*collection) return;
    if (container)
        container->setHidden(false);
    else if (!buttons->empty() && buttons->front()->superview())
        buttons->front()->superview()->setHidden(false);
    const auto& list = **collection;
    for (std::size_t i = 0; i < count && i < list.size(); ++i) {
        list[i]->setTitle((*textValues)[i], ui::ControlState::normal);
        list[i]->setTitle((*textValues)[i], ui::ControlState::highlighted);
    }
}

void LessonInputAccessoryView::buttonAction(ui::Button& sender) {
    insertTextValue(sender);
}

void LessonInputAccessoryView::insertTextValue(ui::Button& sender) {
    const int tag = sender.tag();
    if (!textValues || tag < 0 || static_cast<std::size_t>(tag) >= textValues->size()) return;
    const std::string& value = (*textValues)[static_cast<std::size_t>(tag)];
    auto field = textField.lock();
    if (!field) return;
    auto selection = field->selectedRange();
    if (!selection) return;
    field->replaceRange(*selection, value);
    auto delegate = textFieldDelegate.lock();
    if (!delegate) return;
    // The range we could report only describes a single character appended at the end; the lesson
    // screen checks the field's whole new text instead, which is right for every insertion.
    if (auto* screen = dynamic_cast<LessonViewController*>(delegate.get()))
        screen->fieldTextChanged(*field, field->text());
    else
        (void)delegate->shouldChangeCharacters(
            *field, ui::Range{field->length() == 0 ? 0 : field->length() - 1, ns::characterCount(value)},
            value);
}
