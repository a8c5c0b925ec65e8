// Construction, life cycle, and putting a lesson onto the screen.
#include "app/lesson/LessonViewController.hpp"

#include "model/DeviceModel.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/services/AudioSession.hpp"

LessonViewController::LessonViewController()
    : modelName(deviceModelName()), taskMoveRunButtonUp([] { ns::console("update task"); }) {}

LessonViewController::~LessonViewController() {
    for (auto token : keyboardObservers_)
        ns::NotificationCenter::defaultCenter().removeObserver(token);
}

std::shared_ptr<LessonViewController> LessonViewController::self() {
    return std::static_pointer_cast<LessonViewController>(shared_from_this());
}

void LessonViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    navigationItem().setTitleView(std::make_shared<ui::ImageView>("logo"));
    setUpViewArrays();
    loadLesson();
    ns::console(modelName);
    if (auto session = svc::sharedAudioSession()) {
        auto result = session->setCategory(svc::audioSessionCategoryAmbient);
        if (!result) ns::console(result.error().description());
    }
    textFieldsToWidthMap.clear();
    for (int k = 1; k <= Lesson::kMaxLines; ++k)
        textFieldsToWidthMap[lineHandles(k).textField] = lineHandles(k).textFieldWIdthConstraint;
}

void LessonViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    // Once per screen: observing again on every appearance would run each handler once more per visit.
    if (!keyboardObservers_.empty()) return;
    std::weak_ptr<ui::ViewController> weak = weak_from_this();
    auto observe = [&](const char* name, void (LessonViewController::*handler)(const ns::Notification&)) {
        keyboardObservers_.push_back(ns::NotificationCenter::defaultCenter().addObserver(
            name, [weak, handler](const ns::Notification& notification) {
                if (auto strong = weak.lock())
                    (static_cast<LessonViewController&>(*strong).*handler)(notification);
            }));
    };
    observe(ui::keyboardWillShowNotification, &LessonViewController::keyboardWillShow);
    observe(ui::keyboardWillHideNotification, &LessonViewController::keyboardWillHide);
}

void LessonViewController::touchesBegan() {
    if (isViewLoaded()) view()->endEditing(true);
}

void LessonViewController::setUpViewArrays() {
    lineNumberViews.push_back(lineNumberView);
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        const LineHandles h = lineHandles(k);
        lineViews.push_back(h.view);
        lineNumberViews.push_back(h.numberView);
        lineNumbers.push_back(h.numberLabel);
        textFields.push_back(h.textField);
        errorButtons.push_back(h.errorButton);
        checkMarkButtons.push_back(h.checkmarkButton);
    }
}

void LessonViewController::loadLesson() {
    if (!lesson) return;
    for (auto* field : textFields)
        field->setText("");
    answerIsCorrect = false;
    styleLessonViews();
    setUpInputAccessoryViews();
    hideCheckmarksAndErrors();
    layOutLesson();
    if (progressBarButtonItem)
        progressBarButtonItem->setTitle(std::to_string(lesson->number) + "/" +
                                        std::to_string(lessons.value_or(0)));
    helpBarView->setHidden(true);
    showHelpBar(helpBarDelay);
    runButtonBottomLayoutConstraint->setConstant(runButtonDown);
    fetchVideoTutorial();
}

void LessonViewController::styleLessonViews() {
    instructionsView->setBackgroundColor(panelGrey);
    answerView->setBackgroundColor(panelGrey);
    runButton->setBackgroundColor(ui::Color::clear());
    answerView->setHidden(true);
    helpView->setHidden(true);
    helpView->setCornerRadius(10);
    helpView->setBackgroundColor(panelGrey);
    for (auto* v : lineViews)
        v->setHidden(false);
    for (auto* label : lineNumbers)
        label->setTextColor(lineNumberGrey);
    for (auto* v : lineNumberViews)
        v->setBackgroundColor(ui::Color::black());
}

void LessonViewController::setUpInputAccessoryViews() {
    lessonInputAccessoryViews = std::vector<std::shared_ptr<LessonInputAccessoryView>>{};
    if (!lesson->inputAccessoryViewTextValues) {
        for (auto* field : textFields)
            field->setInputAccessoryView(nullptr);
        return;
    }
    auto delegate = std::static_pointer_cast<ui::TextFieldDelegate>(self());
    for (auto* field : textFields) {
        auto bar = LessonInputAccessoryView::loadFromNib();
        bar->textField = std::static_pointer_cast<ui::TextField>(field->shared_from_this());
        bar->textFieldDelegate = delegate;
        const auto& words = *lesson->inputAccessoryViewTextValues;
        bar->textValues = std::vector<std::string>(words.begin(), words.end());
        bar->configureButtons();
        lessonInputAccessoryViews->push_back(bar);
        field->setAutocorrection(false);
        field->setInputAccessoryView(bar);
        bar->setHidden(false);
    }
}

void LessonViewController::hideCheckmarksAndErrors() {
    for (auto* b : errorButtons)
        b->setHidden(true);
    for (auto* b : checkMarkButtons)
        b->setHidden(true);
    for (auto* f : textFields)
        f->setHidden(true);
}

void LessonViewController::layOutLesson() {
    instructionsLabel->setText(lesson->instruction.str());
    for (std::size_t p = 1; p <= lineViews.size(); ++p)
        if (lesson->lines < static_cast<std::int64_t>(p)) lineViews[p - 1]->setHidden(true);
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        const LineHandles h = lineHandles(k);
        const auto before = lesson->text1(k);
        h.text1Label->setText(before ? before->str() : std::string());
        // A field that starts its line sits where the code would start. Later lessons do not undo this.
        if (before && before->empty()) h.textFieldLeadingConstraint->setConstant(0);
        const auto after = lesson->text2(k);
        h.text2Label->setText(after ? after->str() : std::string());
    }
    if (ui::TextField* field = answerField()) {
        field->setHidden(false);
        field->setPlaceholder(lesson->textFieldFormatting.placeholderText.str());
        field->setBackgroundColor(panelGrey);
        field->setDelegate(std::static_pointer_cast<ui::TextFieldDelegate>(self()));
        field->updateConstraintsIfNeeded();
    }
    colorLessonText();
}

std::optional<LessonViewController::LineHandles> LessonViewController::answerLine() const {
    if (!lesson || lesson->textFieldInLine < 1 || lesson->textFieldInLine > Lesson::kMaxLines)
        return std::nullopt;
    return lineHandles(static_cast<int>(lesson->textFieldInLine));
}

ui::TextField* LessonViewController::answerField() const {
    const auto h = answerLine();
    return h ? h->textField : nullptr;
}

void LessonViewController::resignAllTextFields() {
    for (auto* field : textFields)
        field->resignFirstResponder();
}
