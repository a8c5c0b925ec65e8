// The lesson screen's layout: every view of the screen, their places, fonts and starting values, and
// the connection of each handle and action. The root view owns the views; the screen keeps
// non-owning handles and owns the constraints, which no view holds.
#include "app/lesson/LessonViewController.hpp"

#include <string>

namespace {

constexpr double kWidth = 375;
constexpr double kHeight = 667;
constexpr double kInstructionsHeight = 120;
constexpr double kLineHeight = 30;
constexpr double kNumberWidth = 30;
constexpr double kDefaultLeadingGap = 4;
constexpr double kDefaultFieldWidth = 120;

template <typename T, typename... Args> T* add(ui::View& parent, ui::Rect frame, Args&&... args) {
    auto view = std::make_shared<T>(std::forward<Args>(args)...);
    view->setFrame(frame);
    T* handle = view.get();
    parent.addSubview(std::move(view));
    return handle;
}

ui::Label* addLabel(ui::View& parent, ui::Rect frame, ui::Color color = ui::Color::white(), int lines = 1) {
    auto* label = add<ui::Label>(parent, frame);
    label->setTextColor(color);
    label->setFont(ui::Font{"Menlo", 15});
    label->setNumberOfLines(lines);
    return label;
}

// An action that reaches the screen only while it is alive: the views may outlive it in a test.
template <typename F> auto action(LessonViewController& screen, F member) {
    std::weak_ptr<ui::ViewController> weak = screen.weak_from_this();
    return [weak, member](ui::Button&) {
        if (auto strong = weak.lock()) (static_cast<LessonViewController&>(*strong).*member)();
    };
}

} // namespace

void LessonViewController::loadView() {
    auto root = std::make_shared<ui::View>(ui::Rect::make(0, 0, kWidth, kHeight));
    root->setBackgroundColor(ui::Color::black());
    setView(root);
    ui::View& r = *root;

    instructionsView = add<ui::View>(r, ui::Rect::make(0, 0, kWidth, kInstructionsHeight));
    instructionsLabel =
        addLabel(*instructionsView, ui::Rect::make(10, 8, kWidth - 20, kInstructionsHeight - 16),
                 ui::Color::white(), 0);

    const double codeTop = kInstructionsHeight + 8;
    lineNumberView =
        add<ui::View>(r, ui::Rect::make(0, codeTop, kNumberWidth, kLineHeight * Lesson::kMaxLines));
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        LineHandles h;
        h.view = add<ui::View>(r, ui::Rect::make(0, codeTop + (k - 1) * kLineHeight, kWidth, kLineHeight));
        h.numberView = add<ui::View>(*h.view, ui::Rect::make(0, 0, kNumberWidth, kLineHeight));
        h.numberLabel = addLabel(*h.numberView, ui::Rect::make(4, 5, kNumberWidth - 8, 20), lineNumberGrey);
        h.numberLabel->setText(std::to_string(k));
        h.text1Label = addLabel(*h.view, ui::Rect::make(kNumberWidth + 6, 5, 140, 20));
        h.textField =
            add<ui::TextField>(*h.view, ui::Rect::make(kNumberWidth + 150, 3, kDefaultFieldWidth, 24));
        h.textField->setTag(k);
        h.textField->setFont(ui::Font{"Menlo", 15});
        h.textField->setTextColor(ui::Color::white());
        h.text2Label =
            addLabel(*h.view, ui::Rect::make(kNumberWidth + 150 + kDefaultFieldWidth + 4, 5, 60, 20));
        h.checkmarkButton = add<ui::Button>(*h.view, ui::Rect::make(kWidth - 56, 3, 24, 24));
        h.checkmarkButton->setImage("checkmark", ui::ControlState::normal);
        h.checkmarkButton->addAction(action(*this, &LessonViewController::checkmarkButtonPressed));
        h.errorButton = add<ui::Button>(*h.view, ui::Rect::make(kWidth - 28, 3, 24, 24));
        h.errorButton->setImage("error", ui::ControlState::normal);
        h.errorButton->addAction(action(*this, &LessonViewController::errorButtonPressed));

        auto leading = std::make_shared<ui::LayoutConstraint>(
            kDefaultLeadingGap, "line" + std::to_string(k) + "TextFieldLeadingConstraint");
        auto width = std::make_shared<ui::LayoutConstraint>(
            kDefaultFieldWidth, "textField" + std::to_string(k) + "WIdthConstraint");
        h.textFieldLeadingConstraint = leading.get();
        h.textFieldWIdthConstraint = width.get();
        adoptConstraint(std::move(leading));
        adoptConstraint(std::move(width));
        connectLine(k, h);
    }

    answerView = add<ui::View>(r, ui::Rect::make(0, 440, kWidth, 110));
    successMessageLabel =
        addLabel(*answerView, ui::Rect::make(10, 8, kWidth - 20, 94), ui::Color::white(), 0);
    debugView = add<ui::View>(*answerView, ui::Rect::make(0, 0, kWidth, 110));
    debugMessageLabel = addLabel(*debugView, ui::Rect::make(10, 8, kWidth - 20, 40), ui::Color::white(), 0);
    debugSuccessMessageLabel = addLabel(*debugView, ui::Rect::make(10, 56, kWidth - 20, 46), successGreen, 0);

    helpView = add<ui::View>(r, ui::Rect::make(20, 140, kWidth - 40, 280));
    helpViewTitleLabel = addLabel(*helpView, ui::Rect::make(12, 10, kWidth - 64, 24));
    helpViewTitleLabel->setFont(ui::Font::boldSystemFont(17));
    helpViewMessageLabel =
        addLabel(*helpView, ui::Rect::make(12, 40, kWidth - 64, 180), ui::Color::white(), 0);
    helpViewOKButton = add<ui::Button>(*helpView, ui::Rect::make((kWidth - 40) / 2 - 40, 230, 80, 40), "OK");
    helpViewOKButton->addAction(action(*this, &LessonViewController::helpViewOKButtonPressed));

    helpBarView = add<ui::View>(r, ui::Rect::make(0, 555, kWidth, 40));
    stuckButton = add<ui::Button>(*helpBarView, ui::Rect::make(0, 0, kWidth, 40), "Stuck? Get a hint");
    // The stuck bar opens the same hint the error button shows.
    stuckButton->addAction(action(*this, &LessonViewController::errorButtonPressed));
    helpVideoButton =
        add<ui::Button>(*helpBarView, ui::Rect::make(0, 0, kWidth, 40), "Watch the video tutorial");
    helpVideoButton->addAction(action(*this, &LessonViewController::helpVideoButtonPressed));

    runButton = add<ui::Button>(r, ui::Rect::make(16, kHeight - 52, 165, 44), "Run");
    runButton->addAction(action(*this, &LessonViewController::runButtonPressed));
    nextButtonView = add<ui::Button>(r, ui::Rect::make(194, kHeight - 52, 165, 44), "Next");
    nextButtonView->addAction(action(*this, &LessonViewController::nextButtonPressed));
    auto runBottom = std::make_shared<ui::LayoutConstraint>(runButtonDown, "runButtonBottomLayoutConstraint");
    runButtonBottomLayoutConstraint = runBottom.get();
    adoptConstraint(std::move(runBottom));

    auto progress = std::make_shared<ui::BarButtonItem>();
    progressBarButtonItem = progress.get();
    navigationItem().setRightBarButtonItem(std::move(progress));
}

void LessonViewController::adoptConstraint(std::shared_ptr<ui::LayoutConstraint> constraint) {
    constraints_.push_back(std::move(constraint));
}
