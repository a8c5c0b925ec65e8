// The word bar's layout: one container per button count (2 to 6), each holding that many buttons in a
// row, plus a general row of six. Every button's tag is its index in its collection, and every button
// runs buttonAction.
#include "app/lesson/LessonInputAccessoryView.hpp"

namespace {

constexpr double kBarWidth = 375;
constexpr double kBarHeight = 44;
constexpr int kGeneralButtons = 6;

// A container with `count` buttons side by side; returns their handles in order.
std::vector<ui::Button*> addRow(LessonInputAccessoryView& bar, ui::View*& container, int count) {
    auto row = std::make_shared<ui::View>(ui::Rect::make(0, 0, kBarWidth, kBarHeight));
    row->setHidden(true);
    std::vector<ui::Button*> buttons;
    const double width = kBarWidth / count;
    std::weak_ptr<ui::View> weakBar = bar.weak_from_this();
    for (int i = 0; i < count; ++i) {
        auto button = std::make_shared<ui::Button>();
        button->setFrame(ui::Rect::make(i * width + 2, 4, width - 4, kBarHeight - 8));
        button->setTag(i);
        button->setBackgroundColor(ui::Color::rgb255(64, 64, 64));
        button->addAction([weakBar](ui::Button& sender) {
            if (auto strong = weakBar.lock())
                static_cast<LessonInputAccessoryView&>(*strong).buttonAction(sender);
        });
        buttons.push_back(button.get());
        row->addSubview(std::move(button));
    }
    container = row.get();
    bar.addSubview(std::move(row));
    return buttons;
}

} // namespace

LessonInputAccessoryView::Ptr LessonInputAccessoryView::loadFromNib() {
    auto bar = std::make_shared<LessonInputAccessoryView>(ui::Rect::make(0, 0, kBarWidth, kBarHeight));
    bar->setBackgroundColor(ui::Color::black());
    bar->twoButtons = addRow(*bar, bar->twoButtonView, 2);
    bar->threeButtons = addRow(*bar, bar->threeButtonsView, 3);
    bar->fourButtons = addRow(*bar, bar->fourButtonsView, 4);
    bar->fiveButtons = addRow(*bar, bar->fiveButtonsView, 5);
    bar->sixButtons = addRow(*bar, bar->sixButtonsView, 6);
    // The general collection, shown by configureButtons for counts that have no layout of their own.
    ui::View* general = nullptr;
    bar->buttons = addRow(*bar, general, kGeneralButtons);
    return bar;
}
