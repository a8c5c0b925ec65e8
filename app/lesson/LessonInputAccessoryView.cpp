#include "app/lesson/LessonInputAccessoryView.hpp"

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
    // A range around the inserted value would only be right for one character appended at the end.
    // Reporting the whole new text as replacing itself gives the delegate exactly the text the field
    // now holds, wherever the value went and however long it is. Its answer is not needed.
    const std::string now = field->text();
    (void)delegate->shouldChangeCharacters(*field, ui::Range{0, field->length()}, now);
}
