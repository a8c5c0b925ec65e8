#include "tests/support/LessonScreenFixture.hpp"

#include "app/lesson/AnswerRebuild.hpp"

namespace lessontest {
namespace {

// A lesson whose answer field is in line `k` of 10.
Lesson::Ptr lessonInLine(int k) {
    auto lesson = Lesson::initWith10Lines("L" + std::to_string(k), 1, "t", "i", "1", "2", "3", "4", "5", "6",
                                          "7", "8", "9", "10", "x = 1", "", 10, k, hint());
    lesson->setText1(k, "");
    return lesson;
}

double rootY(LessonViewController& s) {
    return s.view()->frame().origin.y;
}

TEST_F(LessonScreen, LiftByLineAndDevice) {
    struct Case {
        const char* device;
        double nativeHeight;
        int line;
        double lift;
    } cases[] = {
        {"Simulator", 1334, 3, 0},    {"Simulator", 1334, 4, 40}, {"iPhone 5S", 1334, 9, 240},
        {"iPhone 5S", 1334, 10, 240}, {"iPhone SE", 1334, 1, 0},  {"iPad Air", 2048, 9, 0},
        {"iPhone 6", 1334, 8, 0},     {"iPad Air", 2436, 8, 120}, {"Simulator", 2436, 3, 0},
        {"Simulator", 2436, 10, 160},
    };
    for (const auto& c : cases) {
        ui::Screen::main().setNativeBounds(ui::Rect::make(0, 0, 1125, c.nativeHeight));
        auto& s = open(lessonInLine(c.line));
        s.modelName = c.device;
        field().becomeFirstResponder();
        EXPECT_EQ(s.activeTextField, c.line);
        EXPECT_EQ(rootY(s), -c.lift) << c.device << " line " << c.line;
        EXPECT_EQ(s.kbHeight, c.lift);
        field().resignFirstResponder();
        EXPECT_EQ(rootY(s), 0) << c.device << " line " << c.line;
    }
}

TEST_F(LessonScreen, LiftIsAbsoluteAndUnknownTagUsesAThirdOfTheKeyboard) {
    auto& s = open(lessonInLine(5));
    const ui::Rect start = ui::Rect::make(0, 667, 375, 291);
    ns::NotificationCenter::defaultCenter().post(ui::keyboardWillShowNotification, nullptr,
                                                 {{ui::keyboardFrameBeginUserInfoKey, start}});
    EXPECT_EQ(rootY(s), -97);
    // Shown again without a hide in between: still where one show puts it.
    ns::NotificationCenter::defaultCenter().post(ui::keyboardWillShowNotification, nullptr,
                                                 {{ui::keyboardFrameBeginUserInfoKey, start}});
    EXPECT_EQ(rootY(s), -97);
    // No start frame: nothing moves.
    s.kbHeight.reset();
    ns::NotificationCenter::defaultCenter().post(ui::keyboardWillShowNotification);
    EXPECT_FALSE(s.kbHeight);
    EXPECT_EQ(rootY(s), -97);
}

TEST_F(LessonScreen, KeyboardObserversAreRegisteredOncePerScreen) {
    auto& s = open(boolLesson());
    s.viewWillAppear(false);
    s.viewWillAppear(false);
    console.clear();
    ns::NotificationCenter::defaultCenter().post(ui::keyboardWillShowNotification);
    EXPECT_EQ(console.count("0"), 1u);
}

TEST_F(LessonScreen, AutoRunOnKeyboardClose) {
    struct Case {
        bool autoRun, indicator;
        std::string input;
        bool hint, output;
    } cases[] = {
        {true, false, "x", true, false},
        {true, true, "x", false, false},
        {false, false, "x", false, false},
        {true, true, "var isAwesome = true", false, true},
        {false, true, "var isAwesome = true", false, false},
    };
    for (const auto& c : cases) {
        report->autoRun = c.autoRun;
        report->showErrorIndicator = c.indicator;
        auto& s = open(boolLesson());
        enter(c.input);
        console.clear();
        ui::AnimationLog::shared().clear();
        field().resignFirstResponder();
        EXPECT_EQ(!s.helpView->isHidden(), c.hint) << c.input << c.autoRun << c.indicator;
        EXPECT_EQ(console.count("error button was pressed"), c.hint ? 1u : 0u);
        EXPECT_EQ(!s.answerView->isHidden(), c.output);
        EXPECT_EQ(ui::AnimationLog::shared().animationsOf(s.answerView, "center").size(), c.output ? 1u : 0u);
    }
}

TEST_F(LessonScreen, ReturnOnWrongAnswerOffersTheVideo) {
    auto lesson = boolLesson();
    lesson->videoTutorial = "abcdefghijk";
    auto& s = open(lesson);
    enter("x");
    EXPECT_TRUE(s.helpBarView->isHidden()); // editing hides it
    field().pressReturn();
    EXPECT_FALSE(field().isFirstResponder());
    EXPECT_FALSE(s.helpBarView->isHidden());
    EXPECT_EQ(s.helpBarView->backgroundColor(), ui::Color::rgb255(82, 208, 92));
    EXPECT_FALSE(s.helpVideoButton->isHidden());

    enter("var isAwesome = true");
    field().pressReturn();
    EXPECT_TRUE(console.contains("close text field with right answer"));
    EXPECT_TRUE(s.helpBarView->isHidden());
}

TEST_F(LessonScreen, BackgroundTouchEndsEditing) {
    auto& s = open(boolLesson());
    field().becomeFirstResponder();
    s.touchesBegan();
    EXPECT_FALSE(field().isFirstResponder());
    field().becomeFirstResponder();
    s.userTappedBackground();
    EXPECT_FALSE(field().isFirstResponder());
}

TEST_F(LessonScreen, WordBarTypesItsValueAndRunsTheCheck) {
    auto lesson = boolLesson();
    lesson->inputAccessoryViewTextValues = std::vector<LessonText>{"\"", "=", ":"};
    auto chapter = Chapter::make("C", 1);
    chapter->lessons = {lesson, boolLesson("B", 2)};
    auto& s = open(chapter);
    ASSERT_TRUE(s.lessonInputAccessoryViews);
    ASSERT_EQ(s.lessonInputAccessoryViews->size(), 10u);
    for (auto* f : s.textFields) {
        EXPECT_FALSE(f->autocorrection());
        EXPECT_TRUE(f->inputAccessoryView());
    }
    auto& bar = *s.lessonInputAccessoryViews->at(answerIndex());
    EXPECT_FALSE(bar.threeButtonsView->isHidden());
    EXPECT_TRUE(bar.twoButtonView->isHidden());
    EXPECT_EQ((*bar.threeButtons)[1]->title(ui::ControlState::normal), "=");
    EXPECT_EQ((*bar.threeButtons)[2]->title(ui::ControlState::highlighted), ":");

    // Closing the keyboard brings every field's bar back into view.
    for (auto& other : *s.lessonInputAccessoryViews)
        other->setHidden(true);
    field().becomeFirstResponder();
    field().resignFirstResponder();
    for (auto& other : *s.lessonInputAccessoryViews)
        EXPECT_FALSE(other->isHidden());

    type("var isAwesome ");
    (*bar.threeButtons)[1]->tap();
    EXPECT_EQ(field().text(), "var isAwesome =");
    EXPECT_EQ(s.lesson->userAnswer, "var isAwesome =");
    EXPECT_TRUE(console.contains("so far so good"));

    // Inserted in the middle: the check sees the field's whole new text.
    enter("var isAwesome true");
    field().setSelectedRange(ui::Range{14, 0});
    (*bar.threeButtons)[1]->tap();
    EXPECT_EQ(field().text(), "var isAwesome =true");
    EXPECT_EQ(s.lesson->userAnswer, "var isAwesome =true");

    s.nextButtonPressed();
    ASSERT_TRUE(s.lessonInputAccessoryViews);
    EXPECT_TRUE(s.lessonInputAccessoryViews->empty());
    for (auto* f : s.textFields)
        EXPECT_FALSE(f->inputAccessoryView());
}

TEST(LessonInputAccessoryView, LayoutPerCount) {
    for (std::size_t count : {0u, 1u, 2u, 4u, 6u, 7u}) {
        auto bar = LessonInputAccessoryView::loadFromNib();
        std::vector<std::string> values;
        for (std::size_t i = 0; i < count; ++i)
            values.push_back(std::string(1, static_cast<char>('a' + i)));
        bar->textValues = values;
        bar->configureButtons();
        std::vector<ui::View*> containers = {bar->twoButtonView, bar->threeButtonsView, bar->fourButtonsView,
                                             bar->fiveButtonsView, bar->sixButtonsView};
        for (std::size_t n = 2; n <= 6; ++n)
            EXPECT_EQ(!containers[n - 2]->isHidden(), n == count) << count;
        const bool general = count == 1 || count > 6;
        EXPECT_EQ(!bar->buttons->front()->superview()->isHidden(), general) << count;
        if (general) {
            EXPECT_EQ(bar->buttons->front()->title(ui::ControlState::normal), "a");
        }
    }
}

// Tells what the bar reports, and answers like the lesson screen.
struct RecordingDelegate : ui::TextFieldDelegate {
    bool shouldChangeCharacters(ui::TextField& field, ui::Range range, const std::string& text) override {
        proposed.push_back(answer::applyEdit(field.text(), range.location, range.length, text));
        return true;
    }
    std::vector<std::string> proposed;
};

TEST(LessonInputAccessoryView, InsertsAtTheCaretAndReportsTheWholeNewText) {
    auto root = std::make_shared<ui::View>();
    auto field = std::make_shared<ui::TextField>();
    root->addSubview(field);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto bar = LessonInputAccessoryView::loadFromNib();
    bar->textField = field;
    bar->textFieldDelegate = delegate;
    bar->textValues = std::vector<std::string>{"(", "\u00e9\u00e9"};
    bar->configureButtons();

    // Not being edited: no caret, nothing typed, nobody told.
    (*bar->twoButtons)[0]->sendActions();
    EXPECT_EQ(field->text(), "");
    EXPECT_TRUE(delegate->proposed.empty());

    ASSERT_TRUE(field->becomeFirstResponder());
    field->setText("print)");
    field->setSelectedRange(ui::Range{5, 0});
    (*bar->twoButtons)[0]->sendActions();
    (*bar->twoButtons)[1]->sendActions();
    EXPECT_EQ(field->text(), "print(\u00e9\u00e9)");
    EXPECT_EQ(delegate->proposed, (std::vector<std::string>{"print()", "print(\u00e9\u00e9)"}));

    // A tag without a value types nothing.
    (*bar->sixButtons)[5]->sendActions();
    EXPECT_EQ(field->text(), "print(\u00e9\u00e9)");
    EXPECT_EQ(delegate->proposed.size(), 2u);
    field->resignFirstResponder();
}

} // namespace
} // namespace lessontest
